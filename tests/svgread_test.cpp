// SVG documents into shapes: elements, transforms, and messages that name
// the file and the place.

#include <gtest/gtest.h>

#include <cmath>

#include "geometry/shape.h"
#include "shapeio/filleddrawing.h"
#include "shapeio/svgio.h"

namespace {

Point3d P(double x, double y) {
    return {x, y, 0.0};
}

QByteArray document(const char* body) {
    return QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\">\n") + body + "\n</svg>\n";
}

void read(const QByteArray& svg, Shape& shape) {
    QString error;
    ASSERT_TRUE(readSvg(svg, QStringLiteral("t.svg"), shape, &error)) << error.toStdString();
}

QString readError(const QByteArray& svg) {
    Shape shape;
    QString error;
    EXPECT_FALSE(readSvg(svg, QStringLiteral("t.svg"), shape, &error)) << svg.constData();
    EXPECT_TRUE(shape.isEmpty());
    return error;
}

void expectPoints(const Spline& s, const std::vector<Point3d>& points, double tol = 0.0) {
    ASSERT_EQ(s.size(), int(points.size()));
    for (int i = 0; i < s.size(); ++i) {
        EXPECT_NEAR(s[i]->point.x, points[i].x, tol) << "knot " << i;
        EXPECT_NEAR(s[i]->point.y, points[i].y, tol) << "knot " << i;
    }
}

Point3d mapped(const Matrix3d& m, double x, double y) {
    return map(P(x, y), m);
}

}  // namespace

TEST(SvgElements, PlainRectIsFourCorners) {
    Shape shape;
    read(document("<rect x='10' y='20' width='30' height='40'/>"), shape);
    ASSERT_EQ(shape.size(), 1);
    EXPECT_TRUE(shape[0]->closed);
    expectPoints(*shape[0], {P(10, 20), P(40, 20), P(40, 60), P(10, 60)});
    for (const Knot* k : *shape[0])
        EXPECT_EQ(k->type, Knot::Corner);
}

// Handle length, as a fraction of the radius, of a cubic eighth of an
// ellipse: curved elements are drawn in pieces of 45 degrees.
const double kEighth = 4.0 / 3.0 * std::tan(M_PI / 16.0);
const double kHalfRoot2 = std::sqrt(0.5);

TEST(SvgElements, RoundedRectHasEllipticCorners) {
    Shape shape;
    read(document("<rect x='10' y='20' width='30' height='40' rx='5' ry='8'/>"), shape);
    ASSERT_EQ(shape.size(), 1);
    const Spline& s = *shape[0];
    // Each corner is two eighths of the ellipse, through its 45-degree point.
    const double dx = 5 * (1 - kHalfRoot2);
    const double dy = 8 * (1 - kHalfRoot2);
    expectPoints(
        s,
        {P(15, 20), P(35, 20), P(40 - dx, 20 + dy), P(40, 28), P(40, 52), P(40 - dx, 60 - dy),
         P(35, 60), P(15, 60), P(10 + dx, 60 - dy), P(10, 52), P(10, 28), P(10 + dx, 20 + dy)},
        1e-12);
    // Lines meet the corner arcs: one handle on the point, one along the side.
    EXPECT_EQ(s[1]->inVec, P(35, 20));
    EXPECT_NEAR(s[1]->outVec.x, 35 + 5 * kEighth, 1e-12);
    EXPECT_NEAR(s[1]->outVec.y, 20, 1e-12);
    EXPECT_NEAR(s[3]->inVec.x, 40, 1e-12);
    EXPECT_NEAR(s[3]->inVec.y, 28 - 8 * kEighth, 1e-12);
    for (int i = 0; i < s.size(); ++i)
        EXPECT_EQ(s[i]->type, i % 3 == 2 ? Knot::Bezier : Knot::BezierCorner) << i;
}

