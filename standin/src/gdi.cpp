// GDI of the stand-in: device contexts on window images, pens, brushes,
// fonts, bitmaps and image lists.

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <map>
#include <unordered_set>

#include "standin/host.h"
#include "standin/resourcescript.h"
#include "windowimpl.h"

namespace standin {

namespace {

struct DeviceContext {
    Window* window = nullptr;
    bool fromPaint = false;
    GdiObject* pen = nullptr;
    GdiObject* brush = nullptr;
    GdiObject* font = nullptr;
    COLORREF dcPen = RGB(0, 0, 0);
    COLORREF dcBrush = RGB(255, 255, 255);
    COLORREF text = RGB(0, 0, 0);
    COLORREF background = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    QPoint position;
};

struct ImageList {
    int cx = 0;
    int cy = 0;
    std::vector<QImage> images;
};

std::unordered_set<DeviceContext*>& liveContexts() {
    // Never destroyed: stock objects outlive every static destructor.
    static auto* set = new std::unordered_set<DeviceContext*>;
    return *set;
}

std::unordered_set<GdiObject*>& liveObjects() {
    static auto* set = new std::unordered_set<GdiObject*>;
    return *set;
}

std::unordered_set<ImageList*>& liveImageLists() {
    static auto* set = new std::unordered_set<ImageList*>;
    return *set;
}

DeviceContext* contextOf(HDC dc) {
    auto* c = reinterpret_cast<DeviceContext*>(dc);
    return c && liveContexts().count(c) && windowOf(handleOf(c->window)) ? c : nullptr;
}

ImageList* imageListOf(HIMAGELIST list) {
    auto* l = reinterpret_cast<ImageList*>(list);
    return l && liveImageLists().count(l) ? l : nullptr;
}

QColor toQColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

GdiObject* newObject(GdiObject::Kind kind, bool stock) {
    auto* o = new GdiObject;
    o->kind = kind;
    o->stock = stock;
    liveObjects().insert(o);
    return o;
}

GdiObject* stockObject(int index) {
    static std::map<int, GdiObject*>& stock = *new std::map<int, GdiObject*>;
    const auto it = stock.find(index);
    if (it != stock.end()) return it->second;
    GdiObject* o = nullptr;
    auto brush = [](COLORREF c) {
        GdiObject* b = newObject(GdiObject::Brush, true);
        b->colour = c;
        return b;
    };
    auto pen = [](COLORREF c) {
        GdiObject* p = newObject(GdiObject::Pen, true);
        p->colour = c;
        return p;
    };
    switch (index) {
        case WHITE_BRUSH:
            o = brush(RGB(255, 255, 255));
            break;
        case LTGRAY_BRUSH:
            o = brush(RGB(192, 192, 192));
            break;
        case GRAY_BRUSH:
            o = brush(RGB(128, 128, 128));
            break;
        case DKGRAY_BRUSH:
            o = brush(RGB(64, 64, 64));
            break;
        case BLACK_BRUSH:
            o = brush(RGB(0, 0, 0));
            break;
        case NULL_BRUSH:
            o = brush(0);
            o->none = true;
            break;
        case DC_BRUSH:
            o = brush(0);
            o->dcColour = true;
            break;
        case WHITE_PEN:
            o = pen(RGB(255, 255, 255));
            break;
        case BLACK_PEN:
            o = pen(RGB(0, 0, 0));
            break;
        case NULL_PEN:
            o = pen(0);
            o->none = true;
            break;
        case DC_PEN:
            o = pen(0);
            o->dcColour = true;
            break;
        case SYSTEM_FONT:
            o = reinterpret_cast<GdiObject*>(fontFor(QStringLiteral("System"), 10));
            break;
        case DEFAULT_GUI_FONT:
            o = reinterpret_cast<GdiObject*>(fontFor(QStringLiteral("MS Shell Dlg"), 8));
            break;
        default:
            return nullptr;
    }
    stock[index] = o;
    return o;
}

// The colour a pen or brush draws with in this context; none for null ones.
bool colourOf(const DeviceContext* c, const GdiObject* o, QColor* colour) {
    if (!o || o->none) return false;
    if (o->dcColour) {
        *colour = toQColor(o->kind == GdiObject::Pen ? c->dcPen : c->dcBrush);
    } else {
        *colour = toQColor(o->colour);
    }
    return true;
}

void fill(DeviceContext* c, const QRect& r, const QColor& colour) {
    QImage& image = surfaceOf(c->window);
    const QRect area = r.intersected(c->window->clientRect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + area.left(), line + area.right() + 1, colour.rgb());
    }
}

void plot(DeviceContext* c, int x, int y, const QColor& colour) {
    fill(c, QRect(x, y, 1, 1), colour);
}

QString textOf(LPCWSTR text, int length) {
    if (!text) return QString();
    if (length < 0) return QString::fromWCharArray(text);
    return QString::fromWCharArray(text, length);
}

QSize measure(DeviceContext* c, const QString& text) {
    if (!canDrawText() || !c->font) return QSize(6 * text.size(), 13);
    const QFontMetrics fm(qfontOf(c->font));
    return QSize(fm.horizontalAdvance(text), fm.height());
}

void drawText(DeviceContext* c, const QPoint& at, const QString& text) {
    if (!canDrawText() || !c->font || text.isEmpty()) return;
    const QFont font = qfontOf(c->font);
    const QFontMetrics fm(font);
    if (c->bkMode == OPAQUE)
        fill(c, QRect(at, QSize(fm.horizontalAdvance(text), fm.height())), toQColor(c->background));
    QPainter painter(&surfaceOf(c->window));
    painter.setClipRect(c->window->clientRect());
    painter.setFont(font);
    painter.setPen(toQColor(c->text));
    painter.drawText(at.x(), at.y() + fm.ascent(), text);
}

}  // namespace

