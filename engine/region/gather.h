#pragma once

// Collecting the segments of both inputs in their common space, with the
// checks that refuse input the engine cannot combine.

#include <vector>

#include "region/cubic.h"
#include "region/paths.h"
#include "region/region.h"

namespace carvex::region {

// One input knot, as the caller gave it.
using InputKnot = PathKnot;

// A segment between two gathered knots. Its curve is not stored: the knots
// hold it once, and curveOf() rebuilds it.
struct SourceSegment {
    int operand = 0;     // 0 for a, 1 for b
    int startKnot = -1;  // indices into Gathered::knots
    int endKnot = -1;
    bool closing = false;  // the straight segment that closes an open spline
    bool line = false;     // traces its chord exactly
};

// Where one input path's knots lie in Gathered::knots.
struct SplineSpan {
    int first = 0;
    int count = 0;
    bool closed = false;
    int operand = 0;
    int index = 0;  // the path's place in its list
};

struct Gathered {
    std::vector<InputKnot> knots;
    std::vector<SplineSpan> splines;
    std::vector<SourceSegment> segments;
    double extent = 0.0;  // the larger side of the box of both inputs
    double eps = 0.0;     // what double precision cannot tell apart here
    // The distance the arrangement's numerics work at: eps, widened by the
    // retries. Reaches that are multiples of it guard rounding, not the user.
    double merge = 0.0;
    // Knots and crossings closer than this are one point: merge or the
    // caller's threshold, whichever is larger. Only points are joined at it;
    // the multiples above stay those of merge, so that a coarse threshold
    // does not stretch them across the shapes.
    double join = 0.0;
    // Far from 0 the knots are held relative to this point, so that a shape
    // far off is combined as the same shape at the origin would be; the
    // answer's knots get it back.
    Vec2 origin;
};

// Whether both of p's coordinates lie within kMaxRegionCoordinate in
// magnitude (false for NaN): the range every input of the engine keeps to.
bool inRange(Vec2 p);

// Fills out from a and b (b may be null). Segments that the merge distance
// cannot tell from a point are left out. TooSmallForPosition when the
// shapes span too few of the steps between doubles where they lie.
RegionStatus gather(const Paths& a, const Paths* b, double threshold, Gathered& out);

// The curve as the engine parameterises it: a segment that traces its chord
// gets its handles at the thirds, so that its parameter runs evenly along it
// and Newton's steps stay well scaled. A closing line runs from the last
// knot to the first, as a fill closes an open spline.
inline Cubic curveOf(const Gathered& input, const SourceSegment& seg) {
    const Vec2 a = input.knots[seg.startKnot].point;
    const Vec2 b = input.knots[seg.endKnot].point;
    if (seg.line) return {{a, lerp(a, b, 1.0 / 3.0), lerp(a, b, 2.0 / 3.0), b}};
    return {{a, input.knots[seg.startKnot].out, input.knots[seg.endKnot].in, b}};
}

// A segment as drawn, from its knots, for answers that keep it whole (not
// for closing segments, which no knot's handles draw).
inline Cubic drawnCurve(const Gathered& input, const SourceSegment& seg) {
    const InputKnot& a = input.knots[seg.startKnot];
    const InputKnot& b = input.knots[seg.endKnot];
    return {{a.point, a.out, b.in, b.point}};
}

// The segment of an input that starts at a knot of Gathered::knots.
SegmentRef segmentOfKnot(const Gathered& input, int knot);

}  // namespace carvex::region
