// The host's user interface around plug-ins: parameter maps and their
// rollouts in the command panel, pick modes and the viewport.

#include <QPainter>
#include <algorithm>

#include "standin/ui.h"
#include "windowimpl.h"

namespace standin {

namespace {

const int kTitleHeight = 16;
const int kMargin = 3;

class ParamMap : public IParamMap2 {
public:
    ParamMap(IParamBlock2* block, ParamBlockDesc2* d, const ParamMapDesc& m)
        : pblock(block), desc(d), id(m.id), proc(m.proc) {}

    HWND GetHWnd() override { return window; }
    IParamBlock2* GetParamBlock() override { return pblock; }
    ParamBlockDesc2* GetDesc() override { return desc; }
    MapID GetMapID() override { return id; }
    ParamMap2UserDlgProc* GetUserDlgProc() override { return proc; }
    void SetUserDlgProc(ParamMap2UserDlgProc* p) override {
        proc = p;
        if (proc && IsWindow(window))
            proc->DlgProc(GetCOREInterface()->GetTime(), this, window, WM_INITDIALOG, 0, 0);
    }
    void Invalidate() override;

    // The rollout's dialog procedure: binds the controls, then hands on.
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window = nullptr;
    IParamBlock2* pblock;
    ParamBlockDesc2* desc;
    MapID id;
    ParamMap2UserDlgProc* proc;

private:
    // Parameters shown in this map.
    std::vector<const ParamDef*> bound() const {
        std::vector<const ParamDef*> defs;
        for (const ParamDef& def : desc->paramdefs)
            if (def.hasUI && def.uiMap == id) defs.push_back(&def);
        return defs;
    }
    void controlChanged(UINT message, WPARAM wParam);
};

struct PanelEntry {
    Rollout rollout;
    ParamMap* map = nullptr;
};

std::vector<PanelEntry>& panel() {
    static auto* entries = new std::vector<PanelEntry>;
    return *entries;
}

PickModeCallback*& currentPickMode() {
    static PickModeCallback* mode = nullptr;
    return mode;
}

INode*& nodeUnderCursor() {
    static INode* node = nullptr;
    return node;
}

IObjParam* core() {
    return dynamic_cast<IObjParam*>(GetCOREInterface());
}

void ParamMap::Invalidate() {
    if (!pblock || !IsWindow(window)) return;
    const TimeValue t = GetCOREInterface()->GetTime();
    for (const ParamDef* def : bound()) {
        if (def->ctrl_type == TYPE_RADIO) {
            const int value = pblock->GetInt(def->ID, t);
            for (size_t i = 0; i < def->ctrl_IDs.size(); ++i)
                CheckDlgButton(window, def->ctrl_IDs[i],
                               static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED);
        } else if (def->ctrl_type == TYPE_SINGLECHEKBOX && def->ctrl_IDs.size() == 1) {
            CheckDlgButton(window, def->ctrl_IDs[0],
                           pblock->GetInt(def->ID, t) ? BST_CHECKED : BST_UNCHECKED);
        } else if (def->ctrl_type == TYPE_SPINNER && def->ctrl_IDs.size() == 2) {
            ISpinnerControl* spin = GetISpinner(GetDlgItem(window, def->ctrl_IDs[1]));
            if (!spin) continue;
            const bool isFloat = base_type(def->type) == TYPE_FLOAT;
            spin->LinkToEdit(GetDlgItem(window, def->ctrl_IDs[0]), def->edit_type);
            if (def->hasRange)
                spin->SetLimits(isFloat ? def->range_low.f : static_cast<float>(def->range_low.i),
                                isFloat ? def->range_high.f : static_cast<float>(def->range_high.i),
                                FALSE);
            spin->SetScale(def->scale);
            spin->SetValue(isFloat ? pblock->GetFloat(def->ID, t)
                                   : static_cast<float>(pblock->GetInt(def->ID, t)),
                           FALSE);
            ReleaseISpinner(spin);
        }
    }
}

void ParamMap::controlChanged(UINT message, WPARAM wParam) {
    if (!pblock) return;
    const TimeValue t = GetCOREInterface()->GetTime();
    const int control = LOWORD(wParam);
    for (const ParamDef* def : bound()) {
        if (message == WM_COMMAND && def->ctrl_type == TYPE_RADIO && HIWORD(wParam) == BN_CLICKED) {
            const auto at = std::find(def->ctrl_IDs.begin(), def->ctrl_IDs.end(), control);
            if (at != def->ctrl_IDs.end())
                pblock->SetValue(def->ID, t, static_cast<int>(at - def->ctrl_IDs.begin()));
        } else if (message == WM_COMMAND && def->ctrl_type == TYPE_SINGLECHEKBOX &&
                   HIWORD(wParam) == BN_CLICKED && def->ctrl_IDs.size() == 1 &&
                   def->ctrl_IDs[0] == control) {
            pblock->SetValue(def->ID, t,
                             IsDlgButtonChecked(window, control) == BST_CHECKED ? 1 : 0);
        } else if (message == CC_SPINNER_CHANGE && def->ctrl_type == TYPE_SPINNER &&
                   def->ctrl_IDs.size() == 2 && def->ctrl_IDs[1] == control) {
            ISpinnerControl* spin = GetISpinner(GetDlgItem(window, control));
            if (!spin) continue;
            if (base_type(def->type) == TYPE_FLOAT) {
                pblock->SetValue(def->ID, t, spin->GetFVal());
            } else {
                pblock->SetValue(def->ID, t, spin->GetIVal());
            }
            ReleaseISpinner(spin);
        }
    }
}

INT_PTR CALLBACK ParamMap::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<ParamMap*>(lParam)->window = window;
    }
    auto* map = reinterpret_cast<ParamMap*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!map) return FALSE;
    if (message == WM_INITDIALOG) map->Invalidate();
    if (message == WM_COMMAND || message == CC_SPINNER_CHANGE) map->controlChanged(message, wParam);
    if (!map->proc) return FALSE;
    return map->proc->DlgProc(GetCOREInterface()->GetTime(), map, window, message, wParam, lParam);
}

