// The region engine, fed two splines decoded from the input (see
// splinecase.h) as two shapes: it must end, leave no sanitizer report,
// leave its inputs alone, and answer either with closed loops of finite
// knots or with a reason and nothing else.

#include <cmath>
#include <vector>

#include "fuzzcheck.h"
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
    return 0;
}
