#include <dlfcn.h>

#include "standin/host.h"

namespace standin {

namespace {

// A copy of obj that the caller owns, or obj converted when that is new.
Object* ownedConversion(Object* obj, TimeValue t, Class_ID obtype) {
    if (!obj) return nullptr;
    Object* converted = obj->ConvertToType(t, obtype);
    if (converted != obj) return converted;
    RemapDir remap;
    return static_cast<Object*>(obj->Clone(remap));
}

}  // namespace

// ---------------------------------------------------------------------------

bool PluginLibrary::load(const QString& path, QString* error) {
    unload();
    auto failed = [&](const QString& why) {
        if (error) *error = path + ": " + why;
        if (library) dlclose(library);
        library = nullptr;
        descs.clear();
        return false;
    };
    library = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return failed(QString::fromLocal8Bit(dlerror()));
    file = path;
    using VersionFn = ULONG (*)();
    using CountFn = int (*)();
    using ClassFn = ClassDesc* (*)(int);
    using TextFn = const MCHAR* (*)();
    using InitFn = int (*)();
    auto version = reinterpret_cast<VersionFn>(symbol("LibVersion"));
    auto count = reinterpret_cast<CountFn>(symbol("LibNumberClasses"));
    auto classDesc = reinterpret_cast<ClassFn>(symbol("LibClassDesc"));
    auto describeFn = reinterpret_cast<TextFn>(symbol("LibDescription"));
    auto initialize = reinterpret_cast<InitFn>(symbol("LibInitialize"));
    if (!version || !count || !classDesc || !describeFn)
        return failed(QStringLiteral("not a plug-in library (exports missing)"));
    if (version() != HOST_SDK_VERSION)
        return failed(QStringLiteral("built for host version 0x%1, this host is 0x%2")
                          .arg(version(), 8, 16, QChar('0'))
                          .arg(HOST_SDK_VERSION, 8, 16, QChar('0')));
    if (initialize && !initialize()) return failed(QStringLiteral("LibInitialize failed"));
    const MCHAR* d = describeFn();
    describe = d ? QString::fromWCharArray(d) : QString();
    for (int i = 0; i < count(); ++i)
        if (ClassDesc* cd = classDesc(i)) descs.push_back(cd);
    return true;
}

void PluginLibrary::unload() {
    if (!library) return;
    using ShutdownFn = int (*)();
    if (auto shutdown = reinterpret_cast<ShutdownFn>(symbol("LibShutdown"))) shutdown();
    dlclose(library);
    library = nullptr;
    descs.clear();
    describe.clear();
}

ClassDesc* PluginLibrary::classByInternalName(const QString& name) const {
    for (ClassDesc* cd : descs) {
        const MCHAR* n = cd->InternalName();
        if (n && QString::fromWCharArray(n) == name) return cd;
    }
    return nullptr;
}

void* PluginLibrary::symbol(const char* name) const {
    return library ? dlsym(library, name) : nullptr;
}

// ---------------------------------------------------------------------------

int RectangleShape::CanConvertToType(Class_ID obtype) {
    return obtype == splineShapeClassID || obtype == ClassID();
}

Object* RectangleShape::ConvertToType(TimeValue t, Class_ID obtype) {
    if (obtype != splineShapeClassID) return ShapeObject::ConvertToType(t, obtype);
    auto* s = new SplineShape;
    auto* spline = new Spline3D;
    const float w = width / 2.0f;
    const float l = length / 2.0f;
    for (const Point3& p :
         {Point3(-w, -l, 0.0f), Point3(w, -l, 0.0f), Point3(w, l, 0.0f), Point3(-w, l, 0.0f)}) {
        SplineKnot k(KTYPE_CORNER, LTYPE_LINE, p, p, p);
        spline->AddKnot(k);
    }
    spline->SetClosed();
    s->shape.AddSpline(spline);
    s->shape.UpdateSels();
    return s;
}

RefTargetHandle RectangleShape::Clone(RemapDir& remap) {
    auto* copy = new RectangleShape(width, length);
    BaseClone(this, copy, remap);
    return copy;
}

RefTargetHandle BoxObject::Clone(RemapDir& remap) {
    auto* copy = new BoxObject(size);
    BaseClone(this, copy, remap);
    return copy;
}

// ---------------------------------------------------------------------------

int MergeShape::CanConvertToType(Class_ID obtype) {
    return obtype == splineShapeClassID || obtype == ClassID();
}

Object* MergeShape::ConvertToType(TimeValue t, Class_ID obtype) {
    if (obtype != splineShapeClassID) return ShapeObject::ConvertToType(t, obtype);
    auto* merged = new SplineShape;
    for (Object* branch : branches) {
        Object* evaluated = branch ? branch->Eval(t).obj : nullptr;
        if (!evaluated || !evaluated->CanConvertToType(splineShapeClassID)) continue;
        Object* converted = evaluated->ConvertToType(t, splineShapeClassID);
        if (!converted) continue;
        const BezierShape& part = static_cast<SplineShape*>(converted)->shape;
        for (int i = 0; i < part.SplineCount(); ++i)
            merged->shape.AddSpline(new Spline3D(*part.GetSpline(i)));
        if (converted != evaluated) converted->DeleteThis();
    }
    merged->shape.UpdateSels();
    return merged;
}

RefTargetHandle MergeShape::Clone(RemapDir& remap) {
    auto* copy = new MergeShape;
    for (Object* b : branches)
        copy->AddBranch(b);
    BaseClone(this, copy, remap);
    return copy;
}

Object* MergeShape::GetPipeBranch(int i, bool) {
    return i >= 0 && i < NumPipeBranches() ? branches[static_cast<size_t>(i)] : nullptr;
}

void MergeShape::AddBranch(Object* branch) {
    branches.push_back(nullptr);
    if (ReplaceReference(NumRefs() - 1, branch) != REF_SUCCEED) branches.pop_back();
}

RefTargetHandle MergeShape::GetReference(int i) {
    return GetPipeBranch(i);
}

void MergeShape::SetReference(int i, RefTargetHandle target) {
    if (i >= 0 && i < NumRefs()) branches[static_cast<size_t>(i)] = static_cast<Object*>(target);
}

// ---------------------------------------------------------------------------

ObjectState XRefObject::Eval(TimeValue t) {
    return source ? source->Eval(t) : ObjectState();
}

int XRefObject::CanConvertToType(Class_ID obtype) {
    return source ? source->CanConvertToType(obtype) : 0;
}

Object* XRefObject::ConvertToType(TimeValue t, Class_ID obtype) {
    return ownedConversion(Eval(t).obj, t, obtype);
}

RefTargetHandle XRefObject::Clone(RemapDir& remap) {
    auto* copy = new XRefObject;
    copy->SetSource(source);
    BaseClone(this, copy, remap);
    return copy;
}

void XRefObject::SetReference(int i, RefTargetHandle target) {
    if (i == 0) source = static_cast<Object*>(target);
}

}  // namespace standin
