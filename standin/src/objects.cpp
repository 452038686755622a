#include <algorithm>

#include "hostsdk.h"

void GraphicsWindow::setColor(ColorType, float r, float g, float b) {
    colour[0] = r;
    colour[1] = g;
    colour[2] = b;
}

void GraphicsWindow::marker(Point3* xyz, MarkerType type) {
    if (!xyz) return;
    markers.push_back({*xyz, transform, {colour[0], colour[1], colour[2]}, type, limits});
}

Interface* GetCOREInterface() {
    static IObjParam core;
    return &core;
}

// ---------------------------------------------------------------------------

SplineKnot::SplineKnot(int k, int l, Point3 p, Point3 in, Point3 out, int mtl, int inAux,
                       int outAux, float inAux2, float outAux2, float inAux3, float outAux3,
                       int inAux4, int outAux4, DWORD f)
    : ktype(k),
      ltype(l),
      point(p),
      inVec(in),
      outVec(out),
      mtlID(mtl),
      auxInt{inAux, outAux, inAux4, outAux4},
      auxFloat{inAux2, outAux2, inAux3, outAux3},
      flags(f) {}

Spline3D::Spline3D(int i, int d, int p) : itype(i), dtype(d), ptype(p) {}

int Spline3D::AddKnot(SplineKnot& k, int where) {
    if (where < 0 || where >= KnotCount()) {
        knots.push_back(k);
    } else {
        knots.insert(knots.begin() + where, k);
    }
    return 1;
}

void Spline3D::SetClosed(int flag) {
    if (flag) {
        flags |= SPLINE_CLOSED;
    } else {
        flags &= ~static_cast<DWORD>(SPLINE_CLOSED);
    }
}

// ---------------------------------------------------------------------------

BezierShape::~BezierShape() {
    for (Spline3D* s : splines)
        delete s;
}

BezierShape& BezierShape::operator=(const BezierShape& o) {
    if (this == &o) return *this;
    Init();
    for (const Spline3D* s : o.splines)
        splines.push_back(new Spline3D(*s));
    steps = o.steps;
    knotSelection = o.knotSelection;
    splineSelection = o.splineSelection;
    return *this;
}

void BezierShape::Init() {
    for (Spline3D* s : splines)
        delete s;
    splines.clear();
    knotSelection.clear();
    splineSelection.clear();
    steps = 6;
    boundsValid = false;
}

Spline3D* BezierShape::AddSpline(Spline3D* spline, int where) {
    if (!spline) return nullptr;
    if (where < 0 || where >= SplineCount()) {
        splines.push_back(spline);
    } else {
        splines.insert(splines.begin() + where, spline);
    }
    boundsValid = false;
    return spline;
}

void BezierShape::UpdateSels(BOOL) {
    knotSelection.resize(splines.size());
    splineSelection.resize(splines.size(), 0);
    for (size_t i = 0; i < splines.size(); ++i)
        knotSelection[i].resize(static_cast<size_t>(splines[i]->KnotCount()), 0);
}

void BezierShape::InvalidateGeomCache(BOOL) {
    boundsValid = false;
}

void BezierShape::GetBounds(Point3& low, Point3& high) {
    if (!boundsValid) {
        bool any = false;
        boundsLow = boundsHigh = Point3();
        for (const Spline3D* s : splines) {
            for (int i = 0; i < s->KnotCount(); ++i) {
                for (const Point3& p : {s->GetKnotPoint(i), s->GetInVec(i), s->GetOutVec(i)}) {
                    if (!any) {
                        boundsLow = boundsHigh = p;
                        any = true;
                    }
                    boundsLow = Point3(std::min(boundsLow.x, p.x), std::min(boundsLow.y, p.y),
                                       std::min(boundsLow.z, p.z));
                    boundsHigh = Point3(std::max(boundsHigh.x, p.x), std::max(boundsHigh.y, p.y),
                                        std::max(boundsHigh.z, p.z));
                }
            }
        }
        boundsValid = true;
    }
    low = boundsLow;
    high = boundsHigh;
}

// ---------------------------------------------------------------------------

void Object::UpdateValidity(int nchan, Interval v) {
    if (nchan >= 0 && nchan < kChannels) channelValidity[nchan] &= v;
}

Interval Object::ObjectValidity(TimeValue) {
    Interval v = FOREVER;
    for (const Interval& c : channelValidity)
        v &= c;
    return v;
}

RefTargetHandle SplineShape::Clone(RemapDir& remap) {
    auto* copy = new SplineShape;
    copy->shape = shape;
    std::copy(std::begin(channelValidity), std::end(channelValidity),
              std::begin(copy->channelValidity));
    BaseClone(this, copy, remap);
    return copy;
}

void SplineShape::PointsWereChanged() {
    shape.InvalidateGeomCache();
}

// ---------------------------------------------------------------------------

IDerivedObject* CreateDerivedObject(Object* obj) {
    auto* d = new IDerivedObject;
    if (obj) d->ReferenceObject(obj);
    return d;
}

