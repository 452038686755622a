#include "carvex.h"

#include <new>

#include "about.h"
#include "boolean/boolean.h"
#include "conversion.h"
#include "nodelookup.h"
#include "pairing/pairing.h"
#include "plugin.h"
#include "resources/resource.h"
#include "rollout.h"
#include "wholeshapes.h"

namespace {

// Rows past this many are never evaluated.
constexpr int kMaxOperands = 200;

// Render limit that hides what lies behind: markers must show over the shape.
constexpr DWORD kZBufferLimit = 2;
constexpr int kKnotMarker = 23;

// Rollout maps of the parameter block: the operands, and About.
constexpr MapID kParametersMap = 0;
constexpr MapID kAboutMap = 1;

// The operand node's shape as a spline shape: the evaluated object itself,
// or a conversion that the caller deletes. Null when it cannot become one.
SplineShape* operandShape(Object* evaluated, TimeValue t) {
    if (!evaluated) return nullptr;
    if (evaluated->IsSubClassOf(splineShapeClassID)) return static_cast<SplineShape*>(evaluated);
    if (!evaluated->CanConvertToType(splineShapeClassID)) return nullptr;
    return static_cast<SplineShape*>(evaluated->ConvertToType(t, splineShapeClassID));
}

// What the per-pair engine left uncombined, for the status line.
struct PairNotes {
    int pairsLeft = 0;
    QString first;  // the first row's reason

    void note(const QString& rowName, const QString& why) {
        if (first.isEmpty()) first = rowName + ": " + why;
        ++pairsLeft;
    }
    QString text() const {
        if (pairsLeft == 0) return QString();
        if (pairsLeft == 1) return QStringLiteral("A pair was left as it was: ") + first;
        return QStringLiteral("%1 pairs were left as they were; %2").arg(pairsLeft).arg(first);
    }
};

QString rowName(int row, INode* node) {
    return QStringLiteral("row %1 (%2)").arg(row + 1).arg(QString::fromWCharArray(node->GetName()));
}

}  // namespace

Carvex::Carvex() {
    ivalid = NEVER;
    pblock = nullptr;
    GetCarvexDesc()->MakeAutoParamBlocks(this);
    ivalid = NEVER;
}

void Carvex::GetClassName(MSTR& s) {
    s = GetString(IDS_CLASS_NAME);
}

Class_ID Carvex::ClassID() {
    return CARVEX_CLASS_ID;
}

MSTR Carvex::SubAnimName(int) {
    return GetString(IDS_PARAMS);
}

const MCHAR* Carvex::GetObjectName() {
    return GetString(IDS_CLASS_NAME);
}

IParamBlock2* Carvex::GetParamBlockByID(BlockID id) {
    return pblock && pblock->ID() == id ? pblock : nullptr;
}

void Carvex::BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) {
    ivalid = NEVER;
    const TimeValue t = ip ? ip->GetTime() : 0;
    SplineListDlgProc& listProc = TheSplineListDlgProc();
    listProc.SetThing(pblock);
    NotifyDependents(Interval(t, t), PART_ALL, REFMSG_BEGIN_EDIT);
    NotifyDependents(Interval(t, t), PART_ALL, REFMSG_MOD_DISPLAY_ON);
    SetAFlag(A_BEING_EDITED);
    GetCarvexDesc()->BeginEditParams(ip, this, flags, prev);
    if (!pblock) return;
    ParamBlockDesc2* desc = pblock->GetDesc();
    desc->SetUserDlgProc(kParametersMap, &listProc);
    desc->SetUserDlgProc(kAboutMap, CreateAboutDlgProc(this));
    ShowStatus(pblock, statusText);
}

void Carvex::EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) {
    // Closing the Parameters rollout also ends an Add pick mode still running.
    GetCarvexDesc()->EndEditParams(ip, this, flags, next);
    const TimeValue t = ip ? ip->GetTime() : 0;
    ClearAFlag(A_BEING_EDITED);
    NotifyDependents(Interval(t, t), PART_ALL, REFMSG_END_EDIT);
    NotifyDependents(Interval(t, t), PART_ALL, REFMSG_MOD_DISPLAY_OFF);
}

int Carvex::NumRefs() {
    return 1 + (pblock ? pblock->Count(pb_spline_node) : 0);
}

RefTargetHandle Carvex::GetReference(int i) {
    if (i == 0) return pblock;
    return pblock ? pblock->GetINode(pb_spline_node, 0, i - 1) : nullptr;
}

void Carvex::SetReference(int i, RefTargetHandle target) {
    if (i == 0) {
        pblock = static_cast<IParamBlock2*>(target);
    } else if (pblock) {
        pblock->SetValue(pb_spline_node, 0, static_cast<INode*>(target), i - 1);
    }
}

RefResult Carvex::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage, BOOL) {
    ivalid = NEVER;
    return REF_SUCCEED;
}

int Carvex::RenderBegin(TimeValue, ULONG) {
    ivalid = NEVER;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    return 0;
}

RefTargetHandle Carvex::Clone(RemapDir& remap) {
    auto* copy = new Carvex();
    copy->ReplaceReference(0, remap.CloneRef(pblock));
    BaseClone(this, copy, remap);
    return copy;
}

