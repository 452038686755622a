#include "splinelistview.h"

#include <cwchar>

#include "plugin.h"

namespace {

const COLORREF kBackground = RGB(220, 220, 220);
const COLORREF kBorder = RGB(255, 255, 255);
const COLORREF kEdge = RGB(160, 160, 160);
const COLORREF kText = RGB(0, 0, 0);
const COLORREF kSelectedBackground = RGB(130, 150, 220);
const COLORREF kSelectedPen = RGB(0, 50, 200);
const COLORREF kSelectedText = RGB(255, 255, 255);
const COLORREF kSwatchPen = RGB(0, 0, 0);

// Rows are drawn this wide whatever the window's width; the system clips them.
constexpr int kRowRight = 140;
constexpr int kNameX = 11;
constexpr int kLabelX = 100;
// One wheel notch (120) moves two rows.
constexpr int kWheelDeltaPerRow = 48;
constexpr int kPageRows = 8;

int rowCount(const SplineListState& state) {
    return state.pblock ? state.pblock->Count(pb_spline_node) : 0;
}

void drawText(HDC dc, int x, int y, const MCHAR* text) {
    if (text && *text) TextOutW(dc, x, y, text, static_cast<int>(std::wcslen(text)));
}

void paint(HWND window, const SplineListState& state) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    // DC pen and brush let every colour be set directly.
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    HGDIOBJ oldFont = SelectObject(dc, GetCOREInterface()->GetAppHFont());

    RECT client;
    GetClientRect(window, &client);
    SetDCBrushColor(dc, kBackground);
    SetDCPenColor(dc, kBorder);
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    SetDCPenColor(dc, kEdge);
    MoveToEx(dc, 0, client.bottom - 2, nullptr);
    LineTo(dc, 0, 0);
    LineTo(dc, client.right, 0);
    SetBkColor(dc, kBackground);

    const int count = rowCount(state);
    int y = kListFirstRowTop;
    for (int row = GetScrollPos(window, SB_VERT); row < count; ++row, y += kListRowHeight) {
        const bool selected = row == state.selected;
        const COLORREF background = selected ? kSelectedBackground : kBackground;
        SetTextColor(dc, selected ? kSelectedText : kText);
        SetBkColor(dc, background);
        SetDCBrushColor(dc, background);
        SetDCPenColor(dc, selected ? kSelectedPen : kBackground);
        Rectangle(dc, 1, y - 1, kRowRight, y + 14);

        INode* node = state.pblock->GetINode(pb_spline_node, 0, row);
        const int code = state.pblock->GetInt(pb_operation_types, 0, row);
        if (!node) continue;
        SetDCPenColor(dc, kSwatchPen);
        SetDCBrushColor(dc, node->GetWireColor());
        Rectangle(dc, 2, y + 1, 9, y + 13);
        drawText(dc, kNameX, y, node->GetName());
        drawText(dc, kLabelX, y, OperationLabel(code));
    }

    SelectObject(dc, oldFont);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    EndPaint(window, &ps);
}

void select(HWND window, SplineListState& state, LPARAM lParam) {
    const int y = GET_Y_LPARAM(lParam);
    // Truncated toward zero, as C++ divides: y 0 and 1 still hit the first row.
    const int row = (y - kListFirstRowTop) / kListRowHeight + GetScrollPos(window, SB_VERT);
    if (row >= 0 && row < rowCount(state)) {
        state.selected = row;
        SendNotifyMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), 0), 0);
    }
    InvalidateRect(window, nullptr, TRUE);
}

void scrollTo(HWND window, int position) {
    SetScrollPos(window, SB_VERT, position, TRUE);
    InvalidateRect(window, nullptr, TRUE);
}

void scroll(HWND window, WPARAM wParam) {
    const int position = GetScrollPos(window, SB_VERT);
    switch (LOWORD(wParam)) {
        case SB_LINEUP:
            scrollTo(window, position - 1);
            break;
        case SB_LINEDOWN:
            scrollTo(window, position + 1);
            break;
        case SB_PAGEUP:
            scrollTo(window, position - kPageRows);
            break;
        case SB_PAGEDOWN:
            scrollTo(window, position + kPageRows);
            break;
        case SB_THUMBTRACK:
            scrollTo(window, HIWORD(wParam));
            break;
        default:
            break;
    }
}

}  // namespace

const MCHAR* OperationLabel(int code) {
    switch (code) {
        case op_union:
            return _M("U");
        case op_intersect:
            return _M("I");
        case op_subtr_a:
            return _M("S_A");
        case op_subtr_b:
            return _M("S_B");
        default:
            return _M("");
    }
}

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

    // The class belongs with the common controls the module's manifest names.
    ACTCTXW context{};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = instance;
    context.lpResourceName = MAKEINTRESOURCEW(ISOLATIONAWARE_MANIFEST_RESOURCE_ID);
    HANDLE handle = CreateActCtxW(&context);
    ULONG_PTR cookie = 0;
    const bool active = handle != INVALID_HANDLE_VALUE && ActivateActCtx(handle, &cookie);
    RegisterClassExW(&wc);
    if (active) DeactivateActCtx(0, cookie);
    if (handle != INVALID_HANDLE_VALUE) ReleaseActCtx(handle);
}

LRESULT CALLBACK SplinesListBoxViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<SplineListState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!state) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_PAINT:
            paint(window, *state);
            return 0;
        case WM_LBUTTONDOWN:
            select(window, *state, lParam);
            return 0;
        case WM_LBUTTONUP:
            return 0;
        case WM_VSCROLL:
            scroll(window, wParam);
            return 0;
        case WM_MOUSEWHEEL:
            scrollTo(window, GetScrollPos(window, SB_VERT) -
                                 GET_WHEEL_DELTA_WPARAM(wParam) / kWheelDeltaPerRow);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
