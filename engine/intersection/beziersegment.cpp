#include "intersection/beziersegment.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kSnap = 1e-10;
constexpr double kStraight = 0.001;

Point3d lerp(const Point3d& a, const Point3d& b, double t) {
    return a + (b - a) * t;
}

// Where the walk of parameterAtLength ends when the length sought is NaN:
// no measure compares with it, so the walk only steps forward, by a quarter,
// as long as the tolerance lets it and at most 1000 times. Measuring all
// those ever larger pieces would only lead here.
double walkWithoutTarget(double tolerance) {
    return tolerance > 0.25 ? 0.5 : std::clamp(0.5 + 1000 * 0.25, 0.0, 1.0);
}

double lengthAtDepth(const BezierSegment& s, int depth) {
    if (depth >= kMaxLengthDepth || s.isStraight()) return distance(s.p3, s.p0);
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
    } else if (std::isnan(s)) {
        u = walkWithoutTarget(tolerance);
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

namespace {

double squaredNorm(const Point3d& v) {
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

// isStraight() on the squares of its measures; d is p3 - p0 and chord2 its
// squared length.
bool straightSquared(const BezierSegment& s, const Point3d& d, double chord2) {
    if (chord2 < kStraightSquared) return true;
    const Point3d h0 = s.p1 - s.p0;
    const Point3d h1 = s.p2 - s.p3;
    if (squaredNorm(h0) < kStraightSquared && squaredNorm(h1) < kStraightSquared) return true;
    const double c0 = squaredNorm(cross(h0, d));
    const double c1 = squaredNorm(cross(h1, d));
    if (c0 < kStraightSquared && c1 < kStraightSquared) return true;
    return !(std::isfinite(chord2) && std::isfinite(c0) && std::isfinite(c1));
}

bool fastIsStraight(const BezierSegment& s) {
    const Point3d d = s.p3 - s.p0;
    return straightSquared(s, d, squaredNorm(d));
}

// subdivide() of a segment already known not to be straight, with pointAt()'s
// weights for t.
void splitCurve(const BezierSegment& s, double t, BezierSegment& left, BezierSegment& right) {
    const Point3d q1 = lerp(s.p0, s.p1, t);
    const Point3d q2 = lerp(s.p1, s.p2, t);
    const Point3d q3 = lerp(s.p2, s.p3, t);
    const Point3d r1 = lerp(q1, q2, t);
    const Point3d r2 = lerp(q2, q3, t);
    const double mt = 1.0 - t;
    const double b0 = mt * mt * mt;
    const double b1 = 3.0 * t * mt * mt;
    const double b2 = 3.0 * t * t * mt;
    const double b3 = t * t * t;
    const Point3d m(b0 * s.p0.x + b1 * s.p1.x + b2 * s.p2.x + b3 * s.p3.x,
                    b0 * s.p0.y + b1 * s.p1.y + b2 * s.p2.y + b3 * s.p3.y,
                    b0 * s.p0.z + b1 * s.p1.z + b2 * s.p2.z + b3 * s.p3.z);
    left = {s.p0, q1, r1, m};
    right = {m, r2, q3, s.p3};
}

// The same recursion for a segment whose control points all have z = 0
// (either sign): every z term then adds an exact +0 to the sums of squares,
// so leaving z out changes no bit, and the halves have z = 0 again.
struct Flat {
    double x0, y0, x1, y1, x2, y2, x3, y3;
};

bool straightFlat(const Flat& s, double dx, double dy, double chord2) {
    if (chord2 < kStraightSquared) return true;
    const double h0x = s.x1 - s.x0;
    const double h0y = s.y1 - s.y0;
    const double h1x = s.x2 - s.x3;
    const double h1y = s.y2 - s.y3;
    if (h0x * h0x + h0y * h0y < kStraightSquared && h1x * h1x + h1y * h1y < kStraightSquared)
        return true;
    const double k0 = h0x * dy - h0y * dx;
    const double k1 = h1x * dy - h1y * dx;
    const double c0 = k0 * k0;
    const double c1 = k1 * k1;
    if (c0 < kStraightSquared && c1 < kStraightSquared) return true;
    return !(std::isfinite(chord2) && std::isfinite(c0) && std::isfinite(c1));
}

// splitCurve at 0.5 in the plane: the lerps and pointAt's weights.
void splitFlat(const Flat& s, Flat& left, Flat& right) {
    const double t = 0.5;
    const double q1x = s.x0 + (s.x1 - s.x0) * t, q1y = s.y0 + (s.y1 - s.y0) * t;
    const double q2x = s.x1 + (s.x2 - s.x1) * t, q2y = s.y1 + (s.y2 - s.y1) * t;
    const double q3x = s.x2 + (s.x3 - s.x2) * t, q3y = s.y2 + (s.y3 - s.y2) * t;
    const double r1x = q1x + (q2x - q1x) * t, r1y = q1y + (q2y - q1y) * t;
    const double r2x = q2x + (q3x - q2x) * t, r2y = q2y + (q3y - q2y) * t;
    const double mt = 1.0 - t;
    const double b0 = mt * mt * mt;
    const double b1 = 3.0 * t * mt * mt;
    const double b2 = 3.0 * t * t * mt;
    const double b3 = t * t * t;
    const double mx = b0 * s.x0 + b1 * s.x1 + b2 * s.x2 + b3 * s.x3;
    const double my = b0 * s.y0 + b1 * s.y1 + b2 * s.y2 + b3 * s.y3;
    left = {s.x0, s.y0, q1x, q1y, r1x, r1y, mx, my};
    right = {mx, my, r2x, r2y, q3x, q3y, s.x3, s.y3};
}

double flatLengthAtDepth(const Flat& s, int depth) {
    const double dx = s.x3 - s.x0;
    const double dy = s.y3 - s.y0;
    const double chord2 = dx * dx + dy * dy;
    if (depth >= kMaxLengthDepth || straightFlat(s, dx, dy, chord2)) return std::sqrt(chord2);
    Flat left;
    Flat right;
    splitFlat(s, left, right);
    return flatLengthAtDepth(left, depth + 1) + flatLengthAtDepth(right, depth + 1);
}

bool isFlat(const BezierSegment& s) {
    return s.p0.z == 0.0 && s.p1.z == 0.0 && s.p2.z == 0.0 && s.p3.z == 0.0;
}

double fastLengthAtDepth(const BezierSegment& s, int depth) {
    if (isFlat(s))
        return flatLengthAtDepth({s.p0.x, s.p0.y, s.p1.x, s.p1.y, s.p2.x, s.p2.y, s.p3.x, s.p3.y},
                                 depth);
    const Point3d d = s.p3 - s.p0;
    const double chord2 = squaredNorm(d);
    if (depth >= kMaxLengthDepth || straightSquared(s, d, chord2)) return std::sqrt(chord2);
    BezierSegment left;
    BezierSegment right;
    splitCurve(s, 0.5, left, right);
    return fastLengthAtDepth(left, depth + 1) + fastLengthAtDepth(right, depth + 1);
}

// The sign of measure - s: -1, 0 or 1 (0 also for NaN, which compares with
// nothing).
int signOf(double measure, double s) {
    return (measure > s) - (measure < s);
}

// Whether bounds can stand in for a measure of the segment: in the plane, and
// small enough that no square overflows.
bool boundable(const BezierSegment& s) {
    if (!isFlat(s)) return false;
    for (double v : {s.p0.x, s.p0.y, s.p1.x, s.p1.y, s.p2.x, s.p2.y, s.p3.x, s.p3.y})
        if (!(std::fabs(v) <= 1e100)) return false;
    return true;
}

// The sign of fastLength(piece) - s, from bounds of the measure where they
// decide. The measure sums the chords of pieces halved until straight. It is
// never less than the chords of the pieces of any stage of the halving, nor
// more than their control polygons: halving shortens a control polygon, up
// to the rounding of the new points, at most 2e-14 of the largest coordinate
// per halving, and a piece at depth d has fewer than 2^(24 - d) halvings
// below it. Relative rounding of the sums stays far below 1e-12. Where the
// bounds do not decide, every piece is halved once more; past a budget, or
// for a curve halved only a few times, the length is measured.
int compareLength(const BezierSegment& piece, double s) {
    if (!boundable(piece) || !std::isfinite(s)) return signOf(fastLength(piece), s);
    struct Node {
        Flat f;
        int depth;
    };
    constexpr int kBudget = 64;
    Node frontier[2 * kBudget];
    Node next[2 * kBudget];
    int count = 1;
    frontier[0] = {{piece.p0.x, piece.p0.y, piece.p1.x, piece.p1.y, piece.p2.x, piece.p2.y,
                    piece.p3.x, piece.p3.y},
                   0};
    {
        // A shallow measure (the largest cross product squared falls by 64
        // per halving) is cheaper than its bounds.
        const Flat& f = frontier[0].f;
        const double dx = f.x3 - f.x0;
        const double dy = f.y3 - f.y0;
        const double k0 = (f.x1 - f.x0) * dy - (f.y1 - f.y0) * dx;
        const double k1 = (f.x2 - f.x3) * dy - (f.y2 - f.y3) * dx;
        if (std::max(k0 * k0, k1 * k1) < kStraightSquared * 1e9)
            return signOf(fastLength(piece), s);
    }
    double leaves = 0.0;  // measures of the pieces already straight
    while (count > 0 && count <= kBudget) {
        double lo = leaves;
        double hi = leaves;
        double drift = 0.0;
        int split = 0;
        for (int i = 0; i < count; ++i) {
            const Node& n = frontier[i];
            const Flat& f = n.f;
            const double dx = f.x3 - f.x0;
            const double dy = f.y3 - f.y0;
            const double chord2 = dx * dx + dy * dy;
            if (n.depth >= kMaxLengthDepth || straightFlat(f, dx, dy, chord2)) {
                const double v = std::sqrt(chord2);
                leaves += v;
                lo += v;
                hi += v;
                continue;
            }
            const double l0 =
                std::sqrt((f.x1 - f.x0) * (f.x1 - f.x0) + (f.y1 - f.y0) * (f.y1 - f.y0));
            const double l1 =
                std::sqrt((f.x2 - f.x1) * (f.x2 - f.x1) + (f.y2 - f.y1) * (f.y2 - f.y1));
            const double l2 =
                std::sqrt((f.x3 - f.x2) * (f.x3 - f.x2) + (f.y3 - f.y2) * (f.y3 - f.y2));
            lo += std::sqrt(chord2);
            hi += l0 + l1 + l2;
            const double largest =
                std::max({std::fabs(f.x0), std::fabs(f.y0), std::fabs(f.x1), std::fabs(f.y1),
                          std::fabs(f.x2), std::fabs(f.y2), std::fabs(f.x3), std::fabs(f.y3)});
            drift += std::ldexp(2e-14, kMaxSubdivisionDepth - n.depth) * largest;
            next[split].depth = n.depth + 1;
            next[split + 1].depth = n.depth + 1;
            splitFlat(f, next[split].f, next[split + 1].f);
            split += 2;
        }
        if (lo * (1.0 - 1e-12) > s) return 1;
        if (hi * (1.0 + 1e-12) + drift < s) return -1;
        std::copy(next, next + split, frontier);
        count = split;
    }
    return signOf(fastLength(piece), s);
}

// The sign of fastLengthTo(segment, t) - s.
int compareLengthTo(const BezierSegment& segment, double t, double s) {
    if (std::fabs(t) < kSnap) return signOf(0.0, s);
    if (std::fabs(1.0 - t) < kSnap) return compareLength(segment, s);
    const Point3d d = segment.p3 - segment.p0;
    const double chord2 = squaredNorm(d);
    if (straightSquared(segment, d, chord2)) return signOf(std::sqrt(chord2) * t, s);
    BezierSegment left;
    BezierSegment right;
    splitCurve(segment, t, left, right);
    return compareLength(left, s);
}

}  // namespace

double fastLength(const BezierSegment& segment) {
    return fastLengthAtDepth(segment, 0);
}

double fastLengthTo(const BezierSegment& segment, double t) {
    if (std::fabs(t) < kSnap) return 0.0;
    if (std::fabs(1.0 - t) < kSnap) return fastLength(segment);
    const Point3d d = segment.p3 - segment.p0;
    const double chord2 = squaredNorm(d);
    if (straightSquared(segment, d, chord2)) return std::sqrt(chord2) * t;
    BezierSegment left;
    BezierSegment right;
    splitCurve(segment, t, left, right);
    return fastLength(left);
}

double fastParameterAtLength(const BezierSegment& segment, double s, double tolerance) {
    if (tolerance > s) return 0.0;
    const double chord = distance(segment.p3, segment.p0);
    if (chord == 0.0) return 0.0;
    double u;
    if (fastIsStraight(segment)) {
        u = s / chord;
    } else if (std::isnan(s)) {
        u = walkWithoutTarget(tolerance);
    } else if (compareLength(segment, s) < 0) {
        u = 1.0;
    } else {
        // Only whether each measure exceeds s steers the walk: it is asked
        // for when the step needs it, and bounds answer where they can.
        u = 0.5;
        double step = 0.25;
        int direction = 1;
        for (int steps = 0; !(tolerance > step) && steps < 1000; ++steps) {
            if (compareLengthTo(segment, u, s) > 0) {
                if (direction == 1) {
                    direction = -1;
                    step /= 2.0;
                }
            } else if (direction == -1) {
                direction = 1;
                step /= 2.0;
            }
            u += direction * step;
        }
    }
    return std::clamp(u, 0.0, 1.0);
}
