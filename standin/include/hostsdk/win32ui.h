#pragma once

// The window system as plug-ins see it through hostsdk.h: windows and their
// classes, dialogs built from a module's templates, messages, scroll bars,
// GDI drawing, image lists, the progress bar and activation contexts.
// Names, values and behaviour follow the system's; what is missing here is
// simply not offered. Included by hostsdk.h after its window-system basics.
//
// Behaviour worth knowing:
// - Everything runs on one thread. SendMessageW and SendNotifyMessageW call
//   the window procedure at once; there is no queue. Painting is deferred:
//   InvalidateRect marks a window, UpdateWindow (or the host, before it shows
//   or captures windows) sends WM_PAINT.
// - A window paints into an image of its client area; the host composes the
//   images of a window and its visible children (standin/ui.h).
// - Handles of destroyed windows are refused, as the system refuses them.
// - Dialog templates come from the module's resource script. Dialog units
//   become pixels with the base units of the template's font: 6 x 13 for
//   "MS Sans Serif" 8 pt (x * 6 / 4, y * 13 / 8, rounded as MulDiv rounds),
//   and the same for any other font.
// - Predefined classes: "Button" (push, check and radio buttons, group
//   boxes), "Static" (text, SS_SUNKEN edge), "msctls_progress32", and the
//   host's "CustButton", "CustEdit", "SpinnerControl" and "CustImage"
//   (hostui.h). Mouse input reaches a window only while it and its parents
//   are enabled; the host simulates it (standin/ui.h).
// - Text needs a running QGuiApplication with a font; without one, text
//   calls draw nothing and measure characters as 6 x 13 cells.

// ---------------------------------------------------------------------------
// Handles and structures

struct HDC__;
struct HPEN__;
struct HFONT__;
struct HBITMAP__;
struct HIMAGELIST__;
struct HMENU__;
using HANDLE = void*;
// Any GDI object: pens, brushes, fonts and bitmaps convert to it.
using HGDIOBJ = void*;
using HDC = HDC__*;
using HPEN = HPEN__*;
using HFONT = HFONT__*;
using HBITMAP = HBITMAP__*;
using HIMAGELIST = HIMAGELIST__*;
using HMENU = HMENU__*;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SHORT = std::int16_t;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

struct POINT {
    LONG x;
    LONG y;
};

struct SIZE {
    LONG cx;
    LONG cy;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct SCROLLINFO {
    UINT cbSize;
    UINT fMask;
    int nMin;
    int nMax;
    UINT nPage;
    int nPos;
    int nTrackPos;
};

// What WM_NCCREATE and WM_CREATE carry in lParam.
struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

// ---------------------------------------------------------------------------
// Packing of message parameters

#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xFFFF))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xFFFF))
#define MAKELONG(a, b)                                          \
    (static_cast<LONG>(                                         \
        static_cast<WORD>(static_cast<DWORD_PTR>(a) & 0xFFFF) | \
        (static_cast<DWORD>(static_cast<WORD>(static_cast<DWORD_PTR>(b) & 0xFFFF)) << 16)))
#define MAKEWPARAM(l, h) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKELPARAM(l, h) (static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define GET_X_LPARAM(lp) (static_cast<int>(static_cast<SHORT>(LOWORD(lp))))
#define GET_Y_LPARAM(lp) (static_cast<int>(static_cast<SHORT>(HIWORD(lp))))
#define GET_WHEEL_DELTA_WPARAM(wp) (static_cast<SHORT>(HIWORD(wp)))
#define WHEEL_DELTA 120
#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

// ---------------------------------------------------------------------------
// Messages

#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_SHOWWINDOW 0x0018
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_VSCROLL 0x0115
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MOUSEWHEEL 0x020A
#define WM_USER 0x0400

#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002

// Scroll bars and WM_VSCROLL requests.
#define SB_HORZ 0
#define SB_VERT 1
#define SB_CTL 2
#define SB_BOTH 3
#define SB_LINEUP 0
#define SB_LINEDOWN 1
#define SB_PAGEUP 2
#define SB_PAGEDOWN 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_BOTTOM 7
#define SB_ENDSCROLL 8
#define SIF_RANGE 0x0001
#define SIF_PAGE 0x0002
#define SIF_POS 0x0004
#define SIF_TRACKPOS 0x0010
#define SIF_ALL (SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS)

// Buttons.
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BN_CLICKED 0

// ---------------------------------------------------------------------------
// Styles and window data

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_BORDER 0x00800000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_STATICEDGE 0x00020000L
#define WS_EX_CLIENTEDGE 0x00000200L

#define SS_LEFT 0x00000000L
#define SS_CENTER 0x00000001L
#define SS_RIGHT 0x00000002L
#define SS_TYPEMASK 0x0000001FL
#define SS_SUNKEN 0x00001000L

#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_CHECKBOX 0x00000002L
#define BS_AUTOCHECKBOX 0x00000003L
#define BS_MULTILINE 0x00002000L
#define BS_RADIOBUTTON 0x00000004L
#define BS_GROUPBOX 0x00000007L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_TYPEMASK 0x0000000FL

#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)
#define GWLP_ID (-12)
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYVSCROLL 20
#define SM_CXHSCROLL 21

// ---------------------------------------------------------------------------
// Windows, dialogs and messages

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                            HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY to the window, then to its children, then WM_NCDESTROY,
// and frees it; the handle is refused afterwards.
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI IsWindow(HWND window);
HWND WINAPI GetParent(HWND window);

// A modeless dialog from template `name` of `instance`'s resources; the
// procedure hears WM_INITDIALOG with `initParam` once the controls exist.
HWND WINAPI CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc,
                               LPARAM initParam);
