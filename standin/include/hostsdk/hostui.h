#pragma once

// The host's user-interface services for plug-ins, as far as plug-ins built
// here use them: viewport points, custom controls, parameter maps with
// their user dialog procedures, and pick modes. Included by hostsdk.h.
//
// Behaviour worth knowing:
// - Custom controls are windows of the classes "CustButton", "CustEdit",
//   "SpinnerControl" and "CustImage". GetICust...(window) hands out a new
//   interface on the control, which the caller gives back with the matching
//   Release call; an interface must not be used after that, and one whose
//   window was destroyed does nothing.
// - A CustButton sends its parent one WM_COMMAND (id, BN_CLICKED) per click;
//   a check button (CBT_CHECK) toggles its check first.
// - A spinner changed by the user sends its parent CC_SPINNER_CHANGE with
//   its id in the low word of wParam and its window in lParam.
// - ClassDesc2::BeginEditParams opens one rollout per map of every
//   auto-UI block of the object; a parameter map binds radio groups and
//   spinners of its template to the block, then hands every message of
//   the rollout to its user dialog procedure, if it has one. A procedure
//   set on an open rollout hears WM_INITDIALOG at once. When a rollout
//   closes, its procedure hears WM_DESTROY, then the host calls its
//   DeleteThis and forgets it.
// - Pick modes: Interface::SetPickMode with the mode already active ends
//   it; a new mode ends the old one first. The host's viewport "click"
//   hit-tests the node under the cursor and, when the mode accepts it,
//   picks it; a right click asks RightClick whether to end the mode.

class IObjParam;
class ViewExp;
class INode;
class IParamBlock2;
class ParamBlockDesc2;
class ReferenceTarget;

class IPoint2 {
public:
    int x = 0;
    int y = 0;
    IPoint2() = default;
    IPoint2(int px, int py) : x(px), y(py) {}
};

// ---------------------------------------------------------------------------
// Custom controls

class ICustomControl {
public:
    virtual ~ICustomControl() = default;
    virtual HWND GetHwnd() = 0;
    virtual BOOL IsEnabled() = 0;
    virtual void Enable(BOOL onOff = TRUE) = 0;
    virtual void Disable() = 0;
};

enum CustButType { CBT_PUSH = 0, CBT_CHECK = 1 };

class ICustButton : public ICustomControl {
public:
    virtual void SetType(CustButType type) = 0;
    virtual void SetCheck(BOOL checked) = 0;
    virtual BOOL IsChecked() = 0;
    virtual void SetText(const MCHAR* text) = 0;
};

class ICustEdit : public ICustomControl {
public:
    virtual void SetText(const MCHAR* text) = 0;
    virtual void SetText(float value, int precision = 3) = 0;
    virtual void GetText(MSTR& text) = 0;
    virtual float GetFloat(BOOL* valid = nullptr) = 0;
};

// EDITTYPE_INT or EDITTYPE_FLOAT.
using EditSpinnerType = int;

#define CC_SPINNER_CHANGE (WM_USER + 600)
#define CC_SPINNER_BUTTONDOWN (WM_USER + 601)
#define CC_SPINNER_BUTTONUP (WM_USER + 602)

class ISpinnerControl : public ICustomControl {
public:
    virtual float GetFVal() = 0;
    virtual int GetIVal() = 0;
    // With notify the parent hears CC_SPINNER_CHANGE, as after a user's change.
    virtual void SetValue(float value, int notify) = 0;
    virtual void SetValue(int value, int notify) = 0;
    // Values are kept within the limits from now on; with limitCurrent the
    // current value is brought within them too.
    virtual void SetLimits(float low, float high, int limitCurrent = TRUE) = 0;
    virtual void SetScale(float scale) = 0;
    // The edit control that shows the value, as an int or a float.
    virtual void LinkToEdit(HWND edit, EditSpinnerType type) = 0;
};

class ICustImage : public ICustomControl {
public:
    // Shows image `index` of the list, w x h pixels at the control's top left.
    virtual void SetImage(HIMAGELIST list, int index, int w, int h) = 0;
};

ICustButton* GetICustButton(HWND control);
void ReleaseICustButton(ICustButton* button);
ICustEdit* GetICustEdit(HWND control);
void ReleaseICustEdit(ICustEdit* edit);
ISpinnerControl* GetISpinner(HWND control);
void ReleaseISpinner(ISpinnerControl* spinner);
ICustImage* GetICustImage(HWND control);
void ReleaseICustImage(ICustImage* image);

// ---------------------------------------------------------------------------
// Parameter maps

class IParamMap2;

class ParamMap2UserDlgProc {
public:
    virtual ~ParamMap2UserDlgProc() = default;
    virtual INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                            LPARAM lParam) = 0;
    virtual void DeleteThis() = 0;
    virtual void SetThing(ReferenceTarget*) {}
};

// One open rollout bound to a parameter block.
class IParamMap2 {
public:
    virtual ~IParamMap2() = default;
    virtual HWND GetHWnd() = 0;
    virtual IParamBlock2* GetParamBlock() = 0;
    virtual ParamBlockDesc2* GetDesc() = 0;
    virtual MapID GetMapID() = 0;
    virtual ParamMap2UserDlgProc* GetUserDlgProc() = 0;
    // Sets the procedure; on an open rollout it hears WM_INITDIALOG now.
    virtual void SetUserDlgProc(ParamMap2UserDlgProc* proc) = 0;
    // Shows the block's current values in the bound controls again.
    virtual void Invalidate() = 0;
};

// ---------------------------------------------------------------------------
// Pick modes

class PickNodeCallback {
public:
    virtual ~PickNodeCallback() = default;
    virtual BOOL Filter(INode* node) = 0;
};

class PickModeCallback {
public:
    virtual ~PickModeCallback() = default;
    // Whether something pickable lies under point m of the viewport.
    virtual BOOL HitTest(IObjParam* ip, HWND hWnd, ViewExp* vpt, IPoint2 m, int flags) = 0;
    // Answers TRUE to end the mode.
    virtual BOOL Pick(IObjParam* ip, ViewExp* vpt) = 0;
    // Answers TRUE to end the mode.
    virtual BOOL RightClick(IObjParam*, ViewExp*) { return FALSE; }
    virtual void EnterMode(IObjParam*) {}
    virtual void ExitMode(IObjParam*) {}
    virtual PickNodeCallback* GetFilter() { return nullptr; }
};