TEST(SvgElements, RectRadiusRules) {
    // One radius stands for both.
    Shape one;
    read(document("<rect width='40' height='40' ry='5'/>"), one);
    EXPECT_EQ(one[0]->at(0)->point, P(5, 0));
    EXPECT_EQ(one[0]->at(3)->point, P(40, 5));
    // Radii beyond half a side are clamped, leaving an ellipse of smooth
    // knots and no zero-length lines.
    Shape clamped;
    read(document("<rect width='20' height='10' rx='30'/>"), clamped);
    ASSERT_EQ(clamped[0]->size(), 8);
    for (int i : {0, 2, 4, 6})
        EXPECT_LT(std::hypot(clamped[0]->at(i)->point.x - (i == 0   ? 10
                                                           : i == 2 ? 20
                                                           : i == 4 ? 10
                                                                    : 0),
                             clamped[0]->at(i)->point.y - (i == 0   ? 0
                                                           : i == 4 ? 10
                                                                    : 5)),
                  1e-12)
            << i;
    for (const Knot* k : *clamped[0])
        EXPECT_EQ(k->type, Knot::Bezier);
    // Zero size draws nothing; here the document then has no shape at all.
    EXPECT_TRUE(readError(document("<rect width='0' height='10'/>")).contains("no shape"));
}

TEST(SvgElements, CircleAndEllipse) {
    Shape shape;
    read(document("<circle cx='5' cy='6' r='2'/><ellipse cx='0' cy='0' rx='4' ry='3'/>"), shape);
    ASSERT_EQ(shape.size(), 2);
    const Spline& c = *shape[0];
    EXPECT_TRUE(c.closed);
    const double d = 2 * kHalfRoot2;
    expectPoints(c,
                 {P(7, 6), P(5 + d, 6 + d), P(5, 8), P(5 - d, 6 + d), P(3, 6), P(5 - d, 6 - d),
                  P(5, 4), P(5 + d, 6 - d)},
                 1e-12);
    EXPECT_NEAR(c[0]->outVec.y, 6 + 2 * kEighth, 1e-12);
    EXPECT_NEAR(c[0]->inVec.y, 6 - 2 * kEighth, 1e-12);
    EXPECT_NEAR(c[2]->inVec.x, 5 + 2 * kEighth, 1e-12);
    for (const Knot* k : c)
        EXPECT_EQ(k->type, Knot::Bezier);
    const Spline& e = *shape[1];
    ASSERT_EQ(e.size(), 8);
    EXPECT_LT(std::hypot(e[2]->point.x, e[2]->point.y - 3), 1e-12);
    EXPECT_LT(std::hypot(e[4]->point.x + 4, e[4]->point.y), 1e-12);
    EXPECT_NEAR(e[2]->outVec.x, -4 * kEighth, 1e-12);
}

TEST(SvgElements, PolygonPolylineAndLine) {
    Shape shape;
    read(document("<polygon points='0,0 10,0 10,10 0,0'/>"
                  "<polyline points='0 0,5 5 10-2'/>"
                  "<line x1='1' y1='2' x2='3' y2='4'/>"),
         shape);
    ASSERT_EQ(shape.size(), 3);
    EXPECT_TRUE(shape[0]->closed);
    expectPoints(*shape[0], {P(0, 0), P(10, 0), P(10, 10)});  // the repeated point merges
    EXPECT_FALSE(shape[1]->closed);
    expectPoints(*shape[1], {P(0, 0), P(5, 5), P(10, -2)});
    EXPECT_FALSE(shape[2]->closed);
    expectPoints(*shape[2], {P(1, 2), P(3, 4)});
}

TEST(SvgElements, PathsGiveOneSplinePerSubpathInDocumentOrder) {
    Shape shape;
    read(document("<path d='M0 0 L1 0 L1 1 Z M5 5 L6 5'/><g><path d='M9 9 h1 v1 z'/></g>"), shape);
    ASSERT_EQ(shape.size(), 3);
    EXPECT_TRUE(shape[0]->closed);
    EXPECT_FALSE(shape[1]->closed);
    EXPECT_EQ(shape[2]->at(0)->point, P(9, 9));
    for (const Spline* s : shape)
        EXPECT_EQ(s->frame, Matrix3d());
    EXPECT_EQ(shape.frame, Matrix3d());
}

TEST(SvgElements, UnitsBecomeUserUnits) {
    Shape shape;
    read(document("<rect width='1in' height='72pt' x='2.54cm' y='10px'/>"), shape);
    expectPoints(*shape[0], {P(96, 10), P(192, 10), P(192, 106), P(96, 106)}, 1e-12);
}

