// The stand-in host itself: what plug-ins rely on it to do.

#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "hosttest.h"
#include "standin/resourcescript.h"

using namespace hosttest;

namespace {

// A target that reports its own deletion and references up to two others.
class Item : public ReferenceTarget {
public:
    explicit Item(bool* deleted = nullptr) : deleted(deleted) {}
    ~Item() override {
        if (deleted) *deleted = true;
    }
    SClass_ID SuperClassID() override { return 0x77; }
    int NumRefs() override { return 2; }
    RefTargetHandle GetReference(int i) override { return refs[i]; }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage message,
                               BOOL) override {
        heard.push_back(message);
        return stop ? REF_STOP : REF_SUCCEED;
    }

    std::vector<RefMessage> heard;
    bool stop = false;

private:
    void SetReference(int i, RefTargetHandle t) override { refs[i] = t; }
    RefTargetHandle refs[2] = {nullptr, nullptr};
    bool* deleted;
};

class Collect : public DependentEnumProc {
public:
    int proc(ReferenceMaker* m) override {
        seen.push_back(m);
        return m == skip ? DEP_ENUM_SKIP : m == halt ? DEP_ENUM_HALT : DEP_ENUM_CONTINUE;
    }
    std::vector<ReferenceMaker*> seen;
    ReferenceMaker* skip = nullptr;
    ReferenceMaker* halt = nullptr;
};

}  // namespace

TEST(References, DependentsAreKeptAndEnumeratedOnce) {
    // top -> left -> bottom, top -> right -> bottom: a diamond.
    bool bottomDeleted = false;
    auto* bottom = new Item(&bottomDeleted);
    auto* left = new Item;
    auto* right = new Item;
    auto* top = new Item;
    ASSERT_EQ(left->ReplaceReference(0, bottom), REF_SUCCEED);
    ASSERT_EQ(right->ReplaceReference(0, bottom), REF_SUCCEED);
    ASSERT_EQ(top->ReplaceReference(0, left), REF_SUCCEED);
    ASSERT_EQ(top->ReplaceReference(1, right), REF_SUCCEED);
    EXPECT_EQ(bottom->Dependents(), (std::vector<ReferenceMaker*>{left, right}));

    Collect all;
    EXPECT_EQ(bottom->DoEnumDependents(&all), 0);
    EXPECT_EQ(all.seen, (std::vector<ReferenceMaker*>{bottom, left, right, top}));
    Collect skipping;
    skipping.skip = bottom;
    EXPECT_EQ(bottom->DoEnumDependents(&skipping), 0);
    EXPECT_EQ(skipping.seen, (std::vector<ReferenceMaker*>{bottom}));
    skipping.seen.clear();
    skipping.skip = nullptr;
    skipping.halt = left;
    EXPECT_EQ(bottom->DoEnumDependents(&skipping), 1);
    EXPECT_EQ(skipping.seen, (std::vector<ReferenceMaker*>{bottom, left}));

    // A reference that would close a loop is refused and changes nothing.
    EXPECT_EQ(bottom->ReplaceReference(0, top), REF_FAIL);
    EXPECT_EQ(bottom->GetReference(0), nullptr);
    EXPECT_EQ(bottom->ReplaceReference(0, bottom), REF_FAIL);

    // Messages travel up until someone stops them.
    bottom->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_EQ(left->heard.size(), 1u);
    EXPECT_EQ(top->heard.size(), 2u);  // once through each side
    right->stop = true;
    left->stop = true;
    bottom->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_EQ(top->heard.size(), 2u);

    // Letting go of the last reference deletes a target, and what it held.
    bool innerGone = false, outerGone = false;
    auto* inner = new Item(&innerGone);
    auto* outer = new Item(&outerGone);
    outer->ReplaceReference(0, inner);
    top->ReplaceReference(0, outer);  // left, held by top alone, goes
    EXPECT_EQ(bottom->Dependents(), (std::vector<ReferenceMaker*>{right}));
    EXPECT_FALSE(outerGone);
    top->ReplaceReference(0, nullptr);
    EXPECT_TRUE(outerGone);
    EXPECT_TRUE(innerGone);

    // Deleting a target empties the slots that pointed at it; bottom goes with
    // its last dependent.
    EXPECT_FALSE(bottomDeleted);
    right->DeleteMe();
    EXPECT_EQ(top->GetReference(1), nullptr);
    EXPECT_TRUE(bottomDeleted);
    EXPECT_EQ(top->heard.back(), static_cast<RefMessage>(REFMSG_TARGET_DELETED));
    top->DeleteMe();
}

