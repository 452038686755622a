#pragma once

#include "hostsdk.h"
#include "splinelistview.h"

// The Parameters rollout: its dialog procedure, the Add pick mode and the
// edits of the operand tables. One instance of each serves every modifier.

class SplineListDlgProc : public ParamMap2UserDlgProc {
public:
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;
    // Static: the host's delete request is ignored.
    void DeleteThis() override {}
    void SetThing(ReferenceTarget* target) override;

    IParamBlock2* pblock = nullptr;
    SplineListState listState;
    ICustButton* addButton = nullptr;  // held while the rollout exists
};

class PickSplineObjectNode : public PickModeCallback, public PickNodeCallback {
public:
    BOOL HitTest(IObjParam* ip, HWND hWnd, ViewExp* vpt, IPoint2 m, int flags) override;
    BOOL Pick(IObjParam* ip, ViewExp* vpt) override;
    // A right click ends the mode.
    BOOL RightClick(IObjParam*, ViewExp*) override { return TRUE; }
    void EnterMode(IObjParam* ip) override;
    void ExitMode(IObjParam* ip) override;
    PickNodeCallback* GetFilter() override { return this; }
    BOOL Filter(INode* node) override;

    SplineListState* listState = nullptr;
    ICustButton* addButton = nullptr;
};

SplineListDlgProc& TheSplineListDlgProc();
PickSplineObjectNode& ThePickSplineObjectNode();

// Appends node as an operand with the current "Type" unless it is one
// already, and scrolls the list to show the last rows.
void AddOperand(SplineListState& state, INode* node);
// Gives the selected operand the current "Type".
void AssignOperation(SplineListState& state);
// Deletes the selected operand; the selection stays on its row number.
void RemoveSelectedOperand(SplineListState& state);
// Shows text as the status line of the Parameters rollout, if it is open on pb.
void ShowStatus(IParamBlock2* pb, const std::wstring& text);