// The default handling of a dialog window's messages.
LRESULT WINAPI DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Dialog units of the dialog's font to pixels, in place.
BOOL WINAPI MapDialogRect(HWND dialog, RECT* rect);
HWND WINAPI GetDlgItem(HWND dialog, int id);
int WINAPI GetDlgCtrlID(HWND window);
LRESULT WINAPI SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT WINAPI GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int bufferMax);
BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check);
UINT WINAPI IsDlgButtonChecked(HWND dialog, int id);
// Checks button `check` and unchecks the others from `first` to `last`.
BOOL WINAPI CheckRadioButton(HWND dialog, int first, int last, int check);

LONG_PTR WINAPI GetWindowLongPtrW(HWND window, int index);
// Answers the previous value; GWLP_USERDATA, GWLP_ID, GWLP_WNDPROC,
// GWL_STYLE and, on dialogs, DWLP_MSGRESULT and DWLP_USER.
LONG_PTR WINAPI SetWindowLongPtrW(HWND window, int index, LONG_PTR value);

LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A window of this thread (every window here) is called at once, as by
// SendMessageW; the answer is dropped.
BOOL WINAPI SendNotifyMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam);

BOOL WINAPI SetWindowTextW(HWND window, LPCWSTR text);
int WINAPI GetWindowTextW(HWND window, LPWSTR buffer, int bufferMax);
int WINAPI GetWindowTextLengthW(HWND window);

// Answers whether the window was disabled before.
BOOL WINAPI EnableWindow(HWND window, BOOL enable);
BOOL WINAPI IsWindowEnabled(HWND window);
// Answers whether the window was visible before.
BOOL WINAPI ShowWindow(HWND window, int command);
BOOL WINAPI IsWindowVisible(HWND window);

// Client area, origin at its top left; scroll bars are outside it.
BOOL WINAPI GetClientRect(HWND window, RECT* rect);
// The window's rectangle in its parent's client coordinates (a top-level
// window's in screen coordinates, which here are the same).
BOOL WINAPI GetWindowRect(HWND window, RECT* rect);
BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);

BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// Sends WM_PAINT when the window has been invalidated.
BOOL WINAPI UpdateWindow(HWND window);

int WINAPI GetSystemMetrics(int index);
int WINAPI MulDiv(int number, int numerator, int denominator);

// ---------------------------------------------------------------------------
// Scroll bars: the window's own (SB_VERT, SB_HORZ). A new bar has the range
// 0 to 100 and page 0; positions are clamped to the range, less the page.

BOOL WINAPI ShowScrollBar(HWND window, int bar, BOOL show);
int WINAPI SetScrollPos(HWND window, int bar, int pos, BOOL redraw);
int WINAPI GetScrollPos(HWND window, int bar);
BOOL WINAPI SetScrollRange(HWND window, int bar, int minPos, int maxPos, BOOL redraw);
BOOL WINAPI GetScrollRange(HWND window, int bar, int* minPos, int* maxPos);
int WINAPI SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL WINAPI GetScrollInfo(HWND window, int bar, SCROLLINFO* info);

// ---------------------------------------------------------------------------
// GDI. A device context draws into a window's client image, clipped to the
// client area; pens are one pixel wide whatever width they are made with.

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17
#define DC_BRUSH 18
#define DC_PEN 19

#define PS_SOLID 0
#define PS_NULL 5

#define TRANSPARENT 1
#define OPAQUE 2

#define CLR_INVALID 0xFFFFFFFF

