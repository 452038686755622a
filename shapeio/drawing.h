#pragma once

#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QRectF>

#include "geometry/shape.h"

// Shapes as pictures: the common ground of the SVG and PNG writers.

// How the splines of one shape fill: each as a region of its own (the
// per-pair engine's view), or all together under the even-odd rule (a
// region answer, whose loops neither cross nor overlap, with its holes).
enum class PictureFill { PerSpline, EvenOdd };

// A knot position as the shape's parent space sees it: mapped by the
// spline's frame, then the shape's (skipped when they are identities, so
// that coordinates pass through untouched).
Point3d placedPoint(const Point3d& p, const Spline& spline, const Shape& shape);

// One spline as a painter path (empty below two knots), closed where the
// spline is.
QPainterPath splinePath(const Spline& spline, const Shape& shape);

// The shape as a painter path: one subpath per spline of at least two knots.
QPainterPath painterPath(const Shape& shape);

// The tight box around the result and the inputs; an empty box at the
// origin when nothing is drawn.
QRectF drawingBounds(const Shape& result, const QList<const Shape*>& inputs);

// bounds grown by a margin on every side (5% of the larger side), or a unit
// box around a single point.
QRectF withMargin(const QRectF& bounds);

// Paints the inputs faintly, each in its own tint, and the result filled and
// outlined over them, every spline as a region of its own, mapping scene (the drawing's
// coordinates, y down as in SVG) onto target with one scale for both axes.
void paintShapes(QPainter& painter, const QRectF& target, const QRectF& scene, const Shape& result,
                 const QList<const Shape*>& inputs, PictureFill fill = PictureFill::PerSpline);

// A picture of the result over its faint inputs on white, whose larger side
// is maxSide pixels. No text is drawn, so no font is needed.
QImage renderPicture(const Shape& result, const QList<const Shape*>& inputs, int maxSide = 800,
                     PictureFill fill = PictureFill::PerSpline);

// The same picture as PNG file contents.
bool writePng(const Shape& result, const QList<const Shape*>& inputs, QByteArray* png,
              QString* error, int maxSide = 800, PictureFill fill = PictureFill::PerSpline);
