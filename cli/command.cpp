#include "command.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "combine.h"
#include "messages.h"
#include "operations.h"
#include "regions.h"
#include "shapeio/filleddrawing.h"
#include "shapeio/numbertext.h"
#include "shapeio/shapeio.h"

namespace {

constexpr double kDefaultThreshold = 0.0001;

void printError(const QString& text) {
    printMessage(QStringLiteral("carvex: ") + text);
}

int usageError(const QString& text) {
    printError(text);
    printMessage(QStringLiteral("Try 'carvex --help' for more information."));
    return ExitUsage;
}

QString helpEpilogue() {
    QStringList lines;
    lines
        << QString() << QStringLiteral("Operations (case does not matter):") << operationHelpLines()
        << QString()
        << QStringLiteral(
               "Each operation applies its operand to the answer so far, in the order given.")
        << QStringLiteral(
               "'offset DISTANCE' grows the answer so far by DISTANCE (shrinks it where it is")
        << QStringLiteral(
               "negative), its corners shaped by --join; curves stay curves. A BASE alone is")
        << QStringLiteral("written as the one region it paints, fills and strokes together.")
        << QString() << QStringLiteral("Engines:")
        << QStringLiteral(
               "  By default each file is a region: what its filled elements cover, each under")
        << QStringLiteral(
               "  its own fill rule. The answer is the region of the operation, as any number")
        << QStringLiteral(
               "  of closed loops: pieces and holes. Crossings are found on the true curves;")
        << QStringLiteral(
               "  -t merges crossings and knots closer than DISTANCE (default: none but those")
        << QStringLiteral("  that are indistinguishable at the shapes' size).")
        << QStringLiteral(
               "  --per-pair combines each base spline with each operand spline instead, as")
        << QStringLiteral(
               "  the modifier does (-t default 0.0001). A pair it cannot combine (fewer than")
        << QStringLiteral(
               "  3 knots, outlines that do not overlap, an odd number of crossings) is named")
        << QStringLiteral(
               "  in a note on standard error, splines counted from 0 in file order, and the")
        << QStringLiteral(
               "  run goes on; with --strict such a pair ends the run with exit status 4.")
        << QStringLiteral("  xor needs the region engine.") << QString() << QStringLiteral("Files:")
        << QStringLiteral(
               "  in:  .svg as it is painted: path, rect, circle, ellipse, polygon and polyline")
        << QStringLiteral(
               "       with transforms; fill, fill-rule and color from attributes and style,")
        << QStringLiteral(
               "       inherited through groups; subpaths closed as filling closes them.")
        << QStringLiteral(
               "       Elements with fill none, lines and invisible elements enclose no region")
        << QStringLiteral("       and are left out with a note.")
        << QStringLiteral(
               "       .json (the engine's own model with its fill rule, as written by -o "
               "FILE.json)")
        << QStringLiteral(
               "  out: .svg  the answer as one path in the base's fill colour, with the base's")
        << QStringLiteral("             viewBox, width and height, ready to take the base's place;")
        << QStringLiteral("             with --preview a picture of it over the faint inputs")
        << QStringLiteral(
               "       .json lossless; .png a picture of the answer over the faint inputs")
        << QStringLiteral(
               "  Without -o the answer goes to standard output as SVG. Outputs are written")
        << QStringLiteral(
               "  only when everything has succeeded, each whole or not at all. An empty")
        << QStringLiteral("  answer is a success: an SVG whose path has no data, and a note.")
        << QStringLiteral(
               "  An input file may have at most 32 MiB and 100000 knots, with coordinates of at")
        << QStringLiteral("  most 1e9 in magnitude.") << QString() << QStringLiteral("Examples:")
        << QStringLiteral(
               "  carvex examples/plate.svg subtr_a examples/hole.svg -o part.svg -o part.png")
        << QStringLiteral(
               "  carvex examples/ring.svg subtr_a examples/bar.svg union examples/disc.svg -o "
               "out.json")
        << QStringLiteral("  carvex --per-pair --strict examples/plate.svg union examples/disc.svg")
        << QStringLiteral(
               "  carvex --demo              (writes the bundled example to ./carvex-demo)")
        << QString() << QStringLiteral("Exit status:")
        << QStringLiteral(
               "  0  success (notes about left-out elements or uncombined splines may be printed)")
        << QStringLiteral(
               "  1  usage error: unknown option or operation, missing operand, threshold out of")
        << QStringLiteral(
               "     range, unknown output file type, xor or --strict without fitting engine;")
        << QStringLiteral("     also carvex without arguments")
        << QStringLiteral(
               "  2  bad input: a file is unreadable or malformed (the message names the file")
        << QStringLiteral("     and the place), or the engine cannot combine what it holds")
        << QStringLiteral(
               "  3  an output file cannot be written; existing files are left untouched")
        << QStringLiteral(
               "  4  with --per-pair --strict: a pair of splines was left uncombined; nothing")
        << QStringLiteral("     is written")
        << QStringLiteral("  5  out of memory; no output is written");
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// What carvex says when started without arguments.
int firstRunUsage() {
    std::fputs(
        "Usage: carvex [options] BASE OPERATION OPERAND [OPERATION OPERAND]...\n"
        "  OPERATION is union, intersect, subtr_a, subtr_b or xor; files are .svg or .json.\n"
        "  For example: carvex base.svg subtr_a hole.svg -o answer.svg\n"
        "Try 'carvex --demo' to write a worked example to ./carvex-demo,\n"
        "or 'carvex --help' for every option.\n",
        stderr);
    return ExitUsage;
}

bool parseThreshold(const QString& text, double* threshold, QString* error) {
    double value = 0.0;
    if (!parseWholeNumber(text, &value)) {
        *error = QStringLiteral("threshold '%1' is not a number").arg(text);
        return false;
    }
    if (value < carvex::kMinUserThreshold || value > carvex::kMaxUserThreshold) {
        *error = QStringLiteral(
                     "threshold %1 is out of range: it must lie between 0.00001 and "
                     "100000000")
                     .arg(text);
        return false;
    }
    *threshold = value;
    return true;
}

int writeOutputs(const QStringList& outputs, const Shape& result, const QList<const Shape*>& inputs,
                 const AnswerStyle& style, ProgressLine& progress) {
    progress.setStep(QStringLiteral("writing"));
    if (outputs.isEmpty()) {
        QByteArray svg;
        QString error;
        if (!encodeAnswerFile(ShapeFormat::Svg, result, style, inputs, &svg, &error)) {
            progress.message(QStringLiteral("carvex: standard output: ") + error);
            return ExitCannotWrite;
        }
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(svg) != svg.size() ||
            !out.flush()) {
            progress.message(QStringLiteral("carvex: standard output: cannot write"));
            return ExitCannotWrite;
        }
        return ExitSuccess;
    }
    // Everything is encoded before the first file is touched.
    QList<QPair<QString, QByteArray>> files;
    for (const QString& path : outputs) {
        const ShapeFormat format = formatForPath(path);
        QByteArray contents;
        QString error;
        if (!encodeAnswerFile(format, result, style, inputs, &contents, &error)) {
            progress.message(QStringLiteral("carvex: ") + path + QStringLiteral(": ") + error);
            return ExitCannotWrite;
        }
        files.append({path, contents});
    }
    QString error;
    if (!writeFilesAtomically(files, &error)) {
        progress.message(QStringLiteral("carvex: ") + error);
        return ExitCannotWrite;
    }
    return ExitSuccess;
}

}  // namespace

