#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "boolean/boolean.h"
#include "combine.h"
#include "command.h"
#include "operations.h"
#include "shapeio/drawing.h"
#include "shapeio/shapeio.h"

namespace {

// The example shapes, embedded in the program (examples.qrc).
const QString kBaseResource = QStringLiteral(":/examples/plate.svg");
const QString kOperandResource = QStringLiteral(":/examples/disc.svg");

constexpr int kTileSide = 400;
constexpr int kGap = 8;

QByteArray resourceBytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The four results side by side, two by two, all at one scale.
QImage overview(const QList<const Shape*>& results, const QList<const Shape*>& inputs) {
    QRectF scene;
    for (const Shape* result : results)
        scene = scene.united(drawingBounds(*result, inputs));
    scene = withMargin(scene);
    const int side = 2 * kTileSide + 3 * kGap;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xdd, 0xdd, 0xdd));
    QPainter painter(&image);
    for (int i = 0; i < results.size(); ++i) {
        const QRectF tile(kGap + (i % 2) * (kTileSide + kGap), kGap + (i / 2) * (kTileSide + kGap),
                          kTileSide, kTileSide);
        painter.fillRect(tile, Qt::white);
        paintShapes(painter, tile, scene, *results[i], inputs);
    }
    painter.end();
    return image;
}

}  // namespace

int runDemo(const QString& folder, double threshold) {
    ProgressLine progress;
    const QString baseName = QFileInfo(kBaseResource).fileName();
    const QString operandName = QFileInfo(kOperandResource).fileName();
    auto base = std::make_unique<Shape>();
    auto operand = std::make_unique<Shape>();
    QString error;
    if (!loadShape(kBaseResource, *base, &error) ||
        !loadShape(kOperandResource, *operand, &error)) {
        progress.finish();
        std::fprintf(stderr, "carvex: the bundled example is damaged: %s\n", qPrintable(error));
        return ExitBadInput;
    }
    const QList<const Shape*> inputs = {base.get(), operand.get()};

    QList<QPair<QString, QByteArray>> files = {
        {baseName, resourceBytes(kBaseResource)},
        {operandName, resourceBytes(kOperandResource)},
    };
    std::vector<std::unique_ptr<Shape>> results;
    for (int operation : {Union, Intersect, SubtrA, SubtrB}) {
        auto result = cloneShape(*base);
        Operand step{operation, operandName, cloneShape(*operand)};
        applyOperands(*result, {&step}, threshold, progress);
        const QString name = operationName(operation);
        for (ShapeFormat format : {ShapeFormat::Svg, ShapeFormat::Png}) {
            QByteArray contents;
            if (!encodeShapeFile(format, *result, inputs, &contents, &error)) {
                progress.message(QStringLiteral("carvex: %1: %2").arg(name, error));
                return ExitCannotWrite;
            }
            files.append({name + (format == ShapeFormat::Svg ? QStringLiteral(".svg")
                                                             : QStringLiteral(".png")),
                          contents});
        }
        results.push_back(std::move(result));
    }
    QList<const Shape*> resultList;
    for (const auto& r : results)
        resultList.append(r.get());
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        overview(resultList, inputs).save(&buffer, "PNG");
    }
    files.append({QStringLiteral("overview.png"), png});

    const QDir dir(folder);
    if (!QDir().mkpath(folder)) {
        progress.message(QStringLiteral("carvex: %1: cannot create the folder").arg(folder));
        return ExitCannotWrite;
    }
    for (auto& file : files)
        file.first = dir.filePath(file.first);
    progress.setStep(QStringLiteral("writing"));
    if (!writeFilesAtomically(files, &error)) {
        progress.message(QStringLiteral("carvex: ") + error);
        return ExitCannotWrite;
    }
    progress.finish();

    const QString where = QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath());
    QString report = QStringLiteral("carvex: demo written to %1\n").arg(where);
    report += QStringLiteral("  %1, %2   the example shapes (base and operand)\n")
                  .arg(baseName, operandName);
    for (int operation : {Union, Intersect, SubtrA, SubtrB})
        report += QStringLiteral("  %1.svg, %1.png\n").arg(operationName(operation));
    report += QStringLiteral(
        "  overview.png   all four results: union, intersect / subtr_a, "
        "subtr_b\n");
    report += QStringLiteral("Try it yourself:\n  carvex %1 subtr_a %2 -o mine.svg\n")
                  .arg(QDir::toNativeSeparators(dir.filePath(baseName)),
                       QDir::toNativeSeparators(dir.filePath(operandName)));
    std::fputs(qPrintable(report), stdout);
    return ExitSuccess;
}
