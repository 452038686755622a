// The JSON shape reader: any bytes must be read or refused with a place, and
// a shape read must come back bit for bit through the writer.

#include "fuzzcheck.h"
#include "geometry/shape.h"
#include "shapeio/jsonio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    Shape shape;
    const Spline* kept = addKeptSpline(shape);
    const Matrix3d frame = shape.frame;

    QString error;
    if (!readJson(bytes, QStringLiteral("fuzz.json"), shape, &error)) {
        // Refused: the message names the file and a place, the shape is as it was.
        FUZZ_CHECK(error.startsWith(QLatin1String("fuzz.json:")));
        FUZZ_CHECK(holdsOnlyKept(shape, kept));
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
