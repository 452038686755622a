// The modify pipeline, run by the stand-in host's evaluation of scenes,
// pair by pair.

#include <cmath>

#include "hosttest.h"

using namespace hosttest;

namespace {

constexpr ParamID kThreshold = 3;

// A shape that counts how often the pipeline evaluates it.
class CountingShape : public SplineShape {
public:
    ObjectState Eval(TimeValue t) override {
        ++evaluations;
        return SplineShape::Eval(t);
    }
    int evaluations = 0;
};

CountingShape* countingShape(Spline3D* spline = nullptr) {
    auto* s = new CountingShape;
    if (spline) s->shape.AddSpline(spline);
    return s;
}

const Spline3D* only(const BezierShape* shape) {
    if (!shape || shape->SplineCount() != 1) return nullptr;
    return shape->GetSpline(0);
}

// The node's shape as the host evaluates it between renders: from the
// stack's cache while nothing has told it of a change.
const BezierShape* worldShape(INode* node) {
    Object* obj = node->EvalWorldState(0).obj;
    if (!obj || !obj->IsSubClassOf(splineShapeClassID)) return nullptr;
    return &static_cast<SplineShape*>(obj)->shape;
}

SplineKnot knot(int type, int line, Point3 p, Point3 in, Point3 out) {
    return SplineKnot(type, line, p, in, out);
}

// Base square (0,0)-(10,10) and an operand square (5,2)-(15,8) around their outlines.
const QVector<P> kUnion = {{0, 0}, {10, 0}, {10, 2}, {15, 2}, {15, 8}, {10, 8}, {10, 10}, {0, 10}};
const QVector<P> kBaseMinusOperand = {{0, 0}, {10, 0}, {10, 2},  {5, 2},
                                      {5, 8}, {10, 8}, {10, 10}, {0, 10}};
const QVector<P> kOperandMinusBase = {{10, 2}, {15, 2}, {15, 8}, {10, 8}};

}  // namespace

