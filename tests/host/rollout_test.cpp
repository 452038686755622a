// The Parameters rollout and its operand list, driven as a person drives
// them: buttons and rows clicked, nodes picked in the viewport, the list
// scrolled; what it shows is read from the rendered pixels.

#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

#include "hosttest.h"
#include "resource.h"
#include "splinelistview.h"
#include "standin/ui.h"
#include "uisession.h"

using namespace hosttest;

namespace {

constexpr ParamID kSplineNode = 0;
constexpr ParamID kType = 1;
constexpr ParamID kOperationTypes = 2;

const auto* const guiEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

const QColor kBackground(220, 220, 220);
const QColor kSelectedBackground(130, 150, 220);
const QColor kSelectedPen(0, 50, 200);

// A modifier on a node of its own, operand nodes to pick, and its rollouts
// open in the command panel for as long as the fixture lives.
class RolloutTest : public ::testing::Test {
protected:
    void SetUp() override {
        scene = newScene();
        mod = scene->createModifier("Carvex");
        ASSERT_NE(mod, nullptr);
        modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
        mod->BeginEditParams(ip(), 0, nullptr);
        ASSERT_EQ(standin::rollouts().size(), 2);
    }
    void TearDown() override {
        close();
        scene.reset();
    }
    void close() {
        if (open) mod->EndEditParams(ip(), 0, nullptr);
        open = false;
    }

    static IObjParam* ip() { return static_cast<IObjParam*>(GetCOREInterface()); }
    HWND rollout() const { return standin::rollouts().first().window; }
    HWND control(int id) const { return GetDlgItem(rollout(), id); }
    HWND list() const { return control(IDC_SPLINE_LIST); }
    IParamBlock2* pb() const { return mod->GetParamBlock(0); }
    SplineListState* state() const {
        return reinterpret_cast<SplineListState*>(GetWindowLongPtrW(list(), GWLP_USERDATA));
    }
    bool press(int id) const {
        RECT r;
        GetClientRect(control(id), &r);
        return standin::mouseClick(control(id), QPoint(r.right / 2, r.bottom / 2));
    }
    INode* shapeNode(const QString& name, COLORREF wire = RGB(0, 0, 0)) {
        INode* n = scene->addNode(name, shapeOf({rectangle(0, 0, 1, 1)}));
        n->SetWireColor(wire);
        return n;
    }
    QVector<int> codes() const {
        QVector<int> out;
        for (int row = 0; row < pb()->Count(kOperationTypes); ++row)
            out.push_back(pb()->GetInt(kOperationTypes, 0, row));
        return out;
    }
    bool clickRowAt(int y) const { return standin::mouseClick(list(), QPoint(40, y)); }
    // The list as it shows now, client area only.
    QImage listImage() const {
        RECT r;
        GetClientRect(list(), &r);
        return standin::renderWindow(list()).copy(0, 0, r.right, r.bottom);
    }

    std::unique_ptr<standin::Scene> scene;
    Modifier* mod = nullptr;
    bool open = true;
};

// Whether any pixel of the area has the colour, or differs from it.
bool anyPixel(const QImage& image, const QRect& area, const QColor& colour, bool equal) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixelColor(x, y) == colour) == equal) return true;
    return false;
}

}  // namespace

