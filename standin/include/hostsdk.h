#pragma once

// The one header through which plug-in code reaches the host and the window
// system. This is the stand-in: the least of both that a plug-in built here
// relies on, with the host's names and values, implemented by the shared
// library carvex_standin. Host-side extras (scene building, module loading)
// live in standin/host.h, which plug-in code does not include.

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Window-system basics

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using USHORT = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using ATOM = std::uint16_t;
using COLORREF = DWORD;
using WCHAR = wchar_t;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using LPVOID = void*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define WINAPI
#define CALLBACK
#define __declspec(attributes) __attribute__((visibility("default")))

struct HINSTANCE__;
struct HWND__;
struct HICON__;
struct HBRUSH__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HWND = HWND__*;
using HICON = HICON__*;
using HCURSOR = HICON;
using HBRUSH = HBRUSH__*;

#define RGB(r, g, b)                                                                               \
    (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                           (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(c) (static_cast<BYTE>(c))
#define GetGValue(c) (static_cast<BYTE>((c) >> 8))
#define GetBValue(c) (static_cast<BYTE>((c) >> 16))

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
};

BOOL WINAPI DisableThreadLibraryCalls(HMODULE module);
// Copies string id of the module's string table into buffer (at most
// bufferMax - 1 characters and a terminator); answers the characters copied,
// 0 when the module or the string is unknown.
int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);
ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc);
BOOL WINAPI GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* wc);
LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#include "hostsdk/win32services.h"
#include "hostsdk/win32ui.h"

// ---------------------------------------------------------------------------
// Host characters and strings

using MCHAR = wchar_t;
#define _M(x) L##x

// The host's string class; assigning a null pointer gives the empty string.
class MSTR : public std::wstring {
public:
    MSTR() = default;
    MSTR(const MCHAR* s) : std::wstring(s ? s : L"") {}
    MSTR(const std::wstring& s) : std::wstring(s) {}
    MSTR& operator=(const MCHAR* s) {
        assign(s ? s : L"");
        return *this;
    }
};

// The version constant a plug-in answers from LibVersion: release, API
// number and revision of the SDK it was built with.
#define HOST_SDK_RELEASE 23000
#define HOST_SDK_API_NUM 57
#define HOST_SDK_REV 0
#define HOST_SDK_VERSION \
    ((static_cast<ULONG>(HOST_SDK_RELEASE) << 16) | (HOST_SDK_API_NUM << 8) | HOST_SDK_REV)

// ---------------------------------------------------------------------------
// Time and validity

using TimeValue = int;
#define TIME_NegInfinity INT_MIN
#define TIME_PosInfinity INT_MAX

class Interval {
public:
    Interval(TimeValue s, TimeValue e) : start(s), end(e) {}
    Interval() : start(TIME_NegInfinity), end(TIME_NegInfinity) {}

    TimeValue Start() const { return start; }
    TimeValue End() const { return end; }
    void Set(TimeValue s, TimeValue e) {
        start = s;
        end = e;
    }
    void SetInfinite() { Set(TIME_NegInfinity, TIME_PosInfinity); }
    void SetEmpty() { Set(TIME_NegInfinity, TIME_NegInfinity); }
    BOOL Empty() const { return start == TIME_NegInfinity && end == TIME_NegInfinity; }
    BOOL InInterval(TimeValue t) const { return !Empty() && t >= start && t <= end; }

    // The overlap; no overlap is the empty interval.
    Interval operator&(const Interval& o) const;
    Interval& operator&=(const Interval& o) { return *this = *this & o; }
    bool operator==(const Interval& o) const { return start == o.start && end == o.end; }
    bool operator!=(const Interval& o) const { return !(*this == o); }

private:
    TimeValue start;
    TimeValue end;
};

#define FOREVER Interval(TIME_NegInfinity, TIME_PosInfinity)
#define NEVER Interval(TIME_NegInfinity, TIME_NegInfinity)

// ---------------------------------------------------------------------------
// Points and transforms (single precision; points are row vectors, p' = p * M)

