#include "intersection/flattening.h"

#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;

bool inUnitRange(double v) {
    return v >= 0.0 && v <= 1.0;
}

void appendAtDepth(const BezierSegment& segment, PLine& pline, double angleTolerance, int depth) {
    if (depth < kMaxSubdivisionDepth && angleTolerance > 1e-10 &&
        needsSubdivision(segment, angleTolerance)) {
        BezierSegment left;
        BezierSegment right;
        segment.subdivide(0.5, left, right);
        appendAtDepth(left, pline, angleTolerance, depth + 1);
        appendAtDepth(right, pline, angleTolerance, depth + 1);
        return;
    }
    pline.append(segment.p3);
}

}  // namespace

CircleArc arcThrough(const Point3d& a, const Point3d& m, const Point3d& b) {
    CircleArc arc;
    const Point3d u = normalised(a - m);
    const Point3d w = normalised(b - m);
    Point3d n = cross(w, u);
    if (!(norm(n) > 1e-10)) return arc;
    normalise(n);

    const Point3d m1 = (a + m) / 2.0;
    const Point3d m2 = (b + m) / 2.0;
    const Point3d d1 = normalised(cross(n, u));
    const Point3d d2 = normalised(cross(n, w));
    Point3d c;
    double s;
    double t;
    if (!intersectLines(m1, m1 + d1, m2, m2 + d2, c, s, t, false, false, 0.001)) return arc;

    arc.xAxis = normalised(a - c);
    arc.yAxis = normalised(cross(n, arc.xAxis));
    arc.normal = n;
    arc.centre = c;
    Point3d q(dot(b - c, arc.xAxis), dot(b - c, arc.yAxis), 0.0);
    normalise(q);
    arc.sweep = std::atan2(q.y, q.x);
    if (arc.sweep < 0.0) arc.sweep += kTwoPi;
    arc.valid = true;
    return arc;
}

bool needsSubdivision(const BezierSegment& segment, double angleTolerance) {
    BezierSegment left;
    BezierSegment right;
    segment.subdivide(0.5, left, right);
    const CircleArc arcL = arcThrough(left.p0, left.pointAt(0.5), left.p3);
    const CircleArc arcR = arcThrough(right.p0, right.pointAt(0.5), right.p3);
    return arcL.valid && arcR.valid && arcL.sweep + arcR.sweep > angleTolerance;
}

void appendToPolyline(const BezierSegment& segment, PLine& pline, double angleTolerance) {
    if (pline.isEmpty()) pline.append(segment.p0);
    appendAtDepth(segment, pline, angleTolerance, 0);
}

bool intersectLines(const Point3d& a0, const Point3d& a1, const Point3d& b0, const Point3d& b1,
                    Point3d& point, double& s, double& u, bool clampA, bool clampB,
                    double minLength) {
    const Point3d d1 = a1 - a0;
    const Point3d d2 = b1 - b0;
    const Point3d r = b0 - a0;
    if (minLength > norm(d1) || minLength > norm(d2)) return false;
    const Point3d nn = cross(d1, d2);
    const double nn2 = dot(nn, nn);
    if (nn2 == 0.0) return false;
    s = dot(cross(r, d2), nn) / nn2;
    u = dot(cross(r, d1), nn) / nn2;
    point = a0 + d1 * s;
    // Written as "inside" so that a NaN parameter is rejected, not accepted.
    if (clampA && !inUnitRange(s)) return false;
    if (clampB && !inUnitRange(u)) return false;
    return true;
}
