// The plug-in library as the host meets it: its exports, its class, its
// parameter block, its resources and the modifier's host-facing operations.

#include <QFileInfo>
#include <QImage>
#include <cmath>

#include "hosttest.h"
#include "resource.h"
#include "standin/resourcescript.h"

using namespace hosttest;

namespace {

constexpr ParamID kSplineNode = 0;
constexpr ParamID kType = 1;
constexpr ParamID kOperationTypes = 2;
constexpr ParamID kThreshold = 3;
constexpr ParamID kWholeShapes = 4;

template <typename Fn>
Fn exported(const char* name) {
    return reinterpret_cast<Fn>(plugin().symbol(name));
}

QString text(const MCHAR* s) {
    return s ? QString::fromWCharArray(s) : QStringLiteral("<null>");
}

HINSTANCE moduleHandle() {
    return carvexDesc()->HInstance();
}

// Hears what a target tells its dependents.
class Listener : public ReferenceMaker {
public:
    explicit Listener(ReferenceTarget* t) { ReplaceReference(0, t); }
    ~Listener() override { DeleteAllRefsFromMe(); }
    SClass_ID SuperClassID() override { return 0; }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return target; }
    RefResult NotifyRefChanged(const Interval& iv, RefTargetHandle, PartID& part, RefMessage m,
                               BOOL) override {
        messages.push_back(m);
        parts.push_back(part);
        intervals.push_back(iv);
        return REF_SUCCEED;
    }
    std::vector<RefMessage> messages;
    std::vector<PartID> parts;
    std::vector<Interval> intervals;

private:
    void SetReference(int, RefTargetHandle t) override { target = t; }
    ReferenceTarget* target = nullptr;
};

}  // namespace

TEST(PluginLibrary, ExportsAnswerAsTheHostExpects) {
    ASSERT_TRUE(plugin().isLoaded());
    EXPECT_EQ(exported<ULONG (*)()>("LibVersion")(), 0x59D83900u);
    EXPECT_EQ(exported<int (*)()>("LibNumberClasses")(), 1);
    auto classDesc = exported<ClassDesc* (*)(int)>("LibClassDesc");
    ASSERT_NE(classDesc, nullptr);
    EXPECT_NE(classDesc(0), nullptr);
    EXPECT_EQ(classDesc(1), nullptr);
    EXPECT_EQ(classDesc(-1), nullptr);
    EXPECT_EQ(text(exported<const MCHAR* (*)()>("LibDescription")()), "Carvex");
    EXPECT_EQ(plugin().description(), "Carvex");
    EXPECT_EQ(exported<int (*)()>("LibInitialize")(), TRUE);
    EXPECT_EQ(exported<int (*)()>("LibShutdown")(), TRUE);
    // The attach handler is the loader's business, not an export.
    EXPECT_EQ(plugin().symbol("DllMain"), nullptr);
}

TEST(PluginLibrary, AttachStoresTheModuleAndRegistersTheListClass) {
    const HINSTANCE h = moduleHandle();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(standin::moduleFileName(h), QFileInfo(CARVEX_MODULE_PATH).absoluteFilePath());
    EXPECT_TRUE(standin::threadCallsDisabled(h));
    WNDCLASSEXW wc{};
    ASSERT_TRUE(GetClassInfoExW(h, L"SplinesListBoxView", &wc));
    EXPECT_EQ(wc.style, 0u);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_EQ(wc.hIcon, nullptr);
    EXPECT_EQ(wc.hCursor, nullptr);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_NE(wc.lpfnWndProc, nullptr);
}

TEST(ClassDescriptor, DescribesOneObjectSpaceModifier) {
    ClassDesc2* cd = carvexDesc();
    ASSERT_NE(cd, nullptr);
    EXPECT_EQ(cd->IsPublic(), TRUE);
    EXPECT_EQ(text(cd->ClassName()), "Carvex");
    EXPECT_EQ(text(cd->Category()), "Carvex");
    EXPECT_EQ(text(cd->InternalName()), "Carvex");
    EXPECT_EQ(cd->SuperClassID(), 0x810u);
    EXPECT_EQ(cd->ClassID(), Class_ID(0x5CF5753D, 0x54E31296));
    EXPECT_EQ(plugin().classByInternalName("Carvex"), cd);

    // Loading a scene or not, Create makes a modifier of that class.
    for (BOOL loading : {FALSE, TRUE}) {
        auto* a = static_cast<Animatable*>(cd->Create(loading));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->ClassID(), cd->ClassID());
        EXPECT_EQ(a->SuperClassID(), cd->SuperClassID());
        static_cast<ReferenceTarget*>(a)->MaybeAutoDelete();
    }
}