class Point3 {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Point3() = default;
    Point3(float px, float py, float pz) : x(px), y(py), z(pz) {}
    Point3(double px, double py, double pz)
        : x(static_cast<float>(px)), y(static_cast<float>(py)), z(static_cast<float>(pz)) {}
    Point3(int px, int py, int pz)
        : x(static_cast<float>(px)), y(static_cast<float>(py)), z(static_cast<float>(pz)) {}

    Point3 operator+(const Point3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Point3 operator-(const Point3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    bool operator==(const Point3& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const Point3& o) const { return !(*this == o); }
};

class Matrix3 {
public:
    // The identity.
    Matrix3();

    Point3 GetRow(int i) const { return Point3(m[i][0], m[i][1], m[i][2]); }
    void SetRow(int i, const Point3& p);
    Point3 GetTrans() const { return GetRow(3); }
    void SetTrans(const Point3& p) { SetRow(3, p); }
    void IdentityMatrix();

    // A * B: A applies first.
    Matrix3 operator*(const Matrix3& B) const;
    bool operator==(const Matrix3& o) const;

    float m[4][3];
};

Point3 operator*(const Point3& p, const Matrix3& M);
Matrix3 TransMatrix(const Point3& p);
Matrix3 RotateZMatrix(float angle);

// ---------------------------------------------------------------------------
// Identifiers and messages

using SClass_ID = ULONG;
using ChannelMask = ULONG;
using PartID = ULONG;
using RefMessage = unsigned int;
using RefResult = int;
using BlockID = short;
using ParamID = short;
using MapID = short;
using StringResID = int;
using ParamType2 = int;

class Class_ID {
public:
    Class_ID() = default;
    Class_ID(ULONG aa, ULONG bb) : a(aa), b(bb) {}
    ULONG PartA() const { return a; }
    ULONG PartB() const { return b; }
    bool operator==(const Class_ID& o) const { return a == o.a && b == o.b; }
    bool operator!=(const Class_ID& o) const { return !(*this == o); }

private:
    ULONG a = 0xFFFFFFFF;
    ULONG b = 0xFFFFFFFF;
};

#define BASENODE_CLASS_ID 0x00000001
#define GEN_DERIVOB_CLASS_ID 0x00000002
#define GEOMOBJECT_CLASS_ID 0x00000010
#define SHAPE_CLASS_ID 0x00000040
#define SYSTEM_CLASS_ID 0x00000060
#define OSM_CLASS_ID 0x00000810

#define SPLINESHAPE_CLASS_ID 0x0000000A
#define splineShapeClassID Class_ID(SPLINESHAPE_CLASS_ID, 0)
#define XREFOBJ_CLASS_ID Class_ID(0x92AAB38C, 0)

#define REF_FAIL 0
#define REF_SUCCEED 1
#define REF_STOP 3

#define REFMSG_CHANGE 0x00000050
#define REFMSG_TARGET_DELETED 0x00000060
#define REFMSG_BEGIN_EDIT 0x00000090
#define REFMSG_END_EDIT 0x000000A0
#define REFMSG_MOD_DISPLAY_ON 0x000000F2
#define REFMSG_MOD_DISPLAY_OFF 0x000000F3

#define PART_TOPO 0x00000001
#define PART_GEOM 0x00000002
#define PART_TM 0x80000000
#define PART_ALL 0x800037FF

#define TOPO_CHANNEL 0x00000001
#define GEOM_CHANNEL 0x00000002
#define TM_CHANNEL 0x00000400

#define NOTIFY_ALL 0xFFFFFFF0

#define DEP_ENUM_CONTINUE 0
#define DEP_ENUM_HALT 1
#define DEP_ENUM_SKIP 2

#define A_BEING_EDITED 0x00000040

// ---------------------------------------------------------------------------
// Animatables and references

class Animatable;
class ReferenceMaker;
class ReferenceTarget;
class IParamBlock2;
class ParamBlockDesc2;
class ClassDesc2;
class INode;
class Object;
class Modifier;
class ModContext;
class ViewExp;
class IObjParam;
class RemapDir;
using RefTargetHandle = ReferenceTarget*;
using RefMakerHandle = ReferenceMaker*;

class Animatable {
public:
    Animatable() = default;
    Animatable(const Animatable&) = delete;
    Animatable& operator=(const Animatable&) = delete;
    virtual ~Animatable() = default;

    virtual void DeleteThis() { delete this; }
    virtual Class_ID ClassID() { return Class_ID(0, 0); }
    virtual SClass_ID SuperClassID() = 0;
    virtual void GetClassName(MSTR& s) { s = MSTR(); }
    virtual BOOL IsSubClassOf(Class_ID classID) { return classID == ClassID(); }

    virtual int NumSubs() { return 0; }
    virtual Animatable* SubAnim(int) { return nullptr; }
    virtual MSTR SubAnimName(int) { return MSTR(); }
    virtual int NumParamBlocks() { return 0; }
    virtual IParamBlock2* GetParamBlock(int) { return nullptr; }
    virtual IParamBlock2* GetParamBlockByID(BlockID) { return nullptr; }

    virtual void BeginEditParams(IObjParam*, ULONG, Animatable* = nullptr) {}
    virtual void EndEditParams(IObjParam*, ULONG, Animatable* = nullptr) {}
    // Sent before and after a render of the scene.
    virtual int RenderBegin(TimeValue, ULONG = 0) { return 0; }
    virtual int RenderEnd(TimeValue) { return 0; }

    void SetAFlag(DWORD mask) { aflag |= mask; }
    void ClearAFlag(DWORD mask) { aflag &= ~mask; }
    BOOL TestAFlag(DWORD mask) const { return (aflag & mask) ? TRUE : FALSE; }

private:
    DWORD aflag = 0;
};

class DependentEnumProc {
public:
    virtual ~DependentEnumProc() = default;
    // DEP_ENUM_CONTINUE, DEP_ENUM_HALT or DEP_ENUM_SKIP (do not go on to
    // this maker's own dependents).
    virtual int proc(ReferenceMaker* rmaker) = 0;
};

// Makes references to targets. The maker's slots are its own business
// (NumRefs, GetReference, SetReference); the host keeps the reverse links
// that tell each target who depends on it.
class ReferenceMaker : public Animatable {
public:
    ~ReferenceMaker() override;

    virtual int NumRefs() { return 0; }
    virtual RefTargetHandle GetReference(int) { return nullptr; }

    // Points slot which at newtarg; REF_FAIL when that would make a target
    // depend on itself. With delOld an old target left without dependents
    // is deleted.
    RefResult ReplaceReference(int which, RefTargetHandle newtarg, BOOL delOld = TRUE);
    // Empties every slot, deleting targets left without dependents.
    void DeleteAllRefsFromMe();

    virtual RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget,
                                       PartID& partID, RefMessage message, BOOL propagate) = 0;

private:
    virtual void SetReference(int, RefTargetHandle) {}

    friend class ReferenceTarget;
    void dropLink(ReferenceTarget* target);
    // Targets this maker is registered with, once per reference.
    std::vector<ReferenceTarget*> links;
};

class RemapDir {
public:
    virtual ~RemapDir() = default;
    virtual RefTargetHandle FindMapping(RefTargetHandle from);
    virtual void AddEntry(RefTargetHandle from, RefTargetHandle to);
    // The clone of target made for this remap, made now if there is none.
    virtual RefTargetHandle CloneRef(RefTargetHandle target);

private:
    std::vector<std::pair<RefTargetHandle, RefTargetHandle>> map;
};

class ReferenceTarget : public ReferenceMaker {
public:
    ~ReferenceTarget() override;

