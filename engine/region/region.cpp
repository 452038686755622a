#include "region/region.h"

#include "region/arrangement.h"
#include "region/crossings.h"
#include "region/gather.h"
#include "region/loops.h"

namespace carvex {

namespace {

RegionResult run(const Shape& a, const Shape* b, BooleanOp op, FillRule fillA, FillRule fillB,
                 double threshold) {
    using namespace region;
    RegionResult result;
    Gathered input;
    result.status = gather(a, b, threshold, input);
    if (result.status != RegionStatus::Ok || input.segments.empty()) return result;
    const std::vector<Piece> pieces = monotonePieces(input.segments);
    const Meetings meetings = findHits(input.segments, pieces, input.merge);
    Arrangement arrangement = buildArrangement(input, pieces, meetings);
    computeWindings(arrangement);
    bool complete = true;
    result.shape = assembleLoops(input, arrangement, op, fillA, fillB, &complete);
    if (!complete) {
        // Edges ordered wrongly around some vertex (curves that nearly
        // coincide) carried wrong windings: a ray from every edge instead.
        computeWindings(arrangement, false);
        result.shape = assembleLoops(input, arrangement, op, fillA, fillB);
    }
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