TEST(ModifyPipeline, WithoutOperandsTheShapeRoundTrips) {
    auto scene = newScene();
    auto* source = new SplineShape;
    auto* curved = new Spline3D;
    // Every host knot type, with handles off the knot.
    SplineKnot k0 = knot(KTYPE_CORNER, LTYPE_CURVE, Point3(0.1f, 0.2f, 0.0f),
                         Point3(-1.0f, 0.0f, 0.0f), Point3(1.0f, 1.0f, 0.0f));
    SplineKnot k1 = knot(KTYPE_BEZIER, LTYPE_LINE, Point3(10.3f, 0.0f, 0.5f),
                         Point3(8.0f, -1.0f, 0.5f), Point3(12.6f, 1.0f, 0.5f));
    SplineKnot k2 = knot(KTYPE_BEZIER_CORNER, LTYPE_CURVE, Point3(10.0f, 10.0f, 0.0f),
                         Point3(11.0f, 8.0f, 0.0f), Point3(8.0f, 11.0f, 0.0f));
    SplineKnot k3 = knot(KTYPE_AUTO, LTYPE_CURVE, Point3(0.0f, 10.0f, 0.0f),
                         Point3(1.0f, 11.0f, 0.0f), Point3(-1.0f, 9.0f, 0.0f));
    // A repeat of the last knot at the same place: merged, its out handle kept.
    SplineKnot k4 = knot(KTYPE_AUTO, LTYPE_CURVE, Point3(0.0f, 10.0f, 0.0f),
                         Point3(5.0f, 5.0f, 0.0f), Point3(-2.0f, 8.0f, 0.0f));
    for (SplineKnot* k : {&k0, &k1, &k2, &k3, &k4})
        curved->AddKnot(*k);
    curved->SetClosed();
    source->shape.AddSpline(curved);
    // An open spline survives; a one-knot spline does not.
    auto* open = new Spline3D;
    SplineKnot o0 =
        knot(KTYPE_CORNER, LTYPE_LINE, Point3(20, 0, 0), Point3(20, 0, 0), Point3(20, 0, 0));
    SplineKnot o1 =
        knot(KTYPE_CORNER, LTYPE_LINE, Point3(30, 5, 0), Point3(30, 5, 0), Point3(30, 5, 0));
    open->AddKnot(o0);
    open->AddKnot(o1);
    source->shape.AddSpline(open);
    auto* single = new Spline3D;
    single->AddKnot(o0);
    source->shape.AddSpline(single);
    source->shape.steps = 9;

    Modifier* mod = perPair(scene->createModifier("Carvex"));
    INode* node = modifiedNode(*scene, "Base", source, mod);
    node->SetNodeTM(0, TransMatrix(Point3(3.0f, 4.0f, 0.0f)));
    const BezierShape* result = scene->evaluate(node);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->steps, 9);
    ASSERT_EQ(result->SplineCount(), 2);

    const Spline3D* s = result->GetSpline(0);
    EXPECT_TRUE(s->Closed());
    ASSERT_EQ(s->KnotCount(), 4);
    // Knots keep their positions (in the object's own space) and type codes.
    EXPECT_EQ(s->GetKnotPoint(0), k0.Knot());
    EXPECT_EQ(s->GetKnotPoint(1), k1.Knot());
    EXPECT_EQ(s->GetKnotPoint(2), k2.Knot());
    EXPECT_EQ(s->GetKnotPoint(3), k3.Knot());
    EXPECT_EQ(s->GetKnotType(0), KTYPE_CORNER);
    EXPECT_EQ(s->GetKnotType(1), KTYPE_BEZIER);
    EXPECT_EQ(s->GetKnotType(2), KTYPE_BEZIER_CORNER);
    EXPECT_EQ(s->GetKnotType(3), KTYPE_AUTO);
    // Corners come back with both handles on the knot and as lines; the rest as curves.
    EXPECT_EQ(s->GetInVec(0), k0.Knot());
    EXPECT_EQ(s->GetOutVec(0), k0.Knot());
    EXPECT_EQ(s->GetLineType(0), LTYPE_LINE);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(s->GetLineType(i), LTYPE_CURVE) << i;
    EXPECT_EQ(s->GetInVec(1), k1.InVec());
    EXPECT_EQ(s->GetOutVec(1), k1.OutVec());
    EXPECT_EQ(s->GetInVec(2), k2.InVec());
    EXPECT_EQ(s->GetOutVec(2), k2.OutVec());
    EXPECT_EQ(s->GetInVec(3), k3.InVec());
    EXPECT_EQ(s->GetOutVec(3), k4.OutVec());
    EXPECT_EQ(s->InitialType(), KTYPE_AUTO);
    EXPECT_EQ(s->DrawType(), KTYPE_CORNER);

    const Spline3D* o = result->GetSpline(1);
    EXPECT_FALSE(o->Closed());
    ASSERT_EQ(o->KnotCount(), 2);
    EXPECT_EQ(o->GetKnotPoint(1), Point3(30, 5, 0));

    // Selections fit the new topology; the validity is the threshold's.
    ASSERT_EQ(result->knotSelection.size(), 2u);
    EXPECT_EQ(result->knotSelection[0].size(), 4u);
    EXPECT_EQ(mod->LocalValidity(0), FOREVER);
    // The object the stack started from is untouched.
    EXPECT_EQ(source->shape.SplineCount(), 3);
    EXPECT_EQ(source->shape.GetSpline(0)->KnotCount(), 5);
}

TEST(ModifyPipeline, OperationsCombineWithTheOperandInItsPlace) {
    struct Case {
        int code;
        QVector<P> outline;
    };
    for (const Case& c :
         {Case{0, kUnion}, Case{2, kBaseMinusOperand}, Case{3, kOperandMinusBase}}) {
        SCOPED_TRACE(c.code);
        auto scene = newScene();
        Modifier* mod = perPair(scene->createModifier("Carvex"));
        INode* base = modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
        // The operand's own square sits at its origin; its node puts it at (5, 2).
        INode* op = scene->addNode("Op", shapeOf({rectangle(0, 0, 10, 6)}));
        op->SetNodeTM(0, TransMatrix(Point3(5.0f, 2.0f, 0.0f)));
        addOperand(mod, op, c.code);
        EXPECT_TRUE(outlineIs(only(scene->evaluate(base)), c.outline));
        // The operand node's shape is not changed by the operation.
        EXPECT_TRUE(outlineIs(only(scene->evaluate(op)), {{0, 0}, {10, 0}, {10, 6}, {0, 6}}));
    }
}

