#include "assembly/splitting.h"

#include <algorithm>

#include "intersection/beziersegment.h"

int mergeNearKnots(Spline& spline, double minDistance) {
    const int before = spline.size();
    int i = 0;
    // One knot must stay: on a closed spline the last one would otherwise be
    // compared with itself and removed, and later stages index knot 0.
    while (i < spline.size() && spline.size() > 1) {
        const int n = spline.size();
        const int j = (i + 1) % n;
        if (j < i && !spline.closed) {
            ++i;
            continue;
        }
        Knot* survivor = spline.at(i);
        if (distance(survivor->point, spline.at(j)->point) < minDistance) {
            // The curve leaving the merged point keeps the removed knot's shape.
            survivor->outVec = spline.at(j)->outVec;
            delete spline.takeAt(j);
            // Removing knot 0 shifts i onto the new count, which ends the walk.
        } else {
            ++i;
        }
    }
    spline.updateLengths();
    return before - spline.size();
}

int splitAt(Spline& spline, double t, double threshold) {
    if (spline.isEmpty()) return -1;
    int s = -1;
    int e = -1;
    const double u = std::clamp(spline.localParameter(t, s, e), 0.0, 1.0);
    const BezierSegment segment = spline.segment(s, e);

    // Threshold in Bezier parameter units. A zero-length segment makes it
    // infinite, or NaN with a zero threshold; both keep the start knot, as
    // does a NaN parameter.
    const double tolerance = threshold / spline.at(s)->segLength;
    if (!(u >= tolerance)) return s;
    if (u > 1.0 - tolerance) return e;

    BezierSegment left;
    BezierSegment right;
    segment.subdivide(u, left, right);
    const Point3d& m = left.p3;
    Knot* knot =
        segment.isStraight() ? new Knot(m, t) : new Knot(m, left.p2, right.p1, t, Knot::Bezier);
    knot->setFlag(CustomFlag::Crossing);

    // The two halves trace the old segment exactly.
    spline.at(s)->outVec = left.p1;
    spline.at(e)->inVec = right.p2;
    spline.insert(s + 1, knot);
    spline.updateLengths();
    return s + 1;
}
