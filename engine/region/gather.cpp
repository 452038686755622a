#include "region/gather.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "region/tolerances.h"

namespace carvex::region {

namespace {

bool finite(Vec2 p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

RegionStatus checkPaths(const Paths& paths) {
    long long knots = 0;
    for (const Path& path : paths) {
        knots += (long long)path.knots.size();
        if (knots > kMaxRegionKnots) return RegionStatus::TooManyKnots;
        for (const PathKnot& k : path.knots)
            if (!finite(k.point) || !finite(k.in) || !finite(k.out))
                return RegionStatus::NonFiniteCoordinate;
    }
    return RegionStatus::Ok;
}

RegionStatus addPaths(const Paths& paths, int operand, Gathered& out) {
    for (size_t index = 0; index < paths.size(); ++index) {
        const Path& path = paths[index];
        if (path.knots.empty()) continue;
        out.splines.push_back(
            {int(out.knots.size()), int(path.knots.size()), path.closed, operand, int(index)});
        for (const PathKnot& k : path.knots) {
            if (!inRange(k.point) || !inRange(k.in) || !inRange(k.out))
                return RegionStatus::CoordinateTooLarge;
            out.knots.push_back(k);
        }
    }
    return RegionStatus::Ok;
}

void grow(Box& box, Vec2 p) {
    box.x0 = std::min(box.x0, p.x);
    box.y0 = std::min(box.y0, p.y);
    box.x1 = std::max(box.x1, p.x);
    box.y1 = std::max(box.y1, p.y);
}

// A coordinate to measure one axis from, for shapes far from 0 on it: the
// box's nearer side, when every coordinate of the box lies within a factor
// of two of it, so that each difference from it and each sum back is exact
// (Sterbenz); 0 otherwise.
double originFor(double lo, double hi, double extent) {
    if (lo > 0.0 && hi <= 2.0 * lo && lo > kFarFromOrigin * extent) return lo;
    if (hi < 0.0 && lo >= 2.0 * hi && -hi > kFarFromOrigin * extent) return hi;
    return 0.0;
}

// The knots relative to the origin, and the box with them.
void moveToOrigin(Gathered& out, Box& box) {
    const Vec2 o = out.origin;
    for (InputKnot& k : out.knots) {
        k.point = k.point - o;
        k.in = k.in - o;
        k.out = k.out - o;
    }
    box = {box.x0 - o.x, box.y0 - o.y, box.x1 - o.x, box.y1 - o.y};
}

// Whether the shapes span too few of the steps between doubles where they
// lie for the answer's new points, placed on those steps, to keep their
// shape.
bool tooSmallForPosition(Vec2 origin, double extent) {
    const double far = std::max(std::fabs(origin.x), std::fabs(origin.y));
    if (far == 0.0) return false;
    const double step = std::nextafter(far, std::numeric_limits<double>::infinity()) - far;
    return !(extent >= kFewestStepsAcross * step);
}

// The box of every control point that shapes a segment.
Box boxOfSegments(const Gathered& out) {
    const double inf = std::numeric_limits<double>::infinity();
    Box box{inf, inf, -inf, -inf};
    for (const SplineSpan& span : out.splines) {
        for (int i = 0; i < span.count; ++i) {
            const InputKnot& k = out.knots[span.first + i];
            grow(box, k.point);
            if (span.closed || i > 0) grow(box, k.in);
            if (span.closed || i + 1 < span.count) grow(box, k.out);
        }
    }
    return box;
}

// One segment from each knot to the next, the closing one of an open
// spline included, once the merge distance is known.
void addSegments(Gathered& out) {
    for (const SplineSpan& span : out.splines) {
        const int n = span.count;
        for (int i = 0; i < n; ++i) {
            const int j = (i + 1) % n;
            if (j == 0 && !span.closed && n < 2) break;
            SourceSegment seg;
            seg.operand = span.operand;
            seg.startKnot = span.first + i;
            seg.endKnot = span.first + j;
            const InputKnot& ka = out.knots[seg.startKnot];
            const InputKnot& kb = out.knots[seg.endKnot];
            seg.closing = j == 0 && !span.closed;
            const Cubic drawn = seg.closing ? Cubic{{ka.point, ka.point, kb.point, kb.point}}
                                            : Cubic{{ka.point, ka.out, kb.in, kb.point}};
            // Segments the merge distance cannot tell from a point; shorter
            // ones than the threshold end where they start once joined.
            double reach = 0.0;
            for (int c = 1; c < 4; ++c) {
                const Vec2 d = drawn.p[c] - drawn.p[0];
                reach = std::max(reach, dot(d, d));
            }
            if (reach <= out.merge * out.merge) continue;
            seg.line = seg.closing || tracesChord(drawn);
            out.segments.push_back(seg);
        }
    }
}

}  // namespace

bool inRange(Vec2 p) {
    return std::fabs(p.x) <= kMaxRegionCoordinate && std::fabs(p.y) <= kMaxRegionCoordinate;
}

RegionStatus gather(const Paths& a, const Paths* b, double threshold, Gathered& out) {
    out.knots.clear();
    out.splines.clear();
    out.segments.clear();
    out.extent = out.eps = out.merge = out.join = 0.0;
    out.origin = {};
    if (!std::isfinite(threshold) || threshold < 0.0) return RegionStatus::InvalidThreshold;
    size_t knots = 0;
    for (const Paths* paths : {&a, b}) {
        if (!paths) continue;
        const RegionStatus status = checkPaths(*paths);
        if (status != RegionStatus::Ok) return status;
        for (const Path& path : *paths)
            knots += path.knots.size();
    }
    out.knots.reserve(knots);
    out.segments.reserve(knots);
    const std::vector<SplineSpan>& spans = out.splines;
    RegionStatus status = addPaths(a, 0, out);
    if (status == RegionStatus::Ok && b) status = addPaths(*b, 1, out);
    if (status != RegionStatus::Ok) {
        out.knots.clear();
        return status;
    }

    if (spans.empty()) return RegionStatus::Ok;
    Box box = boxOfSegments(out);
    out.extent = box.size();
    out.origin = {originFor(box.x0, box.x1, out.extent), originFor(box.y0, box.y1, out.extent)};
    if (tooSmallForPosition(out.origin, out.extent)) return RegionStatus::TooSmallForPosition;
    if (out.origin != Vec2{}) moveToOrigin(out, box);
    const double largest =
        std::max({std::fabs(box.x0), std::fabs(box.y0), std::fabs(box.x1), std::fabs(box.y1)});
    // Relative to the picture, but never below what the coordinates' own
    // precision can resolve.
    out.eps = std::max(kFinestMergeOfExtent * out.extent, kFinestMergeOfMagnitude * largest);
    out.merge = out.eps;
    out.join = std::max(out.eps, threshold);

    addSegments(out);
    return RegionStatus::Ok;
}

SegmentRef segmentOfKnot(const Gathered& input, int knot) {
    const auto after =
        std::upper_bound(input.splines.begin(), input.splines.end(), knot,
                         [](int k, const SplineSpan& span) { return k < span.first; });
    if (knot < 0 || after == input.splines.begin()) return {};
    const SplineSpan& span = *(after - 1);
    return {span.operand, span.index, knot - span.first};
}

}  // namespace carvex::region