    // Tells every dependent, and with propagate their dependents in turn,
    // unless one answers REF_STOP.
    RefResult NotifyDependents(const Interval& changeInt, PartID partID, RefMessage message,
                               SClass_ID sclass = NOTIFY_ALL, BOOL propagate = TRUE,
                               RefTargetHandle hTarget = nullptr);
    // Calls dep->proc for this target and then for every maker that depends
    // on it directly or indirectly, each once. Answers 1 when halted.
    int DoEnumDependents(DependentEnumProc* dep);

    virtual RefTargetHandle Clone(RemapDir&) { return nullptr; }
    // The part of cloning that every target shares: records the pair in remap.
    virtual void BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap);

    // Deletes this target when nothing depends on it any more.
    BOOL MaybeAutoDelete();
    // Deletes this target now: dependents are told REFMSG_TARGET_DELETED and
    // lose their references to it.
    void DeleteMe();

    // Makers that reference this target, once per reference.
    const std::vector<ReferenceMaker*>& Dependents() const { return dependents; }

protected:
    // Nodes belong to the scene and are never deleted for lack of dependents.
    virtual bool IsAutoDeletable() { return true; }

private:
    friend class ReferenceMaker;
    std::vector<ReferenceMaker*> dependents;
};

// ---------------------------------------------------------------------------
// Graphics