TEST(SvgElements, ElementsThatDrawNothingAreSkipped) {
    Shape shape;
    read(document("<defs><rect width='5' height='5'/></defs>"
                  "<clipPath><circle r='3'/></clipPath>"
                  "<rect width='5' height='5' display='none'/>"
                  "<g display='none'><rect width='5' height='5'/></g>"
                  "<x:rect xmlns:x='urn:other' width='5' height='5'/>"
                  "<text>hello</text>"
                  "<rect x='1' width='2' height='2'/>"),
         shape);
    ASSERT_EQ(shape.size(), 1);
    EXPECT_EQ(shape[0]->at(0)->point, P(1, 0));
}

TEST(SvgTransforms, EachKindMapsAsSvgDoes) {
    struct Case {
        const char* text;
        Point3d from;
        Point3d to;
    };
    const double r = std::sqrt(0.5);
    const Case cases[] = {
        {"translate(10)", P(1, 2), P(11, 2)},
        {"translate(10, -3)", P(1, 2), P(11, -1)},
        {"scale(2)", P(1, 2), P(2, 4)},
        {"scale(2 3)", P(1, 2), P(2, 6)},
        {"rotate(90)", P(1, 0), P(0, 1)},
        {"rotate(90 10 10)", P(11, 10), P(10, 11)},
        {"rotate(45)", P(1, 0), P(r, r)},
        {"skewX(45)", P(1, 2), P(3, 2)},
        {"skewY(45)", P(1, 2), P(1, 3)},
        {"matrix(1 2 3 4 5 6)", P(1, 1), P(9, 12)},
        // The rightmost transform applies first.
        {"translate(10,0) scale(2)", P(1, 1), P(12, 2)},
        {"scale(2),translate(10,0)", P(1, 1), P(22, 2)},
        {" rotate(90)translate(1 0) ", P(0, 0), P(0, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Matrix3d m(0);
        QString error;
        int offset = -1;
        ASSERT_TRUE(parseTransformList(QString::fromLatin1(c.text), &m, &error, &offset))
            << error.toStdString();
        const Point3d got = map(c.from, m);
        EXPECT_NEAR(got.x, c.to.x, 1e-12);
        EXPECT_NEAR(got.y, c.to.y, 1e-12);
    }
}

TEST(SvgTransforms, ErrorsNameTheOffset) {
    struct Case {
        const char* text;
        int offset;
        const char* words;
    };
    const Case cases[] = {
        {"translate(1,)", 12, "after ','"},
        {"rotate(1 2)", 0, "does not take 2 numbers"},
        {"spin(3)", 0, "unknown transform"},
        {"scale(1", 7, "missing ')'"},
        {"scale 2", 6, "expected '('"},
        {"scale(x)", 6, "expected a number"},
        {"scale(2) (3)", 9, "expected a transform name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Matrix3d m;
        QString error;
        int offset = -1;
        EXPECT_FALSE(parseTransformList(QString::fromLatin1(c.text), &m, &error, &offset));
        EXPECT_EQ(offset, c.offset);
        EXPECT_TRUE(error.contains(QLatin1String(c.words))) << error.toStdString();
    }
}

TEST(SvgTransforms, ElementAndGroupTransformsAreBakedIntoTheKnots) {
    Shape shape;
    read(document("<g transform='translate(100 0)'>"
                  "  <g transform='rotate(90)'>"
                  "    <path transform='scale(2)' d='M1 0 C 1 1 2 1 2 0'/>"
                  "  </g>"
                  "</g>"),
         shape);
    ASSERT_EQ(shape.size(), 1);
    const Spline& s = *shape[0];
    EXPECT_EQ(s.frame, Matrix3d());
    // scale(2), then rotate(90) (x,y) -> (-y,x), then translate(100,0).
    const Matrix3d m =
        svgMatrix(2, 0, 0, 2, 0, 0) * svgMatrix(0, 1, -1, 0, 0, 0) * svgMatrix(1, 0, 0, 1, 100, 0);
    const Point3d expected[] = {mapped(m, 1, 0), mapped(m, 1, 1), mapped(m, 2, 1), mapped(m, 2, 0)};
    EXPECT_NEAR(expected[0].x, 100, 1e-12);
    EXPECT_NEAR(expected[0].y, 2, 1e-12);
    const Point3d got[] = {s[0]->point, s[0]->outVec, s[1]->inVec, s[1]->point};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(got[i].x, expected[i].x, 1e-12) << i;
        EXPECT_NEAR(got[i].y, expected[i].y, 1e-12) << i;
    }
}

TEST(SvgTransforms, FlatteningTransformDrawsNothing) {
    Shape shape;
    read(
        document("<rect width='5' height='5' transform='scale(0 1)'/><rect width='1' height='1'/>"),
        shape);
    EXPECT_EQ(shape.size(), 1);
}

TEST(SvgErrors, MessagesNameFileLineAndColumn) {
    struct Case {
        QByteArray svg;
        const char* start;
        const char* words;
    };
    const Case cases[] = {
        {document("  <path d='M 0 0 L 1'/>"),
         "t.svg:2:3: <path> attribute 'd', offset 9: ", "ends where 'L' needs a number"},
        {document("<g>\n    <rect width='-1' height='2'/></g>"),
         "t.svg:3:5: <rect> attribute 'width'", "must not be negative"},
        {document("<rect width='5%' height='2'/>"), "t.svg:2:1: <rect> attribute 'width'",
         "unit '%' is not supported"},
        {document("<rect width='abc' height='2'/>"), "t.svg:2:1: <rect> attribute 'width'",
         "'abc' is not a length"},
        {document("<polygon points='1 2 3'/>"), "t.svg:2:1: <polygon> attribute 'points', offset 5",
         "odd count"},
        {document("<path transform='rotate(1,2)' d='M0 0 L 1 1'/>"),
         "t.svg:2:1: <path> attribute 'transform', offset 0", "does not take 2 numbers"},
        {document("<g transform='scale(1e6)'>\n<rect width='2000' height='1'/></g>"),
         "t.svg:3:1: <rect> subpath 0: knot 1 has the coordinate 2e+09",
         "beyond the accepted magnitude"},
        {document("<rect width='1e999' height='1'/>"), "t.svg:2:1: <rect> attribute 'width'",
         "out of range"},
        {document("<path d='M 0 0 L 1 1'>\n<rect></path>"), "t.svg:3:", "XML error"},
        {QByteArray("<svg xmlns='http://www.w3.org/2000/svg'>\n  <rect width='2' height='2'/>\n"),
         "t.svg:3:", "XML error"},
        {document("<g><title>t</title></g>"), "t.svg:1:1: ", "no shape"},
        {QByteArray("<?xml version='1.0'?>\n<html><rect width='1' height='1'/></html>"),
         "t.svg:2:1: ", "not an SVG document"},
        {QByteArray(""), "t.svg:", "XML error"},
        {document(QByteArray("<g>").repeated(300) + "<rect width='1' height='1'/>" +
                  QByteArray("</g>").repeated(300)),
         "t.svg:2:766: ", "groups nested more than 256 deep"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.svg.constData());
        const QString error = readError(c.svg);
        EXPECT_TRUE(error.startsWith(QLatin1String(c.start))) << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.words))) << error.toStdString();
    }
}

