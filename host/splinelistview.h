#pragma once

#include "hostsdk.h"

// Window class of the operand list control in the Parameters rollout.
#define SPLINE_LIST_CLASS _M("SplinesListBoxView")

// What the Parameters rollout, its pick mode and the operand list control
// share. The control finds it in its window user data.
struct SplineListState {
    IParamBlock2* pblock = nullptr;  // the block shown
    HWND listWindow = nullptr;       // control 1001
    int selected = -1;               // the selected row, -1 for none
};

// Row geometry of the list, in client pixels.
constexpr int kListFirstRowTop = 2;
constexpr int kListRowHeight = 15;

// Registers the class for this module; once per process, at attach, with
// the module's side-by-side manifest in force.
void RegisterSplineListClass(HINSTANCE instance);

LRESULT CALLBACK SplinesListBoxViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The label of an operation code in the list; empty for an unknown code.
const MCHAR* OperationLabel(int code);
