#include "plugin.h"

#include "carvex.h"
#include "resources/resource.h"
#include "splinelistview.h"
#include "update.h"

HINSTANCE hInstance = nullptr;

const MCHAR* GetString(int id) {
    static MCHAR buffer[512];
    if (!hInstance) return nullptr;
    return LoadStringW(hInstance, static_cast<UINT>(id), buffer, 512) ? buffer : nullptr;
}

class CarvexClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return new Carvex(); }
    const MCHAR* ClassName() override { return GetString(IDS_CLASS_NAME); }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return CARVEX_CLASS_ID; }
    const MCHAR* Category() override { return GetString(IDS_CATEGORY); }
    const MCHAR* InternalName() override { return _M("Carvex"); }
    HINSTANCE HInstance() override { return hInstance; }
};

static CarvexClassDesc carvexDesc;

// A scene saved before "Whole_shapes" existed was evaluated pair by pair;
// it loads that way, so that it looks as it did, while new modifiers start
// with whole shapes on.
class OlderScenes : public ParamBlockUpgrade {
public:
    void Upgrade(IParamBlock2* pb, int savedVersion) override {
        if (savedVersion < 1) pb->SetValue(pb_whole_shapes, 0, 0);
    }
};

static OlderScenes olderScenes;

ClassDesc2* GetCarvexDesc() {
    return &carvexDesc;
}

// Built during static initialisation; registers itself with the class
// descriptor above, so it must come after it. One line per rollout map and
// per parameter property, the way the host reads the list.
// clang-format off
static ParamBlockDesc2 carvexParamBlock(
    carvex_params, _M("params"), 0, &carvexDesc,
    P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP | P_VERSION,
    carvex_params_version,
    // reference number of the block inside the modifier
    0,
    // rollout maps: the dialog procedures are set when the rollouts open
    2,
    0, IDD_PANEL, IDS_PARAMS, 0, 0, nullptr,
    1, IDD_ABOUT, IDS_ABOUT, 0, APPENDROLL_CLOSED, nullptr,

    pb_spline_node, _M("Spline_Node"), TYPE_INODE_TAB, 0, P_VARIABLE_SIZE, 0,
    p_end,

    pb_type, _M("Type"), TYPE_INT, 0, IDS_TYPE,
    p_default, op_union,
    p_range, op_union, op_subtr_b,
    p_ui, 0, TYPE_RADIO, 4, IDC_UNION, IDC_INTERSECT, IDC_SUBTR_A, IDC_SUBTR_B,
    p_end,

    pb_operation_types, _M("Operation_types"), TYPE_INT_TAB, 0, P_VARIABLE_SIZE, 0,
    p_end,

    pb_threshold, _M("Threshold"), TYPE_FLOAT, 0, 0,
    p_default, 0.0001f,
    p_range, 0.00001f, 100000000.0f,
    p_ui, 0, TYPE_SPINNER, EDITTYPE_FLOAT, IDC_THRESHOLD_EDIT, IDC_THRESHOLD_SPIN, SPIN_AUTOSCALE,
    p_end,

    pb_whole_shapes, _M("Whole_shapes"), TYPE_INT, 0, IDS_WHOLE_SHAPES,
    p_default, 1,
    p_range, 0, 1,
    p_ui, 0, TYPE_SINGLECHEKBOX, IDC_WHOLE_SHAPES,
    p_end,

    p_end);
// clang-format on

// Installed right after the block, in the same order of static initialisation.
[[maybe_unused]] static const bool olderScenesInstalled = [] {
    carvexParamBlock.SetUpgrade(&olderScenes);
    return true;
}();

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    hInstance = instance;
    DisableThreadLibraryCalls(instance);
    RegisterSplineListClass(instance);
    return TRUE;
}

extern "C" __declspec(dllexport) const MCHAR* LibDescription() {
    return GetString(IDS_LIBDESCRIPTION);
}

extern "C" __declspec(dllexport) int LibNumberClasses() {
    return 1;
}

extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) {
    return i == 0 ? &carvexDesc : nullptr;
}

extern "C" __declspec(dllexport) ULONG LibVersion() {
    return HOST_SDK_VERSION;
}

extern "C" __declspec(dllexport) int LibInitialize() {
    loadUpdateState(updateState(), hInstance);
    return TRUE;
}

extern "C" __declspec(dllexport) int LibShutdown() {
    return TRUE;
}
