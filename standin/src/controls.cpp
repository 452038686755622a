// The predefined control classes of the stand-in: the system's buttons,
// static texts and progress bar, and the host's custom controls with the
// interfaces plug-ins reach them through.

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "windowimpl.h"

namespace standin {

namespace {

const COLORREF kFace = RGB(197, 197, 197);
const COLORREF kLight = RGB(255, 255, 255);
const COLORREF kShadow = RGB(120, 120, 120);
const COLORREF kText = RGB(0, 0, 0);
const COLORREF kDisabledText = RGB(130, 130, 130);
const COLORREF kChecked = RGB(255, 200, 60);

// Paints a control with the stand-in's GDI between BeginPaint and EndPaint.
class ControlPainter {
public:
    explicit ControlPainter(HWND w) : window(w) {
        dc = BeginPaint(window, &ps);
        GetClientRect(window, &client);
        oldPen = SelectObject(dc, GetStockObject(DC_PEN));
        oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
        if (Window* win = windowOf(window))
            if (win->font) oldFont = SelectObject(dc, win->font);
        SetBkMode(dc, TRANSPARENT);
    }
    ~ControlPainter() {
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        if (oldFont) SelectObject(dc, oldFont);
        EndPaint(window, &ps);
    }
    ControlPainter(const ControlPainter&) = delete;
    ControlPainter& operator=(const ControlPainter&) = delete;

    void fill(const RECT& r, COLORREF c) {
        SetDCBrushColor(dc, c);
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    // A one-pixel edge: light on the top and left, dark on the bottom and
    // right for a raised look, the other way round for a sunken one.
    void edge(const RECT& r, bool raised) {
        line(r.left, r.bottom - 1, r.left, r.top, raised ? kLight : kShadow);
        line(r.left, r.top, r.right, r.top, raised ? kLight : kShadow);
        line(r.right - 1, r.top, r.right - 1, r.bottom, raised ? kShadow : kLight);
        line(r.left, r.bottom - 1, r.right - 1, r.bottom - 1, raised ? kShadow : kLight);
    }
    void line(int x0, int y0, int x1, int y1, COLORREF c) {
        SetDCPenColor(dc, c);
        MoveToEx(dc, x0, y0, nullptr);
        LineTo(dc, x1, y1);
    }
    void text(RECT r, const std::wstring& s, UINT format, COLORREF c) {
        SetTextColor(dc, c);
        if (!(format & DT_WORDBREAK)) format |= DT_SINGLELINE;
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &r, format);
    }

