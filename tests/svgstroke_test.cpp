// Strokes read from SVG: the properties as a renderer takes them, and the
// painted region of real stroke icons against Qt's own stroker.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPathStroker>
#include <cmath>

#include "shapeio/drawing.h"
#include "shapeio/fileregion.h"
#include "shapeio/shapeio.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

QByteArray document(const char* body) {
    return QByteArray("<svg xmlns='http://www.w3.org/2000/svg'>") + body + "</svg>";
}

FilledDrawing drawingOf(const QByteArray& svg) {
    FilledDrawing drawing;
    QString error;
    EXPECT_TRUE(readSvgDrawing(svg, QStringLiteral("t.svg"), &drawing, &error))
        << error.toStdString();
    return drawing;
}

// The area a document paints, its elements united.
double paintedArea(const char* body) {
    FileRegion region;
    QString error;
    EXPECT_TRUE(
        regionOfDrawing(drawingOf(document(body)), QStringLiteral("t.svg"), 0.0, &region, &error))
        << error.toStdString();
    return carvex::enclosedArea(carvex::resolve(region.shape, region.fill).shape);
}

}  // namespace

TEST(SvgStrokes, PropertiesAreInheritedAndRankedAsFillsAre) {
    EXPECT_NEAR(paintedArea("<g stroke='red' stroke-width='2' stroke-linecap='square'>"
                            "<path d='M0 0 H10' fill='none'/></g>"),
                24.0, 1e-9);
    // Attribute, then style sheet, then style attribute.
    EXPECT_NEAR(paintedArea("<style>path { stroke-width: 4 }</style>"
                            "<path d='M0 0 H10' stroke='black' stroke-width='1'/>"),
                40.0, 1e-9);
    EXPECT_NEAR(paintedArea("<style>path { stroke-width: 4 }</style>"
                            "<path d='M0 0 H10' stroke='black' style='stroke-width:3'/>"),
                30.0, 1e-9);
    // A child may take the stroke away again; currentColor names the colour.
    const FilledDrawing drawing =
        drawingOf(document("<g stroke='currentColor' color='#123456' fill='none'>"
                           "<path d='M0 0 H10'/><path d='M0 5 H10' stroke='none'/></g>"));
    ASSERT_EQ(drawing.elements.size(), 1u);
    EXPECT_EQ(drawing.elements[0].colour, QStringLiteral("#123456"));
    ASSERT_EQ(drawing.notes.size(), 1);
    EXPECT_TRUE(drawing.notes[0].contains(QLatin1String("t.svg:1:")));
    EXPECT_TRUE(drawing.notes[0].contains(QLatin1String("it has no fill")));
}

TEST(SvgStrokes, InvalidValuesKeepWhatIsInherited) {
    EXPECT_NEAR(paintedArea("<g stroke-width='2'><path d='M0 0 H10' stroke='black' "
                            "stroke-width='-1'/></g>"),
                20.0, 1e-9);
    EXPECT_NEAR(paintedArea("<path d='M0 0 H10' stroke='black' stroke-dasharray='3,1'/>"), 8.0,
                1e-6);
    EXPECT_NEAR(paintedArea("<path d='M0 0 H10' stroke='black' stroke-dasharray='3 -1'/>"), 10.0,
                1e-9);
    EXPECT_NEAR(paintedArea("<path d='M0 0 H10' stroke='black' stroke-dasharray='2mm 1mm'/>"),
                2 * 96.0 / 25.4, 1e-6);
    // A miter limit below 1 is no limit SVG takes: the default 4 stays.
    EXPECT_NEAR(paintedArea("<path d='M0 0 H10 V10' stroke='black' stroke-width='2' "
                            "stroke-miterlimit='0.5' fill='none'/>"),
                40.0, 1e-9);
}

TEST(SvgStrokes, LaidOutInTheElementsUnitsThenTransformed) {
    EXPECT_NEAR(paintedArea("<path d='M0 0 H10' stroke='black' stroke-width='2' "
                            "transform='scale(1,3)'/>"),
                60.0, 1e-9);
    // A ring 1 wide about a circle of radius 5, then everything doubled.
    EXPECT_NEAR(paintedArea("<circle r='5' fill='none' stroke='black' transform='scale(2)'/>"),
                4 * 2 * kPi * 5, 4 * 2 * kPi * 5 * 1e-3);
}