TEST(SvgErrors, FailureLeavesTheShapeAsItWas) {
    Shape shape;
    read(document("<rect width='1' height='1'/>"), shape);
    QString error;
    EXPECT_FALSE(readSvg(document("<rect width='x'/>"), QStringLiteral("t.svg"), shape, &error));
    ASSERT_EQ(shape.size(), 1);
    EXPECT_EQ(shape[0]->size(), 4);
}

// The same documents read as a renderer fills them.

namespace {

FilledDrawing readFilled(const QByteArray& svg) {
    FilledDrawing drawing;
    QString error;
    EXPECT_TRUE(readSvgDrawing(svg, QStringLiteral("t.svg"), &drawing, &error))
        << error.toStdString();
    return drawing;
}

}  // namespace

TEST(SvgFilling, PaintIsInheritedAndStyleBeatsAttributes) {
    const FilledDrawing drawing = readFilled(document(
        "<g fill='none' color='#00ff00' style='fill-rule:evenodd'>\n"
        "  <rect width='1' height='1' fill='currentColor'/>\n"
        "  <rect width='1' height='1' fill='red' style='fill: #123456; fill-rule: nonzero'/>\n"
        "  <g style='fill:url(#shade) blue'><rect width='1' height='1'/></g>\n"
        "  <rect width='1' height='1' fill='url(#shade)'/>\n"
        "  <rect width='1' height='1'/>\n"
        "</g>"));
    ASSERT_EQ(drawing.elements.size(), 4u);
    EXPECT_EQ(drawing.elements[0].colour, QStringLiteral("#00ff00"));
    EXPECT_EQ(drawing.elements[0].fill, carvex::FillRule::EvenOdd);
    EXPECT_EQ(drawing.elements[1].colour, QStringLiteral("#123456"));
    EXPECT_EQ(drawing.elements[1].fill, carvex::FillRule::NonZero);
    // A paint server stands as its fallback colour, or black without one.
    EXPECT_EQ(drawing.elements[2].colour, QStringLiteral("blue"));
    EXPECT_EQ(drawing.elements[3].colour, QStringLiteral("black"));
    // The last rect inherits fill none: left out, with its place.
    ASSERT_EQ(drawing.notes.size(), 1);
    EXPECT_TRUE(
        drawing.notes[0].startsWith(QStringLiteral("t.svg:7:3: <rect> left out: it has "
                                                   "no fill")))
        << drawing.notes[0].toStdString();
}