// Places the rollouts under their title bars and sizes the panel.
void layoutPanel() {
    HWND panelWindow = rollupPanel();
    int y = kMargin;
    int width = 0;
    for (const PanelEntry& e : panel()) {
        RECT r{};
        GetWindowRect(e.rollout.window, &r);
        width = std::max(width, static_cast<int>(r.right - r.left));
    }
    for (PanelEntry& e : panel()) {
        RECT r{};
        if (!GetWindowRect(e.rollout.window, &r)) continue;  // still being made
        y += kTitleHeight;
        MoveWindow(e.rollout.window, kMargin, y, r.right - r.left, r.bottom - r.top, FALSE);
        ShowWindow(e.rollout.window, e.rollout.open ? SW_SHOW : SW_HIDE);
        if (e.rollout.open) y += r.bottom - r.top;
        y += kMargin;
    }
    MoveWindow(panelWindow, 0, 0, std::max(width, 160) + 2 * kMargin, std::max(y, kTitleHeight),
               TRUE);
}

LRESULT CALLBACK panelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    HGDIOBJ oldFont = SelectObject(dc, GetCOREInterface()->GetAppHFont());
    RECT all;
    GetClientRect(window, &all);
    SetDCBrushColor(dc, RGB(160, 160, 160));
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    for (const PanelEntry& e : panel()) {
        RECT r{};
        if (!GetWindowRect(e.rollout.window, &r)) continue;
        RECT title{r.left, r.top - kTitleHeight, r.right, r.top};
        SetDCPenColor(dc, RGB(110, 110, 110));
        SetDCBrushColor(dc, RGB(215, 215, 215));
        Rectangle(dc, title.left, title.top, title.right, title.bottom - 1);
        const std::wstring sign = e.rollout.open ? L"-" : L"+";
        RECT signBox{title.left + 4, title.top, title.left + 14, title.bottom - 1};
        DrawTextW(dc, sign.c_str(), -1, &signBox, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        const std::wstring text = e.rollout.title.toStdWString();
        RECT textBox{title.left, title.top, title.right, title.bottom - 1};
        DrawTextW(dc, text.c_str(), -1, &textBox, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldFont);
    EndPaint(window, &ps);
    return 0;
}

LRESULT CALLBACK viewportProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND hostWindow(const wchar_t* className, WNDPROC proc) {
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(nullptr, className, &wc)) {
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = proc;
        wc.lpszClassName = className;
        RegisterClassExW(&wc);
    }
    return CreateWindowExW(0, className, L"", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                           nullptr);
}

PanelEntry* entryOf(HWND rollout) {
    for (PanelEntry& e : panel())
        if (e.rollout.window == rollout) return &e;
    return nullptr;
}

}  // namespace

HWND rollupPanel() {
    static HWND window = nullptr;
    if (!IsWindow(window)) window = hostWindow(L"StandInRollupPanel", panelProc);
    return window;
}

QVector<Rollout> rollouts() {
    QVector<Rollout> out;
    for (const PanelEntry& e : panel())
        out.push_back(e.rollout);
    return out;
}

bool setRolloutOpen(HWND rollout, bool open) {
    PanelEntry* e = entryOf(rollout);
    if (!e) return false;
    e->rollout.open = open;
    layoutPanel();
    return true;
}

QImage renderRollouts() {
    layoutPanel();
    return renderWindow(rollupPanel());
}

HWND viewportWindow() {
    static HWND window = nullptr;
    if (!IsWindow(window)) window = hostWindow(L"StandInViewport", viewportProc);
    return window;
}

bool viewportClick(INode* node) {
    PickModeCallback* mode = currentPickMode();
    if (!mode || !node) return false;
    nodeUnderCursor() = node;
    ViewExp view;
    const IPoint2 point(0, 0);
    const bool hit = mode->HitTest(core(), viewportWindow(), &view, point, 0) != FALSE;
    nodeUnderCursor() = nullptr;
    if (!hit) return false;
    view.SetClosestHit(node);
    if (mode->Pick(core(), &view) && currentPickMode() == mode) GetCOREInterface()->ClearPickMode();
    return true;
}