GdiObject* gdiObjectOf(HGDIOBJ handle) {
    auto* o = static_cast<GdiObject*>(handle);
    return o && liveObjects().count(o) ? o : nullptr;
}

HFONT fontFor(const QString& face, int pointSize) {
    static auto& fonts = *new std::map<std::pair<QString, int>, GdiObject*>;
    GdiObject*& f = fonts[{face, pointSize}];
    if (!f) {
        f = newObject(GdiObject::Font, true);
        // Every face is drawn with the one sans face the machine is sure to
        // have, in a cell as high as the host's: 13 pixels for 8 pt.
        f->family = QStringLiteral("DejaVu Sans");
        f->cellHeight = MulDiv(pointSize, 96, 72) + 2;
    }
    return reinterpret_cast<HFONT>(f);
}

QFont qfontOf(const GdiObject* font) {
    QFont f(font->family);
    // Crisp text in exact colours, as the host's dialog font shows.
    f.setStyleStrategy(QFont::NoAntialias);
    if (font->pixelSize == 0) {
        int size = std::max(font->cellHeight, 2);
        for (; size > 1; --size) {
            f.setPixelSize(size);
            if (QFontMetrics(f).height() <= font->cellHeight) break;
        }
        font->pixelSize = size;
    }
    f.setPixelSize(font->pixelSize);
    return f;
}

bool canDrawText() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

HDC contextFor(Window* w) {
    auto* c = new DeviceContext;
    c->window = w;
    c->pen = stockObject(BLACK_PEN);
    c->brush = stockObject(WHITE_BRUSH);
    c->font = gdiObjectOf(w->font ? static_cast<HGDIOBJ>(w->font) : stockObject(SYSTEM_FONT));
    liveContexts().insert(c);
    return reinterpret_cast<HDC>(c);
}

void releaseContext(HDC dc) {
    auto* c = reinterpret_cast<DeviceContext*>(dc);
    if (!c || !liveContexts().count(c)) return;
    liveContexts().erase(c);
    delete c;
}

}  // namespace standin

using standin::DeviceContext;
using standin::GdiObject;
using standin::Window;
using standin::windowOf;

HDC WINAPI BeginPaint(HWND window, PAINTSTRUCT* paint) {
    Window* w = windowOf(window);
    if (!w || !paint) return nullptr;
    QImage& surface = standin::surfaceOf(w);
    bool erased = false;
    if (w->erase) {
        if (w->isDialog) {
            surface.fill(standin::panelColour());
            erased = true;
        } else if (const WNDCLASSEXW* wc = standin::findClass(w->className)) {
            if (GdiObject* b = standin::gdiObjectOf(wc->hbrBackground)) {
                if (!b->none) surface.fill(standin::toQColor(b->colour));
                erased = true;
            }
        }
    }
    const QRect client = w->clientRect();
    *paint = PAINTSTRUCT{};
    paint->hdc = standin::contextFor(w);
    paint->fErase = erased ? FALSE : TRUE;
    paint->rcPaint = {0, 0, client.width(), client.height()};
    standin::contextOf(paint->hdc)->fromPaint = true;
    w->invalid = false;
    w->erase = false;
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (!paint) return FALSE;
    standin::releaseContext(paint->hdc);
    return TRUE;
}

