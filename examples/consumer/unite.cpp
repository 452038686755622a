// unite A.svg B.svg OUT.svg: the region covered by either file's shapes,
// written as SVG, with its enclosed area on standard output.

#include <carvex/region/region.h>
#include <carvex/shapeio/shapeio.h>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: unite A.svg B.svg OUT.svg\n", stderr);
        return 1;
    }
    Shape a;
    Shape b;
    QString error;
    if (!readShapeFile(QString::fromLocal8Bit(argv[1]), a, &error) ||
        !readShapeFile(QString::fromLocal8Bit(argv[2]), b, &error)) {
        std::fprintf(stderr, "unite: %s\n", qPrintable(error));
        return 2;
    }
    const carvex::RegionResult united = carvex::combine(a, b, carvex::Operation::Union);
    if (!united.ok()) {
        std::fprintf(stderr, "unite: %s\n", qPrintable(carvex::describe(united)));
        return 2;
    }
    if (!writeShapeFile(QString::fromLocal8Bit(argv[3]), united.shape, &error)) {
        std::fprintf(stderr, "unite: %s\n", qPrintable(error));
        return 3;
    }
    std::printf("%d loops, area %.17g\n", int(united.shape.size()),
                carvex::enclosedArea(united.shape));
    return 0;
}