TEST(ClassDescriptor, ParameterBlockIsDescribedAsSaved) {
    ClassDesc2* cd = carvexDesc();
    ASSERT_EQ(cd->NumParamBlockDescs(), 1);
    const ParamBlockDesc2* d = cd->GetParamBlockDesc(0);
    EXPECT_EQ(d->ID, 0);
    EXPECT_EQ(text(d->int_name), "params");
    EXPECT_EQ(d->local_name, 0);
    // Auto-construct, auto-UI, several maps, and a version: 1 since "Whole_shapes".
    EXPECT_EQ(d->flags, 0x4026);
    EXPECT_EQ(d->Version(), 1);
    EXPECT_EQ(d->ref_no, 0);

    ASSERT_EQ(d->maps.size(), 2u);
    EXPECT_EQ(d->maps[0].id, 0);
    EXPECT_EQ(d->maps[0].dlg_template, 101);
    EXPECT_EQ(d->maps[0].title, 4);
    EXPECT_EQ(d->maps[0].test_flags, 0);
    EXPECT_EQ(d->maps[0].rollup_flags, 0);
    EXPECT_EQ(d->maps[0].proc, nullptr);
    EXPECT_EQ(d->maps[1].id, 1);
    EXPECT_EQ(d->maps[1].dlg_template, 109);
    EXPECT_EQ(d->maps[1].title, 6);
    EXPECT_EQ(d->maps[1].rollup_flags, 1);
    EXPECT_EQ(d->maps[1].proc, nullptr);

    ASSERT_EQ(d->Count(), 5);
    const ParamDef& nodes = d->GetParamDef(kSplineNode);
    EXPECT_EQ(text(nodes.int_name), "Spline_Node");
    EXPECT_EQ(nodes.type, 0x811);
    EXPECT_EQ(nodes.tab_size, 0);
    EXPECT_EQ(nodes.flags, 8);
    EXPECT_EQ(nodes.local_name, 0);
    EXPECT_FALSE(nodes.hasUI);

    const ParamDef& type = d->GetParamDef(kType);
    EXPECT_EQ(text(type.int_name), "Type");
    EXPECT_EQ(type.type, 1);
    EXPECT_EQ(type.flags, 0);
    EXPECT_EQ(type.local_name, 7);
    EXPECT_EQ(type.def.i, 0);
    EXPECT_EQ(type.range_low.i, 0);
    EXPECT_EQ(type.range_high.i, 3);
    EXPECT_EQ(type.uiMap, 0);
    EXPECT_EQ(type.ctrl_type, 1);
    EXPECT_EQ(type.ctrl_IDs, (std::vector<int>{1004, 1005, 1006, 1007}));

    const ParamDef& ops = d->GetParamDef(kOperationTypes);
    EXPECT_EQ(text(ops.int_name), "Operation_types");
    EXPECT_EQ(ops.type, 0x801);
    EXPECT_EQ(ops.flags, 8);
    EXPECT_FALSE(ops.hasUI);

    // Single precision, as the host keeps floats.
    const ParamDef& threshold = d->GetParamDef(kThreshold);
    EXPECT_EQ(text(threshold.int_name), "Threshold");
    EXPECT_EQ(threshold.type, 0);
    EXPECT_EQ(threshold.flags, 0);
    EXPECT_EQ(threshold.local_name, 0);
    EXPECT_EQ(static_cast<double>(threshold.def.f), 9.999999747378752e-05);
    EXPECT_EQ(static_cast<double>(threshold.range_low.f), 9.999999747378752e-06);
    EXPECT_EQ(static_cast<double>(threshold.range_high.f), 1e8);
    EXPECT_EQ(threshold.uiMap, 0);
    EXPECT_EQ(threshold.ctrl_type, 0);
    EXPECT_EQ(threshold.edit_type, 2);
    EXPECT_EQ(threshold.ctrl_IDs, (std::vector<int>{1501, 1502}));
    EXPECT_EQ(threshold.scale, -1.0f);

    const ParamDef& whole = d->GetParamDef(kWholeShapes);
    EXPECT_EQ(d->IDtoIndex(kWholeShapes), 4);  // after the others, as saved scenes have them
    EXPECT_EQ(text(whole.int_name), "Whole_shapes");
    EXPECT_EQ(whole.type, 1);
    EXPECT_EQ(whole.flags, 0);
    EXPECT_EQ(whole.local_name, 8);
    EXPECT_EQ(whole.def.i, 1);
    EXPECT_EQ(whole.range_low.i, 0);
    EXPECT_EQ(whole.range_high.i, 1);
    EXPECT_EQ(whole.uiMap, 0);
    EXPECT_EQ(whole.ctrl_type, TYPE_SINGLECHEKBOX);
    EXPECT_EQ(whole.ctrl_IDs, (std::vector<int>{1503}));
}

