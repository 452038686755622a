// Windows, dialogs, messages and scroll bars of the stand-in window system.

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "standin/host.h"
#include "standin/resourcescript.h"
#include "standin/ui.h"
#include "windowimpl.h"

namespace standin {

namespace {

std::unordered_set<Window*>& liveWindows() {
    // Never destroyed: windows may still be torn down by later destructors.
    static auto* windows = new std::unordered_set<Window*>;
    return *windows;
}

// Every window, in creation order, so that pending paints go top-down.
std::vector<Window*>& windowOrder() {
    static auto* order = new std::vector<Window*>;
    return *order;
}

ScrollBarState* scrollBar(Window* w, int bar) {
    if (!w) return nullptr;
    if (bar == SB_VERT) return &w->vscroll;
    if (bar == SB_HORZ) return &w->hscroll;
    return nullptr;
}

int clampPos(const ScrollBarState& s, int pos) {
    const int top = s.max - std::max(static_cast<int>(s.page) - 1, 0);
    return std::max(s.min, std::min(pos, std::max(s.min, top)));
}

Window* create(DWORD exStyle, const std::wstring& className, const std::wstring& text, DWORD style,
               const QRect& rect, Window* parent, int id, HINSTANCE instance, LPVOID param,
               DLGPROC dlgProc = nullptr) {
    registerPredefinedClasses();
    const WNDCLASSEXW* wc = findClass(className);
    if (!wc && !dlgProc) return nullptr;
    auto* w = new Window;
    w->className = className;
    w->proc = wc ? wc->lpfnWndProc : nullptr;
    w->instance = instance;
    w->parent = parent;
    w->style = style;
    w->exStyle = exStyle;
    w->id = id;
    w->text = text;
    w->rect = rect;
    w->isDialog = dlgProc != nullptr;
    w->dlgProc = dlgProc;
    if (style & WS_VSCROLL) w->vscroll.shown = true;
    if (style & WS_HSCROLL) w->hscroll.shown = true;
    liveWindows().insert(w);
    windowOrder().push_back(w);
    if (parent) parent->children.push_back(w);
    if (parent) w->font = parent->font;

    CREATESTRUCTW cs{param,
                     instance,
                     nullptr,
                     parent ? handleOf(parent) : nullptr,
                     rect.height(),
                     rect.width(),
                     rect.y(),
                     rect.x(),
                     static_cast<LONG>(style),
                     w->text.c_str(),
                     w->className.c_str(),
                     exStyle};
    const LPARAM csParam = reinterpret_cast<LPARAM>(&cs);
    if (!w->isDialog) {
        if (!deliver(w, WM_NCCREATE, 0, csParam) ||
            deliver(w, WM_CREATE, 0, csParam) == static_cast<LRESULT>(-1)) {
            DestroyWindow(handleOf(w));
            return nullptr;
        }
    }
    return w;
}

bool enabledChain(Window* w) {
    for (; w; w = w->parent)
        if (w->style & WS_DISABLED) return false;
    return true;
}

bool visibleChain(Window* w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE)) return false;
    return true;
}

}  // namespace

QRect Window::clientRect() const {
    int width = rect.width() - (vscroll.shown ? kScrollBarWidth : 0);
    int height = rect.height() - (hscroll.shown ? kScrollBarWidth : 0);
    if (style & WS_BORDER) {
        width -= 2;
        height -= 2;
    }
    return QRect(0, 0, std::max(width, 0), std::max(height, 0));
}

QPoint Window::clientOrigin() const {
    return (style & WS_BORDER) ? QPoint(1, 1) : QPoint(0, 0);
}

Window* windowOf(HWND handle) {
    auto* w = reinterpret_cast<Window*>(handle);
    return w && liveWindows().count(w) ? w : nullptr;
}

LRESULT deliver(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!w) return 0;
    if (w->isDialog && !w->proc) return DefDlgProcW(handleOf(w), message, wParam, lParam);
    if (!w->proc) return DefWindowProcW(handleOf(w), message, wParam, lParam);
    return w->proc(handleOf(w), message, wParam, lParam);
}

