// The modifier on whole shapes: holes and pieces, old scenes as they were,
// the check box and the status line of the Parameters rollout.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cmath>

#include "carvex.h"
#include "hosttest.h"
#include "resource.h"
#include "standin/ui.h"

using namespace hosttest;

namespace {

const auto* const guiEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

constexpr int kUnion = 0;
constexpr int kIntersect = 1;
constexpr int kSubtrA = 2;
constexpr int kSubtrB = 3;

const QString kBefore = QStringLiteral(CARVEX_HOST_TEST_DATA "/before_whole_shapes");

double cross(const Point3& a, const Point3& b) {
    return double(a.x) * b.y - double(b.x) * a.y;
}

// Exact signed area of a closed spline of cubic segments, from its control
// points alone (Green's theorem on each cubic): counterclockwise positive.
double signedArea(const Spline3D* s) {
    double twenty = 0.0;
    const int n = s->KnotCount();
    for (int k = 0; k < n; ++k) {
        const int j = (k + 1) % n;
        const Point3 p[4] = {s->GetKnotPoint(k), s->GetOutVec(k), s->GetInVec(j),
                             s->GetKnotPoint(j)};
        twenty += 6 * cross(p[0], p[1]) + 3 * cross(p[0], p[2]) + cross(p[0], p[3]) +
                  3 * cross(p[1], p[2]) + 3 * cross(p[1], p[3]) + 6 * cross(p[2], p[3]);
    }
    return twenty / 20.0;
}

double signedArea(const BezierShape* shape) {
    double a = 0.0;
    for (int i = 0; i < shape->SplineCount(); ++i)
        a += signedArea(shape->GetSpline(i));
    return a;
}

struct Loops {
    int pieces = 0;  // counterclockwise
    int holes = 0;   // clockwise
};

Loops loopsOf(const BezierShape* shape) {
    Loops l;
    for (int i = 0; i < shape->SplineCount(); ++i) {
        EXPECT_TRUE(shape->GetSpline(i)->Closed());
        (signedArea(shape->GetSpline(i)) > 0 ? l.pieces : l.holes) += 1;
    }
    return l;
}

// A circle of four cubic arcs, as drawing programs make one.
Spline3D* circle(float cx, float cy, float r) {
    const float k = 0.5522847498f * r;
    auto* s = new Spline3D;
    const float pts[4][6] = {
        {r, 0, r, -k, r, k}, {0, r, k, r, -k, r}, {-r, 0, -r, k, -r, -k}, {0, -r, -k, -r, k, -r}};
    for (const auto& p : pts) {
        SplineKnot knot(KTYPE_BEZIER, LTYPE_CURVE, Point3(cx + p[0], cy + p[1], 0.0f),
                        Point3(cx + p[2], cy + p[3], 0.0f), Point3(cx + p[4], cy + p[5], 0.0f));
        s->AddKnot(knot);
    }
    s->SetClosed();
    return s;
}

Spline3D* reversed(Spline3D* s) {
    auto* r = new Spline3D;
    for (int k = s->KnotCount() - 1; k >= 0; --k) {
        SplineKnot knot(s->GetKnotType(k), LTYPE_CURVE, s->GetKnotPoint(k), s->GetOutVec(k),
                        s->GetInVec(k));
        r->AddKnot(knot);
    }
    r->SetClosed();
    delete s;
    return r;
}

IParamBlock2* block(Modifier* mod) {
    return mod->GetParamBlock(0);
}

// The modifier's class lives in the plug-in, whose type information is
// hidden from this program: the sanitizer's check of the cast cannot find it.
__attribute__((no_sanitize("vptr"))) QString statusOf(Modifier* mod) {
    return QString::fromStdWString(static_cast<Carvex*>(mod)->status());
}

}  // namespace

// ---------------------------------------------------------------------------
// Scenes saved before the parameter existed