enum ColorType { LINE_COLOR = 0 };
enum MarkerType : int { POINT_MRKR = 0 };

class GraphicsWindow {
public:
    struct Marker {
        Point3 point;       // as passed, in the transform below
        Matrix3 transform;  // the window's transform when drawn
        float colour[3];
        int type;
        DWORD limits;  // the render limits in force
    };

    void setTransform(const Matrix3& m) { transform = m; }
    DWORD getRndLimits() const { return limits; }
    void setRndLimits(DWORD l) { limits = l; }
    void setColor(ColorType, float r, float g, float b);
    void marker(Point3* xyz, MarkerType type);

    // What was drawn, for whoever shows or inspects the viewport.
    std::vector<Marker> markers;
    Matrix3 transform;
    DWORD limits = 0;
    float colour[3] = {0.0f, 0.0f, 0.0f};
};

#include "hostsdk/hostui.h"

class ViewExp {
public:
    GraphicsWindow* getGW() { return &gw; }
    // The node picked by the last hit test in this view.
    INode* GetClosestHit() const { return closestHit; }
    void SetClosestHit(INode* node) { closestHit = node; }

private:
    GraphicsWindow gw;
    INode* closestHit = nullptr;
};

class Interface {
public:
    virtual ~Interface() = default;
    virtual TimeValue GetTime() { return time; }
    virtual void SetTime(TimeValue t) { time = t; }

    // Pick modes and rollouts of the user interface (hostui.h).
    virtual void SetPickMode(PickModeCallback* mode);
    virtual void ClearPickMode();
    virtual PickModeCallback* GetCurPickMode();
    // The node under point pt of the viewport when filter (if any) takes it.
    virtual INode* PickNode(HWND hWnd, IPoint2 pt, PickNodeCallback* filter = nullptr);
    virtual HFONT GetAppHFont();

private:
    TimeValue time = 0;
};

class IObjParam : public Interface {};

Interface* GetCOREInterface();

// ---------------------------------------------------------------------------
// Shapes

#define KTYPE_AUTO 0
#define KTYPE_CORNER 1
#define KTYPE_BEZIER 2
#define KTYPE_BEZIER_CORNER 3

#define LTYPE_CURVE 0
#define LTYPE_LINE 1

#define PARM_UNIFORM 0

#define SPLINE_CLOSED (1 << 0)

class SplineKnot {
public:
    SplineKnot() = default;
    // Nine auxiliary values (material id first) and a flag word follow the
    // geometry.
    SplineKnot(int k, int l, Point3 p, Point3 in, Point3 out, int mtlID = -1, int inAux = -1,
               int outAux = -1, float inAux2 = -1.0f, float outAux2 = -1.0f, float inAux3 = -1.0f,
               float outAux3 = -1.0f, int inAux4 = -1, int outAux4 = -1, DWORD flags = 0);

