// The stand-in window system on its own: dialogs from a module's templates,
// messages, input, scroll bars, GDI pixels and activation contexts.

#include <dlfcn.h>

#include <functional>

#include "hosttest.h"
#include "resource.h"
#include "standin/ui.h"

using namespace hosttest;

namespace {

const auto* const guiEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

HINSTANCE pluginInstance() {
    Dl_info info{};
    void* symbol = plugin().symbol("LibVersion");
    if (!symbol || !dladdr(symbol, &info)) return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

// What a dialog procedure heard.
struct Heard {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool controlsExisted;
};
std::vector<Heard> heard;

INT_PTR CALLBACK recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG || message == WM_COMMAND || message == WM_DESTROY)
        heard.push_back({message, wParam, lParam, GetDlgItem(dialog, IDC_CHECK_UPDATE) != nullptr});
    return FALSE;
}

// A window class whose painting the test supplies.
std::function<void(HDC)> painter;

LRESULT CALLBACK paintedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT all;
    GetClientRect(window, &all);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (painter) painter(dc);
    EndPaint(window, &ps);
    return 0;
}

HWND paintedWindow(int width, int height) {
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(nullptr, L"PaintedByTest", &wc)) {
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = paintedProc;
        wc.lpszClassName = L"PaintedByTest";
        RegisterClassExW(&wc);
    }
    return CreateWindowExW(0, L"PaintedByTest", L"", WS_VISIBLE, 0, 0, width, height, nullptr,
                           nullptr, nullptr, nullptr);
}

QImage paintWith(int width, int height, std::function<void(HDC)> paint) {
    painter = std::move(paint);
    HWND window = paintedWindow(width, height);
    const QImage image = standin::renderWindow(window);
    DestroyWindow(window);
    painter = nullptr;
    return image;
}

}  // namespace

TEST(Win32Dialogs, TemplatesBecomeWindowsInPixelsAndMessagesReachTheProcedure) {
    // Dialog units at 6 x 13 base units, rounded half away from zero.
    EXPECT_EQ(MulDiv(93, 6, 4), 140);
    EXPECT_EQ(MulDiv(68, 13, 8), 111);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);

    heard.clear();
    HWND dialog = CreateDialogParamW(pluginInstance(), MAKEINTRESOURCEW(IDD_ABOUT), nullptr,
                                     recordingProc, 42);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].message, static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(heard[0].lParam, 42);
    EXPECT_TRUE(heard[0].controlsExisted);

    RECT r;
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.right - r.left, 162);
    EXPECT_EQ(r.bottom - r.top, 138);
    HWND version = GetDlgItem(dialog, IDC_VERSION);
    HWND button = GetDlgItem(dialog, IDC_CHECK_UPDATE);
    EXPECT_EQ(standin::windowClassName(version), "Static");
    EXPECT_TRUE(GetWindowLongPtrW(version, GWL_STYLE) & SS_SUNKEN);
    EXPECT_EQ(standin::windowClassName(GetDlgItem(dialog, IDC_ABOUT_IMAGE)), "CustImage");
    EXPECT_EQ(standin::windowClassName(button), "Button");
    GetWindowRect(button, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 111);
    EXPECT_EQ(r.right - r.left, 156);
    EXPECT_EQ(r.bottom - r.top, 21);
    EXPECT_EQ(GetDlgCtrlID(button), IDC_CHECK_UPDATE);
    EXPECT_EQ(GetParent(button), dialog);

    wchar_t text[64];
    GetDlgItemTextW(dialog, IDC_VERSION, text, 64);
    EXPECT_EQ(std::wstring(text), L"Version 2.5.0");
    EXPECT_TRUE(SetDlgItemTextW(dialog, IDC_VERSION, L"Version: 2.0.1.2"));
    EXPECT_EQ(GetWindowTextLengthW(version), 16);

    // A click on the push button reaches the procedure as a command.
    ASSERT_TRUE(standin::mouseClick(button, QPoint(5, 5)));
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(heard[1].wParam, MAKEWPARAM(IDC_CHECK_UPDATE, BN_CLICKED));
    // A hidden button is still there but shows nothing.
    EXPECT_TRUE(ShowWindow(button, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(button));

    EXPECT_TRUE(DestroyWindow(dialog));
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[2].message, static_cast<UINT>(WM_DESTROY));
    // Handles of destroyed windows are refused.
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(button));
    EXPECT_EQ(GetDlgItem(dialog, IDC_VERSION), nullptr);
    EXPECT_FALSE(SetWindowTextW(version, L"gone"));
    EXPECT_EQ(
        CreateDialogParamW(pluginInstance(), MAKEINTRESOURCEW(999), nullptr, recordingProc, 0),
        nullptr);
}

