#pragma once

#include <QString>

#include "geometry/shape.h"
#include "shapeio/shapecheck.h"

// Where and why path data could not be read.
struct PathDataError {
    int offset = -1;  // index of the offending character in the data
    QString message;
};

// Reads SVG path data (the "d" attribute): M, L, H, V, C, S, Q, T, A and Z in
// absolute and relative form, implicit repeats, compact numbers ("-.5.5",
// "1e-3") and arc flags without separators. Appends one Spline per subpath
// to shape, in the data's own coordinates, with absolute handle positions;
// a subpath closed by Z gives a closed spline, and a subpath of a single
// point gives none. On bad data, or data of more than maxKnots knots,
// returns false, fills error and leaves shape as it was. Where dots is
// given, the points of subpaths that draw without a length are appended to
// it (see SubpathBuilder::keepDots).
bool parsePathData(const QString& data, Shape& shape, PathDataError* error = nullptr,
                   int maxKnots = kMaxShapeKnots, QVector<Point3d>* dots = nullptr);