    int Ktype() const { return ktype; }
    int Ltype() const { return ltype; }
    Point3 Knot() const { return point; }
    Point3 InVec() const { return inVec; }
    Point3 OutVec() const { return outVec; }
    int GetMatID() const { return mtlID; }

private:
    int ktype = KTYPE_CORNER;
    int ltype = LTYPE_CURVE;
    Point3 point;
    Point3 inVec;
    Point3 outVec;
    int mtlID = -1;
    int auxInt[4] = {-1, -1, -1, -1};
    float auxFloat[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    DWORD flags = 0;
};

class Spline3D {
public:
    Spline3D(int itype = KTYPE_CORNER, int dtype = KTYPE_BEZIER, int ptype = PARM_UNIFORM);

    int KnotCount() const { return static_cast<int>(knots.size()); }
    SplineKnot GetKnot(int i) const { return knots.at(static_cast<size_t>(i)); }
    Point3 GetKnotPoint(int i) const { return GetKnot(i).Knot(); }
    Point3 GetInVec(int i) const { return GetKnot(i).InVec(); }
    Point3 GetOutVec(int i) const { return GetKnot(i).OutVec(); }
    int GetKnotType(int i) const { return GetKnot(i).Ktype(); }
    int GetLineType(int i) const { return GetKnot(i).Ltype(); }
    // where -1 appends.
    int AddKnot(SplineKnot& k, int where = -1);
    int Closed() const { return (flags & SPLINE_CLOSED) ? 1 : 0; }
    void SetClosed(int flag = 1);
    int InitialType() const { return itype; }
    int DrawType() const { return dtype; }
    int ParamType() const { return ptype; }

private:
    std::vector<SplineKnot> knots;
    DWORD flags = 0;
    int itype;
    int dtype;
    int ptype;
};

class BezierShape {
public:
    BezierShape() = default;
    BezierShape(const BezierShape& o) { *this = o; }
    BezierShape& operator=(const BezierShape& o);
    ~BezierShape();

    // Empty: no splines, selections and caches cleared, default step count.
    void Init();
    int SplineCount() const { return static_cast<int>(splines.size()); }
    Spline3D* GetSpline(int i) const { return splines.at(static_cast<size_t>(i)); }
    // Takes ownership; where -1 appends.
    Spline3D* AddSpline(Spline3D* spline, int where = -1);
    // Fits the selection sets to the splines and knots now present.
    void UpdateSels(BOOL save = FALSE);
    void InvalidateGeomCache(BOOL unsteppedOnly = FALSE);

    // Bounds of every knot and handle, cached until the geometry cache is
    // invalidated. Empty shapes give a zero box.
    void GetBounds(Point3& low, Point3& high);

    // Interpolation steps per segment.
    int steps = 6;
    // One flag per knot of each spline, and one per spline.
    std::vector<std::vector<char>> knotSelection;
    std::vector<char> splineSelection;

private:
    std::vector<Spline3D*> splines;
    bool boundsValid = false;
    Point3 boundsLow;
    Point3 boundsHigh;
};

// ---------------------------------------------------------------------------
// The object pipeline

class ObjectState {
public:
    ObjectState() = default;
    explicit ObjectState(Object* ob) : obj(ob) {}
    Object* obj = nullptr;
};

class BaseObject : public ReferenceTarget {
public:
    virtual const MCHAR* GetObjectName() { return _M(""); }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }
};

class Object : public BaseObject {
public:
    virtual ObjectState Eval(TimeValue t) = 0;
    virtual int CanConvertToType(Class_ID obtype) { return obtype == ClassID() ? 1 : 0; }
    // This object, a new one that the caller deletes, or null.
    virtual Object* ConvertToType(TimeValue, Class_ID obtype) {
        return obtype == ClassID() ? this : nullptr;
    }
    virtual int NumPipeBranches(bool = true) { return 0; }
    virtual Object* GetPipeBranch(int, bool = true) { return nullptr; }
    // Narrows the validity of channel nchan by v.
    virtual void UpdateValidity(int nchan, Interval v);
    virtual Interval ObjectValidity(TimeValue t);
    // Told after a plug-in changed the object's geometry in place.
    virtual void PointsWereChanged() {}