TEST(WholeShapesOldScenes, LoadPairByPairAndEvaluateBitForBitAsBefore) {
    for (const QString name : {"panel", "plate", "workshop"}) {
        SCOPED_TRACE(name.toStdString());
        auto scene = newScene();
        QString why;
        ASSERT_TRUE(scene->load(kBefore + "/" + name + ".json", &why)) << why.toStdString();
        for (INode* node : scene->modifiedNodes()) {
            const QString nodeName = QString::fromWCharArray(node->GetName());
            Modifier* mod = static_cast<IDerivedObject*>(node->GetObjectRef())->GetModifier(0);
            EXPECT_EQ(block(mod)->GetInt(kWholeShapesParam), 0);
            BezierShape expected;
            ASSERT_TRUE(standin::readHostShape(kBefore + "/" + name + "." + nodeName + ".json",
                                               expected, &why))
                << why.toStdString();
            const BezierShape* got = scene->evaluate(node);
            ASSERT_NE(got, nullptr);
            ASSERT_EQ(got->SplineCount(), expected.SplineCount());
            for (int s = 0; s < got->SplineCount(); ++s) {
                const Spline3D* a = got->GetSpline(s);
                const Spline3D* b = expected.GetSpline(s);
                ASSERT_EQ(a->KnotCount(), b->KnotCount());
                EXPECT_EQ(a->Closed(), b->Closed());
                for (int k = 0; k < a->KnotCount(); ++k) {
                    EXPECT_EQ(a->GetKnotPoint(k), b->GetKnotPoint(k)) << s << " " << k;
                    EXPECT_EQ(a->GetKnotType(k), b->GetKnotType(k)) << s << " " << k;
                    // A corner's handles are not drawn, nor written to shape files.
                    if (a->GetKnotType(k) == KTYPE_CORNER) continue;
                    EXPECT_EQ(a->GetInVec(k), b->GetInVec(k)) << s << " " << k;
                    EXPECT_EQ(a->GetOutVec(k), b->GetOutVec(k)) << s << " " << k;
                }
            }
        }
    }
}

TEST(WholeShapesOldScenes, SavedAgainTheyKeepTheBoxOffAndNewOnesKeepItOn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString why;
    {
        auto scene = newScene();
        ASSERT_TRUE(scene->load(kBefore + "/panel.json", &why)) << why.toStdString();
        Modifier* fresh = scene->createModifier("Carvex", "fresh");
        modifiedNode(*scene, "Fresh", shapeOf({rectangle(0, 0, 5, 5)}), fresh);
        ASSERT_TRUE(scene->save(dir.filePath("again.json"), &why)) << why.toStdString();
    }
    QFile file(dir.filePath("again.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray mods = QJsonDocument::fromJson(file.readAll()).object()["modifiers"].toArray();
    ASSERT_EQ(mods.size(), 2);
    for (const QJsonValue m : mods) {
        const QJsonObject mo = m.toObject();
        EXPECT_EQ(mo["versions"].toObject()["params"].toInt(), 1);
        EXPECT_EQ(mo["params"].toObject()["Whole_shapes"].toInt(-1),
                  mo["id"].toString() == "fresh" ? 1 : 0);
    }
    auto reloaded = newScene();
    ASSERT_TRUE(reloaded->load(dir.filePath("again.json"), &why)) << why.toStdString();
    for (INode* node : reloaded->modifiedNodes()) {
        Modifier* mod = static_cast<IDerivedObject*>(node->GetObjectRef())->GetModifier(0);
        EXPECT_EQ(block(mod)->GetInt(kWholeShapesParam),
                  QString::fromWCharArray(node->GetName()) == "Fresh" ? 1 : 0);
    }
}

TEST(WholeShapesOldScenes, AValueTheFileGivesWinsAndANewerBlockIsRefused) {
    const char* scene = R"({"format": "carvex-scene", "version": 1,
      "modifiers": [{"id": "m", "class": "Carvex", "params": {"Whole_shapes": 1}%1}],
      "nodes": [{"name": "Base", "object": {"type": "rectangle", "width": 4, "length": 4},
                 "modifiers": ["m"]}]})";
    {
        auto s = newScene();
        QString why;
        ASSERT_TRUE(s->loadJson(QString(scene).arg("").toUtf8(), QString(), &why));
        Modifier* mod =
            static_cast<IDerivedObject*>(s->node("Base")->GetObjectRef())->GetModifier(0);
        EXPECT_EQ(block(mod)->GetInt(kWholeShapesParam), 1);
    }
    auto s = newScene();
    QString why;
    EXPECT_FALSE(s->loadJson(QString(scene).arg(R"(, "versions": {"params": 2})").toUtf8(),
                             QString(), &why));
    EXPECT_TRUE(why.contains("modifiers[0].versions.params")) << why.toStdString();
    EXPECT_TRUE(why.contains("version 2")) << why.toStdString();
}