namespace {

// Every input file of a run, read as a renderer fills it.
struct InputFile {
    carvex::Operation operation = carvex::Operation::Union;  // for operands
    QString path;
    FilledDrawing drawing;
    bool isOffset = false;  // an offset step of the chain: no file
    double distance = 0.0;
};

// "offset -2" would read as an option: each offset's distance is joined to
// its word ("offset=-2") before the arguments are parsed.
const QString kOffsetWord = QStringLiteral("offset");

QStringList joinOffsetDistances(const QStringList& arguments) {
    static const QStringList takesValue = {
        QStringLiteral("-o"),          QStringLiteral("--output"), QStringLiteral("-t"),
        QStringLiteral("--threshold"), QStringLiteral("--join"),   QStringLiteral("--miter-limit")};
    QStringList out;
    for (int i = 0; i < arguments.size(); ++i) {
        const bool isValue = i > 0 && takesValue.contains(arguments[i - 1]);
        if (!isValue && arguments[i].compare(kOffsetWord, Qt::CaseInsensitive) == 0 &&
            i + 1 < arguments.size()) {
            out.append(kOffsetWord + QLatin1Char('=') + arguments[++i]);
            continue;
        }
        out.append(arguments[i]);
    }
    return out;
}

// The distance of an "offset=D" step; false with the message for any other
// text after the word.
bool offsetDistance(const QString& token, double* distance, QString* error) {
    const QString text = token.mid(kOffsetWord.size() + 1);
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > carvex::kMaxRegionCoordinate) {
        *error = QStringLiteral(
                     "offset '%1' is not a distance (a number of at most %2 in "
                     "magnitude)")
                     .arg(text)
                     .arg(carvex::kMaxRegionCoordinate);
        return false;
    }
    *distance = d;
    return true;
}