    static constexpr int kChannels = 12;

protected:
    Interval channelValidity[kChannels] = {FOREVER, FOREVER, FOREVER, FOREVER, FOREVER, FOREVER,
                                           FOREVER, FOREVER, FOREVER, FOREVER, FOREVER, FOREVER};
};

class GeomObject : public Object {
public:
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
};

class ShapeObject : public GeomObject {
public:
    SClass_ID SuperClassID() override { return SHAPE_CLASS_ID; }
};

class SplineShape : public ShapeObject {
public:
    Class_ID ClassID() override { return splineShapeClassID; }
    ObjectState Eval(TimeValue) override { return ObjectState(this); }
    RefTargetHandle Clone(RemapDir& remap) override;
    void PointsWereChanged() override;
    const MCHAR* GetObjectName() override { return _M("Editable Spline"); }

    BezierShape shape;
};

// Opaque to plug-ins: tells one application of a modifier from another.
class ModContext {};

class Modifier : public BaseObject {
public:
    virtual Interval LocalValidity(TimeValue) { return FOREVER; }
    virtual ChannelMask ChannelsUsed() = 0;
    virtual ChannelMask ChannelsChanged() = 0;
    virtual Class_ID InputType() = 0;
    // node is null for object-space modifiers.
    virtual void ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode* node) = 0;
    virtual int Display(TimeValue, INode*, ViewExp*, int, ModContext*) { return 0; }
};

// An object with a stack of modifiers on it; modifier 0 is the top of the
// stack, the last one is applied first.
class IDerivedObject : public Object {
public:
    IDerivedObject() = default;
    ~IDerivedObject() override;

    SClass_ID SuperClassID() override { return GEN_DERIVOB_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(GEN_DERIVOB_CLASS_ID, 0); }

    int NumModifiers() const { return static_cast<int>(modifiers.size()); }
    Modifier* GetModifier(int index) const { return modifiers.at(static_cast<size_t>(index)); }
    ModContext* GetModContext(int index) const { return contexts.at(static_cast<size_t>(index)); }
    Object* GetObjRef() const { return object; }
    void ReferenceObject(Object* obj);
    // A new mod context is made when mc is null; the derived object owns it.
    void AddModifier(Modifier* mod, ModContext* mc = nullptr, int before = 0);

    ObjectState Eval(TimeValue t) override;
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;

    int NumRefs() override { return 1 + NumModifiers(); }
    RefTargetHandle GetReference(int i) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;

private:
    void SetReference(int i, RefTargetHandle target) override;
    void dropResult();

    Object* object = nullptr;
    std::vector<Modifier*> modifiers;
    std::vector<ModContext*> contexts;
    // The evaluated object when the stack made one of its own.
    Object* result = nullptr;
    bool resultOwned = false;
    Interval resultValidity = NEVER;
    bool evaluating = false;
};

IDerivedObject* CreateDerivedObject(Object* obj = nullptr);

class INode : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return BASENODE_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(BASENODE_CLASS_ID, 0); }

    Object* GetObjectRef() { return object; }
    RefResult SetObjectRef(Object* obj) { return ReplaceReference(0, obj); }
    Matrix3 GetNodeTM(TimeValue t, Interval* valid = nullptr);
    void SetNodeTM(TimeValue t, const Matrix3& tm);
    // Object space to world: the object offset, then the node transform.
    Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr);
    Matrix3 GetObjOffsetTM() const { return offsetTM; }
    void SetObjOffsetTM(const Matrix3& tm);
    const ObjectState& EvalWorldState(TimeValue t, BOOL evalHidden = TRUE);
    const MCHAR* GetName() const { return name.c_str(); }
    void SetName(const MCHAR* s) { name = s ? s : L""; }
    DWORD GetWireColor() const { return wireColor; }
    void SetWireColor(DWORD c) { wireColor = c; }

    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override;
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }

protected:
    bool IsAutoDeletable() override { return false; }

private:
    void SetReference(int i, RefTargetHandle target) override;

    Object* object = nullptr;
    Matrix3 nodeTM;
    Matrix3 offsetTM;
    std::wstring name;
    DWORD wireColor = 0;
    ObjectState worldState;
};