TEST_F(RolloutTest, OpeningLaysOutTheRolloutsAndHandsTheListItsState) {
    const QVector<standin::Rollout> r = standin::rollouts();
    EXPECT_EQ(r[0].title, "Parameters");
    EXPECT_TRUE(r[0].open);
    EXPECT_EQ(r[1].title, "About");
    EXPECT_FALSE(r[1].open);
    EXPECT_TRUE(mod->TestAFlag(A_BEING_EDITED));

    // Dialog units at 6 x 13 base units, rounded as MulDiv rounds: the list
    // at 7, 7, 93 x 101 is 11, 11, 140 x 164; the rollout 161 x 380.
    RECT w;
    ASSERT_TRUE(GetWindowRect(list(), &w));
    EXPECT_EQ(w.left, 11);
    EXPECT_EQ(w.top, 11);
    EXPECT_EQ(w.right - w.left, 140);
    EXPECT_EQ(w.bottom - w.top, 164);
    ASSERT_TRUE(GetWindowRect(rollout(), &w));
    EXPECT_EQ(w.right - w.left, 161);
    EXPECT_EQ(w.bottom - w.top, 380);

    ASSERT_NE(state(), nullptr);
    EXPECT_EQ(state()->pblock, pb());
    EXPECT_EQ(state()->listWindow, list());
    EXPECT_EQ(state()->selected, -1);
    // The vertical scroll bar shows, with the system's range, outside the client area.
    int low = -1, high = -1;
    ASSERT_TRUE(GetScrollRange(list(), SB_VERT, &low, &high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 100);
    RECT client;
    GetClientRect(list(), &client);
    EXPECT_EQ(client.right, 140 - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(client.bottom, 164);
    // The class was registered under the module's manifest.
    EXPECT_EQ(standin::windowClassContext("SplinesListBoxView"), "Carvex");

    close();
    EXPECT_TRUE(standin::rollouts().isEmpty());
    EXPECT_FALSE(mod->TestAFlag(A_BEING_EDITED));
}

TEST_F(RolloutTest, PickingAddsEachShapeNodeOnceUntilARightClick) {
    INode* a = shapeNode("A");
    INode* box = scene->addNode("Box", new standin::BoxObject(Point3(1, 1, 1)));

    ASSERT_TRUE(press(IDC_ADD));
    ICustButton* add = GetICustButton(control(IDC_ADD));
    EXPECT_TRUE(add->IsChecked());
    EXPECT_FALSE(IsWindowEnabled(list()));
    EXPECT_NE(GetCOREInterface()->GetCurPickMode(), nullptr);

    EXPECT_TRUE(standin::viewportClick(a));
    EXPECT_TRUE(standin::viewportClick(a));
    // A solid that cannot become a shape is not offered.
    EXPECT_FALSE(standin::viewportClick(box));
    ASSERT_EQ(pb()->Count(kSplineNode), 1);
    EXPECT_EQ(pb()->Count(kOperationTypes), 1);
    EXPECT_EQ(pb()->GetINode(kSplineNode, 0, 0), a);
    EXPECT_EQ(state()->selected, -1);
    // While picking, the list takes no clicks.
    EXPECT_FALSE(clickRowAt(5));
    EXPECT_EQ(state()->selected, -1);

    EXPECT_TRUE(standin::viewportRightClick());
    EXPECT_EQ(GetCOREInterface()->GetCurPickMode(), nullptr);
    EXPECT_FALSE(add->IsChecked());
    EXPECT_TRUE(IsWindowEnabled(list()));
    ReleaseICustButton(add);

    // Pressing Add twice starts and ends the mode.
    ASSERT_TRUE(press(IDC_ADD));
    EXPECT_NE(GetCOREInterface()->GetCurPickMode(), nullptr);
    ASSERT_TRUE(press(IDC_ADD));
    EXPECT_EQ(GetCOREInterface()->GetCurPickMode(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(list()));
}

TEST_F(RolloutTest, TheRadioGroupSetsNewOperandsAndOnlyTheSelectedRow) {
    ASSERT_TRUE(press(IDC_SUBTR_B));
    EXPECT_EQ(pb()->GetInt(kType), 3);
    EXPECT_EQ(IsDlgButtonChecked(rollout(), IDC_SUBTR_B), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(rollout(), IDC_UNION), static_cast<UINT>(BST_UNCHECKED));
    ASSERT_TRUE(press(IDC_ADD));
    standin::viewportClick(shapeNode("A"));
    standin::viewportClick(shapeNode("B"));
    standin::viewportRightClick();
    EXPECT_EQ(codes(), (QVector<int>{3, 3}));

    // Without a selection the new Type changes no row.
    ASSERT_TRUE(press(IDC_UNION));
    EXPECT_EQ(pb()->GetInt(kType), 0);
    EXPECT_EQ(codes(), (QVector<int>{3, 3}));

    ASSERT_TRUE(clickRowAt(kListFirstRowTop + kListRowHeight + 3));
    EXPECT_EQ(state()->selected, 1);
    ASSERT_TRUE(press(IDC_INTERSECT));
    EXPECT_EQ(codes(), (QVector<int>{3, 1}));
    ASSERT_TRUE(press(IDC_UNION));
    EXPECT_EQ(codes(), (QVector<int>{3, 0}));
}

TEST_F(RolloutTest, RemovingKeepsTheOtherRowsAndTheSelectionsRowNumber) {
    ASSERT_TRUE(press(IDC_ADD));
    INode* nodes[3] = {shapeNode("A"), shapeNode("B"), shapeNode("C")};
    for (int i = 0; i < 3; ++i) {
        pb()->SetValue(kType, 0, i + 1);
        standin::viewportClick(nodes[i]);
    }
    standin::viewportRightClick();
    ASSERT_EQ(codes(), (QVector<int>{1, 2, 3}));

    // Remove without a selection changes nothing.
    ASSERT_TRUE(press(IDC_REMOVE));
    EXPECT_EQ(pb()->Count(kSplineNode), 3);

    ASSERT_TRUE(clickRowAt(kListFirstRowTop + 4));
    ASSERT_EQ(state()->selected, 0);
    ASSERT_TRUE(press(IDC_REMOVE));
    EXPECT_EQ(codes(), (QVector<int>{2, 3}));
    EXPECT_EQ(pb()->GetINode(kSplineNode, 0, 0), nodes[1]);
    EXPECT_EQ(pb()->GetINode(kSplineNode, 0, 1), nodes[2]);
    EXPECT_EQ(state()->selected, 0);

    // Removing the last row leaves a selection past the end, which then
    // changes nothing.
    ASSERT_TRUE(clickRowAt(kListFirstRowTop + kListRowHeight + 4));
    ASSERT_TRUE(press(IDC_REMOVE));
    EXPECT_EQ(codes(), (QVector<int>{2}));
    EXPECT_EQ(state()->selected, 1);
    ASSERT_TRUE(press(IDC_REMOVE));
    ASSERT_TRUE(press(IDC_SUBTR_A));
    EXPECT_EQ(codes(), (QVector<int>{2}));
}

TEST_F(RolloutTest, PickingScrollsToTheLastRowsAndClicksSelectVisibleRows) {
    ASSERT_TRUE(press(IDC_ADD));
    for (int i = 0; i < 12; ++i)
        standin::viewportClick(shapeNode(QStringLiteral("N%1").arg(i)));
    standin::viewportRightClick();
    ASSERT_EQ(pb()->Count(kSplineNode), 12);
    EXPECT_EQ(GetScrollPos(list(), SB_VERT), 2);

    // y = 0 and 1 lie above the first row's top but still select it.
    ASSERT_TRUE(clickRowAt(0));
    EXPECT_EQ(state()->selected, 2);
    state()->selected = -1;
    ASSERT_TRUE(clickRowAt(1));
    EXPECT_EQ(state()->selected, 2);
    ASSERT_TRUE(clickRowAt(kListFirstRowTop + 9 * kListRowHeight));
    EXPECT_EQ(state()->selected, 11);
    // One below the last row leaves the selection alone.
    ASSERT_TRUE(clickRowAt(kListFirstRowTop + 10 * kListRowHeight));
    EXPECT_EQ(state()->selected, 11);
}

TEST_F(RolloutTest, TheScrollBarAndTheWheelMoveTheFirstVisibleRow) {
    struct Case {
        int request;
        int thumb;
        int expected;
    };
    // From position 5; the system keeps positions within 0 to 100.
    const Case cases[] = {
        {SB_LINEUP, 0, 4},         {SB_LINEDOWN, 0, 6},     {SB_PAGEUP, 0, 0},
        {SB_PAGEDOWN, 0, 13},      {SB_THUMBTRACK, 40, 40}, {SB_THUMBTRACK, 300, 100},
        {SB_THUMBPOSITION, 40, 5}, {SB_TOP, 0, 5},          {SB_ENDSCROLL, 0, 5}};
    for (const Case& c : cases) {
        SetScrollPos(list(), SB_VERT, 5, TRUE);
        ASSERT_TRUE(standin::scrollBarRequest(list(), c.request, c.thumb));
        EXPECT_EQ(GetScrollPos(list(), SB_VERT), c.expected) << "request " << c.request;
    }

    SetScrollPos(list(), SB_VERT, 5, TRUE);
    ASSERT_TRUE(standin::mouseWheel(list(), WHEEL_DELTA));
    EXPECT_EQ(GetScrollPos(list(), SB_VERT), 3);
    SetScrollPos(list(), SB_VERT, 5, TRUE);
    ASSERT_TRUE(standin::mouseWheel(list(), -WHEEL_DELTA));
    EXPECT_EQ(GetScrollPos(list(), SB_VERT), 7);
    // Part of a notch, truncated toward zero: 40 / 48 moves nothing.
    ASSERT_TRUE(standin::mouseWheel(list(), 40));
    EXPECT_EQ(GetScrollPos(list(), SB_VERT), 7);
}

TEST_F(RolloutTest, AnEmptyListShowsItsBackgroundAndEdges) {
    const QImage image = listImage();
    ASSERT_FALSE(image.isNull());
    const int w = image.width();
    const int h = image.height();
    const QColor edge(160, 160, 160);
    const QColor border(255, 255, 255);
    EXPECT_EQ(image.pixelColor(0, 0), edge);
    EXPECT_EQ(image.pixelColor(0, h - 2), edge);
    EXPECT_EQ(image.pixelColor(w - 1, 0), edge);
    // The line ends before the last point: the rectangle's border stays there.
    EXPECT_EQ(image.pixelColor(0, h - 1), border);
    EXPECT_EQ(image.pixelColor(w - 1, h - 1), border);
    EXPECT_EQ(image.pixelColor(w - 1, h / 2), border);
    EXPECT_FALSE(anyPixel(image, QRect(1, 1, w - 2, h - 2), kBackground, false));
}

TEST_F(RolloutTest, RowsShowSwatchNameLabelAndSelection) {
    ASSERT_TRUE(press(IDC_SUBTR_B));
    ASSERT_TRUE(press(IDC_ADD));
    standin::viewportClick(shapeNode("A", RGB(200, 30, 40)));
    standin::viewportClick(shapeNode("B", RGB(20, 160, 60)));
    standin::viewportRightClick();
    ASSERT_TRUE(clickRowAt(kListFirstRowTop + 4));
    pb()->SetValue(kOperationTypes, 0, 7, 1);

    const QImage image = listImage();
    const int y0 = kListFirstRowTop;
    const int y1 = kListFirstRowTop + kListRowHeight;
    // Row 0, selected: its pen around, its background inside, white text.
    EXPECT_EQ(image.pixelColor(1, y0 - 1), kSelectedPen);
    EXPECT_EQ(image.pixelColor(1, y0 + 8), kSelectedPen);
    EXPECT_EQ(image.pixelColor(60, y0 + 13), kSelectedPen);
    EXPECT_EQ(image.pixelColor(60, y0 + 6), kSelectedBackground);
    EXPECT_EQ(image.pixelColor(95, y0 + 6), kSelectedBackground);
    EXPECT_TRUE(anyPixel(image, QRect(100, y0, 20, 13), Qt::white, true));
    EXPECT_TRUE(anyPixel(image, QRect(11, y0, 12, 13), Qt::white, true));
    // The swatch: black pen, the node's wire colour inside.
    EXPECT_EQ(image.pixelColor(2, y0 + 1), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(8, y0 + 12), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(5, y0 + 7), QColor(200, 30, 40));

    // Row 1, code 7: swatch and name in black, no label.
    EXPECT_EQ(image.pixelColor(5, y1 + 7), QColor(20, 160, 60));
    EXPECT_EQ(image.pixelColor(1, y1 - 1), kBackground);
    EXPECT_TRUE(anyPixel(image, QRect(11, y1, 12, 13), Qt::black, true));
    EXPECT_FALSE(anyPixel(image, QRect(95, y1 - 1, image.width() - 96, 15), kBackground, false));

    // Nothing but background below the last row.
    EXPECT_FALSE(anyPixel(image, QRect(1, y1 + 14, image.width() - 2, image.height() - y1 - 16),
                          kBackground, false));
    // Scrolled past the rows, the list shows its background only.
    SetScrollPos(list(), SB_VERT, 5, TRUE);
    InvalidateRect(list(), nullptr, TRUE);
    const QImage scrolled = listImage();
    EXPECT_FALSE(anyPixel(scrolled, QRect(1, 1, scrolled.width() - 2, scrolled.height() - 2),
                          kBackground, false));
}

TEST_F(RolloutTest, ClosingTheRolloutDuringAPickEndsThePick) {
    INode* a = shapeNode("A");
    ASSERT_TRUE(press(IDC_ADD));
    ASSERT_NE(GetCOREInterface()->GetCurPickMode(), nullptr);
    close();
    EXPECT_EQ(GetCOREInterface()->GetCurPickMode(), nullptr);
    // The viewport no longer picks for the closed rollout.
    EXPECT_FALSE(standin::viewportClick(a));
    EXPECT_FALSE(standin::viewportRightClick());
    EXPECT_EQ(pb()->Count(kSplineNode), 0);

    // Opened again, the rollout picks as before.
    mod->BeginEditParams(ip(), 0, nullptr);
    open = true;
    ASSERT_TRUE(press(IDC_ADD));
    EXPECT_TRUE(standin::viewportClick(a));
    EXPECT_EQ(pb()->Count(kSplineNode), 1);
    ICustButton* add = GetICustButton(control(IDC_ADD));
    EXPECT_TRUE(add->IsChecked());
    ReleaseICustButton(add);
}

TEST(UiSession, TheExampleSessionEditsTheOperandsAndSavesAPictureAfterEachCommand) {
    const QString examples = QStringLiteral(CARVEX_STANDIN_EXAMPLES);
    auto scene = newScene();
    QString why;
    ASSERT_TRUE(scene->load(examples + "/workshop.json", &why)) << why.toStdString();
    QTemporaryDir out;
    QString log;
    QTextStream stream(&log);
    ASSERT_TRUE(
        standin::runUiSession(*scene, examples + "/session.txt", out.path(), 1, stream, &why))
        << why.toStdString();
    EXPECT_TRUE(standin::rollouts().isEmpty());
    EXPECT_EQ(GetCOREInterface()->GetCurPickMode(), nullptr);

    // Disc was removed; Tab was switched to Intersect after it was picked.
    auto* derived = dynamic_cast<IDerivedObject*>(scene->node("Panel")->GetObjectRef());
    ASSERT_NE(derived, nullptr);
    IParamBlock2* pb = derived->GetModifier(0)->GetParamBlock(0);
    ASSERT_EQ(pb->Count(kSplineNode), 11);
    EXPECT_EQ(pb->GetINode(kSplineNode, 0, 0), scene->node("Tab"));
    EXPECT_EQ(pb->GetInt(kOperationTypes, 0, 0), 1);
    EXPECT_EQ(pb->GetINode(kSplineNode, 0, 1), scene->node("Slot"));
    EXPECT_EQ(pb->GetInt(kOperationTypes, 0, 1), 2);
    EXPECT_NEAR(pb->GetFloat(3), 0.01f, 1e-7f);
    EXPECT_TRUE(log.contains("pick Crate: not picked"));

    const QStringList pictures = QDir(out.path()).entryList({"[0-9][0-9]-*.png"}, QDir::Files);
    EXPECT_EQ(pictures.size(), 32);
    const QImage final(QDir(out.path()).filePath("final.png"));
    ASSERT_FALSE(final.isNull());
    // Scrolled by one, the list's first row is Slot: its swatch in its wire
    // colour, at the list's place in the Parameters rollout under its title.
    const QPoint list(3 + 11, 3 + 16 + 11);
    EXPECT_EQ(final.pixelColor(list + QPoint(5, kListFirstRowTop + 7)), QColor(214, 39, 40));
    EXPECT_EQ(final.pixelColor(list + QPoint(60, kListFirstRowTop + 6)), kBackground);
}
