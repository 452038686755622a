// SVG path data: any text must be read or refused with a place, and what is
// read must survive being written and read again.

#include <cstring>

#include "fuzzcheck.h"
#include "geometry/shape.h"
#include "shapeio/pathdata.h"
#include "shapeio/svgio.h"

namespace {

bool sameBits(const Point3d& a, const Point3d& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameSplines(const Shape& a, const Shape& b) {
    if (a.size() != b.size()) return false;
    for (int s = 0; s < a.size(); ++s) {
        const Spline& x = *a.at(s);
        const Spline& y = *b.at(s);
        if (x.closed != y.closed || x.size() != y.size()) return false;
        for (int k = 0; k < x.size(); ++k) {
            const Knot& p = *x.at(k);
            const Knot& q = *y.at(k);
            if (!sameBits(p.point, q.point) || !sameBits(p.inVec, q.inVec) ||
                !sameBits(p.outVec, q.outVec) || p.type != q.type)
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    Shape shape;
    // A spline already there must stay untouched, whatever happens.
    auto* kept = new Spline();
    kept->append(new Knot({1, 2, 0}, 0.0));
    shape.addSpline(kept);

    PathDataError error;
    if (!parsePathData(text, shape, &error)) {
        FUZZ_CHECK(shape.size() == 1 && shape.first() == kept && kept->size() == 1);
        FUZZ_CHECK(error.offset >= 0 && error.offset <= text.size());
        FUZZ_CHECK(!error.message.isEmpty());
        return 0;
    }
    delete shape.takeFirst();
    for (const Spline* s : shape) {
        FUZZ_CHECK(s->size() >= 2);
        for (const Knot* k : *s)
            FUZZ_CHECK(k->type >= Knot::Corner && k->type <= Knot::BezierCorner);
    }
    // Written with shortest round-trip numbers, the same knots come back.
    Shape again;
    PathDataError second;
    FUZZ_CHECK(parsePathData(svgPathData(shape), again, &second));
    FUZZ_CHECK(sameSplines(shape, again));
    return 0;
}