bool viewportRightClick() {
    PickModeCallback* mode = currentPickMode();
    if (!mode) return false;
    ViewExp view;
    if (!mode->RightClick(core(), &view) || currentPickMode() != mode) return false;
    GetCOREInterface()->ClearPickMode();
    return true;
}

}  // namespace standin

// ---------------------------------------------------------------------------
// The host interface

void Interface::SetPickMode(PickModeCallback* mode) {
    PickModeCallback*& current = standin::currentPickMode();
    const bool toggledOff = mode == current;
    ClearPickMode();
    if (!mode || toggledOff) return;
    current = mode;
    mode->EnterMode(dynamic_cast<IObjParam*>(this));
}

void Interface::ClearPickMode() {
    PickModeCallback*& current = standin::currentPickMode();
    if (!current) return;
    PickModeCallback* ending = current;
    current = nullptr;
    ending->ExitMode(dynamic_cast<IObjParam*>(this));
}

PickModeCallback* Interface::GetCurPickMode() {
    return standin::currentPickMode();
}

INode* Interface::PickNode(HWND, IPoint2, PickNodeCallback* filter) {
    INode* node = standin::nodeUnderCursor();
    if (!node || (filter && !filter->Filter(node))) return nullptr;
    return node;
}

HFONT Interface::GetAppHFont() {
    return standin::fontFor(QStringLiteral("MS Sans Serif"), 8);
}

// ---------------------------------------------------------------------------
// Parameter maps opened by class descriptors

void ParamBlockDesc2::SetUserDlgProc(MapID map, ParamMap2UserDlgProc* proc) {
    for (ParamMapDesc& m : maps)
        if (m.id == map) m.proc = proc;
    for (standin::PanelEntry& e : standin::panel())
        if (e.map->desc == this && e.map->id == map) e.map->SetUserDlgProc(proc);
}

ParamMap2UserDlgProc* ParamBlockDesc2::GetUserDlgProc(MapID map) const {
    for (const ParamMapDesc& m : maps)
        if (m.id == map) return m.proc;
    return nullptr;
}

void ClassDesc2::SetUserDlgProc(ParamBlockDesc2* pbd, MapID map, ParamMap2UserDlgProc* proc) {
    if (pbd) pbd->SetUserDlgProc(map, proc);
}

void ClassDesc2::BeginEditParams(IObjParam*, ReferenceMaker* obj, ULONG, Animatable*) {
    if (!obj) return;
    HWND panelWindow = standin::rollupPanel();
    for (ParamBlockDesc2* desc : pbDescs) {
        if (!(desc->flags & P_AUTO_UI)) continue;
        IParamBlock2* block = obj->GetParamBlockByID(desc->ID);
        if (!block) continue;
        for (const ParamMapDesc& m : desc->maps) {
            auto* map = new standin::ParamMap(block, desc, m);
            // The entry exists before the dialog, so that its procedure can
            // be set while WM_INITDIALOG runs.
            standin::panel().push_back({});
            const size_t at = standin::panel().size() - 1;
            standin::panel()[at].map = map;
            HWND window =
                CreateDialogParamW(HInstance(), MAKEINTRESOURCEW(m.dlg_template), panelWindow,
                                   standin::ParamMap::dialogProc, reinterpret_cast<LPARAM>(map));
            if (!window) {
                standin::panel().erase(standin::panel().begin() + static_cast<long>(at));
                delete map;
                continue;
            }
            MCHAR title[256] = {0};
            LoadStringW(HInstance(), static_cast<UINT>(m.title), title, 256);
            standin::Rollout& r = standin::panel()[at].rollout;
            r.window = window;
            r.title = QString::fromWCharArray(title);
            r.open = !(m.rollup_flags & APPENDROLL_CLOSED);
            r.map = map;
        }
    }
    standin::layoutPanel();
}

void ClassDesc2::EndEditParams(IObjParam*, ReferenceMaker* obj, ULONG, Animatable*) {
    auto& entries = standin::panel();
    for (size_t i = 0; i < entries.size();) {
        standin::ParamMap* map = entries[i].map;
        const bool ours = std::find(pbDescs.begin(), pbDescs.end(), map->desc) != pbDescs.end();
        if (!ours || !obj || obj->GetParamBlockByID(map->desc->ID) != map->pblock) {
            ++i;
            continue;
        }
        entries.erase(entries.begin() + static_cast<long>(i));
        DestroyWindow(map->window);
        // The host is done with the procedure: it deletes it and forgets it.
        if (ParamMap2UserDlgProc* proc = map->proc) {
            for (ParamMapDesc& m : map->desc->maps)
                if (m.id == map->id && m.proc == proc) m.proc = nullptr;
            proc->DeleteThis();
        }
        delete map;
    }
    standin::layoutPanel();
}
