#include "intersection/beziersegment.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kSnap = 1e-10;
constexpr double kStraight = 0.001;

Point3d lerp(const Point3d& a, const Point3d& b, double t) {
    return a + (b - a) * t;
}

double lengthAtDepth(const BezierSegment& s, int depth) {
    if (depth >= kMaxSubdivisionDepth || s.isStraight()) return distance(s.p3, s.p0);
    BezierSegment left;
    BezierSegment right;
    s.subdivide(0.5, left, right);
    return lengthAtDepth(left, depth + 1) + lengthAtDepth(right, depth + 1);
}

}  // namespace

Point3d BezierSegment::pointAt(double t) const {
    if (std::fabs(t) < kSnap) return p0;
    if (std::fabs(1.0 - t) < kSnap) return p3;
    if (isStraight()) return p0 + (p3 - p0) * t;
    const double mt = 1.0 - t;
    const double b0 = mt * mt * mt;
    const double b1 = 3.0 * t * mt * mt;
    const double b2 = 3.0 * t * t * mt;
    const double b3 = t * t * t;
    return {b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x,
            b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y,
            b0 * p0.z + b1 * p1.z + b2 * p2.z + b3 * p3.z};
}

void BezierSegment::subdivide(double t, BezierSegment& left, BezierSegment& right) const {
    if (isStraight()) {
        // Handles at 0.3 of each half's chord, not at thirds.
        const Point3d m = p0 + (p3 - p0) * t;
        left = {p0, p0 + (m - p0) * 0.3, m + (p0 - m) * 0.3, m};
        right = {m, m + (p3 - m) * 0.3, p3 + (m - p3) * 0.3, p3};
        return;
    }
    const Point3d q1 = lerp(p0, p1, t);
    const Point3d q2 = lerp(p1, p2, t);
    const Point3d q3 = lerp(p2, p3, t);
    const Point3d r1 = lerp(q1, q2, t);
    const Point3d r2 = lerp(q2, q3, t);
    const Point3d m = pointAt(t);
    left = {p0, q1, r1, m};
    right = {m, r2, q3, p3};
}

bool BezierSegment::isStraight() const {
    const Point3d d = p3 - p0;
    const double chord = norm(d);
    if (chord < kStraight) return true;
    const Point3d h0 = p1 - p0;
    const Point3d h1 = p2 - p3;
    const double l0 = norm(h0);
    const double l1 = norm(h1);
    if (l0 < kStraight && l1 < kStraight) return true;
    const double c0 = norm(cross(h0, d));
    const double c1 = norm(cross(h1, d));
    if (c0 < kStraight && c1 < kStraight) return true;
    // NaN, or coordinates so large that these measures overflow: no test can
    // tell a curve here, so the segment is taken as its chord.
    return !(std::isfinite(chord) && std::isfinite(c0) && std::isfinite(c1));
}

double BezierSegment::length() const {
    return lengthAtDepth(*this, 0);
}

double BezierSegment::lengthTo(double t) const {
    if (std::fabs(t) < kSnap) return 0.0;
    if (std::fabs(1.0 - t) < kSnap) return length();
    if (isStraight()) return distance(p3, p0) * t;
    BezierSegment left;
    BezierSegment right;
    subdivide(t, left, right);
    return left.length();
}

double BezierSegment::parameterAtLength(double s, double tolerance) const {
    if (tolerance > s) return 0.0;
    const double chord = distance(p3, p0);
    if (chord == 0.0) return 0.0;
    double u;
    if (isStraight()) {
        u = s / chord;
    } else if (s > length()) {
        u = 1.0;
    } else {
        u = 0.5;
        double step = 0.25;
        int direction = 1;
        double l = lengthTo(0.5);
        // The step halves at every change of direction, so ordinary input
        // ends after some 32 halvings and fewer than 100 steps; the cap only
        // stops NaN lengths, which never compare and would walk on forever.
        for (int steps = 0; !(tolerance > step) && steps < 1000; ++steps) {
            if (l > s) {
                if (direction == 1) {
                    direction = -1;
                    step /= 2.0;
                }
            } else if (direction == -1) {
                direction = 1;
                step /= 2.0;
            }
            u += direction * step;
            l = lengthTo(u);
        }
    }
    return std::clamp(u, 0.0, 1.0);
}