// Files saved by drawing programs often set their fills in a style sheet:
// read as a renderer reads them, or outlines meant only to be stroked
// would be filled.
TEST(SvgFilling, StyleSheetsSetPaintBetweenAttributesAndStyle) {
    const FilledDrawing drawing = readFilled(document(
        "<defs><style type='text/css'>/* exported */ #key{fill:blue} rect.red{fill:#00ff00}\n"
        "  .line{fill:none} .red{fill:red} .odd{fill-rule:evenodd}\n"
        "  .gone{display:none} g .deep{fill:yellow} @media print{.red{fill:black}}\n"
        "</style></defs>\n"
        "<path class='line' d='M0 0H1V1Z'/>\n"
        "<circle class='red' r='1'/>\n"
        "<rect class='red' width='1' height='1'/>\n"
        "<rect id='key' class='red odd' width='1' height='1'/>\n"
        "<rect class='red' fill='white' style='fill:#123456' width='1' height='1'/>\n"
        "<rect class='line' fill='red' width='1' height='1'/>\n"
        "<rect class='gone' width='1' height='1'/>\n"
        "<g class='line'><rect class='deep' width='1' height='1'/></g>"));
    // The path without fill and the rect whose sheet fill beats its
    // attribute are left out; the hidden rect is skipped; the descendant
    // selector fills the rect in the group again.
    ASSERT_EQ(drawing.elements.size(), 5u);
    EXPECT_EQ(drawing.elements[0].colour, QStringLiteral("red"));      // .red
    EXPECT_EQ(drawing.elements[1].colour, QStringLiteral("#00ff00"));  // type and class beat class
    EXPECT_EQ(drawing.elements[2].colour, QStringLiteral("blue"));     // id beats both
    EXPECT_EQ(drawing.elements[2].fill, carvex::FillRule::EvenOdd);
    EXPECT_EQ(drawing.elements[3].colour, QStringLiteral("#123456"));  // style attribute last
    EXPECT_EQ(drawing.elements[4].colour, QStringLiteral("yellow"));   // g .deep
    // Notes: the at-rule passed over, then the two elements left without fill.
    ASSERT_EQ(drawing.notes.size(), 3);
    EXPECT_TRUE(drawing.notes[0].startsWith(QStringLiteral("t.svg:2:7: <style> partly read")))
        << drawing.notes[0].toStdString();
    EXPECT_TRUE(drawing.notes[1].startsWith(QStringLiteral("t.svg:6:1: <path> left out")))
        << drawing.notes[1].toStdString();
}

TEST(SvgFilling, SelectorsAsExportersWriteThem) {
    const FilledDrawing drawing = readFilled(document(
        "<style>svg .cls-1{fill:#111111} g > rect{fill:#222222} [data-x]{fill:#333333}\n"
        "  g rect[data-x='b']{fill:#444444} rect[class~=k]{fill:#555555} a > g rect{fill:#666666}\n"
        "  path:hover{fill:black}</style>\n"
        "<rect class='cls-1' width='1' height='1'/>\n"
        "<g><rect width='1' height='1'/><g><rect width='2' height='1'/></g></g>\n"
        "<circle data-x='a' r='1'/>\n"
        "<g><g><rect data-x='b' width='1' height='1'/></g></g>\n"
        "<rect class='j k' width='1' height='1'/>\n"
        "<a><g><g><rect width='3' height='1'/></g></g></a>"));
    ASSERT_EQ(drawing.elements.size(), 7u);
    EXPECT_EQ(drawing.elements[0].colour, QStringLiteral("#111111"));  // descendant of svg
    EXPECT_EQ(drawing.elements[1].colour, QStringLiteral("#222222"));  // child of g
    EXPECT_EQ(drawing.elements[2].colour, QStringLiteral("#222222"));  // child of the inner g
    EXPECT_EQ(drawing.elements[3].colour, QStringLiteral("#333333"));  // [data-x]
    EXPECT_EQ(drawing.elements[4].colour, QStringLiteral("#444444"));  // more specific
    EXPECT_EQ(drawing.elements[5].colour, QStringLiteral("#555555"));  // [class~=k]
    EXPECT_EQ(drawing.elements[6].colour, QStringLiteral("#666666"));  // a > g, then g rect
    // The pseudo-class is passed over, with a note.
    ASSERT_EQ(drawing.notes.size(), 1);
    EXPECT_TRUE(drawing.notes[0].contains(QLatin1String("<style> partly read")));
}