// ---------------------------------------------------------------------------
// Answers, by exact enclosed area and the loops' turning

class WholeShapesTest : public ::testing::Test {
protected:
    void SetUp() override {
        scene = newScene();
        mod = scene->createModifier("Carvex");
        ASSERT_EQ(block(mod)->GetInt(kWholeShapesParam), 1);  // a new modifier starts with it on
    }
    INode* base(std::initializer_list<Spline3D*> splines) {
        baseNode = modifiedNode(*scene, "Base", shapeOf(splines), mod);
        return baseNode;
    }
    void operand(const QString& name, std::initializer_list<Spline3D*> splines, int code) {
        addOperand(mod, scene->addNode(name, shapeOf(splines)), code);
    }
    const BezierShape* result() { return scene->evaluate(baseNode); }

    std::unique_ptr<standin::Scene> scene;
    Modifier* mod = nullptr;
    INode* baseNode = nullptr;
};

TEST_F(WholeShapesTest, APanelCutByADiscAndABarHasAHoleAndTwoPieces) {
    base({rectangle(0, 0, 60, 40)});
    Spline3D* disc = circle(15, 20, 4);
    const double discArea = signedArea(disc);
    operand("Disc", {disc}, kSubtrA);
    operand("Bar", {rectangle(38, -10, 42, 50)}, kSubtrA);
    const BezierShape* r = result();
    const Loops l = loopsOf(r);
    EXPECT_EQ(l.pieces, 2);
    EXPECT_EQ(l.holes, 1);
    EXPECT_NEAR(signedArea(r), 2400.0 - 160.0 - discArea, 1e-3);
    EXPECT_EQ(statusOf(mod), "Whole shapes: 2 pieces, 1 hole");
    // Pair by pair the same rows leave the panel whole: neither answer is one loop.
    perPair(mod);
    EXPECT_NEAR(signedArea(result()), 2400.0, 1e-3);
    EXPECT_TRUE(statusOf(mod).contains("the answer is not one loop"))
        << statusOf(mod).toStdString();
    EXPECT_TRUE(statusOf(mod).contains("row 1 (Disc)")) << statusOf(mod).toStdString();
}

TEST_F(WholeShapesTest, NestedSplinesAreHolesAndIslandsWhicheverWayTheyTurn) {
    // Three nested squares, the middle one drawn the same way as the outer:
    // read as extruders read them, it is a hole and the inner one an island.
    base({rectangle(0, 0, 30, 30), rectangle(5, 5, 25, 25), rectangle(10, 10, 20, 20)});
    operand("Bar", {rectangle(-1, 14, 31, 16)}, kSubtrA);
    const BezierShape* r = result();
    const double expected = (900.0 - 400.0 + 100.0) - (2.0 * 30.0 - 2.0 * 20.0 + 2.0 * 10.0);
    EXPECT_NEAR(signedArea(r), expected, 1e-3);
    const Loops l = loopsOf(r);
    EXPECT_EQ(l.pieces, 4);  // the frame and the island each fall in two
    EXPECT_EQ(l.holes, 0);
}