TEST(Resources, StringTableAndTemplatesComeFromTheModule) {
    QString why;
    const standin::ResourceScript* rc = standin::moduleResources(moduleHandle(), &why);
    ASSERT_NE(rc, nullptr) << why.toStdString();
    EXPECT_EQ(rc->string(1).value_or(""), "Carvex");
    EXPECT_EQ(rc->string(2).value_or(""), "Carvex");
    EXPECT_EQ(rc->string(3).value_or(""), "Carvex");
    EXPECT_EQ(rc->string(4).value_or(""), "Parameters");
    EXPECT_EQ(rc->string(6).value_or(""), "About");
    EXPECT_EQ(rc->string(7).value_or(""), "Type");
    EXPECT_EQ(rc->string(8).value_or(""), "Whole shapes");
    EXPECT_FALSE(rc->string(5).has_value());

    const standin::DialogTemplate* panel = rc->dialog(101);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->width, 107);
    EXPECT_EQ(panel->height, 234);
    EXPECT_EQ(panel->fontSize, 8);
    EXPECT_EQ(panel->fontFace, "MS Sans Serif");
    EXPECT_TRUE(panel->style & 0x40000000u);  // a child window
    struct Expected {
        int id;
        const char* cls;
        const char* text;
        int x, y, w, h;
        bool tabStop;
    };
    const Expected controls[] = {
        {1001, "SplinesListBoxView", "", 7, 7, 93, 101, true},
        {1002, "CustButton", "Add", 7, 135, 46, 12, true},
        {1496, "CustButton", "Remove", 54, 135, 46, 12, true},
        {1004, "Button", "Union", 7, 110, 42, 10, false},
        {1005, "Button", "Intersect", 56, 110, 42, 10, false},
        {1006, "Button", "Subtr_A", 7, 122, 46, 10, false},
        {1007, "Button", "Subtr_B", 54, 121, 46, 10, false},
        {1501, "CustEdit", "", 57, 152, 35, 10, false},
        {1502, "SpinnerControl", "", 93, 152, 7, 10, false},
        {-1, "Static", "Threshold:", 8, 152, 39, 9, false},
        {1503, "Button", "Whole shapes (holes and pieces)", 7, 166, 93, 18, true},
        {1504, "Static", "", 7, 187, 93, 42, false},
    };
    ASSERT_EQ(panel->controls.size(), 12);
    for (int i = 0; i < 12; ++i) {
        const standin::DialogControl& c = panel->controls[i];
        const Expected& e = controls[i];
        SCOPED_TRACE(e.text);
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.className, e.cls);
        EXPECT_EQ(c.text, e.text);
        EXPECT_EQ(QVector<int>({c.x, c.y, c.width, c.height}), QVector<int>({e.x, e.y, e.w, e.h}));
        EXPECT_EQ((c.style & 0x00010000u) != 0, e.tabStop);
    }
    // Automatic radio buttons, not starting groups.
    for (int id : {1004, 1005, 1006, 1007}) {
        EXPECT_EQ(panel->control(id)->style & 0xFu, 9u);
        EXPECT_EQ(panel->control(id)->style & 0x00020000u, 0u);
    }
    EXPECT_EQ(panel->control(1503)->style & 0xFu, 3u);  // an automatic check box

    const standin::DialogTemplate* about = rc->dialog(109);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->width, 108);
    EXPECT_EQ(about->height, 85);
    ASSERT_EQ(about->controls.size(), 3);
    EXPECT_EQ(about->control(1013)->text, "Version 2.5.0");
    EXPECT_EQ(about->control(1013)->style & 0x1000u, 0x1000u);  // sunken
    EXPECT_EQ(about->control(1033)->className, "CustImage");
    EXPECT_EQ(QVector<int>({about->control(1033)->width, about->control(1033)->height}),
              QVector<int>({104, 37}));
    EXPECT_EQ(about->control(1011)->text, "Check for update");
    EXPECT_EQ(about->control(1011)->className, "Button");

    const standin::FileResource* bitmap = rc->file(2, 102);
    ASSERT_NE(bitmap, nullptr);
    const QImage picture(bitmap->path);
    EXPECT_EQ(picture.size(), QSize(160, 56)) << bitmap->path.toStdString();
    EXPECT_NE(rc->file(24, 2), nullptr);  // the side-by-side manifest

    ASSERT_TRUE(rc->version().has_value());
    const quint16* v = rc->version()->fileVersion;
    EXPECT_EQ(QString("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]), "2.0.1.2");
    EXPECT_EQ(rc->version()->values.value("StringFileInfo/040904b0/FileVersion"), "2.0.1.2");

    // The ids the code uses are the script's.
    EXPECT_EQ(rc->define("IDC_SPLINE_LIST"), IDC_SPLINE_LIST);
    EXPECT_EQ(rc->define("IDD_ABOUT"), IDD_ABOUT);
}

TEST(Resources, LoadStringCopiesIntoTheCallersBuffer) {
    MCHAR buffer[8];
    EXPECT_EQ(LoadStringW(moduleHandle(), 4, buffer, 8), 7);  // "Paramet", truncated
    EXPECT_EQ(QString::fromWCharArray(buffer), "Paramet");
    EXPECT_EQ(LoadStringW(moduleHandle(), 5, buffer, 8), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(LoadStringW(nullptr, 4, buffer, 8), 0);
}

TEST(Modifier, NewModifierHasTheDefaults) {
    Modifier* mod = newCarvex();
    ASSERT_NE(mod, nullptr);
    IParamBlock2* pb = mod->GetParamBlock(0);
    ASSERT_NE(pb, nullptr);
    EXPECT_EQ(pb->ID(), 0);
    EXPECT_EQ(pb->Count(kSplineNode), 0);
    EXPECT_EQ(pb->Count(kOperationTypes), 0);
    EXPECT_EQ(pb->GetInt(kType), 0);
    float threshold = 0.0f;
    Interval valid = FOREVER;
    EXPECT_TRUE(pb->GetValue(kThreshold, 0, threshold, valid));
    EXPECT_EQ(threshold, 0.0001f);
    EXPECT_EQ(valid, FOREVER);  // not animated
    EXPECT_EQ(pb->GetInt(kWholeShapes), 1);
    EXPECT_EQ(mod->LocalValidity(0), NEVER);

    MSTR name;
    mod->GetClassName(name);
    EXPECT_EQ(QString::fromStdWString(name), "Carvex");
    EXPECT_EQ(text(mod->GetObjectName()), "Carvex");
    EXPECT_EQ(mod->NumSubs(), 1);
    EXPECT_EQ(mod->SubAnim(0), pb);
    EXPECT_EQ(QString::fromStdWString(mod->SubAnimName(0)), "Parameters");
    EXPECT_EQ(mod->NumParamBlocks(), 1);
    EXPECT_EQ(mod->GetParamBlockByID(0), pb);
    EXPECT_EQ(mod->GetParamBlockByID(1), nullptr);
    EXPECT_EQ(mod->ChannelsUsed(), 0x403u);
    EXPECT_EQ(mod->ChannelsChanged(), 0x403u);
    EXPECT_EQ(mod->InputType(), Class_ID(10, 0));
    mod->MaybeAutoDelete();
}

TEST(Modifier, ReferencesAreTheBlockAndItsOperandRows) {
    auto scene = newScene();
    INode* a = scene->addNode("A", shapeOf({rectangle(0, 0, 1, 1)}));
    INode* b = scene->addNode("B", shapeOf({rectangle(0, 0, 1, 1)}));
    Modifier* mod = scene->createModifier("Carvex");
    IParamBlock2* pb = mod->GetParamBlock(0);
    EXPECT_EQ(mod->NumRefs(), 1);
    EXPECT_EQ(mod->GetReference(0), pb);
    EXPECT_EQ(mod->GetReference(1), nullptr);

    addOperand(mod, a, 0);
    addOperand(mod, b, 3);
    EXPECT_EQ(mod->NumRefs(), 3);
    EXPECT_EQ(mod->GetReference(1), a);
    EXPECT_EQ(mod->GetReference(2), b);

    // Setting reference 2 sets row 1 of "Spline_Node"; its code stays.
    EXPECT_EQ(mod->ReplaceReference(2, a), REF_SUCCEED);
    EXPECT_EQ(pb->GetINode(kSplineNode, 0, 1), a);
    EXPECT_EQ(pb->GetInt(kOperationTypes, 0, 1), 3);
    // A reference past the rows is refused by the block and answers null.
    mod->ReplaceReference(5, b);
    EXPECT_EQ(mod->NumRefs(), 3);
    EXPECT_EQ(mod->GetReference(5), nullptr);
    // Deleting a node empties its rows, which then end the operand list.
    a->DeleteMe();
    EXPECT_EQ(pb->GetINode(kSplineNode, 0, 0), nullptr);
    EXPECT_EQ(mod->GetReference(1), nullptr);
}

TEST(Modifier, ChangesDropValidityAndRenderBeginAsksForEvaluation) {
    auto scene = newScene();
    Modifier* mod = scene->createModifier("Carvex");
    INode* base = modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
    ASSERT_NE(scene->evaluate(base), nullptr);
    EXPECT_EQ(mod->LocalValidity(0), FOREVER);

    // Any message from the block (here a new threshold) drops the validity.
    mod->GetParamBlock(0)->SetValue(kThreshold, 0, 0.5f);
    EXPECT_EQ(mod->LocalValidity(0), NEVER);
    ASSERT_NE(scene->evaluate(base), nullptr);
    EXPECT_EQ(mod->LocalValidity(0), FOREVER);

    Listener listener(mod);
    EXPECT_EQ(mod->RenderBegin(0), 0);
    EXPECT_EQ(mod->LocalValidity(0), NEVER);
    ASSERT_EQ(listener.messages.size(), 1u);
    EXPECT_EQ(listener.messages[0], static_cast<RefMessage>(REFMSG_CHANGE));
    EXPECT_EQ(listener.parts[0], static_cast<PartID>(0x800037FF));
    EXPECT_EQ(listener.intervals[0], FOREVER);
}

TEST(Modifier, EditingMarksTheModifierAndTellsDependents) {
    Modifier* mod = newCarvex();
    Listener listener(mod);
    IObjParam* ip = static_cast<IObjParam*>(GetCOREInterface());
    ip->SetTime(160);
    mod->BeginEditParams(ip, 0, nullptr);
    EXPECT_TRUE(mod->TestAFlag(A_BEING_EDITED));
    EXPECT_EQ(mod->LocalValidity(0), NEVER);
    mod->EndEditParams(ip, 0, nullptr);
    EXPECT_FALSE(mod->TestAFlag(A_BEING_EDITED));
    EXPECT_EQ(listener.messages,
              (std::vector<RefMessage>{REFMSG_BEGIN_EDIT, REFMSG_MOD_DISPLAY_ON, REFMSG_END_EDIT,
                                       REFMSG_MOD_DISPLAY_OFF}));
    for (const Interval& iv : listener.intervals)
        EXPECT_EQ(iv, Interval(160, 160));
    ip->SetTime(0);
    // The listener's reference was the modifier's only one.
}

TEST(Modifier, CloneCopiesTheBlockNotTheNodes) {
    auto scene = newScene();
    INode* a = scene->addNode("A", shapeOf({rectangle(0, 0, 1, 1)}));
    Modifier* mod = scene->createModifier("Carvex");
    addOperand(mod, a, 2);
    mod->GetParamBlock(0)->SetValue(kThreshold, 0, 0.25f);

    RemapDir remap;
    auto* copy = static_cast<Modifier*>(remap.CloneRef(mod));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, mod);
    EXPECT_EQ(copy->ClassID(), mod->ClassID());
    IParamBlock2* pb = copy->GetParamBlock(0);
    ASSERT_NE(pb, nullptr);
    EXPECT_NE(pb, mod->GetParamBlock(0));
    EXPECT_EQ(remap.FindMapping(mod->GetParamBlock(0)), pb);
    EXPECT_EQ(remap.FindMapping(mod), copy);
    EXPECT_EQ(pb->GetFloat(kThreshold), 0.25f);
    EXPECT_EQ(pb->GetINode(kSplineNode, 0, 0), a);
    EXPECT_EQ(pb->GetInt(kOperationTypes, 0, 0), 2);
    // The copy's block is its own: changing it leaves the original alone.
    pb->SetValue(kOperationTypes, 0, 1, 0);
    EXPECT_EQ(mod->GetParamBlock(0)->GetInt(kOperationTypes, 0, 0), 2);
    copy->MaybeAutoDelete();
}
