#include "region/gather.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "region/runsort.h"
#include "region/scratch.h"
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

// Where a segment runs, as the engine draws it, from one end: a line's ends
// alone, since its handles do not change where it runs.
struct Trace {
    Vec2 p[4];
    int count = 0;
    int operand = 0;
    bool backwards = false;  // the segment runs from p[count - 1] to p[0]
    int segment = 0;
};

bool lexicallyBefore(Vec2 a, Vec2 b) {
    return a.x != b.x ? a.x < b.x : a.y < b.y;
}

// The trace read from whichever end makes it come first, so that a segment
// and its reverse give one trace; a segment that reads the same both ways
// (one that goes out and comes back) counts as forwards.
Trace traceOf(const Gathered& out, int s) {
    const SourceSegment& seg = out.segments[size_t(s)];
    const Cubic c = drawnCurve(out, seg);
    Trace t;
    t.count = seg.line ? 2 : 4;
    for (int i = 0; i < t.count; ++i)
        t.p[i] = seg.line ? c.p[3 * i] : c.p[i];
    t.operand = seg.operand;
    t.segment = s;
    for (int i = 0; i < t.count; ++i) {
        const Vec2 a = t.p[i];
        const Vec2 b = t.p[t.count - 1 - i];
        if (a == b) continue;
        t.backwards = lexicallyBefore(b, a);
        break;
    }
    if (t.backwards) std::reverse(t.p, t.p + t.count);
    return t;
}

// Orders traces by where they run, then forwards before backwards.
bool traceBefore(const Trace& a, const Trace& b) {
    if (a.operand != b.operand) return a.operand < b.operand;
    if (a.count != b.count) return a.count < b.count;
    for (int i = 0; i < a.count; ++i)
        if (!(a.p[i] == b.p[i])) return lexicallyBefore(a.p[i], b.p[i]);
    if (a.backwards != b.backwards) return !a.backwards;
    return a.segment < b.segment;
}

bool sameTrace(const Trace& a, const Trace& b) {
    if (a.operand != b.operand || a.count != b.count) return false;
    for (int i = 0; i < a.count; ++i)
        if (!(a.p[i] == b.p[i])) return false;
    return true;
}

std::uint64_t mixed(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// A point's coordinates mixed into one number, 0 and -0 alike.
std::uint64_t pointHash(Vec2 p) {
    const double x = p.x + 0.0;
    const double y = p.y + 0.0;
    std::uint64_t u = 0;
    std::uint64_t v = 0;
    std::memcpy(&u, &x, sizeof u);
    std::memcpy(&v, &y, sizeof v);
    return u * 0x9e3779b97f4a7c15ull ^ v * 0xc2b2ae3d27d4eb4full;
}

// One number for a segment and its reverse alike: from its operand, whether
// it is a line and its two ends, in either order. Segments over one curve
// get one number; others do too only now and then.
std::uint32_t traceHash(const Gathered& out, const SourceSegment& seg) {
    const std::uint64_t ends = pointHash(out.knots[size_t(seg.startKnot)].point) +
                               pointHash(out.knots[size_t(seg.endKnot)].point);
    return std::uint32_t(mixed(ends) >> 32) * 4u + std::uint32_t(seg.operand) * 2u +
           (seg.line ? 1u : 0u);
}

// Marks as dropped, among segments whose traces may be one, as many that
// run forwards as run backwards over each trace.
bool dropOpposites(ScratchList<Trace>& traces, ScratchList<char>& dropped) {
    std::sort(traces.begin(), traces.end(), traceBefore);
    bool any = false;
    for (size_t g = 0; g < traces.size();) {
        size_t end = g + 1;
        while (end < traces.size() && sameTrace(traces[g], traces[end]))
            ++end;
        const size_t forwards = size_t(std::find_if(traces.begin() + g, traces.begin() + end,
                                                    [](const Trace& t) { return t.backwards; }) -
                                       (traces.begin() + g));
        const size_t pairs = std::min(forwards, end - g - forwards);
        for (size_t k = 0; k < pairs; ++k) {
            dropped[size_t(traces[g + k].segment)] = 1;
            dropped[size_t(traces[g + forwards + k].segment)] = 1;
        }
        any |= pairs > 0;
        g = end;
    }
    return any;
}

// The pairs to drop among the segments of one bucket. Sorting their traces
// brings those of one trace together, whatever else shares the bucket.
bool dropInBucket(const Gathered& out, const std::pair<std::uint32_t, int>* begin,
                  const std::pair<std::uint32_t, int>* end, ScratchList<Trace>& traces,
                  ScratchList<char>& dropped) {
    // Most buckets that hold two segments hold two hashes.
    if (end - begin == 2 && begin[0].first != begin[1].first) return false;
    traces.clear();
    for (const auto* k = begin; k != end; ++k)
        traces.push_back(traceOf(out, k->second));
    return dropOpposites(traces, dropped);
}

// Two segments of one input over the same curve in opposite directions (a
// border that two of its outlines share) add nothing to its winding
// anywhere off that curve. Both are left out, so that the search never
// meets them; what the input fills stays as it was.
void dropCancellingPairs(Gathered& out) {
    // Looked for where an input has two outlines or more: one outline alone
    // rarely runs back over itself, and a pair of single outlines is what
    // most calls combine.
    int outlines[2] = {0, 0};
    for (const SplineSpan& span : out.splines)
        ++outlines[span.operand];
    if (outlines[0] < 2 && outlines[1] < 2) return;
    StageMemory stage;
    const size_t n = out.segments.size();
    // Placed by their hash's top bits, a bucket for every two segments (a
    // counting sort), so that most segments share a bucket with none.
    int bits = 1;
    while ((size_t(1) << bits) < 2 * n)
        ++bits;
    const int shift = 32 - bits;
    using Key = std::pair<std::uint32_t, int>;
    ScratchList<Key> keys(n, stage.arena());
    ScratchList<int> next((size_t(1) << bits) + 1, 0, stage.arena());
    {
        ScratchList<std::uint32_t> hashes(n, stage.arena());
        for (size_t s = 0; s < n; ++s) {
            hashes[s] = traceHash(out, out.segments[s]);
            ++next[(hashes[s] >> shift) + 1];
        }
        for (size_t b = 1; b < next.size(); ++b)
            next[b] += next[b - 1];
        for (size_t s = 0; s < n; ++s)
            keys[size_t(next[hashes[s] >> shift]++)] = {hashes[s], int(s)};
    }
    ScratchList<char> dropped(n, 0, stage.arena());
    ScratchList<Trace> traces(stage.arena());
    bool any = false;
    for (size_t g = 0; g < n;) {
        size_t end = g + 1;
        while (end < n && keys[end].first >> shift == keys[g].first >> shift)
            ++end;
        if (end - g > 1)
            any |= dropInBucket(out, keys.data() + g, keys.data() + end, traces, dropped);
        g = end;
    }
    if (!any) return;
    size_t kept = 0;
    for (size_t s = 0; s < n; ++s)
        if (!dropped[s]) out.segments[kept++] = out.segments[s];
    out.segments.resize(kept);
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
    dropCancellingPairs(out);
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