TEST_F(WholeShapesTest, AnOperandInsideAHoleTakesNothingAwayAndMeetsNothing) {
    base({rectangle(0, 0, 10, 10), reversed(rectangle(2, 2, 8, 8))});
    operand("Inside", {rectangle(4, 4, 6, 6)}, kSubtrA);
    EXPECT_NEAR(signedArea(result()), 64.0, 1e-9);
    EXPECT_EQ(loopsOf(result()).holes, 1);

    block(mod)->SetValue(2, 0, kIntersect, 0);
    EXPECT_EQ(result()->SplineCount(), 0);
    EXPECT_EQ(statusOf(mod), "Whole shapes: the answer is empty");

    block(mod)->SetValue(2, 0, kUnion, 0);
    const Loops l = loopsOf(result());
    EXPECT_EQ(l.pieces, 2);
    EXPECT_EQ(l.holes, 1);
    EXPECT_NEAR(signedArea(result()), 68.0, 1e-9);
}

TEST_F(WholeShapesTest, SharedEdgesJoinAndTheOperandMinusTheBaseIsWhatIsLeftOfIt) {
    base({rectangle(0, 0, 10, 10)});
    operand("Right", {rectangle(10, 0, 20, 10)}, kUnion);
    EXPECT_EQ(loopsOf(result()).pieces, 1);
    EXPECT_NEAR(signedArea(result()), 200.0, 1e-9);

    // Subtr_B: the operand minus the base; a shared edge leaves the operand whole.
    block(mod)->SetValue(2, 0, kSubtrB, 0);
    EXPECT_NEAR(signedArea(result()), 100.0, 1e-9);
    Point3 low, high;
    const_cast<BezierShape*>(result())->GetBounds(low, high);
    EXPECT_FLOAT_EQ(low.x, 10.0f);
    EXPECT_FLOAT_EQ(high.x, 20.0f);
}

TEST_F(WholeShapesTest, RowsApplyInOrderToTheWholeAnswerSoFar) {
    base({rectangle(0, 0, 10, 10)});
    operand("Far", {rectangle(20, 0, 30, 10)}, kUnion);       // two pieces
    operand("Across", {rectangle(-5, 4, 35, 6)}, kSubtrA);    // each cut in two
    operand("Keep", {rectangle(-5, -5, 35, 5)}, kIntersect);  // the lower halves
    const BezierShape* r = result();
    EXPECT_EQ(loopsOf(r).pieces, 2);
    EXPECT_NEAR(signedArea(r), 2 * 40.0, 1e-9);
}

TEST_F(WholeShapesTest, OpenSplinesOfTheBaseStayAndAnOperandsBoundNothing) {
    auto* open = new Spline3D;
    for (P p : {P{0, 20}, P{10, 25}}) {
        SplineKnot k(KTYPE_CORNER, LTYPE_LINE, Point3(p.x, p.y, 0.0f), Point3(p.x, p.y, 0.0f),
                     Point3(p.x, p.y, 0.0f));
        open->AddKnot(k);
    }
    base({rectangle(0, 0, 10, 10), open});
    auto* openOperand = new Spline3D;
    for (P p : {P{5, -5}, P{5, 15}, P{15, 15}}) {
        SplineKnot k(KTYPE_CORNER, LTYPE_LINE, Point3(p.x, p.y, 0.0f), Point3(p.x, p.y, 0.0f),
                     Point3(p.x, p.y, 0.0f));
        openOperand->AddKnot(k);
    }
    operand("Hook", {openOperand, rectangle(8, 0, 12, 10)}, kSubtrA);
    const BezierShape* r = result();
    ASSERT_EQ(r->SplineCount(), 2);
    EXPECT_NEAR(signedArea(r->GetSpline(0)), 80.0, 1e-9);
    const Spline3D* kept = r->GetSpline(1);
    EXPECT_FALSE(kept->Closed());
    ASSERT_EQ(kept->KnotCount(), 2);
    EXPECT_EQ(kept->GetKnotPoint(1), Point3(10.0f, 25.0f, 0.0f));
}

