// The JSON shape reader: any bytes must be read or refused with a place, and
// a shape read must come back bit for bit through the writer.

#include <cstring>

#include "fuzzcheck.h"
#include "geometry/shape.h"
#include "shapeio/jsonio.h"

namespace {

bool sameBits(const void* a, const void* b, std::size_t size) {
    return std::memcmp(a, b, size) == 0;
}

bool sameKnot(const Knot& p, const Knot& q) {
    return sameBits(&p.point, &q.point, sizeof p.point) &&
           sameBits(&p.inVec, &q.inVec, sizeof p.inVec) &&
           sameBits(&p.outVec, &q.outVec, sizeof p.outVec) && p.type == q.type;
}

bool sameShape(const Shape& a, const Shape& b) {
    if (a.size() != b.size() || !sameBits(a.frame.m, b.frame.m, sizeof a.frame.m)) return false;
    for (int s = 0; s < a.size(); ++s) {
        const Spline& x = *a.at(s);
        const Spline& y = *b.at(s);
        if (x.closed != y.closed || x.size() != y.size() ||
            !sameBits(x.frame.m, y.frame.m, sizeof x.frame.m))
            return false;
        for (int k = 0; k < x.size(); ++k)
            if (!sameKnot(*x.at(k), *y.at(k))) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    Shape shape;
    auto* kept = new Spline();
    kept->append(new Knot({1, 2, 0}, 0.0));
    shape.addSpline(kept);
    const Matrix3d frame = shape.frame;

    QString error;
    if (!readJson(bytes, QStringLiteral("fuzz.json"), shape, &error)) {
        // Refused: the message names the file and a place, the shape is as it was.
        FUZZ_CHECK(error.startsWith(QLatin1String("fuzz.json:")));
        FUZZ_CHECK(shape.size() == 1 && shape.first() == kept && kept->size() == 1);
        FUZZ_CHECK(shape.frame == frame);
        return 0;
    }
    QByteArray written;
    QString writeError;
    FUZZ_CHECK(writeJson(shape, &written, &writeError));
    Shape again;
    QString readError;
    FUZZ_CHECK(readJson(written, QStringLiteral("again.json"), again, &readError));
    FUZZ_CHECK(sameShape(shape, again));
    return 0;
}