TEST(SvgFilling, HiddenElementsAndLinesEncloseNothing) {
    const FilledDrawing drawing =
        readFilled(document("<rect width='1' height='1' style='display:none'/>\n"
                            "<g visibility='hidden'><rect width='1' height='1'/>"
                            "<rect width='2' height='2' visibility='visible'/></g>\n"
                            "<line x2='5' y2='5'/>"));
    ASSERT_EQ(drawing.elements.size(), 1u);
    EXPECT_EQ(drawing.elements[0].splines()[0]->at(2)->point, P(2, 2));
    ASSERT_EQ(drawing.notes.size(), 2);
    EXPECT_TRUE(drawing.notes[0].contains(QLatin1String("it is not visible")));
    EXPECT_TRUE(drawing.notes[1].contains(QLatin1String("<line> left out")));
    // The plain reading still gives every outline, lines and all.
    Shape shape;
    read(document("<rect width='1' height='1' fill='none'/><line x2='5' y2='5'/>"), shape);
    EXPECT_EQ(shape.size(), 2);
}

TEST(SvgFilling, OpenSubpathsCloseAsFillingClosesThem) {
    const FilledDrawing drawing = readFilled(
        document("<path d='M 0 0 L 4 0 L 4 4 M 10 0 C 11 1 12 1 13 0 L 10 0 M 20 20 L 20 20'/>"
                 "<polyline points='0,0 1,0 1,1'/>"));
    ASSERT_EQ(drawing.elements.size(), 2u);
    const Shape path = drawing.elements[0].splines();
    // A straight closing segment; a subpath back on its start keeps its
    // last segment's handle and loses the repeated knot; a lone point
    // fills nothing.
    ASSERT_EQ(path.size(), 2);
    EXPECT_TRUE(path[0]->closed);
    expectPoints(*path[0], {P(0, 0), P(4, 0), P(4, 4)});
    EXPECT_EQ(path[0]->at(2)->outVec, P(4, 4));
    EXPECT_EQ(path[0]->at(0)->inVec, P(0, 0));
    EXPECT_TRUE(path[1]->closed);
    expectPoints(*path[1], {P(10, 0), P(13, 0)});
    EXPECT_EQ(path[1]->at(0)->outVec, P(11, 1));
    EXPECT_EQ(path[1]->at(0)->inVec, P(10, 0));
    EXPECT_TRUE(drawing.elements[1].paths[0].closed);
    // The plain reading keeps them open.
    Shape shape;
    read(document("<path d='M 0 0 L 4 0 L 4 4'/>"), shape);
    EXPECT_FALSE(shape[0]->closed);
}

TEST(SvgFilling, TheRootViewportIsKeptAsWritten) {
    const FilledDrawing drawing = readFilled(
        "<svg xmlns='http://www.w3.org/2000/svg' viewBox=' 0 0 24 24' width='2em' "
        "preserveAspectRatio='xMinYMin'><rect width='1' height='1'/></svg>");
    EXPECT_EQ(drawing.viewport.viewBox, QStringLiteral("0 0 24 24"));
    EXPECT_EQ(drawing.viewport.width, QStringLiteral("2em"));
    EXPECT_TRUE(drawing.viewport.height.isEmpty());
    EXPECT_EQ(drawing.viewport.preserveAspectRatio, QStringLiteral("xMinYMin"));
    // Only unfilled elements: an empty region, not an error.
    const FilledDrawing empty = readFilled(document("<rect width='1' height='1' fill='none'/>"));
    EXPECT_TRUE(empty.elements.empty());
    EXPECT_EQ(empty.notes.size(), 1);
}