    HWND window;
    PAINTSTRUCT ps{};
    HDC dc = nullptr;
    RECT client{};

private:
    HGDIOBJ oldPen = nullptr;
    HGDIOBJ oldBrush = nullptr;
    HGDIOBJ oldFont = nullptr;
};

template <typename State>
State* stateOf(HWND window) {
    Window* w = windowOf(window);
    if (!w) return nullptr;
    if (!w->control) w->control = std::make_unique<State>();
    return dynamic_cast<State*>(w->control.get());
}

bool enabled(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}

void notifyParent(HWND window, WORD code) {
    Window* w = windowOf(window);
    if (!w || !w->parent) return;
    SendMessageW(handleOf(w->parent), WM_COMMAND, MAKEWPARAM(w->id, code),
                 reinterpret_cast<LPARAM>(window));
}

// ---------------------------------------------------------------------------
// "Button"

struct ButtonState : ControlState {
    bool checked = false;
};

DWORD buttonType(HWND window) {
    Window* w = windowOf(window);
    return w ? (w->style & BS_TYPEMASK) : 0;
}

bool isRadio(DWORD type) {
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// Unchecks the other automatic radio buttons of the window's group: the
// siblings between the group marks (WS_GROUP) around it.
void uncheckGroup(HWND window) {
    Window* w = windowOf(window);
    if (!w || !w->parent) return;
    const auto& siblings = w->parent->children;
    const auto at = std::find(siblings.begin(), siblings.end(), w);
    auto first = at;
    while (first != siblings.begin() && !((*first)->style & WS_GROUP))
        --first;
    for (auto it = first; it != siblings.end(); ++it) {
        if (it != first && ((*it)->style & WS_GROUP)) break;
        if (*it != w && (*it)->className == L"Button" &&
            ((*it)->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
            SendMessageW(handleOf(*it), BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void paintButton(HWND window) {
    ControlPainter p(window);
    Window* w = windowOf(window);
    const DWORD type = buttonType(window);
    const bool checked = stateOf<ButtonState>(window)->checked;
    const COLORREF textColour = enabled(window) ? kText : kDisabledText;
    p.fill(p.client, kFace);
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
        p.edge(p.client, true);
        p.text(p.client, w->text, DT_CENTER | DT_VCENTER, textColour);
        return;
    }
    const int box = 11;
    const int top = (p.client.bottom - box) / 2;
    {
        QPainter painter(&surfaceOf(w));
        painter.setRenderHint(QPainter::Antialiasing, isRadio(type));
        painter.setPen(QColor(GetRValue(kShadow), GetGValue(kShadow), GetBValue(kShadow)));
        painter.setBrush(Qt::white);
        const QRectF area(0.5, top + 0.5, box - 1, box - 1);
        if (isRadio(type)) {
            painter.drawEllipse(area);
            if (checked) {
                painter.setBrush(Qt::black);
                painter.setPen(Qt::NoPen);
                painter.drawEllipse(area.center(), 2.5, 2.5);
            }
        } else {
            painter.drawRect(area);
            if (checked) {
                painter.setPen(QPen(Qt::black, 1.5));
                painter.drawLine(QPointF(2.5, top + 5.5), QPointF(4.5, top + 8));
                painter.drawLine(QPointF(4.5, top + 8), QPointF(8.5, top + 2.5));
            }
        }
    }
    RECT label = p.client;
    label.left = box + 4;
    // A multi-line label wraps between words from the top, beside a box
    // that stays centred.
    p.text(label, w->text, DT_LEFT | ((w->style & BS_MULTILINE) ? DT_WORDBREAK : DT_VCENTER),
           textColour);
}

LRESULT CALLBACK buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case BM_GETCHECK:
            return stateOf<ButtonState>(window)->checked ? BST_CHECKED : BST_UNCHECKED;
        case BM_SETCHECK:
            stateOf<ButtonState>(window)->checked = wParam == BST_CHECKED;
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_LBUTTONUP: {
            const DWORD type = buttonType(window);
            if (type == BS_AUTORADIOBUTTON) {
                uncheckGroup(window);
                SendMessageW(window, BM_SETCHECK, BST_CHECKED, 0);
            } else if (type == BS_AUTOCHECKBOX) {
                SendMessageW(window, BM_SETCHECK,
                             stateOf<ButtonState>(window)->checked ? BST_UNCHECKED : BST_CHECKED,
                             0);
            }
            if (type != BS_GROUPBOX) notifyParent(window, BN_CLICKED);
            return 0;
        }
        case WM_PAINT:
            paintButton(window);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------
// "Static"

LRESULT CALLBACK staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    ControlPainter p(window);
    Window* w = windowOf(window);
    p.fill(p.client, kFace);
    RECT inside = p.client;
    if (w->style & SS_SUNKEN) {
        p.edge(p.client, false);
        inside = {1, 1, p.client.right - 1, p.client.bottom - 1};
    }
    const DWORD align = w->style & SS_TYPEMASK;
    const UINT format = align == SS_CENTER ? DT_CENTER : align == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    // Plain text wraps between words, as the system's statics do.
    p.text(inside, w->text, format | ((w->style & SS_SUNKEN) ? DT_VCENTER : DT_WORDBREAK),
           enabled(window) ? kText : kDisabledText);
    return 0;
}

// ---------------------------------------------------------------------------
// "msctls_progress32"

struct ProgressState : ControlState {
    int low = 0;
    int high = 100;
    int pos = 0;
    int step = 10;
};

LRESULT CALLBACK progressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ProgressState* s = stateOf<ProgressState>(window);
    if (!s) return 0;
    auto setPos = [&](int pos) {
        const int old = s->pos;
        s->pos = std::max(s->low, std::min(pos, s->high));
        InvalidateRect(window, nullptr, TRUE);
        return old;
    };
    switch (message) {
        case PBM_SETRANGE:
        case PBM_SETRANGE32: {
            const LRESULT old = MAKELPARAM(s->low, s->high);
            s->low = message == PBM_SETRANGE ? LOWORD(lParam) : static_cast<int>(wParam);
            s->high = message == PBM_SETRANGE ? HIWORD(lParam) : static_cast<int>(lParam);
            setPos(s->pos);
            return old;
        }
        case PBM_SETPOS:
            return setPos(static_cast<int>(wParam));
        case PBM_DELTAPOS:
            return setPos(s->pos + static_cast<int>(wParam));
        case PBM_SETSTEP:
            return std::exchange(s->step, static_cast<int>(wParam));
        case PBM_STEPIT:
            return setPos(s->pos + s->step);
        case PBM_GETPOS:
            return s->pos;
        case WM_PAINT: {
            ControlPainter p(window);
            p.fill(p.client, RGB(230, 230, 230));
            p.edge(p.client, false);
            const int span = std::max(s->high - s->low, 1);
            const int inner = std::max(p.client.right - 2, 0);
            RECT bar{1, 1, 1 + inner * (s->pos - s->low) / span, p.client.bottom - 1};
            p.fill(bar, RGB(6, 176, 37));
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------
// "CustButton"

struct CustButtonState : ControlState {
    CustButType type = CBT_PUSH;
    bool checked = false;
};

LRESULT CALLBACK custButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CustButtonState* s = stateOf<CustButtonState>(window);
    if (!s) return 0;
    switch (message) {
        case WM_LBUTTONUP:
            if (s->type == CBT_CHECK) {
                s->checked = !s->checked;
                InvalidateRect(window, nullptr, TRUE);
            }
            notifyParent(window, BN_CLICKED);
            return 0;
        case WM_PAINT: {
            ControlPainter p(window);
            p.fill(p.client, s->checked ? kChecked : kFace);
            p.edge(p.client, !s->checked);
            p.text(p.client, windowOf(window)->text, DT_CENTER | DT_VCENTER,
                   enabled(window) ? kText : kDisabledText);
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------
// "CustEdit"

LRESULT CALLBACK custEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    ControlPainter p(window);
    p.fill(p.client, enabled(window) ? RGB(255, 255, 255) : kFace);
    p.edge(p.client, false);
    RECT inside{3, 0, p.client.right - 2, p.client.bottom};
    p.text(inside, windowOf(window)->text, DT_LEFT | DT_VCENTER, kText);
    return 0;
}

// ---------------------------------------------------------------------------
// "SpinnerControl"

struct SpinnerState : ControlState {
    float value = 0.0f;
    float low = -1e30f;
    float high = 1e30f;
    float scale = 0.1f;
    HWND edit = nullptr;
    EditSpinnerType type = EDITTYPE_FLOAT;

    float clamped(float v) const { return std::max(low, std::min(v, high)); }
};

void showInEdit(const SpinnerState& s) {
    if (!IsWindow(s.edit)) return;
    const QString text = s.type == EDITTYPE_INT
                             ? QString::number(static_cast<int>(std::lround(s.value)))
                             : QString::number(static_cast<double>(s.value), 'f', 4);
    SetWindowTextW(s.edit, text.toStdWString().c_str());
}

LRESULT CALLBACK spinnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    ControlPainter p(window);
    const int middle = p.client.bottom / 2;
    p.fill(p.client, kFace);
    p.edge(RECT{0, 0, p.client.right, middle}, true);
    p.edge(RECT{0, middle, p.client.right, p.client.bottom}, true);
    const int cx = p.client.right / 2;
    p.line(cx - 1, middle - 3, cx + 2, middle - 3, kText);
    p.line(cx, middle - 4, cx + 1, middle - 4, kText);
    p.line(cx - 1, middle + 2, cx + 2, middle + 2, kText);
    p.line(cx, middle + 3, cx + 1, middle + 3, kText);
    return 0;
}

// ---------------------------------------------------------------------------
// "CustImage"

struct CustImageState : ControlState {
    HIMAGELIST list = nullptr;
    int index = 0;
    int width = 0;
    int height = 0;
};

LRESULT CALLBACK custImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    CustImageState* s = stateOf<CustImageState>(window);
    ControlPainter p(window);
    p.fill(p.client, RGB(90, 90, 90));
    if (s && s->list) ImageList_Draw(s->list, s->index, p.dc, 0, 0, ILD_NORMAL);
    return 0;
}

// ---------------------------------------------------------------------------
// Interfaces on the custom controls

bool isClass(HWND window, const wchar_t* name) {
    Window* w = windowOf(window);
    return w && w->className == name;
}

template <typename Base>
class ControlInterface : public Base {
public:
    explicit ControlInterface(HWND w) : window(w) {}
    HWND GetHwnd() override { return window; }
    BOOL IsEnabled() override { return IsWindowEnabled(window); }
    void Enable(BOOL onOff) override { EnableWindow(window, onOff); }
    void Disable() override { EnableWindow(window, FALSE); }

protected:
    HWND window;
};

class CustButton : public ControlInterface<ICustButton> {
public:
    using ControlInterface::ControlInterface;
    void SetType(CustButType type) override {
        if (auto* s = stateOf<CustButtonState>(window)) s->type = type;
    }
    void SetCheck(BOOL checked) override {
        auto* s = stateOf<CustButtonState>(window);
        if (!s || s->checked == (checked != FALSE)) return;
        s->checked = checked != FALSE;
        InvalidateRect(window, nullptr, TRUE);
    }
    BOOL IsChecked() override {
        auto* s = stateOf<CustButtonState>(window);
        return s && s->checked ? TRUE : FALSE;
    }
    void SetText(const MCHAR* text) override { SetWindowTextW(window, text); }
};

class CustEdit : public ControlInterface<ICustEdit> {
public:
    using ControlInterface::ControlInterface;
    void SetText(const MCHAR* text) override { SetWindowTextW(window, text); }
    void SetText(float value, int precision) override {
        SetText(QString::number(static_cast<double>(value), 'f', precision).toStdWString().c_str());
    }
    void GetText(MSTR& text) override {
        Window* w = windowOf(window);
        text = w ? w->text.c_str() : L"";
    }
    float GetFloat(BOOL* valid) override {
        Window* w = windowOf(window);
        bool ok = false;
        const float v = w ? toQString(w->text).trimmed().toFloat(&ok) : 0.0f;
        if (valid) *valid = ok ? TRUE : FALSE;
        return ok ? v : 0.0f;
    }
};

class Spinner : public ControlInterface<ISpinnerControl> {
public:
    using ControlInterface::ControlInterface;
    float GetFVal() override {
        auto* s = stateOf<SpinnerState>(window);
        return s ? s->value : 0.0f;
    }
    int GetIVal() override { return static_cast<int>(std::lround(GetFVal())); }
    void SetValue(float value, int notify) override {
        auto* s = stateOf<SpinnerState>(window);
        if (!s) return;
        s->value = s->clamped(value);
        showInEdit(*s);
        if (notify) {
            Window* w = windowOf(window);
            if (w && w->parent)
                SendMessageW(handleOf(w->parent), CC_SPINNER_CHANGE, MAKEWPARAM(w->id, 0),
                             reinterpret_cast<LPARAM>(window));
        }
    }
    void SetValue(int value, int notify) override { SetValue(static_cast<float>(value), notify); }
    void SetLimits(float low, float high, int limitCurrent) override {
        auto* s = stateOf<SpinnerState>(window);
        if (!s) return;
        s->low = low;
        s->high = high;
        if (limitCurrent) {
            s->value = s->clamped(s->value);
            showInEdit(*s);
        }
    }
    void SetScale(float scale) override {
        if (auto* s = stateOf<SpinnerState>(window)) s->scale = scale;
    }
    void LinkToEdit(HWND edit, EditSpinnerType type) override {
        auto* s = stateOf<SpinnerState>(window);
        if (!s) return;
        s->edit = edit;
        s->type = type;
        showInEdit(*s);
    }
};

class CustImage : public ControlInterface<ICustImage> {
public:
    using ControlInterface::ControlInterface;
    void SetImage(HIMAGELIST list, int index, int w, int h) override {
        auto* s = stateOf<CustImageState>(window);
        if (!s) return;
        s->list = list;
        s->index = index;
        s->width = w;
        s->height = h;
        InvalidateRect(window, nullptr, TRUE);
    }
};

void registerClass(const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

}  // namespace

void registerPredefinedClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    registerClass(L"Button", buttonProc);
    registerClass(L"Static", staticProc);
    registerClass(PROGRESS_CLASSW, progressProc);
    registerClass(L"CustButton", custButtonProc);
    registerClass(L"CustEdit", custEditProc);
    registerClass(L"SpinnerControl", spinnerProc);
    registerClass(L"CustImage", custImageProc);
}

}  // namespace standin

ICustButton* GetICustButton(HWND control) {
    return standin::isClass(control, L"CustButton") ? new standin::CustButton(control) : nullptr;
}

void ReleaseICustButton(ICustButton* button) {
    delete button;
}

ICustEdit* GetICustEdit(HWND control) {
    return standin::isClass(control, L"CustEdit") ? new standin::CustEdit(control) : nullptr;
}

void ReleaseICustEdit(ICustEdit* edit) {
    delete edit;
}

ISpinnerControl* GetISpinner(HWND control) {
    return standin::isClass(control, L"SpinnerControl") ? new standin::Spinner(control) : nullptr;
}

void ReleaseISpinner(ISpinnerControl* spinner) {
    delete spinner;
}

ICustImage* GetICustImage(HWND control) {
    return standin::isClass(control, L"CustImage") ? new standin::CustImage(control) : nullptr;
}

void ReleaseICustImage(ICustImage* image) {
    delete image;
}