// ---------------------------------------------------------------------------
// Parameter blocks

#define TYPE_FLOAT 0
#define TYPE_INT 1
#define TYPE_INODE 17
#define TYPE_TAB 0x800
#define TYPE_FLOAT_TAB (TYPE_FLOAT | TYPE_TAB)
#define TYPE_INT_TAB (TYPE_INT | TYPE_TAB)
#define TYPE_INODE_TAB (TYPE_INODE | TYPE_TAB)
#define is_tab(t) (((t)&TYPE_TAB) != 0)
#define base_type(t) ((t) & ~TYPE_TAB)

#define P_ANIMATABLE 0x0001
#define P_VARIABLE_SIZE 0x0008

// Block flags.
#define P_AUTO_CONSTRUCT 0x0002
#define P_AUTO_UI 0x0004
#define P_MULTIMAP 0x0020
// A version number follows the block flags; data saved by an older version
// is brought up to date by the descriptor's ParamBlockUpgrade.
#define P_VERSION 0x4000

// Tags of the descriptor's argument list.
#define p_default static_cast<int>(0xC0000000)
#define p_range static_cast<int>(0xC0000002)
#define p_ui static_cast<int>(0xC0000003)
#define p_end static_cast<int>(0xC0000400)

// Control types of p_ui.
#define TYPE_SPINNER 0
#define TYPE_RADIO 1
// Spelled as the host SDK spells it.
#define TYPE_SINGLECHEKBOX 2

#define EDITTYPE_INT 1
#define EDITTYPE_FLOAT 2

#define SPIN_AUTOSCALE -1.0f

#define APPENDROLL_CLOSED 0x0001

class ParamMap2UserDlgProc;
class IParamBlock2;

// Brings a block read from data of an older descriptor version up to date.
// The host calls it before the saved values are applied, so a value the
// data holds always wins; what it sets stands for values the older version
// did not have.
class ParamBlockUpgrade {
public:
    virtual ~ParamBlockUpgrade() = default;
    virtual void Upgrade(IParamBlock2* pb, int savedVersion) = 0;
};

union PB2Value {
    float f;
    int i;
};

struct ParamDef {
    ParamID ID = -1;
    const MCHAR* int_name = nullptr;
    ParamType2 type = TYPE_FLOAT;
    int tab_size = 0;
    int flags = 0;
    StringResID local_name = 0;
    bool hasDefault = false;
    PB2Value def = {0};
    bool hasRange = false;
    PB2Value range_low = {0};
    PB2Value range_high = {0};
    // p_ui: map, control type, controls; spinners also edit type and scale.
    bool hasUI = false;
    MapID uiMap = 0;
    int ctrl_type = -1;
    std::vector<int> ctrl_IDs;
    int edit_type = 0;
    float scale = 0.0f;
};

struct ParamMapDesc {
    MapID id = 0;
    int dlg_template = 0;
    StringResID title = 0;
    int test_flags = 0;
    int rollup_flags = 0;
    ParamMap2UserDlgProc* proc = nullptr;
};

class ParamBlockDesc2 {
public:
    // Reads the argument list the host defines: the version with P_VERSION,
    // the reference number with P_AUTO_CONSTRUCT, the rollout maps with P_AUTO_UI, then each
    // parameter closed by p_end, and a final p_end. Registers with cd.
    ParamBlockDesc2(BlockID ID, const MCHAR* int_name, StringResID local_name, ClassDesc2* cd,
                    USHORT flags, ...);

    int Count() const { return static_cast<int>(paramdefs.size()); }
    int IDtoIndex(ParamID id) const;
    const ParamDef& GetParamDef(ParamID id) const;
    // The user procedure of rollout map `map`; on an open rollout it hears
    // WM_INITDIALOG at once (hostui.h).
    void SetUserDlgProc(MapID map, ParamMap2UserDlgProc* proc = nullptr);
    ParamMap2UserDlgProc* GetUserDlgProc(MapID map = 0) const;
    // Data saved without a version counts as version 0.
    int Version() const { return version; }
    void SetUpgrade(ParamBlockUpgrade* u) { upgrade = u; }
    ParamBlockUpgrade* GetUpgrade() const { return upgrade; }