TEST(References, IntervalsAndTransforms) {
    EXPECT_EQ(FOREVER.Start(), -2147483647 - 1);
    EXPECT_EQ(FOREVER.End(), 2147483647);
    EXPECT_EQ(NEVER.Start(), -2147483647 - 1);
    EXPECT_EQ(NEVER.End(), -2147483647 - 1);
    EXPECT_TRUE(NEVER.Empty());
    EXPECT_EQ(FOREVER & Interval(3, 9), Interval(3, 9));
    EXPECT_EQ(Interval(0, 5) & Interval(3, 9), Interval(3, 5));
    EXPECT_EQ(Interval(0, 2) & Interval(3, 9), NEVER);
    EXPECT_EQ(NEVER & FOREVER, NEVER);
    EXPECT_FALSE(NEVER.InInterval(TIME_NegInfinity));
    EXPECT_TRUE(FOREVER.InInterval(0));

    // Row vectors: in A * B, A applies first.
    const Matrix3 m = RotateZMatrix(static_cast<float>(M_PI / 2)) * TransMatrix(Point3(10, 0, 0));
    const Point3 p = Point3(1, 0, 0) * m;
    EXPECT_NEAR(p.x, 10.0f, 1e-6f);
    EXPECT_NEAR(p.y, 1.0f, 1e-6f);
}

namespace {

class TestClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return FALSE; }
    void* Create(BOOL) override { return nullptr; }
    const MCHAR* ClassName() override { return L"Test"; }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(1, 2); }
    const MCHAR* Category() override { return L"Test"; }
};

TestClassDesc testDesc;
ParamBlockDesc2 testBlock(7, L"test", 0, &testDesc, P_AUTO_CONSTRUCT, 3,
                          // a node table, an int with a default, a float with range
                          0, L"nodes", TYPE_INODE_TAB, 2, P_VARIABLE_SIZE, 0, p_end, 1, L"count",
                          TYPE_INT, 0, 5, p_default, 42, p_end, 2, L"size", TYPE_FLOAT,
                          P_ANIMATABLE, 0, p_default, 2.5f, p_range, -1.0f, 1.0e8f, p_end, p_end);

// Holds a block in its reference slot 3, as the descriptor says.
class Owner : public ReferenceMaker {
public:
    SClass_ID SuperClassID() override { return 0; }
    int NumRefs() override { return 4; }
    RefTargetHandle GetReference(int i) override { return i == 3 ? block : nullptr; }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage m,
                               BOOL) override {
        if (m == REFMSG_CHANGE) ++changes;
        return REF_SUCCEED;
    }
    IParamBlock2* block = nullptr;
    int changes = 0;

private:
    void SetReference(int i, RefTargetHandle t) override {
        if (i == 3) block = static_cast<IParamBlock2*>(t);
    }
};

}  // namespace