TEST(ModifyPipeline, OperandsAreMovedByTheirTransformRelativeToTheBase) {
    auto scene = newScene();
    Modifier* mod = perPair(scene->createModifier("Carvex"));
    INode* base = modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
    // The base turned a quarter and moved; the operand placed at (5, 2) in the
    // base's own frame, so only T_op x T_base^-1 brings it there.
    const Matrix3 baseTM =
        RotateZMatrix(static_cast<float>(M_PI / 2)) * TransMatrix(Point3(100, 50, 0));
    base->SetNodeTM(0, baseTM);
    INode* op = scene->addNode("Op", shapeOf({rectangle(0, 0, 10, 6)}));
    op->SetNodeTM(0, TransMatrix(Point3(5, 2, 0)) * baseTM);
    addOperand(mod, op, 0);
    EXPECT_TRUE(outlineIs(only(scene->evaluate(base)), kUnion, 1e-2f));

    // Moving the operand node tells the modifier, whose stack evaluates
    // again: now the operand lies apart and the union changes nothing.
    EXPECT_TRUE(outlineIs(only(worldShape(base)), kUnion, 1e-2f));
    op->SetNodeTM(0, TransMatrix(Point3(50, 2, 0)) * baseTM);
    EXPECT_TRUE(outlineIs(only(worldShape(base)), {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 1e-2f));
}

TEST(ModifyPipeline, OperandsApplyInRowOrder) {
    auto scene = newScene();
    Modifier* mod = perPair(scene->createModifier("Carvex"));
    INode* base = modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
    INode* grow = scene->addNode("Grow", shapeOf({rectangle(5, 2, 15, 8)}));
    INode* notch = scene->addNode("Notch", shapeOf({rectangle(12, 4, 20, 6)}));
    // The notch only meets the base once the first operand has grown it.
    addOperand(mod, grow, 0);
    addOperand(mod, notch, 2);
    EXPECT_TRUE(outlineIs(only(scene->evaluate(base)), {{0, 0},
                                                        {10, 0},
                                                        {10, 2},
                                                        {15, 2},
                                                        {15, 4},
                                                        {12, 4},
                                                        {12, 6},
                                                        {15, 6},
                                                        {15, 8},
                                                        {10, 8},
                                                        {10, 10},
                                                        {0, 10}}));
}

TEST(ModifyPipeline, AtMostTwoHundredOperandsAreEvaluated) {
    auto scene = newScene();
    Modifier* mod = perPair(scene->createModifier("Carvex"));
    INode* base = modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
    // Empty operand shapes change nothing but are evaluated all the same.
    CountingShape* filler = countingShape();
    INode* fillerNode = scene->addNode("Filler", filler);
    for (int i = 0; i < 199; ++i)
        addOperand(mod, fillerNode, 0);
    CountingShape* last = countingShape(rectangle(5, 2, 15, 8));
    addOperand(mod, scene->addNode("Last", last), 0);
    CountingShape* beyond = countingShape(rectangle(-5, -5, 20, 20));
    addOperand(mod, scene->addNode("Beyond", beyond), 0);
    ASSERT_EQ(mod->GetParamBlock(0)->Count(0), 201);

    EXPECT_TRUE(outlineIs(only(scene->evaluate(base)), kUnion));
    EXPECT_EQ(filler->evaluations, 199);
    EXPECT_EQ(last->evaluations, 1);
    EXPECT_EQ(beyond->evaluations, 0);
}

TEST(ModifyPipeline, AnOperandThatCannotBecomeAShapeEndsTheList) {
    auto scene = newScene();
    Modifier* mod = perPair(scene->createModifier("Carvex"));
    INode* base = modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
    // A rectangle object is converted to a spline shape (and the copy deleted).
    INode* rect = scene->addNode("Rect", new standin::RectangleShape(10, 6));
    rect->SetNodeTM(0, TransMatrix(Point3(10, 5, 0)));
    INode* box = scene->addNode("Box", new standin::BoxObject(Point3(1, 1, 1)));
    CountingShape* after = countingShape(rectangle(-5, -5, 1, 1));
    addOperand(mod, rect, 0);
    addOperand(mod, box, 0);
    addOperand(mod, scene->addNode("After", after), 0);

    EXPECT_TRUE(outlineIs(only(scene->evaluate(base)), kUnion));
    EXPECT_EQ(after->evaluations, 0);

    // An empty row ends it the same way.
    IParamBlock2* pb = mod->GetParamBlock(0);
    pb->SetValue(0, 0, static_cast<INode*>(nullptr), 1);
    pb->SetValue(0, 0, scene->node("After"), 2);
    EXPECT_TRUE(outlineIs(only(scene->evaluate(base)), kUnion));
    EXPECT_EQ(after->evaluations, 0);
}

TEST(ModifyPipeline, AnInstancedModifierUsesTheNodeThatHoldsTheContext) {
    auto scene = newScene();
    Modifier* mod = perPair(scene->createModifier("Carvex"));
    INode* near = modifiedNode(*scene, "Near", shapeOf({rectangle(0, 0, 10, 10)}), mod);
    INode* far = modifiedNode(*scene, "Far", shapeOf({rectangle(0, 0, 10, 10)}), mod);
    far->SetNodeTM(0, TransMatrix(Point3(100, 0, 0)));
    INode* op = scene->addNode("Op", shapeOf({rectangle(5, 2, 15, 8)}));
    addOperand(mod, op, 0);
    // Near comes first among the modifier's dependents: taking the first node
    // found would place the operand wrongly for Far.
    EXPECT_TRUE(outlineIs(only(scene->evaluate(far)), {{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    EXPECT_TRUE(outlineIs(only(scene->evaluate(near)), kUnion));
}

TEST(ModifyPipeline, TheNodeIsFoundThroughBranchesAndReferencedObjects) {
    auto scene = newScene();
    INode* op = scene->addNode("Op", shapeOf({rectangle(0, 0, 10, 6)}));
    op->SetNodeTM(0, TransMatrix(Point3(25, 2, 0)));

    // Inside a branch of a compound shape whose node stands at (20, 0).
    Modifier* inBranch = perPair(scene->createModifier("Carvex"));
    addOperand(inBranch, op, 0);
    IDerivedObject* branch = CreateDerivedObject(shapeOf({rectangle(0, 0, 10, 10)}));
    branch->AddModifier(inBranch);
    auto* merge = new standin::MergeShape;
    merge->AddBranch(branch);
    merge->AddBranch(shapeOf({rectangle(30, 30, 31, 31)}));
    INode* compound = scene->addNode("Compound", merge);
    compound->SetNodeTM(0, TransMatrix(Point3(20, 0, 0)));
    const BezierShape* merged = scene->evaluate(compound);
    ASSERT_NE(merged, nullptr);
    ASSERT_EQ(merged->SplineCount(), 2);
    EXPECT_TRUE(outlineIs(merged->GetSpline(0), kUnion));

    // Behind a referenced object, whose source holds the stack.
    Modifier* behindRef = perPair(scene->createModifier("Carvex"));
    addOperand(behindRef, op, 0);
    IDerivedObject* source = CreateDerivedObject(shapeOf({rectangle(0, 0, 10, 10)}));
    source->AddModifier(behindRef);
    auto* xref = new standin::XRefObject;
    xref->SetSource(source);
    INode* referenced = scene->addNode("Referenced", xref);
    referenced->SetNodeTM(0, TransMatrix(Point3(20, 0, 0)));
    EXPECT_TRUE(outlineIs(only(scene->evaluate(referenced)), kUnion));
}

TEST(ModifyPipeline, WithoutANodeTheShapePassesUntouched) {
    auto scene = newScene();
    Modifier* mod = perPair(scene->createModifier("Carvex"));
    INode* op = scene->addNode("Op", shapeOf({rectangle(5, 2, 15, 8)}));
    addOperand(mod, op, 0);
    // A stack that no node holds.
    IDerivedObject* loose = CreateDerivedObject(shapeOf({rectangle(0, 0, 10, 10)}));
    loose->AddModifier(mod);
    Object* result = loose->Eval(0).obj;
    ASSERT_NE(result, nullptr);
    ASSERT_TRUE(result->IsSubClassOf(splineShapeClassID));
    EXPECT_TRUE(outlineIs(only(&static_cast<SplineShape*>(result)->shape),
                          {{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    // ... and asks to be evaluated again, when the node may be known.
    EXPECT_EQ(mod->LocalValidity(0), NEVER);
    loose->MaybeAutoDelete();
}

TEST(ModifyPipeline, NonShapesAreLeftAlone) {
    Modifier* mod = perPair(newCarvex());
    ModContext mc;
    standin::BoxObject box(Point3(1, 1, 1));
    ObjectState os(&box);
    mod->ModifyObject(0, mc, &os, nullptr);
    EXPECT_EQ(os.obj, &box);
    EXPECT_EQ(mod->LocalValidity(0), FOREVER);
    mod->MaybeAutoDelete();
}

TEST(ModifyPipeline, TheThresholdReachesTheEngine) {
    // The crossings lie 2 from the base's corners: with a threshold of 3 the
    // engine treats them as one place, with the default all eight knots stay.
    const QVector<P> fine = kUnion;
    auto outlineWith = [&](float threshold) {
        auto scene = newScene();
        Modifier* mod = perPair(scene->createModifier("Carvex"));
        mod->GetParamBlock(0)->SetValue(kThreshold, 0, threshold);
        INode* base = modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
        addOperand(mod, scene->addNode("Op", shapeOf({rectangle(5, 2, 15, 8)})), 0);
        const Spline3D* s = only(scene->evaluate(base));
        return s ? s->KnotCount() : -1;
    };
    EXPECT_EQ(outlineWith(0.0001f), fine.size());
    const int coarse = outlineWith(3.0f);
    EXPECT_GT(coarse, 0);
    EXPECT_NE(coarse, fine.size());
}

TEST(ModifierDisplay, KnotMarkersOfTheEvaluatedShape) {
    auto scene = newScene();
    Modifier* mod = perPair(scene->createModifier("Carvex"));
    INode* base = modifiedNode(*scene, "Base",
                               shapeOf({rectangle(0, 0, 10, 10), rectangle(20, 0, 21, 1)}), mod);
    base->SetNodeTM(0, TransMatrix(Point3(0, 0, 5)));
    base->SetObjOffsetTM(TransMatrix(Point3(1, 0, 0)));
    ViewExp view;
    GraphicsWindow* gw = view.getGW();
    gw->setRndLimits(2 | 8);
    EXPECT_EQ(mod->Display(0, base, &view, 0, nullptr), 1);
    ASSERT_EQ(gw->markers.size(), 8u);
    for (size_t i = 0; i < gw->markers.size(); ++i) {
        const GraphicsWindow::Marker& m = gw->markers[i];
        EXPECT_EQ(m.type, 23);
        EXPECT_EQ(m.transform, TransMatrix(Point3(1, 0, 5)));  // the object's transform
        EXPECT_EQ(m.limits, 8u);                               // drawn over everything
        const bool first = i == 0 || i == 4;
        EXPECT_EQ(m.colour[0], first ? 1.0f : 0.1f) << i;
        EXPECT_EQ(m.colour[1], first ? 1.0f : 0.6f) << i;
        EXPECT_EQ(m.colour[2], first ? 1.0f : 0.3f) << i;
    }
    EXPECT_EQ(gw->markers[2].point, Point3(10, 10, 0));
    EXPECT_EQ(gw->markers[4].point, Point3(20, 0, 0));
    EXPECT_EQ(gw->getRndLimits(), 10u);  // restored

    // A node whose object is no shape shows nothing.
    INode* box = scene->addNode("Box", new standin::BoxObject(Point3(1, 1, 1)));
    ViewExp other;
    EXPECT_EQ(mod->Display(0, box, &other, 0, nullptr), 0);
    EXPECT_TRUE(other.getGW()->markers.empty());
}