QImage& surfaceOf(Window* w) {
    const QSize size = w->clientRect().size();
    if (w->surface.size() != size) {
        QImage fresh(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        fresh.fill(w->isDialog ? panelColour() : QColor(Qt::black));
        w->surface = fresh;
    }
    return w->surface;
}

QColor panelColour() {
    return QColor(197, 197, 197);
}

QString toQString(const std::wstring& s) {
    return QString::fromStdWString(s);
}

// ---------------------------------------------------------------------------
// Host-side views of the window system

void paintPending() {
    // Painting may invalidate or create windows; walk a copy.
    const std::vector<Window*> order = windowOrder();
    for (Window* w : order)
        if (windowOf(handleOf(w)) && w->invalid && visibleChain(w)) UpdateWindow(handleOf(w));
}

namespace {

void drawScrollBar(QImage& image, const QRect& area, const ScrollBarState& s, bool enabled) {
    const QColor track(235, 235, 235);
    const QColor face(205, 205, 205);
    const QColor arrow = enabled ? QColor(90, 90, 90) : QColor(160, 160, 160);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.rect().contains(x, y)) image.setPixelColor(x, y, track);
    const int w = area.width();
    auto box = [&](int top, int height, const QColor& c) {
        for (int y = top; y < top + height; ++y)
            for (int x = area.left() + 1; x < area.left() + w - 1; ++x)
                if (image.rect().contains(x, y) && y <= area.bottom()) image.setPixelColor(x, y, c);
    };
    box(area.top(), w, face);
    box(area.bottom() + 1 - w, w, face);
    // Arrows: small triangles in the end boxes.
    for (int i = 0; i < 4; ++i)
        for (int x = -i; x <= i; ++x) {
            const int cx = area.left() + w / 2 + x;
            const int up = area.top() + w / 2 - 2 + i;
            const int down = area.bottom() - w / 2 + 2 - i;
            if (image.rect().contains(cx, up)) image.setPixelColor(cx, up, arrow);
            if (image.rect().contains(cx, down)) image.setPixelColor(cx, down, arrow);
        }
    const int range = std::max(s.max - s.min, 1);
    const int trackTop = area.top() + w;
    const int trackLength = std::max(area.height() - 2 * w, 0);
    const int thumb =
        std::min(std::max(trackLength * static_cast<int>(s.page) / (range + 1), 8), trackLength);
    const int thumbTop = trackTop + (trackLength - thumb) * (s.pos - s.min) / range;
    box(thumbTop, thumb, enabled ? QColor(170, 170, 170) : face);
}

void compose(Window* w, QImage& target, const QPoint& at) {
    if (!(w->style & WS_VISIBLE)) return;
    const QRect frame(at, w->rect.size());
    if (w->style & WS_BORDER) {
        for (int x = frame.left(); x <= frame.right(); ++x)
            for (int y : {frame.top(), frame.bottom()})
                if (target.rect().contains(x, y)) target.setPixelColor(x, y, QColor(100, 100, 100));
        for (int y = frame.top(); y <= frame.bottom(); ++y)
            for (int x : {frame.left(), frame.right()})
                if (target.rect().contains(x, y)) target.setPixelColor(x, y, QColor(100, 100, 100));
    }
    const QPoint client = at + w->clientOrigin();
    const QImage& surface = surfaceOf(w);
    const QRect clientArea(client, w->clientRect().size());
    for (int y = 0; y < clientArea.height(); ++y)
        for (int x = 0; x < clientArea.width(); ++x) {
            const QPoint p(client.x() + x, client.y() + y);
            if (target.rect().contains(p)) target.setPixel(p, surface.pixel(x, y));
        }
    if (w->vscroll.shown)
        drawScrollBar(
            target,
            QRect(clientArea.right() + 1, clientArea.top(), kScrollBarWidth, clientArea.height()),
            w->vscroll, enabledChain(w));
    for (Window* child : w->children)
        compose(child, target, client + child->rect.topLeft());
}

}  // namespace

