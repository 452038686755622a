// SVG path data: any text must be read or refused with a place, and what is
// read must survive being written and read again.

#include "fuzzcheck.h"
#include "geometry/shape.h"
#include "shapeio/pathdata.h"
#include "shapeio/svgio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    Shape shape;
    // A spline already there must stay untouched, whatever happens.
    const Spline* kept = addKeptSpline(shape);

    PathDataError error;
    if (!parsePathData(text, shape, &error)) {
        FUZZ_CHECK(holdsOnlyKept(shape, kept));
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
    FUZZ_CHECK(sameShape(shape, again));
    return 0;
}