TEST(ParamBlocks, DescriptorListIsReadAndBlocksHoldTables) {
    ASSERT_EQ(testDesc.GetParamBlockDescByID(7), &testBlock);
    EXPECT_EQ(testBlock.ref_no, 3);
    EXPECT_TRUE(testBlock.maps.empty());
    ASSERT_EQ(testBlock.Count(), 3);
    EXPECT_EQ(testBlock.GetParamDef(0).tab_size, 2);
    EXPECT_EQ(testBlock.GetParamDef(1).def.i, 42);
    EXPECT_EQ(testBlock.GetParamDef(1).local_name, 5);
    EXPECT_EQ(testBlock.GetParamDef(2).def.f, 2.5f);
    EXPECT_EQ(testBlock.GetParamDef(2).range_high.f, 1.0e8f);

    auto scene = newScene();
    INode* a = scene->addNode("A", new standin::BoxObject(Point3(1, 1, 1)));
    INode* b = scene->addNode("B", new standin::BoxObject(Point3(1, 1, 1)));
    Owner owner;
    testDesc.MakeAutoParamBlocks(&owner);
    IParamBlock2* pb = owner.block;
    ASSERT_NE(pb, nullptr);
    EXPECT_EQ(pb->ID(), 7);
    EXPECT_EQ(pb->Count(0), 2);  // the table starts with its declared size
    EXPECT_EQ(pb->GetInt(1), 42);
    EXPECT_EQ(pb->GetFloat(2), 2.5f);
    EXPECT_EQ(pb->Count(1), 0);  // not a table

    EXPECT_TRUE(pb->SetValue(0, 0, a, 0));
    EXPECT_TRUE(pb->SetValue(0, 0, b, 1));
    EXPECT_EQ(owner.changes, 2);
    EXPECT_EQ(pb->SetCount(0, 4), 4);
    EXPECT_EQ(pb->GetINode(0, 0, 3), nullptr);
    EXPECT_EQ(pb->GetINode(0, 0, 4), nullptr);  // past the end
    EXPECT_FALSE(pb->SetValue(0, 0, a, 4));
    EXPECT_FALSE(pb->SetValue(1, 0, 1.5f));  // wrong type
    float f = 0.0f;
    Interval valid = FOREVER;
    EXPECT_FALSE(pb->GetValue(1, 0, f, valid));
    EXPECT_EQ(pb->NumRefs(), 4);
    EXPECT_EQ(pb->GetReference(1), b);

    // Deleting rows moves the later ones up, references included.
    EXPECT_EQ(pb->Delete(0, 0, 1), 3);
    EXPECT_EQ(pb->GetINode(0, 0, 0), b);
    EXPECT_EQ(a->Dependents().size(), 1u);  // only the scene holds it now
    // A deleted node leaves an empty row.
    b->DeleteMe();
    EXPECT_EQ(pb->Count(0), 3);
    EXPECT_EQ(pb->GetINode(0, 0, 0), nullptr);
    owner.DeleteAllRefsFromMe();
}

namespace {

// Puts a knot at x = tag on spline 0: the knots tell the order modifiers ran in.
class TagModifier : public Modifier {
public:
    explicit TagModifier(float t) : tag(t) {}
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    ChannelMask ChannelsUsed() override { return GEOM_CHANNEL; }
    ChannelMask ChannelsChanged() override { return GEOM_CHANNEL; }
    Class_ID InputType() override { return splineShapeClassID; }
    Interval LocalValidity(TimeValue) override { return validity; }
    void ModifyObject(TimeValue, ModContext&, ObjectState* os, INode* node) override {
        ++runs;
        EXPECT_EQ(node, nullptr);
        Spline3D* s = static_cast<SplineShape*>(os->obj)->shape.GetSpline(0);
        SplineKnot k(KTYPE_CORNER, LTYPE_LINE, Point3(tag, 0.0f, 0.0f), Point3(), Point3());
        s->AddKnot(k);
    }
    float tag;
    int runs = 0;
    Interval validity = FOREVER;
};

}  // namespace