TEST(Win32Input, DisabledWindowsTakeNoInputAndScrollPositionsStayInRange) {
    HWND parent = paintedWindow(100, 100);
    HWND child = CreateWindowExW(0, L"Button", L"Go", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 0,
                                 50, 20, parent, reinterpret_cast<HMENU>(7), nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(standin::mouseClick(child, QPoint(3, 3)));
    EXPECT_EQ(SendMessageW(child, BM_GETCHECK, 0, 0), BST_CHECKED);

    // Disabling answers whether it was disabled; a disabled parent shuts out its children.
    EXPECT_FALSE(EnableWindow(parent, FALSE));
    EXPECT_TRUE(EnableWindow(parent, FALSE));
    EXPECT_FALSE(standin::mouseClick(child, QPoint(3, 3)));
    EXPECT_EQ(SendMessageW(child, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(EnableWindow(parent, TRUE));
    ASSERT_TRUE(standin::mouseClick(child, QPoint(3, 3)));
    EXPECT_EQ(SendMessageW(child, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // Without a scroll bar there are no scroll requests; with one, the
    // system's range 0 to 100 until set otherwise.
    EXPECT_FALSE(standin::scrollBarRequest(parent, SB_LINEDOWN));
    ShowScrollBar(parent, SB_VERT, TRUE);
    RECT client;
    GetClientRect(parent, &client);
    EXPECT_EQ(client.right, 100 - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(SetScrollPos(parent, SB_VERT, -4, TRUE), 0);
    EXPECT_EQ(GetScrollPos(parent, SB_VERT), 0);
    EXPECT_EQ(SetScrollPos(parent, SB_VERT, 250, TRUE), 0);
    EXPECT_EQ(GetScrollPos(parent, SB_VERT), 100);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, 20, 6, 0, 0};
    SetScrollInfo(parent, SB_VERT, &info, TRUE);
    EXPECT_EQ(GetScrollPos(parent, SB_VERT), 15);
    DestroyWindow(parent);
    EXPECT_FALSE(IsWindow(child));
}

TEST(Win32Gdi, RectanglesLinesAndTextLandOnExactPixels) {
    const QImage shapes = paintWith(40, 30, [](HDC dc) {
        SelectObject(dc, GetStockObject(DC_PEN));
        HGDIOBJ previous = SelectObject(dc, GetStockObject(DC_BRUSH));
        EXPECT_EQ(previous, GetStockObject(WHITE_BRUSH));
        SetDCPenColor(dc, RGB(255, 0, 0));
        SetDCBrushColor(dc, RGB(0, 255, 0));
        Rectangle(dc, 2, 2, 10, 8);
        SelectObject(dc, GetStockObject(NULL_PEN));
        Rectangle(dc, 20, 2, 24, 6);
        SelectObject(dc, GetStockObject(DC_PEN));
        SetDCPenColor(dc, RGB(0, 0, 255));
        MoveToEx(dc, 0, 20, nullptr);
        LineTo(dc, 5, 20);
        LineTo(dc, 5, 25);
    });
    const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255), white(255, 255, 255);
    // The outline takes the first and last pixel inside right and bottom.
    EXPECT_EQ(shapes.pixelColor(2, 2), red);
    EXPECT_EQ(shapes.pixelColor(9, 7), red);
    EXPECT_EQ(shapes.pixelColor(10, 8), white);
    EXPECT_EQ(shapes.pixelColor(5, 5), green);
    // Without a pen the fill is a pixel smaller each way.
    EXPECT_EQ(shapes.pixelColor(20, 2), green);
    EXPECT_EQ(shapes.pixelColor(22, 4), green);
    EXPECT_EQ(shapes.pixelColor(23, 5), white);
    // Lines leave out their last point.
    EXPECT_EQ(shapes.pixelColor(0, 20), blue);
    EXPECT_EQ(shapes.pixelColor(5, 20), blue);
    EXPECT_EQ(shapes.pixelColor(5, 24), blue);
    EXPECT_EQ(shapes.pixelColor(5, 25), white);

    SIZE cell{};
    const QImage text = paintWith(60, 40, [&cell](HDC dc) {
        SelectObject(dc, GetCOREInterface()->GetAppHFont());
        GetTextExtentPoint32W(dc, L"Wg", 2, &cell);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(0, 0, 255));
        TextOutW(dc, 0, 0, L"Wg", 2);
        SetBkMode(dc, TRANSPARENT);
        TextOutW(dc, 0, 20, L"Wg", 2);
    });
    ASSERT_GT(cell.cx, 0);
    EXPECT_EQ(cell.cy, 13);
    // Opaque text fills its cell with the background colour; transparent
    // text leaves what was there.
    int blues = 0, blacks = 0, transparentBlues = 0, transparentBlacks = 0;
    for (int y = 0; y < cell.cy; ++y)
        for (int x = 0; x < cell.cx; ++x) {
            blues += text.pixelColor(x, y) == blue;
            blacks += text.pixelColor(x, y) == QColor(Qt::black);
            transparentBlues += text.pixelColor(x, 20 + y) == blue;
            transparentBlacks += text.pixelColor(x, 20 + y) == QColor(Qt::black);
        }
    EXPECT_GT(blacks, 0);
    EXPECT_EQ(blues + blacks, cell.cx * cell.cy);
    EXPECT_EQ(transparentBlues, 0);
    EXPECT_EQ(transparentBlacks, blacks);
    EXPECT_EQ(text.pixelColor(cell.cx + 1, 5), white);

    // Broken between words, text fills the rectangle's width line by line:
    // three words that fit two to a line take two lines, one word each
    // when the rectangle is narrower than two.
    SIZE word{};
    int twoLines = 0;
    int threeLines = 0;
    paintWith(200, 60, [&](HDC dc) {
        SelectObject(dc, GetCOREInterface()->GetAppHFont());
        GetTextExtentPoint32W(dc, L"Wg Wg", 5, &word);
        RECT wide{0, 0, word.cx + 2, 60};
        twoLines = DrawTextW(dc, L"Wg Wg Wg", -1, &wide, DT_LEFT | DT_WORDBREAK);
        RECT narrow{0, 0, word.cx - 2, 60};
        threeLines = DrawTextW(dc, L"Wg Wg Wg", -1, &narrow, DT_LEFT | DT_WORDBREAK);
    });
    EXPECT_EQ(twoLines, 2 * cell.cy);
    EXPECT_EQ(threeLines, 3 * cell.cy);

    // Stock objects stay; made ones go once.
    EXPECT_FALSE(DeleteObject(GetStockObject(DC_PEN)));
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(brush));
}

TEST(Win32CommonControls, ProgressBarsImageListsAndActivationContexts) {
    HWND parent = paintedWindow(120, 40);
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 100, 16,
                               parent, nullptr, nullptr, nullptr);
    ASSERT_NE(bar, nullptr);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 40, 0), 0);
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 140, 0), 40);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 100);
    SendMessageW(bar, PBM_SETPOS, 50, 0);
    const QImage image = standin::renderWindow(parent);
    const QColor done = image.pixelColor(10 + 20, 18);
    EXPECT_EQ(image.pixelColor(10 + 45, 18), done);
    EXPECT_NE(image.pixelColor(10 + 60, 18), done);
    DestroyWindow(parent);

    // The About picture, cut into images of the list's width.
    HBITMAP picture = LoadBitmapW(pluginInstance(), MAKEINTRESOURCEW(IDB_ABOUT));
    ASSERT_NE(picture, nullptr);
    HIMAGELIST list = ImageList_Create(80, 56, ILC_COLORDDB, 1, 0);
    EXPECT_EQ(ImageList_Add(list, picture, nullptr), 0);
    EXPECT_EQ(ImageList_GetImageCount(list), 2);
    EXPECT_TRUE(DeleteObject(picture));
    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_FALSE(ImageList_Destroy(list));

    // The module's manifest as an activation context; contexts end innermost first.
    ACTCTXW context{};
    context.cbSize = sizeof(ACTCTXW);
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = pluginInstance();
    context.lpResourceName = MAKEINTRESOURCEW(ISOLATIONAWARE_MANIFEST_RESOURCE_ID);
    HANDLE handle = CreateActCtxW(&context);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    ULONG_PTR outer = 0, inner = 0;
    ASSERT_TRUE(ActivateActCtx(handle, &outer));
    ASSERT_TRUE(ActivateActCtx(handle, &inner));
    EXPECT_FALSE(DeactivateActCtx(0, outer));
    EXPECT_TRUE(DeactivateActCtx(0, inner));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"RegisteredInContext";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    EXPECT_TRUE(DeactivateActCtx(0, outer));
    ReleaseActCtx(handle);
    EXPECT_EQ(standin::windowClassContext("RegisteredInContext"), "Carvex");
    EXPECT_EQ(standin::windowClassContext("Button"), "");
    context.lpResourceName = MAKEINTRESOURCEW(77);
    EXPECT_EQ(CreateActCtxW(&context), INVALID_HANDLE_VALUE);
}