QImage renderWindow(HWND window) {
    Window* w = windowOf(window);
    if (!w) return QImage();
    paintPending();
    QImage image(w->rect.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(panelColour());
    const bool visible = w->style & WS_VISIBLE;
    w->style |= WS_VISIBLE;
    compose(w, image, QPoint(0, 0));
    if (!visible) w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    return image;
}

QVector<HWND> childWindows(HWND window) {
    QVector<HWND> out;
    if (Window* w = windowOf(window))
        for (Window* c : w->children)
            out.push_back(handleOf(c));
    return out;
}

QString windowClassName(HWND window) {
    Window* w = windowOf(window);
    return w ? toQString(w->className) : QString();
}

HWND findWindowByText(HWND root, const QString& text) {
    Window* w = windowOf(root);
    if (!w) return nullptr;
    for (Window* c : w->children) {
        if (toQString(c->text) == text) return handleOf(c);
        if (HWND found = findWindowByText(handleOf(c), text)) return found;
    }
    return nullptr;
}

bool mouseClick(HWND window, QPoint point) {
    Window* w = windowOf(window);
    if (!w || !enabledChain(w)) return false;
    const LPARAM at = MAKELPARAM(point.x(), point.y());
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    if (windowOf(window)) SendMessageW(window, WM_LBUTTONUP, 0, at);
    return true;
}

bool mouseWheel(HWND window, int delta) {
    Window* w = windowOf(window);
    if (!w || !enabledChain(w)) return false;
    SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<SHORT>(delta))),
                 0);
    return true;
}

bool scrollBarRequest(HWND window, int request, int thumb) {
    Window* w = windowOf(window);
    if (!w || !w->vscroll.shown || !enabledChain(w)) return false;
    SendMessageW(window, WM_VSCROLL, MAKEWPARAM(request, thumb), 0);
    return true;
}

}  // namespace standin

using standin::handleOf;
using standin::Window;
using standin::windowOf;

// ---------------------------------------------------------------------------
// Windows

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                            HINSTANCE instance, LPVOID param) {
    if (!className) return nullptr;
    Window* p = windowOf(parent);
    if (parent && !p) return nullptr;
    // A child's "menu" is its control id.
    const int id = (style & WS_CHILD) ? static_cast<int>(reinterpret_cast<LONG_PTR>(menuOrId)) : 0;
    Window* w = standin::create(exStyle, className, windowName ? windowName : L"", style,
                                QRect(x, y, std::max(width, 0), std::max(height, 0)), p, id,
                                instance, param);
    return w ? handleOf(w) : nullptr;
}

BOOL WINAPI DestroyWindow(HWND window) {
    Window* w = windowOf(window);
    if (!w || w->destroying) return FALSE;
    w->destroying = true;
    // The window hears of it first, then its children, as the system does.
    standin::deliver(w, WM_DESTROY, 0, 0);
    const std::vector<Window*> children = w->children;
    for (Window* c : children)
        DestroyWindow(handleOf(c));
    standin::deliver(w, WM_NCDESTROY, 0, 0);
    if (w->parent) {
        auto& siblings = w->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
    }
    standin::liveWindows().erase(w);
    auto& order = standin::windowOrder();
    order.erase(std::remove(order.begin(), order.end(), w), order.end());
    delete w;
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
    return windowOf(window) ? TRUE : FALSE;
}

HWND WINAPI GetParent(HWND window) {
    Window* w = windowOf(window);
    return w && w->parent ? handleOf(w->parent) : nullptr;
}

LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = windowOf(window);
    if (!w) return 0;
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(window, &ps);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_SETTEXT:
            w->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
            InvalidateRect(window, nullptr, TRUE);
            return TRUE;
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<LPWSTR>(lParam);
            const int max = static_cast<int>(wParam);
            if (!buffer || max <= 0) return 0;
            const int n = std::min(static_cast<int>(w->text.size()), max - 1);
            std::copy(w->text.begin(), w->text.begin() + n, buffer);
            buffer[n] = 0;
            return n;
        }
        case WM_SETFONT:
            w->font = reinterpret_cast<HFONT>(wParam);
            if (lParam) InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(w->font);
        default:
            return 0;
    }
}

LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return standin::deliver(windowOf(window), message, wParam, lParam);
}

BOOL WINAPI SendNotifyMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = windowOf(window);
    if (!w) return FALSE;
    standin::deliver(w, message, wParam, lParam);
    return TRUE;
}

LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND window, int index) {
    Window* w = windowOf(window);
    if (!w) return 0;
    switch (index) {
        case GWLP_USERDATA:
            return w->userData;
        case GWLP_ID:
            return w->id;
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>(w->parent);
        case GWL_STYLE:
            return static_cast<LONG_PTR>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(w->exStyle);
        case DWLP_MSGRESULT:
            return w->isDialog ? w->msgResult : 0;
        case DWLP_DLGPROC:
            return w->isDialog ? reinterpret_cast<LONG_PTR>(w->dlgProc) : 0;
        case DWLP_USER:
            return w->isDialog ? w->dlgUser : 0;
        default:
            return 0;
    }
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
    Window* w = windowOf(window);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrW(window, index);
    switch (index) {
        case GWLP_USERDATA:
            w->userData = value;
            break;
        case GWLP_ID:
            w->id = static_cast<int>(value);
            break;
        case GWLP_WNDPROC:
            w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWL_STYLE:
            w->style = static_cast<DWORD>(value);
            break;
        case DWLP_MSGRESULT:
            if (w->isDialog) w->msgResult = value;
            break;
        case DWLP_USER:
            if (w->isDialog) w->dlgUser = value;
            break;
        default:
            return 0;
    }
    return old;
}

