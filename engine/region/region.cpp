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
        region::releaseStageMemory();
        if (input.segments.capacity() <= size_t(region::kKeptSegments)) return;
        *this = Workspace();
    }
};

// One pass at the input's merge distance; complete tells whether every
// chosen edge closed into a loop.
Shape pass(BooleanOp op, FillRule fillA, FillRule fillB, Workspace& w, bool& complete) {
    using namespace region;
    monotonePieces(w.input.segments, w.pieces);
    findHits(w.input.segments, w.pieces, w.input.merge, w.meetings);
    buildArrangement(w.input, w.pieces, w.meetings, w.arrangement);
    computeWindings(w.arrangement);
    Shape shape = assembleLoops(w.input, w.arrangement, op, fillA, fillB, &complete);
    if (complete) return shape;
    // Edges ordered wrongly around some vertex carried wrong windings: a ray
    // from every edge instead.
    computeWindings(w.arrangement, false);
    return assembleLoops(w.input, w.arrangement, op, fillA, fillB, &complete);
}

RegionResult run(const Shape& a, const Shape* b, BooleanOp op, FillRule fillA, FillRule fillB,
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
    // merge distance cross at angles too shallow to place: taken as one at a
    // coarser distance they close up; past that the answer is refused.
    result.status = RegionStatus::Unresolved;
    const double eps = w.input.eps;
    for (double factor : kRetryMerges) {
        w.input.merge = std::max(w.input.merge, factor * eps);
        bool complete = true;
        Shape shape = pass(op, fillA, fillB, w, complete);
        if (complete) {
            result.shape = std::move(shape);
            result.status = RegionStatus::Ok;
            break;
        }
    }
    w.release();
    return result;
}

}  // namespace

RegionResult combine(const Shape& a, const Shape& b, BooleanOp op, const RegionOptions& options) {
    return run(a, &b, op, options.fillA, options.fillB, options.threshold);
}

RegionResult resolve(const Shape& shape, FillRule fill, double threshold) {
    return run(shape, nullptr, BooleanOp::Union, fill, FillRule::NonZero, threshold);
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
    }
    return QStringLiteral("unknown status");
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
