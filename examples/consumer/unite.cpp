// unite A.svg B.svg OUT.svg: the region either file paints, written as SVG,
// with its enclosed area on standard output.

#include <carvex/shaperegion/shaperegion.h>
#include <carvex/shapeio/fileregion.h>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: unite A.svg B.svg OUT.svg\n", stderr);
        return 1;
    }
    // Each file as the region it paints, under its own fill rule.
    FileRegion a;
    FileRegion b;
    QString error;
    if (!readFileRegion(QString::fromLocal8Bit(argv[1]), 0.0, &a, nullptr, &error) ||
        !readFileRegion(QString::fromLocal8Bit(argv[2]), 0.0, &b, nullptr, &error)) {
        std::fprintf(stderr, "unite: %s\n", qPrintable(error));
        return 2;
    }
    carvex::RegionOptions options;
    options.fillA = a.fill;
    options.fillB = b.fill;
    carvex::ShapeResult united =
        carvex::combine(a.shape, b.shape, carvex::Operation::Union, options);
    if (!united.ok()) {
        std::fprintf(stderr, "unite: %s\n", qPrintable(carvex::describe(united)));
        return 2;
    }
    FileRegion answer;
    answer.shape = std::move(united.shape);
    if (!writeRegionFile(QString::fromLocal8Bit(argv[3]), answer, &error)) {
        std::fprintf(stderr, "unite: %s\n", qPrintable(error));
        return 3;
    }
    std::printf("%d loops, area %.17g\n", int(answer.shape.size()),
                carvex::enclosedArea(answer.shape));
    return 0;
}