    BlockID ID;
    const MCHAR* int_name;
    StringResID local_name;
    ClassDesc2* cd;
    USHORT flags;
    int version = 0;
    ParamBlockUpgrade* upgrade = nullptr;
    int ref_no = -1;
    std::vector<ParamMapDesc> maps;
    std::vector<ParamDef> paramdefs;
};

class IParamBlock2 : public ReferenceTarget {
public:
    // Built by CreateParamBlock2 with every value at its default.
    explicit IParamBlock2(ParamBlockDesc2* desc);

    SClass_ID SuperClassID() override { return 0x82; }
    Class_ID ClassID() override { return Class_ID(0x82, 0); }

    BlockID ID() const { return desc->ID; }
    ParamBlockDesc2* GetDesc() const { return desc; }

    // Each narrows ivalid by the value's validity (FOREVER: nothing here is
    // animated). FALSE for an unknown id, a wrong type or a row past the end.
    BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& ivalid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, int& v, Interval& ivalid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, INode*& v, Interval& ivalid, int tabIndex = 0);
    float GetFloat(ParamID id, TimeValue t = 0, int tabIndex = 0);
    int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0);
    // Null for an empty row or a row past the end.
    INode* GetINode(ParamID id, TimeValue t = 0, int tabIndex = 0);

    BOOL SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, INode* v, int tabIndex = 0);

    // Rows of a table; 0 for anything else.
    int Count(ParamID id);
    // New rows take the default (0, or null).
    int SetCount(ParamID id, int n);
    // Removes num rows from start on; answers the new row count.
    int Delete(ParamID id, int start, int num);

    int NumRefs() override;
    RefTargetHandle GetReference(int i) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;
    RefTargetHandle Clone(RemapDir& remap) override;

private:
    void SetReference(int i, RefTargetHandle target) override;

    struct Value {
        PB2Value v = {0};
        INode* node = nullptr;
    };
    struct Param {
        const ParamDef* def;
        std::vector<Value> rows;
    };
    Param* find(ParamID id, int baseType);
    Value* at(ParamID id, int baseType, int tabIndex);
    // The reference index of a node row: rows of node parameters in order.
    int refIndexOf(ParamID id, int tabIndex);
    void changed(PartID part);

    ParamBlockDesc2* desc;
    std::vector<Param> params;
};

IParamBlock2* CreateParamBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner);

// ---------------------------------------------------------------------------
// Class descriptors

class ClassDesc {
public:
    virtual ~ClassDesc() = default;
    virtual int IsPublic() = 0;
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual const MCHAR* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const MCHAR* Category() = 0;
    virtual const MCHAR* InternalName() { return nullptr; }
    virtual HINSTANCE HInstance() { return nullptr; }
};

class ClassDesc2 : public ClassDesc {
public:
    // Builds every auto-constructed block of this class and installs it in
    // owner at the block's reference number.
    void MakeAutoParamBlocks(ReferenceMaker* owner);
    int NumParamBlockDescs() const { return static_cast<int>(pbDescs.size()); }
    ParamBlockDesc2* GetParamBlockDesc(int i) const { return pbDescs.at(static_cast<size_t>(i)); }
    ParamBlockDesc2* GetParamBlockDescByID(BlockID id) const;
    void AddParamBlockDesc(ParamBlockDesc2* pbd) { pbDescs.push_back(pbd); }

    // Open and close the rollouts of obj's auto-UI blocks (hostui.h).
    void BeginEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG flags, Animatable* prev);
    void EndEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG flags, Animatable* next);
    void SetUserDlgProc(ParamBlockDesc2* pbd, MapID map, ParamMap2UserDlgProc* proc = nullptr);

private:
    std::vector<ParamBlockDesc2*> pbDescs;
};