TEST(Pipeline, StacksApplyFromTheBottomAndKeepTheirResult) {
    auto* rect = new standin::RectangleShape(2, 2);
    IDerivedObject* stack = CreateDerivedObject(rect);
    auto* lower = new TagModifier(100);
    auto* upper = new TagModifier(200);
    stack->AddModifier(lower);
    stack->AddModifier(upper);  // before 0: on top
    ASSERT_EQ(stack->GetModifier(0), upper);
    EXPECT_NE(stack->GetModContext(0), stack->GetModContext(1));

    auto xs = [](Object* obj) {
        std::vector<float> out;
        const Spline3D* s = static_cast<SplineShape*>(obj)->shape.GetSpline(0);
        for (int k = 4; k < s->KnotCount(); ++k)
            out.push_back(s->GetKnotPoint(k).x);
        return out;
    };
    Object* result = stack->Eval(0).obj;
    ASSERT_TRUE(result && result->IsSubClassOf(splineShapeClassID));  // converted for the stack
    EXPECT_EQ(xs(result), (std::vector<float>{100, 200}));
    // Valid results are kept; a change below or a narrower validity asks again.
    stack->Eval(0);
    EXPECT_EQ(upper->runs, 1);
    rect->NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
    stack->Eval(0);
    EXPECT_EQ(upper->runs, 2);
    lower->validity = Interval(0, 10);
    rect->NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
    stack->Eval(5);
    stack->Eval(10);
    EXPECT_EQ(upper->runs, 3);
    stack->Eval(11);
    EXPECT_EQ(upper->runs, 4);
    stack->MaybeAutoDelete();
}

TEST(ResourceScripts, ReadAsTheResourceCompilerReadsThem) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const QString& name, const QByteArray& text) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write("ids.h", "#define IDS_HELLO 10\n#define IDD_MAIN 200\n#define IDC_OK (IDD_MAIN + 1)\n");
    write("test.rc", R"(#include "ids.h"
#include <windows.h>
#ifdef IDS_HELLO
#define GREETING_ON 1
#else
#error ids.h was not read
#endif
#if defined(GREETING_ON) && !defined(NOTHING)
LANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL
STRINGTABLE DISCARDABLE
{
    IDS_HELLO "Say ""hi""\n/* not a comment */"
    11, L"second"
}
#endif
LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US
STRINGTABLE
BEGIN
    IDS_HELLO "Hello"  // the English one
END
IDD_MAIN DIALOG 1, 2, 30, 40
CAPTION "Main"
STYLE WS_POPUP | WS_CAPTION
BEGIN
    DEFPUSHBUTTON "OK", IDC_OK, 5, 6, 7, 8
    EDITTEXT 300, 1, 1, 10, 10, ES_AUTOHSCROLL | NOT WS_BORDER
END
)");
    standin::ResourceScript rc;
    QString why;
    ASSERT_TRUE(rc.parse(dir.filePath("test.rc"), &why)) << why.toStdString();
    EXPECT_EQ(rc.string(10, 1033).value_or(""), "Hello");
    EXPECT_EQ(rc.string(10, 0).value_or(""), "Say \"hi\"\n/* not a comment */");
    EXPECT_EQ(rc.string(11).value_or(""), "second");
    const standin::DialogTemplate* d = rc.dialog(200);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->extended);
    EXPECT_EQ(d->caption, "Main");
    EXPECT_EQ(d->style, 0x80C00000u);
    ASSERT_EQ(d->controls.size(), 2);
    EXPECT_EQ(d->controls[0].id, 201);
    EXPECT_EQ(d->controls[0].className, "Button");
    EXPECT_EQ(d->controls[0].style, 0x50010001u);  // child, visible, tab stop, default push
    EXPECT_EQ(d->controls[1].className, "Edit");
    EXPECT_EQ(d->controls[1].style, 0x50010080u);  // the border taken off

    write("bad.rc",
          "#include \"ids.h\"\nSTRINGTABLE\nBEGIN\n  IDS_HELLO \"x\"\n  IDS_MISSING \"y\"\nEND\n");
    EXPECT_FALSE(rc.parse(dir.filePath("bad.rc"), &why));
    EXPECT_EQ(why, dir.filePath("bad.rc") + ":5: unknown name IDS_MISSING");
    write("open.rc", "#ifdef X\n");
    EXPECT_FALSE(rc.parse(dir.filePath("open.rc"), &why));
    EXPECT_TRUE(why.endsWith("#if without #endif")) << why.toStdString();
}
