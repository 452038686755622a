#include "shapeio/shapecheck.h"

#include <cmath>

#include "shapeio/numbertext.h"

QString CoordinateProblem::describe() const {
    if (!std::isfinite(value))
        return QStringLiteral("knot %1 has a non-finite coordinate (%2)")
            .arg(knotIndex)
            .arg(shortestText(value));
    return QStringLiteral("knot %1 has the coordinate %2, beyond the accepted magnitude of 1e9")
        .arg(knotIndex)
        .arg(shortestText(value));
}

QString tooManyKnotsMessage() {
    return QStringLiteral("more than %1 knots, the most a shape file may hold").arg(kMaxShapeKnots);
}

bool checkCoordinates(const Shape& shape, CoordinateProblem* problem) {
    for (int s = 0; s < shape.size(); ++s) {
        const Spline& spline = *shape.at(s);
        for (int k = 0; k < spline.size(); ++k) {
            const Knot& knot = *spline.at(k);
            for (const Point3d& p : {knot.point, knot.inVec, knot.outVec}) {
                for (double v : {p.x, p.y, p.z}) {
                    if (std::isfinite(v) && std::fabs(v) <= kMaxFileCoordinate) continue;
                    if (problem) *problem = {s, k, v};
                    return false;
                }
            }
        }
    }
    return true;
}