IDerivedObject::~IDerivedObject() {
    dropResult();
    for (ModContext* mc : contexts)
        delete mc;
}

void IDerivedObject::dropResult() {
    if (result && resultOwned) result->DeleteThis();
    result = nullptr;
    resultOwned = false;
    resultValidity = NEVER;
}

void IDerivedObject::ReferenceObject(Object* obj) {
    ReplaceReference(0, obj);
}

void IDerivedObject::AddModifier(Modifier* mod, ModContext* mc, int before) {
    if (!mod) return;
    const int at = std::clamp(before, 0, NumModifiers());
    modifiers.insert(modifiers.begin() + at, nullptr);
    contexts.insert(contexts.begin() + at, mc ? mc : new ModContext);
    if (ReplaceReference(1 + at, mod) != REF_SUCCEED) {
        modifiers.erase(modifiers.begin() + at);
        if (!mc) delete contexts[static_cast<size_t>(at)];
        contexts.erase(contexts.begin() + at);
        return;
    }
    dropResult();
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

RefTargetHandle IDerivedObject::GetReference(int i) {
    if (i == 0) return object;
    if (i >= 1 && i <= NumModifiers()) return modifiers[static_cast<size_t>(i - 1)];
    return nullptr;
}

void IDerivedObject::SetReference(int i, RefTargetHandle target) {
    if (i == 0) {
        object = static_cast<Object*>(target);
    } else if (i >= 1 && i <= NumModifiers()) {
        modifiers[static_cast<size_t>(i - 1)] = static_cast<Modifier*>(target);
    }
    dropResult();
}

RefResult IDerivedObject::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&,
                                           RefMessage message, BOOL) {
    if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) dropResult();
    return REF_SUCCEED;
}

ObjectState IDerivedObject::Eval(TimeValue t) {
    if (result && resultValidity.InInterval(t)) return ObjectState(result);
    // A stack that reaches itself again has no answer.
    if (evaluating || !object) return ObjectState();
    evaluating = true;
    dropResult();

    ObjectState os = object->Eval(t);
    bool owned = false;
    Interval validity = os.obj ? os.obj->ObjectValidity(t) : NEVER;
    for (int i = NumModifiers() - 1; i >= 0 && os.obj; --i) {
        Modifier* mod = modifiers[static_cast<size_t>(i)];
        if (!mod) continue;
        const Class_ID wanted = mod->InputType();
        Object* in = os.obj;
        if (!in->IsSubClassOf(wanted)) {
            // A modifier that cannot take the object is left out, as if disabled.
            Object* converted =
                in->CanConvertToType(wanted) ? in->ConvertToType(t, wanted) : nullptr;
            if (!converted) continue;
            if (converted != in) {
                if (owned) in->DeleteThis();
                in = converted;
                owned = true;
            }
        }
        if (!owned) {
            // Never change an object that the stack below owns.
            RemapDir remap;
            in = static_cast<Object*>(in->Clone(remap));
            if (!in) continue;
            owned = true;
        }
        os.obj = in;
        mod->ModifyObject(t, *contexts[static_cast<size_t>(i)], &os, nullptr);
        if (os.obj != in && owned) in->DeleteThis();
        validity &= mod->LocalValidity(t);
        if (os.obj) validity &= os.obj->ObjectValidity(t);
    }
    result = os.obj;
    resultOwned = owned && os.obj;
    resultValidity = validity;
    evaluating = false;
    return os;
}

int IDerivedObject::CanConvertToType(Class_ID obtype) {
    return object ? object->CanConvertToType(obtype) : 0;
}

Object* IDerivedObject::ConvertToType(TimeValue t, Class_ID obtype) {
    Object* evaluated = Eval(t).obj;
    if (!evaluated) return nullptr;
    Object* converted = evaluated->ConvertToType(t, obtype);
    if (converted != evaluated) return converted;
    // The caller deletes what differs from this object, so hand over a copy.
    RemapDir remap;
    return static_cast<Object*>(evaluated->Clone(remap));
}

// ---------------------------------------------------------------------------

Matrix3 INode::GetNodeTM(TimeValue, Interval* valid) {
    if (valid) *valid &= FOREVER;
    return nodeTM;
}

void INode::SetNodeTM(TimeValue, const Matrix3& tm) {
    nodeTM = tm;
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}

Matrix3 INode::GetObjectTM(TimeValue t, Interval* valid) {
    return offsetTM * GetNodeTM(t, valid);
}

void INode::SetObjOffsetTM(const Matrix3& tm) {
    offsetTM = tm;
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}

const ObjectState& INode::EvalWorldState(TimeValue t, BOOL) {
    worldState = object ? object->Eval(t) : ObjectState();
    return worldState;
}

RefTargetHandle INode::GetReference(int i) {
    return i == 0 ? object : nullptr;
}

void INode::SetReference(int i, RefTargetHandle target) {
    if (i == 0) object = static_cast<Object*>(target);
}
