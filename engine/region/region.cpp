#include "region/region.h"

#include <algorithm>

#include "region/arrangement.h"
#include "region/crossings.h"
#include "region/gather.h"
#include "region/loops.h"
#include "region/scratch.h"

namespace carvex {

namespace {

// The working lists of one thread, kept from call to call so that their
// memory is not handed back and faulted in again every time.
struct Workspace {
    region::Gathered input;
    std::vector<region::Piece> pieces;
    region::Meetings meetings;
    region::Arrangement arrangement;

    // Past this many segments the lists are let go after the call.
    void release() {
        if (input.segments.capacity() <= size_t(region::kKeptSegments)) return;
        *this = Workspace();
    }
};

// One pass at the input's merge distance: Ok with the answer, Unresolved
// when some chosen edge did not close into a loop, or the cap the crossing
// search ran into.
RegionStatus pass(Operation op, FillRule fillA, FillRule fillB, Workspace& w, Shape& answer) {
    using namespace region;
    monotonePieces(w.input.segments, w.pieces);
    findHits(w.input.segments, w.pieces, w.input.merge, w.meetings);
    if (w.meetings.limit != RegionStatus::Ok) return w.meetings.limit;
    buildArrangement(w.input, w.pieces, w.meetings, w.arrangement);
    computeWindings(w.arrangement);
    bool complete = true;
    answer = assembleLoops(w.input, w.arrangement, op, fillA, fillB, &complete);
    if (complete) return RegionStatus::Ok;
    // Edges ordered wrongly around some vertex carried wrong windings: a ray
    // from every edge instead.
    computeWindings(w.arrangement, false);
    answer = assembleLoops(w.input, w.arrangement, op, fillA, fillB, &complete);
    return complete ? RegionStatus::Ok : RegionStatus::Unresolved;
}

RegionResult run(const Shape& a, const Shape* b, Operation op, FillRule fillA, FillRule fillB,
                 double threshold) {
    using namespace region;
    thread_local Workspace w;
    RegionResult result;
    result.status = gather(a, b, threshold, w.input);
    if (result.status != RegionStatus::Ok || w.input.segments.empty()) {
        w.release();
        return result;
    }
    // Outlines that run along each other a little farther apart than the
    // merge distance cross at angles too shallow to place, and near-copies
    // keep the crossing search busy: taken as one at a coarser distance they
    // close up; past that the answer is refused.
    const double eps = w.input.eps;
    for (double factor : kRetryMerges) {
        w.input.merge = std::max(w.input.merge, factor * eps);
        Shape shape;
        result.status = pass(op, fillA, fillB, w, shape);
        if (result.status == RegionStatus::Ok) {
            result.shape = std::move(shape);
            break;
        }
    }
    if (w.meetings.limit != RegionStatus::Ok && result.status == w.meetings.limit) {
        const auto& segments = w.input.segments;
        result.first = segmentOfKnot(w.input, segments[w.meetings.limitSegments[0]].startKnot);
        result.second = segmentOfKnot(w.input, segments[w.meetings.limitSegments[1]].startKnot);
    }
    w.release();
    return result;
}

QString describeSegment(const SegmentRef& s) {
    return QStringLiteral("segment %1 of spline %2 of the %3 shape")
        .arg(s.knot)
        .arg(s.spline)
        .arg(s.operand == 0 ? QStringLiteral("first") : QStringLiteral("second"));
}

}  // namespace

RegionResult combine(const Shape& a, const Shape& b, Operation op, const RegionOptions& options) {
    return run(a, &b, op, options.fillA, options.fillB, options.threshold);
}

RegionResult resolve(const Shape& shape, FillRule fill, double threshold) {
    return run(shape, nullptr, Operation::Union, fill, FillRule::NonZero, threshold);
}

QString describe(RegionStatus status) {
    switch (status) {
        case RegionStatus::Ok:
            return QStringLiteral("the shapes were combined");
        case RegionStatus::NonFiniteCoordinate:
            return QStringLiteral("a coordinate or frame entry is not finite");
        case RegionStatus::CoordinateTooLarge:
            return QStringLiteral("a coordinate is larger than %1 in magnitude")
                .arg(kMaxRegionCoordinate);
        case RegionStatus::TooManyKnots:
            return QStringLiteral("a shape has more than %1 knots").arg(kMaxRegionKnots);
        case RegionStatus::InvalidThreshold:
            return QStringLiteral("the threshold is negative or not finite");
        case RegionStatus::Unresolved:
            return QStringLiteral(
                "outlines run along each other too closely to tell where they cross");
        case RegionStatus::SearchBudgetExhausted:
            return QStringLiteral(
                       "the search for crossings of two segments ran past its budget of %1 "
                       "subdivisions")
                .arg(region::kPairSearchBudget);
        case RegionStatus::TooManyMeetings:
            return QStringLiteral("two segments meet at more than %1 places")
                .arg(region::kMaxMeetingsPerPair);
        case RegionStatus::SearchTooDeep:
            return QStringLiteral(
                       "the search for crossings of two segments went deeper than %1 levels")
                .arg(region::kMaxSearchDepth);
    }
    return QStringLiteral("unknown status");
}

QString describe(const RegionResult& result) {
    QString text = describe(result.status);
    if (result.first.operand >= 0 && result.second.operand >= 0)
        text += QStringLiteral(" (%1 and %2)")
                    .arg(describeSegment(result.first), describeSegment(result.second));
    return text;
}

double enclosedArea(const Shape& shape) {
    using namespace region;
    double total = 0.0;
    for (const Spline* s : shape) {
        if (!s || s->isEmpty()) continue;
        const Matrix3d frame = s->frame * shape.frame;
        const int n = s->size();
        auto at = [&](const Point3d& p) {
            const Point3d q = map(p, frame);
            return Vec2{q.x, q.y};
        };
        // Relative to the first knot, so that far-off shapes lose no digits.
        const Vec2 origin = at(s->first()->point);
        auto rel = [&](const Point3d& p) { return at(p) - origin; };
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            const int j = (i + 1) % n;
            const Knot& k0 = *s->at(i);
            const Knot& k1 = *s->at(j);
            if (j == 0 && !s->closed) {
                const Vec2 p = rel(k0.point);
                const Vec2 q = rel(k1.point);
                sum += 0.5 * cross(p, q);
            } else {
                sum += areaTerm({{rel(k0.point), rel(k0.outVec), rel(k1.inVec), rel(k1.point)}});
            }
        }
        total += sum;
    }
    return total;
}

}  // namespace carvex
