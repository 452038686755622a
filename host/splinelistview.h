#pragma once

#include "hostsdk.h"

// Window class of the operand list control in the Parameters rollout.
#define SPLINE_LIST_CLASS _M("SplinesListBoxView")

// Registers the class for this module; once per process, at attach.
void RegisterSplineListClass(HINSTANCE instance);

LRESULT CALLBACK SplinesListBoxViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
