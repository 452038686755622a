#pragma once

// The host side of the stand-in's user interface: what a person or a test
// does to windows (clicks, the wheel, scroll bars), what the host shows
// (windows and the command panel's rollouts as images), and the viewport
// in which a pick mode picks nodes. Plug-in code does not include this.
//
// Rendering needs no display: windows paint into images. Text appears only
// while a QGuiApplication runs (QT_QPA_PLATFORM=offscreen will do) and a
// font is installed; see hostsdk/win32ui.h.

#include <QImage>
#include <QPoint>
#include <QString>
#include <QVector>

#include "hostsdk.h"

namespace standin {

// ---------------------------------------------------------------------------
// Windows

// Sends WM_PAINT to every visible window that has been invalidated, as the
// system's message loop would before anything is shown.
void paintPending();
// The window with its scroll bars and visible children as they show now,
// after pending paints; null image for a destroyed window.
QImage renderWindow(HWND window);
QVector<HWND> childWindows(HWND window);
QString windowClassName(HWND window);
// The first window below root (depth first) whose text is `text`.
HWND findWindowByText(HWND root, const QString& text);
// The assembly named by the activation context that was in force when the
// class was registered; empty when none was.
QString windowClassContext(const QString& className);

// ---------------------------------------------------------------------------
// Input, as the user gives it: nothing reaches a window that is disabled
// or whose parent is. Each answers whether the window took the input.

// Left button down and up at a point of the client area.
bool mouseClick(HWND window, QPoint point);
// One wheel turn of delta (WHEEL_DELTA = 120 a notch, positive away from
// the user).
bool mouseWheel(HWND window, int delta);
// A request of the window's vertical scroll bar (SB_LINEUP, SB_THUMBTRACK
// with the thumb position, ...); refused when the bar is not shown.
bool scrollBarRequest(HWND window, int request, int thumb = 0);

// ---------------------------------------------------------------------------
// The command panel: rollouts opened by ClassDesc2::BeginEditParams, one
// per parameter map, stacked under their title bars in the order opened.

struct Rollout {
    HWND window = nullptr;  // the rollout's dialog
    QString title;
    bool open = true;  // closed rollouts show their title bar only
    IParamMap2* map = nullptr;
};

// The panel window, made on first use.
HWND rollupPanel();
QVector<Rollout> rollouts();
// Opens or closes a rollout as a click on its title bar would.
bool setRolloutOpen(HWND rollout, bool open);
// The panel as a person sees it: title bars and open rollouts.
QImage renderRollouts();

// ---------------------------------------------------------------------------
// The viewport. A click over a node runs the current pick mode: HitTest,
// then, when it accepts, Pick with the node as the view's closest hit (the
// mode ends when Pick answers TRUE). Answers whether something was picked.
bool viewportClick(INode* nodeUnderCursor);
// Asks the current mode's RightClick; answers whether the mode ended.
bool viewportRightClick();
// The viewport window handed to HitTest.
HWND viewportWindow();

}  // namespace standin