BOOL WINAPI SetWindowTextW(HWND window, LPCWSTR text) {
    if (!windowOf(window)) return FALSE;
    return static_cast<BOOL>(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int WINAPI GetWindowTextW(HWND window, LPWSTR buffer, int bufferMax) {
    if (!windowOf(window)) return 0;
    return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(bufferMax),
                                         reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthW(HWND window) {
    return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
    Window* w = windowOf(window);
    if (!w) return FALSE;
    const BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (enable) {
        w->style &= ~static_cast<DWORD>(WS_DISABLED);
    } else {
        w->style |= WS_DISABLED;
    }
    if (wasDisabled != (enable ? FALSE : TRUE)) {
        SendMessageW(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
        InvalidateRect(window, nullptr, TRUE);
    }
    return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND window) {
    Window* w = windowOf(window);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    Window* w = windowOf(window);
    if (!w) return FALSE;
    const BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    const bool show = command != SW_HIDE;
    if (show) {
        w->style |= WS_VISIBLE;
    } else {
        w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    if (wasVisible != (show ? TRUE : FALSE)) {
        SendMessageW(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        InvalidateRect(window, nullptr, TRUE);
    }
    return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND window) {
    Window* w = windowOf(window);
    return w && standin::visibleChain(w) ? TRUE : FALSE;
}

BOOL WINAPI GetClientRect(HWND window, RECT* rect) {
    Window* w = windowOf(window);
    if (!w || !rect) return FALSE;
    const QRect r = w->clientRect();
    *rect = {0, 0, r.width(), r.height()};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, RECT* rect) {
    Window* w = windowOf(window);
    if (!w || !rect) return FALSE;
    *rect = {w->rect.left(), w->rect.top(), w->rect.left() + w->rect.width(),
             w->rect.top() + w->rect.height()};
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    Window* w = windowOf(window);
    if (!w) return FALSE;
    w->rect = QRect(x, y, std::max(width, 0), std::max(height, 0));
    SendMessageW(window, WM_SIZE, 0, MAKELPARAM(w->clientRect().width(), w->clientRect().height()));
    if (repaint) InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND window, const RECT*, BOOL erase) {
    Window* w = windowOf(window);
    if (!w) return FALSE;
    w->invalid = true;
    w->erase = w->erase || erase;
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    Window* w = windowOf(window);
    if (!w) return FALSE;
    if (w->invalid && !w->painting) {
        w->painting = true;
        standin::deliver(w, WM_PAINT, 0, 0);
        if (Window* still = windowOf(window)) {
            still->painting = false;
            // A procedure that did not validate the window is not asked again.
            still->invalid = false;
        }
    }
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL:
            return standin::kScrollBarWidth;
        default:
            return 0;
    }
}

int WINAPI MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    const long long product = static_cast<long long>(number) * numerator;
    // Rounds half away from zero.
    long long q = (std::llabs(product) + std::llabs(static_cast<long long>(denominator)) / 2) /
                  std::llabs(static_cast<long long>(denominator));
    if ((product < 0) != (denominator < 0)) q = -q;
    if (q > INT_MAX || q < INT_MIN) return -1;
    return static_cast<int>(q);
}

// ---------------------------------------------------------------------------
// Dialogs

namespace {

QSize baseUnitsFor(const QString& /*face*/, int /*pointSize*/) {
    // "MS Sans Serif" 8 pt; other fonts are laid out as if they were it.
    return QSize(6, 13);
}

QRect toPixels(const QSize& units, int x, int y, int width, int height) {
    return QRect(MulDiv(x, units.width(), 4), MulDiv(y, units.height(), 8),
                 MulDiv(width, units.width(), 4), MulDiv(height, units.height(), 8));
}

}  // namespace

HWND WINAPI CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc,
                               LPARAM initParam) {
    const standin::ResourceScript* script = standin::moduleResources(instance);
    if (!script || !IS_INTRESOURCE(name)) return nullptr;
    const auto* templ = script->dialog(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    Window* p = windowOf(parent);
    if (!templ || (parent && !p)) return nullptr;
    const QSize units = baseUnitsFor(templ->fontFace, templ->fontSize);
    const QRect rect = toPixels(units, templ->x, templ->y, templ->width, templ->height);
    // A dialog's own procedure is the default dialog procedure, which calls proc.
    const std::wstring dialogClass = L"#32770";
    Window* dialog = standin::create(
        templ->exStyle, dialogClass, templ->caption.toStdWString(), templ->style, rect, p, 0,
        instance, nullptr,
        proc ? proc : [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; });
    if (!dialog) return nullptr;
    dialog->baseUnits = units;
    dialog->font = standin::fontFor(
        templ->fontFace.isEmpty() ? QStringLiteral("MS Sans Serif") : templ->fontFace,
        templ->fontSize > 0 ? templ->fontSize : 8);
    const HWND handle = handleOf(dialog);
    for (const standin::DialogControl& c : templ->controls) {
        const QRect r = toPixels(units, c.x, c.y, c.width, c.height);
        HWND child = CreateWindowExW(
            c.exStyle, c.className.toStdWString().c_str(), c.text.toStdWString().c_str(),
            c.style | WS_CHILD, r.x(), r.y(), r.width(), r.height(), handle,
            reinterpret_cast<HMENU>(static_cast<LONG_PTR>(c.id)), instance, nullptr);
        if (!child) {
            qWarning("CreateDialogParamW: no window class \"%s\" for control %d",
                     qPrintable(c.className), c.id);
            DestroyWindow(handle);
            return nullptr;
        }
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(dialog->font), FALSE);
    }
    SendMessageW(handle, WM_INITDIALOG, 0, initParam);
    return windowOf(handle) ? handle : nullptr;
}

LRESULT WINAPI DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = windowOf(dialog);
    if (!w) return 0;
    if (w->dlgProc) {
        w->msgResult = 0;
        const INT_PTR handled = w->dlgProc(dialog, message, wParam, lParam);
        if (!windowOf(dialog)) return 0;
        if (message == WM_INITDIALOG) return handled;
        if (handled) return w->msgResult;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(dialog, &ps);
        EndPaint(dialog, &ps);
        return 0;
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}

BOOL WINAPI MapDialogRect(HWND dialog, RECT* rect) {
    Window* w = windowOf(dialog);
    if (!w || !w->isDialog || !rect) return FALSE;
    const QSize u = w->baseUnits;
    *rect = {MulDiv(rect->left, u.width(), 4), MulDiv(rect->top, u.height(), 8),
             MulDiv(rect->right, u.width(), 4), MulDiv(rect->bottom, u.height(), 8)};
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    Window* w = windowOf(dialog);
    if (!w) return nullptr;
    for (Window* c : w->children)
        if (c->id == id) return handleOf(c);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND window) {
    Window* w = windowOf(window);
    return w ? w->id : 0;
}

LRESULT WINAPI SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
    return SendMessageW(GetDlgItem(dialog, id), message, wParam, lParam);
}

BOOL WINAPI SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    return SetWindowTextW(GetDlgItem(dialog, id), text);
}

UINT WINAPI GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int bufferMax) {
    return static_cast<UINT>(GetWindowTextW(GetDlgItem(dialog, id), buffer, bufferMax));
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) return FALSE;
    SendMessageW(button, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckRadioButton(HWND dialog, int first, int last, int check) {
    Window* w = windowOf(dialog);
    if (!w) return FALSE;
    for (Window* c : w->children)
        if (c->id >= first && c->id <= last)
            SendMessageW(handleOf(c), BM_SETCHECK, c->id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Scroll bars

BOOL WINAPI ShowScrollBar(HWND window, int bar, BOOL show) {
    Window* w = windowOf(window);
    if (!w) return FALSE;
    for (int b : {SB_HORZ, SB_VERT}) {
        if (bar != b && bar != SB_BOTH) continue;
        standin::ScrollBarState* s = standin::scrollBar(w, b);
        s->shown = show != FALSE;
        const DWORD flag = b == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
        w->style = show ? (w->style | flag) : (w->style & ~flag);
    }
    InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

int WINAPI SetScrollPos(HWND window, int bar, int pos, BOOL) {
    standin::ScrollBarState* s = standin::scrollBar(windowOf(window), bar);
    if (!s) return 0;
    const int old = s->pos;
    s->pos = standin::clampPos(*s, pos);
    return old;
}

int WINAPI GetScrollPos(HWND window, int bar) {
    const standin::ScrollBarState* s = standin::scrollBar(windowOf(window), bar);
    return s ? s->pos : 0;
}

BOOL WINAPI SetScrollRange(HWND window, int bar, int minPos, int maxPos, BOOL) {
    standin::ScrollBarState* s = standin::scrollBar(windowOf(window), bar);
    if (!s) return FALSE;
    s->min = minPos;
    s->max = maxPos;
    s->pos = standin::clampPos(*s, s->pos);
    return TRUE;
}

BOOL WINAPI GetScrollRange(HWND window, int bar, int* minPos, int* maxPos) {
    const standin::ScrollBarState* s = standin::scrollBar(windowOf(window), bar);
    if (!s || !minPos || !maxPos) return FALSE;
    *minPos = s->min;
    *maxPos = s->max;
    return TRUE;
}

int WINAPI SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL) {
    standin::ScrollBarState* s = standin::scrollBar(windowOf(window), bar);
    if (!s || !info) return 0;
    if (info->fMask & SIF_RANGE) {
        s->min = info->nMin;
        s->max = info->nMax;
    }
    if (info->fMask & SIF_PAGE) s->page = info->nPage;
    if (info->fMask & SIF_POS) s->pos = info->nPos;
    s->pos = standin::clampPos(*s, s->pos);
    return s->pos;
}

BOOL WINAPI GetScrollInfo(HWND window, int bar, SCROLLINFO* info) {
    const standin::ScrollBarState* s = standin::scrollBar(windowOf(window), bar);
    if (!s || !info) return FALSE;
    if (info->fMask & SIF_RANGE) {
        info->nMin = s->min;
        info->nMax = s->max;
    }
    if (info->fMask & SIF_PAGE) info->nPage = s->page;
    if (info->fMask & SIF_POS) info->nPos = s->pos;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s->pos;
    return TRUE;
}
