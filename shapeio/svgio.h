#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "geometry/matrix3d.h"
#include "geometry/shape.h"
#include "shapeio/drawing.h"
#include "shapeio/filleddrawing.h"

// SVG in and out. Coordinates stay as SVG has them (y down).

// Replaces the content of shape by every drawn path, rect, circle, ellipse,
// polygon, polyline and line of an SVG document, one Spline per subpath (in
// document order, a subpath of a single point left out), with each element's
// transforms (its own and its groups') baked into the knots so that every
// spline and the shape have the identity frame. Shapes inside defs, symbols, masks and the
// like, and elements with display="none", are not drawn and are skipped.
// fileName only names the document in messages, which read
// "FILE:LINE:COLUMN: what is wrong". Fails on malformed XML or attributes,
// non-finite coordinates or coordinates beyond 1e9 in magnitude, more than
// kMaxShapeKnots knots, markup that would keep the XML reader busy without
// bound (a tag of more than 256 attributes, more than 1000 namespace
// declarations or entity references), and on a document without any shape;
// shape is left as it was then.
bool readSvg(const QByteArray& data, const QString& fileName, Shape& shape, QString* error);

// Parses an SVG transform list ("translate(10) rotate(45 5 5)") into the
// engine's row-vector matrix, which applies the rightmost transform first as
// SVG does. On failure sets errorOffset to the offending character.
bool parseTransformList(const QString& text, Matrix3d* matrix, QString* error, int* errorOffset);

// SVG's matrix(a b c d e f), which maps (x, y) to (ax + cy + e, bx + dy + f).
Matrix3d svgMatrix(double a, double b, double c, double d, double e, double f);

// The SVG path data of one spline of a shape (empty below two knots).
QString svgSplinePathData(const Spline& spline, const Shape& shape);

// The SVG path data of a shape: "M" and "C" commands with every coordinate
// in its shortest round-trip form, "Z" on closed splines. Knots are mapped by
// their spline's and the shape's frames; z is dropped.
QString svgPathData(const Shape& shape);

// A whole SVG document showing result, one path per spline, with the inputs
// drawn faintly when any are given, and a viewBox that fits everything plus a margin. The
// inputs sit in defs and are drawn by reference, so that readSvg gives the
// result alone. Fails (and says which knot) when a coordinate is not finite.
bool writeSvg(const Shape& result, const QList<const Shape*>& inputs, QByteArray* document,
              QString* error, PictureFill fill = PictureFill::PerSpline);

// How an answer is drawn so that it can take the place of the base file:
// the base's viewport and fill colour, and the rule that fills the answer.
struct SvgAnswerLook {
    SvgViewport viewport;
    QString colour = QStringLiteral("black");
    carvex::FillRule fill = carvex::FillRule::NonZero;
};

// A whole SVG document holding the answer as one path with every loop, the
// look's fill colour and fill rule, no stroke and no opacity. The viewport
// is the look's when it has one, else the answer's bounds (none for an
// empty answer, whose path has no data). Fails (and says which knot) when a
// coordinate is not finite.
bool writeAnswerSvg(const Shape& answer, const SvgAnswerLook& look, QByteArray* document,
                    QString* error);