// The chain after the base: operations with their operand files, and
// offsets. Returns the usage error's exit code, or ExitSuccess.
int parseChain(const QStringList& positional, bool perPair, std::vector<InputFile>* files) {
    files->resize(1);
    files->front().path = positional[0];
    for (int i = 1; i < positional.size(); ++i) {
        if (positional[i].startsWith(kOffsetWord + QLatin1Char('='), Qt::CaseInsensitive)) {
            InputFile step;
            step.isOffset = true;
            QString error;
            if (!offsetDistance(positional[i], &step.distance, &error))
                return usageError(QStringLiteral("argument %1: %2").arg(i + 1).arg(error));
            if (perPair)
                return usageError(QStringLiteral("argument %1: offset needs the region engine; "
                                                 "leave out --per-pair")
                                      .arg(i + 1));
            files->push_back(std::move(step));
            continue;
        }
        carvex::Operation operation = carvex::Operation::Union;
        if (!operationFromName(positional[i], &operation))
            return usageError(QStringLiteral("argument %1: '%2' is not an operation (use union, "
                                             "intersect, subtr_a, subtr_b, xor or offset)")
                                  .arg(i + 1)
                                  .arg(positional[i]));
        if (perPair && operation == carvex::Operation::Xor)
            return usageError(QStringLiteral("argument %1: xor needs the region engine; leave "
                                             "out --per-pair")
                                  .arg(i + 1));
        if (i + 1 >= positional.size())
            return usageError(QStringLiteral("argument %1: operation '%2' has no OPERAND file "
                                             "after it")
                                  .arg(i + 1)
                                  .arg(positional[i]));
        files->emplace_back();
        files->back().operation = operation;
        files->back().path = positional[++i];
    }
    return ExitSuccess;
}

// --join and --miter-limit, as given (empty when absent).
bool parseOffsetStyle(const QString& join, const QString& miterLimit, OffsetStyle* style,
                      QString* error) {
    const QString name = join.toLower();
    if (name == QLatin1String("round") || name.isEmpty()) {
        style->join = carvex::LineJoin::Round;
    } else if (name == QLatin1String("miter")) {
        style->join = carvex::LineJoin::Miter;
    } else if (name == QLatin1String("bevel")) {
        style->join = carvex::LineJoin::Bevel;
    } else {
        *error = QStringLiteral("--join '%1' is not a join (use round, miter or bevel)").arg(join);
        return false;
    }
    if (miterLimit.isEmpty()) return true;
    bool ok = false;
    const double limit = miterLimit.toDouble(&ok);
    if (!ok || !std::isfinite(limit) || limit < 1.0 || limit > 1e6) {
        *error =
            QStringLiteral("--miter-limit '%1' is not a limit from 1 to 1000000").arg(miterLimit);
        return false;
    }
    style->miterLimit = limit;
    return true;
}

