#include "splinelistview.h"

void RegisterSplineListClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = 0;
    wc.lpfnWndProc = SplinesListBoxViewProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = nullptr;
    wc.hCursor = nullptr;
    wc.hbrBackground = nullptr;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = SPLINE_LIST_CLASS;
    wc.hIconSm = nullptr;
    RegisterClassExW(&wc);
}

// Until a rollout hands the control its list state, every message takes the
// default path; painting, selection and scrolling arrive with the rollout.
LRESULT CALLBACK SplinesListBoxViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}
