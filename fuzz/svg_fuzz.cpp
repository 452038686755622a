// The SVG reader: any bytes must be read or refused with a place; what is
// read has finite coordinates within the accepted magnitude and can be
// written again. Read as painted (fills, strokes, uses), the same holds for
// every element, and every note names the file.

#include "fuzzcheck.h"
#include "geometry/shape.h"
#include "shapeio/filleddrawing.h"
#include "shapeio/shapecheck.h"
#include "shapeio/svgio.h"

namespace {

void checkPainted(const QByteArray& bytes) {
    FilledDrawing drawing;
    QString error;
    if (!readSvgDrawing(bytes, QStringLiteral("fuzz.svg"), &drawing, &error)) {
        FUZZ_CHECK(error.startsWith(QLatin1String("fuzz.svg:")));
        return;
    }
    for (const QString& note : drawing.notes)
        FUZZ_CHECK(note.startsWith(QLatin1String("fuzz.svg:")));
    for (const FilledElement& element : drawing.elements) {
        const Shape splines = element.splines();
        FUZZ_CHECK(checkCoordinates(splines, nullptr));
        for (const Spline* s : splines)
            FUZZ_CHECK(s->closed && s->size() >= 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    checkPainted(bytes);
    Shape shape;
    const Spline* kept = addKeptSpline(shape);

    QString error;
    if (!readSvg(bytes, QStringLiteral("fuzz.svg"), shape, &error)) {
        FUZZ_CHECK(error.startsWith(QLatin1String("fuzz.svg:")));
        FUZZ_CHECK(holdsOnlyKept(shape, kept));
        return 0;
    }
    FUZZ_CHECK(!shape.isEmpty());
    FUZZ_CHECK(shape.frame == Matrix3d());
    FUZZ_CHECK(checkCoordinates(shape, nullptr));
    for (const Spline* s : shape) {
        FUZZ_CHECK(s->size() >= 2);
        FUZZ_CHECK(s->frame == Matrix3d());
    }
    QByteArray written;
    QString writeError;
    FUZZ_CHECK(writeSvg(shape, {}, &written, &writeError));
    return 0;
}
