// The region engine, fed two splines decoded from the input (see
// splinecase.h) as two shapes: it must end, leave no sanitizer report,
// leave its inputs alone, and answer either with closed loops of finite
// knots or with a reason and nothing else. A spline and the same spline
// run backwards wind nothing: added to the first shape, in some cases,
// they must leave the answer's area as it was, to within what the engine's
// merge distances allow.

#include <algorithm>
#include <cmath>
#include <vector>

#include "fuzzcheck.h"
#include "region/tolerances.h"
#include "shaperegion/shaperegion.h"
#include "splinecase.h"

namespace {

std::vector<Knot> snapshot(const Shape& shape) {
    std::vector<Knot> knots;
    for (const Spline* s : shape)
        for (const Knot* k : *s)
            knots.push_back(*k);
    return knots;
}

bool unchanged(const Shape& shape, const std::vector<Knot>& before) {
    std::size_t i = 0;
    for (const Spline* s : shape)
        for (const Knot* k : *s) {
            if (i >= before.size() || !sameKnot(*k, before[i])) return false;
            ++i;
        }
    return i == before.size();
}

bool finite(const Point3d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// The spline run the other way, in the same frame: knots in reverse order,
// handles swapped.
Spline* reversedCopy(const Spline& s) {
    auto* out = new Spline();
    out->copyFrom(s);
    std::reverse(out->begin(), out->end());
    for (Knot* k : *out)
        std::swap(k->inVec, k->outVec);
    out->lengthsValid = false;
    return out;
}

// How far an answer's area may move with such a pair added, which changes
// the merge distances the engine tries: a band along both sides of every
// segment's control polygon, as wide as two curves may lie apart and be
// taken as one at the coarsest merge distance it retries at, or at the
// caller's threshold.
double strayArea(const Shape& a, const Shape& b, double threshold) {
    double length = 0.0;
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const Shape* shape : {&a, &b}) {
        carvex::Paths paths;
        carvex::RegionStatus status;
        if (!carvex::pathsOf(*shape, &paths, &status)) return HUGE_VAL;
        for (const carvex::Path& path : paths)
            for (size_t i = 0; i < path.knots.size(); ++i) {
                const carvex::PathKnot& k = path.knots[i];
                const carvex::PathKnot& next = path.knots[(i + 1) % path.knots.size()];
                const carvex::Vec2 c[4] = {k.point, k.out, next.in, next.point};
                for (int j = 0; j < 3; ++j)
                    length += std::hypot(c[j + 1].x - c[j].x, c[j + 1].y - c[j].y);
                x0 = std::min(x0, k.point.x), x1 = std::max(x1, k.point.x);
                y0 = std::min(y0, k.point.y), y1 = std::max(y1, k.point.y);
            }
    }
    const double extent = std::max(x1 - x0, y1 - y0);
    const double width =
        std::max(carvex::region::kSameCurveReach * carvex::region::kCoarsestMergeOfExtent * extent,
                 2.0 * threshold);
    return 2.0 * width * length;
}

// The answer again with the base spline and its reverse added to the
// first shape (a copy of each: the shapes own their splines).
void expectUnchangedByACancellingPair(const Shape& a, const Shape& b, carvex::Operation op,
                                      const carvex::RegionOptions& options,
                                      const carvex::ShapeResult& result) {
    Shape more;
    for (const Spline* s : a) {
        auto* copy = new Spline();
        copy->copyFrom(*s);
        more.addSpline(copy);
    }
    auto* again = new Spline();
    again->copyFrom(*a.first());
    more.addSpline(again);
    more.addSpline(reversedCopy(*a.first()));
    const carvex::ShapeResult other = carvex::combine(more, b, op, options);
    if (!other.ok()) return;
    const double difference =
        std::fabs(carvex::enclosedArea(other.shape) - carvex::enclosedArea(result.shape));
    FUZZ_CHECK(difference <= strayArea(more, b, options.threshold));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SplineCase c = decodeSplineCase(data, size);
    Shape a;
    Shape b;
    a.addSpline(c.base.release());
    // The same spline as both operands is a shape and its exact copy.
    if (c.operandIsBase) {
        auto* copy = new Spline();
        copy->copyFrom(*a.first());
        b.addSpline(copy);
    } else {
        b.addSpline(c.operand.release());
    }
    const std::vector<Knot> beforeA = snapshot(a);
    const std::vector<Knot> beforeB = snapshot(b);

    carvex::RegionOptions options;
    options.fillA = c.operation % 2 ? carvex::FillRule::EvenOdd : carvex::FillRule::NonZero;
    options.fillB = c.secondOperation % 2 ? carvex::FillRule::EvenOdd : carvex::FillRule::NonZero;
    // Most cases use the engine's own merge distance, some the decoded one.
    options.threshold = c.secondStep ? c.threshold : 0.0;
    const auto op = static_cast<carvex::Operation>((c.operation + 6) % 5);
    const carvex::ShapeResult result = carvex::combine(a, b, op, options);

    FUZZ_CHECK(unchanged(a, beforeA));
    FUZZ_CHECK(unchanged(b, beforeB));
    if (!result.ok()) {
        FUZZ_CHECK(result.shape.isEmpty());
        return 0;
    }
    for (const Spline* s : result.shape) {
        FUZZ_CHECK(s->closed);
        FUZZ_CHECK(s->size() >= 1);
        for (const Knot* k : *s)
            FUZZ_CHECK(finite(k->point) && finite(k->inVec) && finite(k->outVec));
    }
    FUZZ_CHECK(std::isfinite(carvex::enclosedArea(result.shape)));
    if (c.secondOperation % 4 >= 2) expectUnchangedByACancellingPair(a, b, op, options, result);
    return 0;
}