void printNotes(const InputFile& file, ProgressLine& progress) {
    for (const QString& note : file.drawing.notes)
        progress.message(QStringLiteral("carvex: note: ") + note);
}

// The per-pair engine's run: every filled element's splines, combined pair by
// pair. Returns the exit code; answer and inputs are filled on success.
int runPerPair(const std::vector<InputFile>& files, double threshold, bool strict,
               ProgressLine& progress, Shape* answer, std::vector<std::unique_ptr<Shape>>* inputs) {
    for (const InputFile& file : files)
        inputs->push_back(std::make_unique<Shape>(file.drawing.allSplines()));
    *answer = files.front().drawing.allSplines();
    std::vector<Operand> operands;
    for (size_t i = 1; i < files.size(); ++i)
        operands.push_back(Operand{files[i].operation, files[i].path,
                                   std::make_unique<Shape>(files[i].drawing.allSplines())});
    QList<Operand*> steps;
    for (Operand& operand : operands)
        steps.append(&operand);
    const int uncombined = applyOperands(*answer, steps, threshold, progress);
    if (strict && uncombined > 0) {
        progress.message(QStringLiteral("carvex: --strict: %1 pair%2 of splines left uncombined; "
                                        "nothing written")
                             .arg(uncombined)
                             .arg(uncombined == 1 ? QString() : QStringLiteral("s")));
        return ExitUncombined;
    }
    return ExitSuccess;
}

// The region engine's run. Returns the exit code; answer and, when wanted
// for pictures, the inputs' regions are filled on success.
int runRegions(std::vector<InputFile>& files, double threshold, const OffsetStyle& offset,
               bool wantInputs, ProgressLine& progress, Shape* answer,
               std::vector<std::unique_ptr<Shape>>* inputs) {
    if (files.size() == 1 && !wantInputs) {
        // A file alone: its painted region, every element united in one pass.
        QString error;
        if (!dissolveDrawing(std::move(files[0].drawing.elements), files[0].path, threshold, answer,
                             &error)) {
            progress.message(QStringLiteral("carvex: ") + error);
            return ExitBadInput;
        }
        return ExitSuccess;
    }
    std::vector<FileRegion> regions(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].isOffset) continue;
        QString error;
        if (!regionOfDrawing(files[i].drawing, files[i].path, threshold, &regions[i], &error)) {
            progress.message(QStringLiteral("carvex: ") + error);
            return ExitBadInput;
        }
        // The elements' splines are not needed again: large drawings let go
        // of them before the answer is worked out.
        std::vector<FilledElement>().swap(files[i].drawing.elements);
        if (!wantInputs) continue;
        // Pictures draw each input as the region it stands for.
        carvex::ShapeResult resolved =
            carvex::resolve(regions[i].shape, regions[i].fill, threshold);
        inputs->push_back(std::make_unique<Shape>(std::move(resolved.shape)));
    }
    QList<RegionStep> steps;
    for (size_t i = 1; i < files.size(); ++i)
        steps.append(RegionStep{files[i].operation, files[i].path,
                                files[i].isOffset ? nullptr : &regions[i], files[i].distance,
                                offset});
    FileRegion result;
    result.shape = std::move(regions[0].shape);
    result.fill = regions[0].fill;
    QString error;
    if (steps.isEmpty()) {
        // A file alone: its painted region, as one set of loops.
        carvex::ShapeResult resolved = carvex::resolve(result.shape, result.fill, threshold);
        if (!resolved.ok()) {
            progress.message(QStringLiteral("carvex: %1: the region cannot be resolved: %2")
                                 .arg(files[0].path, carvex::describe(resolved)));
            return ExitBadInput;
        }
        *answer = std::move(resolved.shape);
        return ExitSuccess;
    }
    if (!applyRegionSteps(result, steps, threshold, progress, &error)) {
        progress.message(QStringLiteral("carvex: ") + error);
        return ExitBadInput;
    }
    *answer = std::move(result.shape);
    return ExitSuccess;
}

}  // namespace

