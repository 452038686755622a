#include "assembly/classification.h"

#include "intersection/beziersegment.h"
#include "intersection/flattening.h"

void toPLine(const Spline& spline, PLine& pline, double angleTolerance) {
    const int n = spline.size();
    if (n == 0) return;
    // A lone knot still leaves its point, even on an open spline that has no
    // segment to flatten.
    if (n == 1) pline.append(spline.first()->point);
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        if (j == 0 && !spline.closed) break;
        appendToPolyline(spline.segment(i, j), pline, angleTolerance);
    }
    pline.length();
}

bool containsPoint(const PLine& polygon, const Point3d& p) {
    const int m = polygon.size();
    if (m < 1) return false;
    int count = 0;
    for (int i = 0; i < m; ++i) {
        const Point3d& v = polygon.at(i);
        const Point3d& w = polygon.at((i + 1) % m);
        // Half-open in y, so a vertex level with p is met by exactly one of
        // its two edges, and a horizontal edge (never divided by) by none.
        const bool counts = (v.y <= p.y && w.y > p.y) || (v.y > p.y && w.y <= p.y);
        if (!counts) continue;
        const double x = v.x + (w.x - v.x) * (p.y - v.y) / (w.y - v.y);
        if (x > p.x) ++count;
    }
    return count % 2 == 1;
}

Point3d probePoint(Spline& spline, const Knot& knot, double threshold) {
    const double start = knot.param;
    // A zero-length spline gives an infinite offset; localParameter maps it
    // (and NaN) to an end of the spline instead of failing.
    const double t = start + threshold / spline.totalLength();
    return spline.pointAtParameter(t);
}
