// Writes seeds of the Boolean fuzz target: every pair of closed splines of
// the shape files given, under each operation, as encodeSplineCase has them.
//
//   fuzz_boolean_seeds OUTDIR FILE...

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <memory>
#include <vector>

#include "shapeio/shapeio.h"
#include "splinecase.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fputs("usage: fuzz_boolean_seeds OUTDIR FILE...\n", stderr);
        return 1;
    }
    std::vector<std::unique_ptr<Shape>> shapes;
    for (const QString& path : args.mid(1)) {
        auto shape = std::make_unique<Shape>();
        QString error;
        if (!readShapeFile(path, *shape, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        shapes.push_back(std::move(shape));
    }
    QList<const Spline*> splines;
    for (const auto& shape : shapes)
        for (const Spline* s : *shape)
            splines.append(s);
    QDir out(args.first());
    out.mkpath(QStringLiteral("."));
    int written = 0;
    for (int a = 0; a < splines.size(); ++a) {
        for (int b = 0; b < splines.size(); ++b) {
            if (a == b) continue;
            // One operation per pair, in turn, keeps the corpus small.
            const auto operation = std::uint8_t((a + b) % 4);
            // Threshold code 5041 is about 0.0001, the command's default.
            const QByteArray bytes = encodeSplineCase(operation, 5041, *splines[a], *splines[b]);
            QFile file(out.filePath(QStringLiteral("pair-%1-%2").arg(a).arg(b)));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return 1;
            ++written;
        }
    }
    std::printf("%d seeds\n", written);
    return 0;
}