int runCommand(const QStringList& arguments) {
    if (arguments.isEmpty()) return firstRunUsage();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Combines the regions of shape files: union, intersection, the two "
                       "differences\nand xor, one operand after the other."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Show the version and exit."));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write the answer to FILE (.svg, .json or .png); repeat for several."),
        QStringLiteral("FILE"));
    const QCommandLineOption thresholdOption(
        {QStringLiteral("t"), QStringLiteral("threshold")},
        QStringLiteral("Merge crossings and knots closer than DISTANCE, in the files' units, "
                       "from 0.00001 to 100000000."),
        QStringLiteral("DISTANCE"));
    const QCommandLineOption perPairOption(
        QStringLiteral("per-pair"),
        QStringLiteral("Combine each base spline with each operand spline, as the modifier "
                       "does, instead of whole regions."));
    const QCommandLineOption strictOption(
        QStringLiteral("strict"),
        QStringLiteral("With --per-pair: a pair left uncombined is an error (exit status 4)."));
    const QCommandLineOption previewOption(
        QStringLiteral("preview"),
        QStringLiteral("Write SVG as a picture: the answer in colour over the faint inputs "
                       "(PNG output always looks so)."));
    const QCommandLineOption showInputsOption(QStringLiteral("show-inputs"),
                                              QStringLiteral("The same as --preview."));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Run the bundled examples and write their pictures to the folder DIR "
                       "given after it (default ./carvex-demo)."));
    const QCommandLineOption joinOption(
        QStringLiteral("join"),
        QStringLiteral("How offset steps shape the corners they grow: round (the default), "
                       "miter or bevel."),
        QStringLiteral("JOIN"));
    const QCommandLineOption miterLimitOption(
        QStringLiteral("miter-limit"),
        QStringLiteral("With --join miter: longest miter, in offset distances (default 4); "
                       "longer ones are beveled."),
        QStringLiteral("LIMIT"));
    parser.addOptions({helpOption, versionOption, outputOption, thresholdOption, perPairOption,
                       strictOption, previewOption, showInputsOption, demoOption, joinOption,
                       miterLimitOption});
    parser.addPositionalArgument(QStringLiteral("BASE"),
                                 QStringLiteral("The shape to start from (.svg or .json)."),
                                 QStringLiteral("BASE"));
    parser.addPositionalArgument(
        QStringLiteral("OPERATION"),
        QStringLiteral("union, intersect, subtr_a (base minus operand), subtr_b (operand "
                       "minus base) or xor."),
        QStringLiteral("OPERATION"));
    parser.addPositionalArgument(QStringLiteral("OPERAND"),
                                 QStringLiteral("A shape file to apply with that operation."),
                                 QStringLiteral("OPERAND [OPERATION OPERAND]..."));

    if (!parser.parse(QStringList(QStringLiteral("carvex")) + joinOffsetDistances(arguments)))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        // Qt's first line names the program by its path and knows one form only.
        QString help = parser.helpText();
        help = help.mid(help.indexOf(QLatin1Char('\n')) + 1);
        help.prepend(
            QStringLiteral("Usage: carvex [options] BASE [OPERATION OPERAND | offset DISTANCE]...\n"
                           "       carvex --demo [DIR]\n"));
        std::fputs(qPrintable(help + helpEpilogue()), stdout);
        return ExitSuccess;
    }
    if (parser.isSet(versionOption)) {
        std::fputs(
            qPrintable(QStringLiteral("carvex %1\n").arg(QCoreApplication::applicationVersion())),
            stdout);
        return ExitSuccess;
    }

    const bool perPair = parser.isSet(perPairOption);
    // The region engine merges only what it must unless told a distance.
    double threshold = perPair ? kDefaultThreshold : 0.0;
    if (parser.isSet(thresholdOption)) {
        QString error;
        if (!parseThreshold(parser.value(thresholdOption), &threshold, &error))
            return usageError(error);
    }
    if (parser.isSet(strictOption) && !perPair)
        return usageError(
            QStringLiteral("--strict applies to --per-pair only: the region engine "
                           "leaves no pair uncombined"));

    const QStringList positional = parser.positionalArguments();
    const QStringList outputs = parser.values(outputOption);
    if (parser.isSet(demoOption)) {
        if (positional.size() > 1)
            return usageError(QStringLiteral("--demo takes at most one folder, not %1 arguments")
                                  .arg(positional.size()));
        if (!outputs.isEmpty())
            return usageError(QStringLiteral("--demo writes its own files; leave out -o"));
        return runDemo(positional.value(0, QStringLiteral("carvex-demo")), threshold);
    }

    if (positional.isEmpty()) return usageError(QStringLiteral("missing BASE file"));
    if (positional.size() == 1 && perPair)
        return usageError(
            QStringLiteral("missing OPERATION and OPERAND after '%1'").arg(positional[0]));
    std::vector<InputFile> files;
    const int parsed = parseChain(positional, perPair, &files);
    if (parsed != ExitSuccess) return parsed;
    OffsetStyle offsetStyle;
    QString styleError;
    if (!parseOffsetStyle(parser.value(joinOption), parser.value(miterLimitOption), &offsetStyle,
                          &styleError))
        return usageError(styleError);

    QSet<QString> seen;
    bool wantPictures = parser.isSet(previewOption) || parser.isSet(showInputsOption);
    for (const QString& path : outputs) {
        if (formatForPath(path) == ShapeFormat::Unknown)
            return usageError(QStringLiteral("output '%1': unknown file type (use .svg, .json or "
                                             ".png)")
                                  .arg(path));
        const QString absolute = fileReachedBy(path);
        if (seen.contains(absolute))
            return usageError(QStringLiteral("output '%1' is given twice").arg(path));
        seen.insert(absolute);
        wantPictures = wantPictures || formatForPath(path) == ShapeFormat::Png;
    }

    ProgressLine progress;
    // Read everything before computing anything.
    for (InputFile& file : files) {
        if (file.isOffset) continue;
        progress.setStep(QStringLiteral("reading %1").arg(file.path));
        QString error;
        if (!readFilledDrawing(file.path, &file.drawing, &error)) {
            progress.finish();
            printError(error);
            return ExitBadInput;
        }
        printNotes(file, progress);
    }

    // The base's look, before its elements are let go.
    const QString baseColour = files[0].drawing.colour();
    const carvex::FillRule baseFill = files[0].drawing.fill();
    Shape answer;
    std::vector<std::unique_ptr<Shape>> inputShapes;
    const int computed = perPair ? runPerPair(files, threshold, parser.isSet(strictOption),
                                              progress, &answer, &inputShapes)
                                 : runRegions(files, threshold, offsetStyle, wantPictures, progress,
                                              &answer, &inputShapes);
    if (computed != ExitSuccess) {
        progress.finish();
        return computed;
    }
    if (answer.isEmpty())
        progress.message(
            QStringLiteral("carvex: note: the answer is empty: no region is left "
                           "(the SVG holds a path without data)"));

    AnswerStyle style;
    style.look.viewport = files[0].drawing.viewport;
    style.look.colour = baseColour;
    // Per pair, loops come back as the base drew them; region answers draw
    // alike under both rules, and even-odd does not depend on their direction.
    style.look.fill = perPair ? baseFill : carvex::FillRule::EvenOdd;
    style.preview = parser.isSet(previewOption) || parser.isSet(showInputsOption);
    style.picture = perPair ? PictureFill::PerSpline : PictureFill::EvenOdd;
    QList<const Shape*> inputs;
    for (const auto& input : inputShapes)
        inputs.append(input.get());
    const int code = writeOutputs(outputs, answer, inputs, style, progress);
    progress.finish();
    return code;
}