HDC WINAPI GetDC(HWND window) {
    Window* w = windowOf(window);
    return w ? standin::contextFor(w) : nullptr;
}

int WINAPI ReleaseDC(HWND, HDC dc) {
    if (!standin::contextOf(dc)) return 0;
    standin::releaseContext(dc);
    return 1;
}

HGDIOBJ WINAPI GetStockObject(int index) {
    return standin::stockObject(index);
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContext* c = standin::contextOf(dc);
    GdiObject* o = standin::gdiObjectOf(object);
    if (!c || !o) return nullptr;
    GdiObject** slot = nullptr;
    switch (o->kind) {
        case GdiObject::Pen:
            slot = &c->pen;
            break;
        case GdiObject::Brush:
            slot = &c->brush;
            break;
        case GdiObject::Font:
            slot = &c->font;
            break;
        case GdiObject::Bitmap:
            return nullptr;  // only memory contexts take bitmaps
    }
    GdiObject* previous = *slot;
    *slot = o;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    GdiObject* o = standin::gdiObjectOf(object);
    if (!o || o->stock) return FALSE;
    standin::liveObjects().erase(o);
    delete o;
    return TRUE;
}

HPEN WINAPI CreatePen(int style, int, COLORREF colour) {
    GdiObject* p = standin::newObject(GdiObject::Pen, false);
    p->colour = colour;
    p->none = style == PS_NULL;
    return reinterpret_cast<HPEN>(p);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
    GdiObject* b = standin::newObject(GdiObject::Brush, false);
    b->colour = colour;
    return reinterpret_cast<HBRUSH>(b);
}

COLORREF WINAPI SetDCPenColor(HDC dc, COLORREF colour) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c) return CLR_INVALID;
    return std::exchange(c->dcPen, colour);
}

COLORREF WINAPI SetDCBrushColor(HDC dc, COLORREF colour) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c) return CLR_INVALID;
    return std::exchange(c->dcBrush, colour);
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c) return CLR_INVALID;
    return std::exchange(c->text, colour);
}

COLORREF WINAPI SetBkColor(HDC dc, COLORREF colour) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c) return CLR_INVALID;
    return std::exchange(c->background, colour);
}

int WINAPI SetBkMode(HDC dc, int mode) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
    return std::exchange(c->bkMode, mode);
}

BOOL WINAPI Rectangle(HDC dc, int left, int top, int right, int bottom) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c) return FALSE;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    QColor pen;
    QColor brush;
    const bool outlined = standin::colourOf(c, c->pen, &pen);
    if (standin::colourOf(c, c->brush, &brush)) {
        // Without a pen the filled area is a pixel smaller each way.
        const int inset = outlined ? 1 : 0;
        standin::fill(c, QRect(QPoint(left + inset, top + inset), QPoint(right - 2, bottom - 2)),
                      brush);
    }
    if (outlined && right - left > 0 && bottom - top > 0) {
        standin::fill(c, QRect(QPoint(left, top), QPoint(right - 1, top)), pen);
        standin::fill(c, QRect(QPoint(left, bottom - 1), QPoint(right - 1, bottom - 1)), pen);
        standin::fill(c, QRect(QPoint(left, top), QPoint(left, bottom - 1)), pen);
        standin::fill(c, QRect(QPoint(right - 1, top), QPoint(right - 1, bottom - 1)), pen);
    }
    return TRUE;
}

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    DeviceContext* c = standin::contextOf(dc);
    GdiObject* b = standin::gdiObjectOf(brush);
    if (!c || !rect || !b) return 0;
    QColor colour;
    if (standin::colourOf(c, b, &colour))
        standin::fill(
            c, QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)),
            colour);
    return 1;
}

BOOL WINAPI MoveToEx(HDC dc, int x, int y, POINT* previous) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c) return FALSE;
    if (previous) *previous = {c->position.x(), c->position.y()};
    c->position = QPoint(x, y);
    return TRUE;
}

BOOL WINAPI LineTo(HDC dc, int x, int y) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c) return FALSE;
    QColor pen;
    if (standin::colourOf(c, c->pen, &pen)) {
        // Bresenham from the current position, the end point left out.
        int x0 = c->position.x();
        int y0 = c->position.y();
        const int dx = std::abs(x - x0);
        const int dy = -std::abs(y - y0);
        const int sx = x0 < x ? 1 : -1;
        const int sy = y0 < y ? 1 : -1;
        int err = dx + dy;
        while (x0 != x || y0 != y) {
            standin::plot(c, x0, y0, pen);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    c->position = QPoint(x, y);
    return TRUE;
}

BOOL WINAPI TextOutW(HDC dc, int x, int y, LPCWSTR text, int length) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c || !text) return FALSE;
    standin::drawText(c, QPoint(x, y), standin::textOf(text, length));
    return TRUE;
}