int Carvex::Display(TimeValue t, INode* inode, ViewExp* vpt, int, ModContext*) {
    if (!inode || !vpt) return 0;
    Object* obj = inode->EvalWorldState(t).obj;
    if (!obj || obj->SuperClassID() != SHAPE_CLASS_ID) return 0;
    // A shape of another class has no knots to show.
    if (!obj->IsSubClassOf(splineShapeClassID)) return 0;
    const BezierShape& shape = static_cast<SplineShape*>(obj)->shape;

    GraphicsWindow* gw = vpt->getGW();
    gw->setTransform(inode->GetObjectTM(t));
    const DWORD limits = gw->getRndLimits();
    if (limits & kZBufferLimit) gw->setRndLimits(limits & ~kZBufferLimit);
    for (int s = 0; s < shape.SplineCount(); ++s) {
        const Spline3D* spline = shape.GetSpline(s);
        if (spline->KnotCount() == 0) continue;
        Point3 p = spline->GetKnotPoint(0);
        gw->setColor(LINE_COLOR, 1.0f, 1.0f, 1.0f);
        gw->marker(&p, static_cast<MarkerType>(kKnotMarker));
        gw->setColor(LINE_COLOR, 0.1f, 0.6f, 0.3f);
        for (int k = 1; k < spline->KnotCount(); ++k) {
            p = spline->GetKnotPoint(k);
            gw->marker(&p, static_cast<MarkerType>(kKnotMarker));
        }
    }
    if (limits & kZBufferLimit) gw->setRndLimits(limits);
    return 1;
}

void Carvex::ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode*) {
    // Running out of memory on a huge pair of shapes must not take the host
    // down with the user's unsaved scene: the shape stays as it came, and
    // the next evaluation tries again.
    try {
        combineOperands(t, mc, os);
    } catch (const std::bad_alloc&) {
        ivalid = NEVER;
        setStatus(QStringLiteral("Left as it was: there was not enough memory to combine them"));
    }
}

void Carvex::setStatus(const QString& text) {
    statusText = text.toStdWString();
    ShowStatus(pblock, statusText);
}

void Carvex::combineOperands(TimeValue t, ModContext& mc, ObjectState* os) {
    ivalid = FOREVER;
    if (!os || !os->obj || os->obj->SuperClassID() != SHAPE_CLASS_ID) return;
    // The host hands over a spline shape; anything else would be misread below.
    if (!os->obj->IsSubClassOf(splineShapeClassID)) return;
    auto* result = static_cast<SplineShape*>(os->obj);

    // Without the node the operands cannot be placed; leave the shape as it
    // came and ask again next time, when the node may be known.
    INode* baseNode = findNodeHolding(this, &mc);
    if (!baseNode || !pblock) {
        ivalid = NEVER;
        return;
    }

    const int steps = result->shape.steps;
    Shape base;
    shapeFromHost(result->shape, base);

    float threshold = 0.0f;
    pblock->GetValue(pb_threshold, t, threshold, ivalid);
    int whole = 0;
    pblock->GetValue(pb_whole_shapes, t, whole, ivalid);
    // Taken before the base gets its node's frame: the region is read in
    // the base object's own space, where the operands are brought.
    WholeShapes wholeShapes = whole ? startWholeShapes(base) : WholeShapes();
    base.frame = matrixFromHost(baseNode->GetNodeTM(t));
    PairNotes pairNotes;

    for (int row = 0; row < kMaxOperands; ++row) {
        INode* node = pblock->GetINode(pb_spline_node, t, row);
        if (!node) break;
        const int code = pblock->GetInt(pb_operation_types, t, row);
        Object* evaluated = node->GetObjectRef() ? node->GetObjectRef()->Eval(t).obj : nullptr;
        SplineShape* operandObject = operandShape(evaluated, t);
        if (!operandObject) break;

        Shape operand;
        shapeFromHost(operandObject->shape, operand);
        if (operandObject != evaluated) operandObject->DeleteThis();

        // Operand knots into the modified object's space: T_op x T_base^-1, baked.
        operand.frame = matrixFromHost(node->GetNodeTM(t)) * inverseOf(base.frame);
        operand.setFrame(Matrix3d(), true);
        // The block keeps the four codes of the radio buttons; any other
        // code, xor's included, names no operation the modifier offers and
        // leaves the shape as it is.
        const QString name = rowName(row, node);
        carvex::Operation operation = carvex::Operation::Union;
        if (!operationOfCode(code, &operation) || operation == carvex::Operation::Xor) {
            pairNotes.note(name, QStringLiteral("operation code %1 names no operation").arg(code));
            continue;
        }
        if (whole) {
            applyWholeOperand(wholeShapes, operand, operation, double(threshold), name);
            continue;
        }
        applyOperandByPairs(base, operand, operation, static_cast<double>(threshold),
                            [&](const PairOutcome& outcome) {
                                if (!outcome.combined && outcome.reason != PairReason::None)
                                    pairNotes.note(name, pairReasonText(outcome.reason));
                            });
    }

    if (whole) finishWholeShapes(wholeShapes, base);
    QString status = whole ? wholeShapesStatus(wholeShapes) : QString();
    if (!pairNotes.text().isEmpty())
        status = status.isEmpty() ? pairNotes.text() : status + "\n" + pairNotes.text();
    setStatus(status);

    shapeToHost(base, result->shape);
    result->shape.UpdateSels(0);
    result->shape.InvalidateGeomCache();
    result->shape.steps = steps;
    result->PointsWereChanged();
    result->UpdateValidity(3, FOREVER);
}