TEST(SvgStrokes, FillAndStrokeUniteAndDotsArePainted) {
    EXPECT_NEAR(paintedArea("<rect width='10' height='10' stroke='black' stroke-width='2'/>"),
                144.0, 1e-9);
    EXPECT_NEAR(paintedArea("<path d='M5 5 z' stroke='black' stroke-width='2' "
                            "stroke-linecap='round'/>"),
                kPi, 1e-3);
    EXPECT_NEAR(paintedArea("<path d='M5 5 L5 5' stroke='black' stroke-width='2' "
                            "stroke-linecap='square'/>"),
                4.0, 1e-9);
    EXPECT_NEAR(paintedArea("<line x1='0' y1='0' x2='0' y2='4' stroke='black'/>"), 4.0, 1e-9);
    const FilledDrawing arcs =
        drawingOf(document("<path d='M0 0 H10 V10' stroke='black' stroke-linejoin='arcs'/>"));
    ASSERT_EQ(arcs.notes.size(), 1);
    EXPECT_TRUE(arcs.notes[0].contains(QLatin1String("'arcs' is drawn as miter")));
}

namespace {

QImage raster(const QPainterPath& path, double scale, int size) {
    QImage image(size, size, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.scale(scale, scale);
    painter.fillPath(path, Qt::white);
    return image;
}

// Pixels that differ where Qt's picture is the same all round them: away
// from the outline, where two rasterisers of one curve may differ.
int wrongPixels(const QImage& ours, const QImage& qt) {
    int wrong = 0;
    for (int y = 1; y + 1 < qt.height(); ++y)
        for (int x = 1; x + 1 < qt.width(); ++x) {
            const int v = qGray(qt.pixel(x, y));
            bool uniform = true;
            for (int dy = -1; dy <= 1 && uniform; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    uniform = uniform && qGray(qt.pixel(x + dx, y + dy)) == v;
            if (uniform && qGray(ours.pixel(x, y)) != v) ++wrong;
        }
    return wrong;
}

}  // namespace

TEST(SvgStrokes, IconsPaintWhatQtsStrokerPaints) {
    const QDir icons(QStringLiteral(CARVEX_ICONS));
    const QStringList files = icons.entryList({QStringLiteral("*.svg")}, QDir::Files);
    ASSERT_GE(files.size(), 9);
    for (const QString& name : files) {
        const QString file = icons.filePath(name);
        FileRegion region;
        QString error;
        ASSERT_TRUE(readFileRegion(file, 0.0, &region, nullptr, &error)) << error.toStdString();
        // Every icon is drawn 2 wide with round caps and joins, unfilled.
        Shape outlines;
        ASSERT_TRUE(readShapeFile(file, outlines, &error)) << error.toStdString();
        QPainterPathStroker stroker;
        stroker.setWidth(2.0);
        stroker.setCapStyle(Qt::RoundCap);
        stroker.setJoinStyle(Qt::RoundJoin);
        QPainterPath qtStroke = stroker.createStroke(painterPath(outlines));
        qtStroke.setFillRule(Qt::WindingFill);
        QPainterPath ours = painterPath(region.shape);
        ours.setFillRule(Qt::WindingFill);
        const QImage expected = raster(qtStroke, 20.0, 480);
        const QImage answer = raster(ours, 20.0, 480);
        int painted = 0;
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                painted += qGray(expected.pixel(x, y)) != 0;
        EXPECT_GT(painted, 10000) << name.toStdString();
        EXPECT_LE(wrongPixels(answer, expected), painted / 1000) << name.toStdString();
    }
}

namespace {

QString readingError(const QByteArray& svg) {
    FilledDrawing drawing;
    QString error;
    EXPECT_FALSE(readSvgDrawing(svg, QStringLiteral("u.svg"), &drawing, &error));
    return error;
}

// The box of everything a drawing paints: (x0, y0, x1, y1).
std::vector<double> paintedBox(const char* body) {
    const FilledDrawing drawing = drawingOf(document(body));
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const FilledElement& e : drawing.elements)
        for (const carvex::Path& path : e.paths)
            for (const carvex::PathKnot& k : path.knots) {
                x0 = std::min(x0, k.point.x), x1 = std::max(x1, k.point.x);
                y0 = std::min(y0, k.point.y), y1 = std::max(y1, k.point.y);
            }
    return {x0, y0, x1, y1};
}

}  // namespace

TEST(SvgReferences, UsesDrawTheirTargetsMovedAndPainted) {
    // The target in defs draws nothing itself; each use draws it once,
    // moved by x and y after the use's transform, in the use's fill.
    const FilledDrawing drawing =
        drawingOf(document("<defs><rect id='r' width='2' height='2'/></defs>\n"
                           "<use href='#r' x='10' fill='red'/>\n"
                           "<use xmlns:xlink='http://www.w3.org/1999/xlink' xlink:href='#r' y='5' "
                           "transform='scale(2)'/>"));
    ASSERT_EQ(drawing.elements.size(), 2u);
    EXPECT_EQ(drawing.elements[0].colour, QStringLiteral("red"));
    EXPECT_EQ(drawing.elements[0].splines()[0]->at(0)->point, Point3d(10, 0, 0));
    EXPECT_EQ(drawing.elements[1].splines()[0]->at(2)->point, Point3d(4, 14, 0));
    // Uses of groups that hold uses, strokes included.
    EXPECT_NEAR(paintedArea("<defs><g id='g'><rect width='1' height='1'/>"
                            "<path d='M0 5 H10' stroke='black'/></g>"
                            "<g id='two'><use href='#g'/><use href='#g' x='20'/></g></defs>"
                            "<use href='#two'/><use href='#two' y='100'/>"),
                4 * (1 + 10), 1e-9);
    // Style sheets match the target where it stands.
    const FilledDrawing styled = drawingOf(document(
        "<style>defs rect { fill: #abcdef }</style><defs><rect id='r' width='1' height='1'/>"
        "</defs><use href='#r'/>"));
    ASSERT_EQ(styled.elements.size(), 1u);
    EXPECT_EQ(styled.elements[0].colour, QStringLiteral("#abcdef"));
}

TEST(SvgReferences, SymbolsFitTheirViewBoxIntoTheUse) {
    const char* symbol =
        "<symbol id='s' viewBox='0 0 10 10'><rect width='10' height='10'/>"
        "</symbol>";
    // Meet: scaled by 2 and centred along y.
    const std::string met = std::string(symbol) + "<use href='#s' width='20' height='40'/>";
    EXPECT_EQ(paintedBox(met.c_str()), (std::vector<double>{0, 10, 20, 30}));
    const std::string none = std::string(
        "<symbol id='s' viewBox='0 0 10 10' "
        "preserveAspectRatio='none'><rect width='10' "
        "height='10'/></symbol><use href='#s' x='1' "
        "width='20' height='40'/>");
    EXPECT_EQ(paintedBox(none.c_str()), (std::vector<double>{1, 0, 21, 40}));
    // A symbol is drawn only by a use.
    const std::string alone = std::string(symbol) + "<rect x='50' width='1' height='1'/>";
    EXPECT_EQ(paintedBox(alone.c_str()), (std::vector<double>{50, 0, 51, 1}));
}

TEST(SvgReferences, BadReferencesAreRefusedWithTheirPlace) {
    EXPECT_EQ(readingError(document("\n<use href='#nowhere'/>")).toStdString(),
              "u.svg:2:1: <use> href '#nowhere': no element has the id 'nowhere'");
    EXPECT_TRUE(readingError(document("<g id='a'><rect width='1' height='1'/>"
                                      "<use href='#a'/></g>"))
                    .contains(QLatin1String("the reference leads back to itself")));
    EXPECT_TRUE(readingError(document("<use href='other.svg#a'/>"))
                    .contains(QLatin1String("only elements of the same file")));
    // Ten uses of ten uses of ... six deep would draw a million squares.
    QByteArray bomb = "<defs><rect id='l0' width='1' height='1'/>";
    for (int level = 1; level <= 6; ++level) {
        bomb += "<g id='l" + QByteArray::number(level) + "'>";
        for (int i = 0; i < 10; ++i)
            bomb += "<use href='#l" + QByteArray::number(level - 1) + "'/>";
        bomb += "</g>";
    }
    bomb += "</defs><use href='#l6'/>";
    EXPECT_TRUE(readingError(document(bomb.constData()))
                    .contains(QLatin1String("more than 10000 drawn in all")));
}