namespace {

// Words laid out greedily into lines no wider than width; a word wider than
// that has a line of its own.
QStringList wrappedLines(DeviceContext* c, const QString& text, int width) {
    QStringList lines;
    for (const QString& paragraph : text.split('\n')) {
        QString line;
        for (const QString& word : paragraph.split(' ', Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + ' ' + word;
            if (!line.isEmpty() && standin::measure(c, longer).width() > width) {
                lines << line;
                line = word;
            } else {
                line = longer;
            }
        }
        lines << line;
    }
    return lines;
}

}  // namespace

int WINAPI DrawTextW(HDC dc, LPCWSTR text, int length, RECT* rect, UINT format) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c || !text || !rect) return 0;
    const QString s = standin::textOf(text, length);
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
        int height = 0;
        for (const QString& line : wrappedLines(c, s, rect->right - rect->left)) {
            RECT row = *rect;
            row.top += height;
            const std::wstring w = line.toStdWString();
            height += DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &row,
                                (format & (DT_CENTER | DT_RIGHT)) | DT_SINGLELINE);
        }
        return height;
    }
    const QSize size = standin::measure(c, s);
    int x = rect->left;
    if (format & DT_CENTER) x = (rect->left + rect->right - size.width()) / 2;
    if (format & DT_RIGHT) x = rect->right - size.width();
    int y = rect->top;
    if (format & DT_VCENTER) y = (rect->top + rect->bottom - size.height()) / 2;
    if (format & DT_BOTTOM) y = rect->bottom - size.height();
    standin::drawText(c, QPoint(x, y), s);
    return size.height();
}

BOOL WINAPI GetTextExtentPoint32W(HDC dc, LPCWSTR text, int length, SIZE* size) {
    DeviceContext* c = standin::contextOf(dc);
    if (!c || !text || !size) return FALSE;
    const QSize s = standin::measure(c, standin::textOf(text, length));
    *size = {s.width(), s.height()};
    return TRUE;
}

HBITMAP WINAPI LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
    const standin::ResourceScript* script = standin::moduleResources(instance);
    if (!script || !IS_INTRESOURCE(name)) return nullptr;
    const standin::FileResource* file =
        script->file(2, static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    if (!file) return nullptr;
    QImage image(file->path);
    if (image.isNull()) return nullptr;
    GdiObject* b = standin::newObject(GdiObject::Bitmap, false);
    b->bitmap = image.convertToFormat(QImage::Format_RGB32);
    return reinterpret_cast<HBITMAP>(b);
}

HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT, int, int) {
    if (cx <= 0 || cy <= 0) return nullptr;
    auto* list = new standin::ImageList{cx, cy, {}};
    standin::liveImageLists().insert(list);
    return reinterpret_cast<HIMAGELIST>(list);
}

int WINAPI ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP) {
    standin::ImageList* l = standin::imageListOf(list);
    GdiObject* b = standin::gdiObjectOf(image);
    if (!l || !b || b->kind != GdiObject::Bitmap || b->bitmap.width() < l->cx) return -1;
    const int first = static_cast<int>(l->images.size());
    for (int x = 0; x + l->cx <= b->bitmap.width(); x += l->cx)
        l->images.push_back(b->bitmap.copy(x, 0, l->cx, l->cy));
    return first;
}

int WINAPI ImageList_GetImageCount(HIMAGELIST list) {
    standin::ImageList* l = standin::imageListOf(list);
    return l ? static_cast<int>(l->images.size()) : 0;
}

BOOL WINAPI ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT) {
    standin::ImageList* l = standin::imageListOf(list);
    DeviceContext* c = standin::contextOf(dc);
    if (!l || !c || index < 0 || index >= static_cast<int>(l->images.size())) return FALSE;
    QPainter painter(&standin::surfaceOf(c->window));
    painter.setClipRect(c->window->clientRect());
    painter.drawImage(x, y, l->images[static_cast<size_t>(index)]);
    return TRUE;
}

BOOL WINAPI ImageList_Destroy(HIMAGELIST list) {
    standin::ImageList* l = standin::imageListOf(list);
    if (!l) return FALSE;
    standin::liveImageLists().erase(l);
    delete l;
    return TRUE;
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    if (!controls || controls->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    standin::registerPredefinedClasses();
    return TRUE;
}
