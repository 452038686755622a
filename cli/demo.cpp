#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "boolean/boolean.h"
#include "combine.h"
#include "command.h"
#include "operations.h"
#include "regions.h"
#include "shapeio/drawing.h"
#include "shapeio/filleddrawing.h"
#include "shapeio/shapeio.h"

namespace {

// The example shapes, embedded in the program (examples.qrc).
const char* const kExampleFiles[] = {"plate.svg", "disc.svg", "hole.svg", "ring.svg", "bar.svg"};

QString resource(const char* name) {
    return QStringLiteral(":/examples/") + QLatin1String(name);
}

// One worked example: base, operation, operand, and the files it writes.
struct DemoCase {
    const char* base;
    carvex::Operation operation;
    const char* operand;
    QString name;   // of its SVG and PNG, without the extension
    QString label;  // over its panel in the overview
};

QList<DemoCase> demoCases() {
    QList<DemoCase> cases;
    using carvex::Operation;
    for (Operation operation : {Operation::Union, Operation::Intersect, Operation::SubtrA,
                                Operation::SubtrB, Operation::Xor})
        cases.append({"plate.svg", operation, "disc.svg", operationName(operation),
                      operationName(operation)});
    // An answer with a hole, and one in two pieces.
    cases.append({"plate.svg", Operation::SubtrA, "hole.svg", QStringLiteral("plate_subtr_a_hole"),
                  QStringLiteral("plate subtr_a hole")});
    cases.append({"ring.svg", Operation::SubtrA, "bar.svg", QStringLiteral("ring_subtr_a_bar"),
                  QStringLiteral("ring subtr_a bar")});
    return cases;
}

constexpr int kTileSide = 360;
constexpr int kGap = 8;
constexpr int kLabelBand = 30;
constexpr int kColumns = 4;

// Labels are drawn from a small pixel font of our own: the demo runs
// without a windowing system, where no font can be relied on.
const QHash<QChar, const char*>& glyphs() {
    static const QHash<QChar, const char*> table = {
        {QLatin1Char('a'), "...........###.....#.#####...#.####"},
        {QLatin1Char('b'), "#....#....####.#...##...##...#####."},
        {QLatin1Char('c'), "...........#####....#....#.....####"},
        {QLatin1Char('d'), "....#....#.#####...##...##...#.####"},
        {QLatin1Char('e'), "...........###.#...#######.....###."},
        {QLatin1Char('g'), "......#####...##...#.####....#.###."},
        {QLatin1Char('h'), "#....#....####.#...##...##...##...#"},
        {QLatin1Char('i'), "..#........##....#....#....#...###."},
        {QLatin1Char('l'), ".##....#....#....#....#....#...###."},
        {QLatin1Char('n'), "..........####.#...##...##...##...#"},
        {QLatin1Char('o'), "...........###.#...##...##...#.###."},
        {QLatin1Char('p'), ".....####.#...##...#####.#....#...."},
        {QLatin1Char('r'), "..........#.##.##..##....#....#...."},
        {QLatin1Char('s'), "...........#####.....###.....#####."},
        {QLatin1Char('t'), "..#....#..#####..#....#....#.....##"},
        {QLatin1Char('u'), "..........#...##...##...##...#.####"},
        {QLatin1Char('x'), "..........#...#.#.#...#...#.#.#...#"},
        {QLatin1Char('_'), "..............................#####"},
    };
    return table;
}

// Draws text in the pixel font, each font pixel a square of scale pixels;
// characters without a glyph leave a space.
void drawLabel(QPainter& painter, QPoint origin, const QString& text, int scale) {
    for (int i = 0; i < text.size(); ++i) {
        const char* rows = glyphs().value(text[i], nullptr);
        if (!rows || qstrlen(rows) < 35) continue;
        for (int cell = 0; cell < 35; ++cell)
            if (rows[cell] == '#')
                painter.fillRect(origin.x() + (i * 6 + cell % 5) * scale,
                                 origin.y() + (cell / 5) * scale, scale, scale, Qt::black);
    }
}

struct DemoAnswer {
    Shape answer;
    std::vector<std::unique_ptr<Shape>> inputs;  // the regions of base and operand
};

QImage overview(const QList<DemoCase>& cases, const std::vector<DemoAnswer>& answers) {
    const int rows = (cases.size() + kColumns - 1) / kColumns;
    const int width = kColumns * kTileSide + (kColumns + 1) * kGap;
    const int height = rows * (kTileSide + kLabelBand) + (rows + 1) * kGap;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xdd, 0xdd, 0xdd));
    QPainter painter(&image);
    for (int i = 0; i < cases.size(); ++i) {
        const int x = kGap + (i % kColumns) * (kTileSide + kGap);
        const int y = kGap + (i / kColumns) * (kTileSide + kLabelBand + kGap);
        painter.fillRect(QRect(x, y, kTileSide, kTileSide + kLabelBand), Qt::white);
        drawLabel(painter, QPoint(x + 8, y + 8), cases[i].label, 2);
        QList<const Shape*> inputs;
        for (const auto& input : answers[size_t(i)].inputs)
            inputs.append(input.get());
        const QRectF scene = withMargin(drawingBounds(answers[size_t(i)].answer, inputs));
        paintShapes(painter, QRectF(x, y + kLabelBand, kTileSide, kTileSide), scene,
                    answers[size_t(i)].answer, inputs, PictureFill::EvenOdd);
    }
    painter.end();
    return image;
}