TEST_F(WholeShapesTest, ARefusalLeavesTheBaseAsItCameAndSaysWhy) {
    // A threshold of 6 on shapes 10 across would join the whole side of the
    // square into one point.
    base({rectangle(0, 0, 10, 10)});
    operand("Op", {rectangle(5, 2, 15, 8)}, kUnion);
    operand("Second", {rectangle(-5, 0, 0, 10)}, kUnion);
    block(mod)->SetValue(3, 0, 6.0f);
    const BezierShape* r = result();
    ASSERT_EQ(r->SplineCount(), 1);
    EXPECT_TRUE(outlineIs(r->GetSpline(0), {{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    EXPECT_TRUE(statusOf(mod).startsWith("Left as it was: row 1 (Op): the threshold is coarser"))
        << statusOf(mod).toStdString();
}

TEST_F(WholeShapesTest, CodesThatNameNoOperationAreSkippedAndSaidSo) {
    base({rectangle(0, 0, 10, 10)});
    operand("Odd", {rectangle(5, 5, 15, 15)}, 7);
    operand("Cut", {rectangle(5, -5, 15, 5)}, kSubtrA);
    EXPECT_NEAR(signedArea(result()), 75.0, 1e-9);
    EXPECT_TRUE(statusOf(mod).contains("row 1 (Odd): operation code 7 names no operation"))
        << statusOf(mod).toStdString();
}

// ---------------------------------------------------------------------------
// The rollout

TEST_F(WholeShapesTest, TheCheckBoxFollowsTheParameterAndTheStatusLineTheLastEvaluation) {
    base({rectangle(0, 0, 60, 40)});
    operand("Disc", {circle(15, 20, 4)}, kSubtrA);
    result();
    auto* ip = static_cast<IObjParam*>(GetCOREInterface());
    HWND panel = nullptr;
    auto open = [&] {
        mod->BeginEditParams(ip, 0, nullptr);
        panel = standin::rollouts().isEmpty() ? nullptr : standin::rollouts().first().window;
        return panel != nullptr;
    };
    auto statusLine = [&] {
        wchar_t text[512] = {};
        GetDlgItemTextW(panel, IDC_STATUS, text, 512);
        return QString::fromWCharArray(text);
    };
    auto clickBox = [&] {
        HWND box = GetDlgItem(panel, IDC_WHOLE_SHAPES);
        RECT c;
        GetClientRect(box, &c);
        return standin::mouseClick(box, QPoint(c.right / 2, c.bottom / 2));
    };
    ASSERT_TRUE(open());
    EXPECT_EQ(IsDlgButtonChecked(panel, IDC_WHOLE_SHAPES), UINT(BST_CHECKED));
    // Shown from the evaluation before the rollout opened.
    EXPECT_EQ(statusLine(), "Whole shapes: 1 piece, 1 hole");

    ASSERT_TRUE(clickBox());
    EXPECT_EQ(block(mod)->GetInt(kWholeShapesParam), 0);
    EXPECT_NEAR(signedArea(result()), 2400.0, 1e-3);
    EXPECT_TRUE(statusLine().startsWith("A pair was left as it was: row 1 (Disc)"))
        << statusLine().toStdString();

    // Opened again, the rollout shows the box as the block has it.
    mod->EndEditParams(ip, 0, nullptr);
    ASSERT_TRUE(open());
    EXPECT_EQ(IsDlgButtonChecked(panel, IDC_WHOLE_SHAPES), UINT(BST_UNCHECKED));
    ASSERT_TRUE(clickBox());
    EXPECT_EQ(block(mod)->GetInt(kWholeShapesParam), 1);
    result();
    EXPECT_EQ(statusLine(), "Whole shapes: 1 piece, 1 hole");
    mod->EndEditParams(ip, 0, nullptr);
}