#define DT_LEFT 0x0000
#define DT_CENTER 0x0001
#define DT_RIGHT 0x0002
#define DT_VCENTER 0x0004
#define DT_BOTTOM 0x0008
#define DT_WORDBREAK 0x0010
#define DT_SINGLELINE 0x0020
#define DT_NOPREFIX 0x0800

HDC WINAPI BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint);
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC dc);

HGDIOBJ WINAPI GetStockObject(int index);
// Answers the object of the same kind selected before.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
// Stock objects are never deleted; the others must not be selected.
BOOL WINAPI DeleteObject(HGDIOBJ object);
HPEN WINAPI CreatePen(int style, int width, COLORREF colour);
HBRUSH WINAPI CreateSolidBrush(COLORREF colour);
// Answer the previous colour.
COLORREF WINAPI SetDCPenColor(HDC dc, COLORREF colour);
COLORREF WINAPI SetDCBrushColor(HDC dc, COLORREF colour);
COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour);
COLORREF WINAPI SetBkColor(HDC dc, COLORREF colour);
int WINAPI SetBkMode(HDC dc, int mode);

// Outlines with the pen (right and bottom exclusive) and fills the inside
// with the brush.
BOOL WINAPI Rectangle(HDC dc, int left, int top, int right, int bottom);
int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL WINAPI MoveToEx(HDC dc, int x, int y, POINT* previous);
// Draws from the current position to (x, y), that last pixel excluded.
BOOL WINAPI LineTo(HDC dc, int x, int y);
// Text with its cell's top left at (x, y); OPAQUE mode fills the cell with
// the background colour first.
BOOL WINAPI TextOutW(HDC dc, int x, int y, LPCWSTR text, int length);
// One line of text placed in the rectangle by DT_LEFT, DT_CENTER, DT_RIGHT,
// DT_VCENTER and DT_BOTTOM; with DT_WORDBREAK and without DT_SINGLELINE,
// lines broken between words to fit the rectangle's width, from its top.
// Answers the text height.
int WINAPI DrawTextW(HDC dc, LPCWSTR text, int length, RECT* rect, UINT format);
BOOL WINAPI GetTextExtentPoint32W(HDC dc, LPCWSTR text, int length, SIZE* size);

// Bitmap resource `name` of the module (a file named in its script).
HBITMAP WINAPI LoadBitmapW(HINSTANCE instance, LPCWSTR name);

// ---------------------------------------------------------------------------
// Common controls: image lists and the progress bar

#define ILC_MASK 0x00000001
#define ILC_COLOR 0x00000000
#define ILC_COLORDDB 0x000000FE
#define ILC_COLOR24 0x00000018
#define ILC_COLOR32 0x00000020
#define ILD_NORMAL 0x00000000

// Images of cx x cy pixels; `initial` and `grow` only reserve room.
HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
// Cuts the bitmap into images cx wide, left to right; answers the index of
// the first, or -1. The bitmap stays the caller's.
int WINAPI ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int WINAPI ImageList_GetImageCount(HIMAGELIST list);
BOOL WINAPI ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
BOOL WINAPI ImageList_Destroy(HIMAGELIST list);

#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_STANDARD_CLASSES 0x00004000

struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
// The classes are always there; answers TRUE.
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);

#define PROGRESS_CLASSW L"msctls_progress32"
#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETPOS (WM_USER + 8)

// ---------------------------------------------------------------------------
// Activation contexts: a module's side-by-side manifest, in force while
// activated. Window classes remember the context they were registered in
// (standin/ui.h tells which).

#define ACTCTX_FLAG_RESOURCE_NAME_VALID 0x00000008
#define ACTCTX_FLAG_HMODULE_VALID 0x00000080
#define ISOLATIONAWARE_MANIFEST_RESOURCE_ID 2

struct ACTCTXW {
    ULONG cbSize;
    DWORD dwFlags;
    LPCWSTR lpSource;
    USHORT wProcessorArchitecture;
    WORD wLangId;
    LPCWSTR lpAssemblyDirectory;
    LPCWSTR lpResourceName;
    LPCWSTR lpApplicationName;
    HMODULE hModule;
};

// INVALID_HANDLE_VALUE when the module has no such manifest.
HANDLE WINAPI CreateActCtxW(const ACTCTXW* context);
BOOL WINAPI ActivateActCtx(HANDLE context, ULONG_PTR* cookie);
BOOL WINAPI DeactivateActCtx(DWORD flags, ULONG_PTR cookie);
void WINAPI ReleaseActCtx(HANDLE context);
