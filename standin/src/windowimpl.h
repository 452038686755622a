#pragma once

// What the stand-in keeps behind window handles, device contexts and GDI
// objects; shared by its window, GDI, control and host-interface sources.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "hostsdk.h"

namespace standin {

struct ScrollBarState {
    bool shown = false;
    int min = 0;
    int max = 100;
    unsigned page = 0;
    int pos = 0;
};

// State that a predefined control class keeps for its windows.
struct ControlState {
    virtual ~ControlState() = default;
};

struct Window {
    std::wstring className;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    Window* parent = nullptr;
    std::vector<Window*> children;  // in creation order, the first on the bottom
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    std::wstring text;
    QRect rect;  // in the parent's client coordinates
    LONG_PTR userData = 0;
    HFONT font = nullptr;

    // Dialogs.
    bool isDialog = false;
    DLGPROC dlgProc = nullptr;
    LONG_PTR dlgUser = 0;
    LONG_PTR msgResult = 0;
    QSize baseUnits{6, 13};

    ScrollBarState vscroll;
    ScrollBarState hscroll;

    QImage surface;  // the client area as last painted
    bool invalid = true;
    bool erase = true;
    bool painting = false;
    bool destroying = false;

    std::unique_ptr<ControlState> control;

    QRect clientRect() const;     // in the window's own coordinates, (0, 0) at its top left
    QPoint clientOrigin() const;  // client area's top left within the window rectangle
};

// The live window behind a handle, or null for a destroyed or unknown one.
Window* windowOf(HWND handle);
inline HWND handleOf(Window* w) {
    return reinterpret_cast<HWND>(w);
}
// Calls the window's procedure (the dialog procedure for dialogs).
LRESULT deliver(Window* w, UINT message, WPARAM wParam, LPARAM lParam);
// Makes sure the surface matches the client size.
QImage& surfaceOf(Window* w);
// Colour of dialog and rollout backgrounds.
QColor panelColour();
const int kScrollBarWidth = 17;

// GDI objects.
struct GdiObject {
    enum Kind { Pen, Brush, Font, Bitmap } kind = Pen;
    bool stock = false;
    bool none = false;      // NULL_PEN, NULL_BRUSH
    bool dcColour = false;  // DC_PEN, DC_BRUSH: the context's own colour
    COLORREF colour = 0;
    // Fonts: what QFont is made from once text can be drawn.
    QString family;
    int cellHeight = 0;         // the host's: the em height and 2 pixels of leading
    mutable int pixelSize = 0;  // the largest whose line fits the cell, found on first use
    QImage bitmap;
};
// The QFont of a font object; only while canDrawText().
QFont qfontOf(const GdiObject* font);
GdiObject* gdiObjectOf(HGDIOBJ handle);
// The font GDI uses for a face and point size (the host's application
// font among them).
HFONT fontFor(const QString& face, int pointSize);
// Whether text can be drawn: a GUI application with fonts is running.
bool canDrawText();
// Device context on a window's surface, released by the caller.
HDC contextFor(Window* w);
void releaseContext(HDC dc);

// Classes. A class registered by the stand-in itself has no instance.
void registerPredefinedClasses();
const WNDCLASSEXW* findClass(const std::wstring& name);

// Text helpers for the predefined controls.
QString toQString(const std::wstring& s);

}  // namespace standin
