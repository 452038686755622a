#include "rollout.h"

#include <algorithm>

#include "plugin.h"
#include "resources/resource.h"

namespace {

// Rows that show in the list at once; picking scrolls so the last of them show.
constexpr int kVisibleRows = 10;

void repaintList(const SplineListState& state) {
    InvalidateRect(state.listWindow, nullptr, TRUE);
}

bool hasValidSelection(const SplineListState& state) {
    return state.pblock && state.selected >= 0 &&
           state.selected < state.pblock->Count(pb_spline_node);
}

bool canBecomeSplineShape(INode* node) {
    if (!node) return false;
    Object* obj = node->EvalWorldState(0).obj;
    return obj && obj->CanConvertToType(splineShapeClassID);
}

}  // namespace

SplineListDlgProc& TheSplineListDlgProc() {
    static SplineListDlgProc proc;
    return proc;
}

PickSplineObjectNode& ThePickSplineObjectNode() {
    static PickSplineObjectNode mode;
    return mode;
}

void SplineListDlgProc::SetThing(ReferenceTarget* target) {
    pblock = static_cast<IParamBlock2*>(target);
}

INT_PTR SplineListDlgProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg, WPARAM wParam,
                                   LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            addButton = GetICustButton(GetDlgItem(hWnd, IDC_ADD));
            if (addButton) addButton->SetType(CBT_CHECK);
            listState.listWindow = GetDlgItem(hWnd, IDC_SPLINE_LIST);
            SetWindowLongPtrW(listState.listWindow, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(&listState));
            ShowScrollBar(listState.listWindow, SB_VERT, TRUE);
            listState.pblock = pblock;
            repaintList(listState);
            listState.selected = -1;
            repaintList(listState);
            break;
        case WM_DESTROY: {
            // An Add pick mode still running would use the button released
            // below: end it while the button and the list still exist.
            Interface* ip = GetCOREInterface();
            PickSplineObjectNode& pick = ThePickSplineObjectNode();
            if (ip->GetCurPickMode() == &pick) ip->ClearPickMode();
            if (pick.addButton == addButton) pick.addButton = nullptr;
            if (addButton) ReleaseICustButton(addButton);
            addButton = nullptr;
            listState.listWindow = nullptr;
            break;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_ADD: {
                    PickSplineObjectNode& pick = ThePickSplineObjectNode();
                    pick.listState = &listState;
                    pick.addButton = addButton;
                    GetCOREInterface()->SetPickMode(&pick);
                    break;
                }
                case IDC_UNION:
                case IDC_INTERSECT:
                case IDC_SUBTR_A:
                case IDC_SUBTR_B:
                    AssignOperation(listState);
                    break;
                case IDC_REMOVE:
                    RemoveSelectedOperand(listState);
                    break;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return 0;
}

// ---------------------------------------------------------------------------

BOOL PickSplineObjectNode::Filter(INode* node) {
    return canBecomeSplineShape(node) ? TRUE : FALSE;
}

BOOL PickSplineObjectNode::HitTest(IObjParam* ip, HWND hWnd, ViewExp*, IPoint2 m, int) {
    if (!ip) return FALSE;
    INode* node = ip->PickNode(hWnd, m, this);
    return canBecomeSplineShape(node) ? TRUE : FALSE;
}

BOOL PickSplineObjectNode::Pick(IObjParam*, ViewExp* vpt) {
    if (vpt && listState) AddOperand(*listState, vpt->GetClosestHit());
    // Stay in the mode for further picks.
    return FALSE;
}

void PickSplineObjectNode::EnterMode(IObjParam*) {
    if (!listState) return;
    repaintList(*listState);
    if (addButton) addButton->SetCheck(TRUE);
    EnableWindow(listState->listWindow, FALSE);
}

void PickSplineObjectNode::ExitMode(IObjParam*) {
    if (addButton) addButton->SetCheck(FALSE);
    if (listState) EnableWindow(listState->listWindow, TRUE);
}

// ---------------------------------------------------------------------------

void AddOperand(SplineListState& state, INode* node) {
    if (!node || !state.pblock) return;
    IParamBlock2* pb = state.pblock;
    const int count = pb->Count(pb_spline_node);
    for (int row = 0; row < count; ++row)
        if (pb->GetINode(pb_spline_node, 0, row) == node) return;
    const int code = pb->GetInt(pb_type, 0);
    pb->SetCount(pb_spline_node, count + 1);
    // The host refuses a node that depends on the modifier (its own node, or
    // one built from it): the row goes again, since an empty row would stop
    // evaluation of the rows after it and be saved with the scene.
    if (!pb->SetValue(pb_spline_node, 0, node, count)) {
        pb->SetCount(pb_spline_node, count);
        repaintList(state);
        return;
    }
    pb->SetCount(pb_operation_types, count + 1);
    pb->SetValue(pb_operation_types, 0, code, count);
    SetScrollPos(state.listWindow, SB_VERT, std::max(count + 1 - kVisibleRows, 0), TRUE);
    repaintList(state);
}

void AssignOperation(SplineListState& state) {
    if (!hasValidSelection(state)) return;
    state.pblock->SetValue(pb_operation_types, 0, state.pblock->GetInt(pb_type, 0), state.selected);
    repaintList(state);
}

void RemoveSelectedOperand(SplineListState& state) {
    if (!hasValidSelection(state)) return;
    state.pblock->Delete(pb_spline_node, state.selected, 1);
    state.pblock->Delete(pb_operation_types, state.selected, 1);
    repaintList(state);
}

void ShowStatus(IParamBlock2* pb, const std::wstring& text) {
    const SplineListState& state = TheSplineListDlgProc().listState;
    if (!pb || state.pblock != pb || !state.listWindow) return;
    SetDlgItemTextW(GetParent(state.listWindow), IDC_STATUS, text.c_str());
}