bool runCase(const DemoCase& demo, const QHash<QString, FileRegion*>& regions, double threshold,
             ProgressLine& progress, DemoAnswer* out, QString* error) {
    const FileRegion& base = *regions.value(QLatin1String(demo.base));
    const FileRegion& operand = *regions.value(QLatin1String(demo.operand));
    FileRegion result;
    for (const Spline* s : base.shape) {
        auto copy = new Spline();
        copy->copyFrom(*s);
        result.shape.addSpline(copy);
    }
    result.fill = base.fill;
    if (!applyRegionSteps(
            result,
            {RegionStep{demo.operation, QLatin1String(demo.operand), &operand, 0.0, OffsetStyle()}},
            threshold, progress, error))
        return false;
    out->answer = std::move(result.shape);
    for (const FileRegion* input : {&base, &operand}) {
        carvex::ShapeResult resolved = carvex::resolve(input->shape, input->fill, threshold);
        out->inputs.push_back(std::make_unique<Shape>(std::move(resolved.shape)));
    }
    return true;
}

}  // namespace

int runDemo(const QString& folder, double threshold) {
    ProgressLine progress;
    QList<QPair<QString, QByteArray>> files;
    std::vector<FilledDrawing> drawings(std::size(kExampleFiles));
    std::vector<FileRegion> regions(std::size(kExampleFiles));
    QHash<QString, FileRegion*> regionByName;
    for (size_t i = 0; i < std::size(kExampleFiles); ++i) {
        QString error;
        if (!readFilledDrawing(resource(kExampleFiles[i]), &drawings[i], &error) ||
            !regionOfDrawing(drawings[i], kExampleFiles[i], threshold, &regions[i], &error)) {
            progress.finish();
            std::fprintf(stderr, "carvex: the bundled example is damaged: %s\n", qPrintable(error));
            return ExitBadInput;
        }
        QFile file(resource(kExampleFiles[i]));
        files.append({QLatin1String(kExampleFiles[i]),
                      file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()});
        regionByName.insert(QLatin1String(kExampleFiles[i]), &regions[i]);
    }

    const QList<DemoCase> cases = demoCases();
    std::vector<DemoAnswer> answers(size_t(cases.size()));
    for (int c = 0; c < cases.size(); ++c) {
        const DemoCase& demo = cases[c];
        QString error;
        if (!runCase(demo, regionByName, threshold, progress, &answers[size_t(c)], &error)) {
            progress.finish();
            std::fprintf(stderr, "carvex: %s: %s\n", qPrintable(demo.name), qPrintable(error));
            return ExitBadInput;
        }
        const size_t baseIndex =
            size_t(std::find_if(std::begin(kExampleFiles), std::end(kExampleFiles),
                                [&](const char* n) { return qstrcmp(n, demo.base) == 0; }) -
                   std::begin(kExampleFiles));
        AnswerStyle style;
        style.look.viewport = drawings[baseIndex].viewport;
        style.look.colour = drawings[baseIndex].colour();
        style.look.fill = carvex::FillRule::EvenOdd;
        style.picture = PictureFill::EvenOdd;
        QList<const Shape*> inputs;
        for (const auto& input : answers[size_t(c)].inputs)
            inputs.append(input.get());
        for (ShapeFormat format : {ShapeFormat::Svg, ShapeFormat::Png}) {
            QByteArray contents;
            if (!encodeAnswerFile(format, answers[size_t(c)].answer, style, inputs, &contents,
                                  &error)) {
                progress.message(QStringLiteral("carvex: %1: %2").arg(demo.name, error));
                return ExitCannotWrite;
            }
            files.append({demo.name + (format == ShapeFormat::Svg ? QStringLiteral(".svg")
                                                                  : QStringLiteral(".png")),
                          contents});
        }
    }
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        overview(cases, answers).save(&buffer, "PNG");
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
    QString error;
    if (!writeFilesAtomically(files, &error)) {
        progress.message(QStringLiteral("carvex: ") + error);
        return ExitCannotWrite;
    }
    progress.finish();

    const QString where = QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath());
    QString report = QStringLiteral("carvex: demo written to %1\n").arg(where);
    report +=
        QStringLiteral("  plate.svg, disc.svg, hole.svg, ring.svg, bar.svg   the example shapes\n");
    for (const DemoCase& demo : cases)
        report += QStringLiteral("  %1.svg, %1.png   %2 %3 %4\n")
                      .arg(demo.name, QLatin1String(demo.base), operationName(demo.operation),
                           QLatin1String(demo.operand));
    report += QStringLiteral("  overview.png   every answer, each panel labelled\n");
    // The command as it was started, so that the hint works where it was
    // typed; one started by its path is not on the PATH yet.
    const QString command =
        QDir::toNativeSeparators(QCoreApplication::arguments().value(0, QStringLiteral("carvex")));
    report += QStringLiteral("Try it yourself:\n  %1 %2 subtr_a %3 -o mine.svg\n")
                  .arg(command, QDir::toNativeSeparators(dir.filePath(QStringLiteral("ring.svg"))),
                       QDir::toNativeSeparators(dir.filePath(QStringLiteral("bar.svg"))));
    if (command.contains(QDir::separator()))
        report += QStringLiteral(
            "(cmake --install build/plain --prefix ~/.local puts carvex on the PATH as "
            "~/.local/bin/carvex)\n");
    std::fputs(qPrintable(report), stdout);
    return ExitSuccess;
}
