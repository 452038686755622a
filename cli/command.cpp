#include "command.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <memory>
#include <vector>

#include "combine.h"
#include "operations.h"
#include "shapeio/numbertext.h"
#include "shapeio/shapeio.h"

namespace {

constexpr double kDefaultThreshold = 0.0001;
constexpr double kMinThreshold = 0.00001;
constexpr double kMaxThreshold = 100000000.0;

void printError(const QString& text) {
    std::fputs(qPrintable(QStringLiteral("carvex: ") + text + QLatin1Char('\n')), stderr);
}

int usageError(const QString& text) {
    printError(text);
    std::fputs("Try 'carvex --help' for more information.\n", stderr);
    return ExitUsage;
}

QString helpEpilogue() {
    QStringList lines;
    lines << QString() << QStringLiteral("Operations (case does not matter):")
          << operationHelpLines() << QString()
          << QStringLiteral(
                 "Each operation applies its operand to the result so far, in the "
                 "order given.")
          << QStringLiteral(
                 "Every subpath of a file is one spline; the engine combines each "
                 "closed base spline")
          << QStringLiteral(
                 "with each closed operand spline. A pair it cannot combine (an open "
                 "spline, fewer")
          << QStringLiteral(
                 "than 3 knots, outlines that do not overlap, an odd number of "
                 "crossings) is named")
          << QStringLiteral(
                 "in a note on standard error, with splines counted from 0 in file "
                 "order; the run goes on.")
          << QString() << QStringLiteral("Files:")
          << QStringLiteral(
                 "  in:  .svg (path, rect, circle, ellipse, polygon, polyline, line, "
                 "with transforms)")
          << QStringLiteral(
                 "       .json (the engine's own model, as written by -o "
                 "FILE.json)")
          << QStringLiteral(
                 "  out: .svg (cubic paths, exact coordinates), .json (lossless), "
                 ".png (a picture)")
          << QStringLiteral(
                 "  Without -o the result goes to standard output as SVG. Outputs "
                 "are written only")
          << QStringLiteral("  when everything has succeeded, each whole or not at all.")
          << QStringLiteral(
                 "  An input file may have at most 32 MiB and 100000 knots, with "
                 "coordinates of at")
          << QStringLiteral("  most 1e9 in magnitude.") << QString() << QStringLiteral("Examples:")
          << QStringLiteral(
                 "  carvex plate.svg subtr_a hole.svg union tab.svg -o part.svg -o "
                 "part.png")
          << QStringLiteral("  carvex a.json intersect b.svg -t 0.01 --show-inputs -o both.svg")
          << QStringLiteral(
                 "  carvex --demo              (writes the bundled example to "
                 "./carvex-demo)")
          << QString() << QStringLiteral("Exit status:")
          << QStringLiteral("  0  success (notes about uncombined splines may still be printed)")
          << QStringLiteral(
                 "  1  usage error: unknown option or operation, missing operand, "
                 "threshold out of")
          << QStringLiteral("     range, unknown output file type")
          << QStringLiteral(
                 "  2  bad input: a file is unreadable or malformed; the message "
                 "names the file and")
          << QStringLiteral("     the place (line and column, or the offset in the path data)")
          << QStringLiteral(
                 "  3  an output file cannot be written; existing files are left "
                 "untouched")
          << QStringLiteral("  4  out of memory; no output is written");
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool parseThreshold(const QString& text, double* threshold, QString* error) {
    double value = 0.0;
    if (!parseWholeNumber(text, &value)) {
        *error = QStringLiteral("threshold '%1' is not a number").arg(text);
        return false;
    }
    if (value < kMinThreshold || value > kMaxThreshold) {
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
                 bool showInputs, ProgressLine& progress) {
    progress.setStep(QStringLiteral("writing"));
    if (outputs.isEmpty()) {
        QByteArray svg;
        QString error;
        if (!encodeShapeFile(ShapeFormat::Svg, result, showInputs ? inputs : QList<const Shape*>(),
                             &svg, &error)) {
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
        // A picture always shows the inputs; SVG only when asked.
        const bool withInputs = format == ShapeFormat::Png || showInputs;
        QByteArray contents;
        QString error;
        if (!encodeShapeFile(format, result, withInputs ? inputs : QList<const Shape*>(), &contents,
                             &error)) {
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

int runCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Combines the closed curves of a base shape with those of operand "
                       "shapes:\nunion, intersection and the two differences, one operand "
                       "after the other."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Show the version and exit."));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write the result to FILE (.svg, .json or .png); repeat for several."),
        QStringLiteral("FILE"));
    const QCommandLineOption thresholdOption(
        {QStringLiteral("t"), QStringLiteral("threshold")},
        QStringLiteral("Tolerance distance for welding knots and finding crossings, in the "
                       "files' units, from 0.00001 to 100000000 (default 0.0001)."),
        QStringLiteral("DISTANCE"));
    const QCommandLineOption showInputsOption(
        QStringLiteral("show-inputs"),
        QStringLiteral("Draw the inputs faintly under the result in SVG output (PNG output "
                       "always shows them)."));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Run the bundled example and write its pictures to the folder DIR "
                       "given after it (default ./carvex-demo); carvex without arguments "
                       "does the same."));
    parser.addOptions(
        {helpOption, versionOption, outputOption, thresholdOption, showInputsOption, demoOption});
    parser.addPositionalArgument(QStringLiteral("BASE"),
                                 QStringLiteral("The shape to start from (.svg or .json)."),
                                 QStringLiteral("BASE"));
    parser.addPositionalArgument(
        QStringLiteral("OPERATION"),
        QStringLiteral("union, intersect, subtr_a (base minus operand) or subtr_b (operand "
                       "minus base)."),
        QStringLiteral("OPERATION"));
    parser.addPositionalArgument(QStringLiteral("OPERAND"),
                                 QStringLiteral("A shape file to apply with that operation."),
                                 QStringLiteral("OPERAND [OPERATION OPERAND]..."));

    if (!parser.parse(QStringList(QStringLiteral("carvex")) + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        // Qt's first line names the program by its path and knows one form only.
        QString help = parser.helpText();
        help = help.mid(help.indexOf(QLatin1Char('\n')) + 1);
        help.prepend(
            QStringLiteral("Usage: carvex [options] BASE OPERATION OPERAND [OPERATION "
                           "OPERAND]...\n       carvex --demo [DIR]\n"));
        std::fputs(qPrintable(help + helpEpilogue()), stdout);
        return ExitSuccess;
    }
    if (parser.isSet(versionOption)) {
        std::fputs(
            qPrintable(QStringLiteral("carvex %1\n").arg(QCoreApplication::applicationVersion())),
            stdout);
        return ExitSuccess;
    }

    double threshold = kDefaultThreshold;
    if (parser.isSet(thresholdOption)) {
        QString error;
        if (!parseThreshold(parser.value(thresholdOption), &threshold, &error))
            return usageError(error);
    }

    const QStringList positional = parser.positionalArguments();
    const QStringList outputs = parser.values(outputOption);
    if (parser.isSet(demoOption) || arguments.isEmpty()) {
        if (positional.size() > 1)
            return usageError(QStringLiteral("--demo takes at most one folder, not %1 arguments")
                                  .arg(positional.size()));
        if (!outputs.isEmpty())
            return usageError(QStringLiteral("--demo writes its own files; leave out -o"));
        return runDemo(positional.value(0, QStringLiteral("carvex-demo")), threshold);
    }

    if (positional.isEmpty()) return usageError(QStringLiteral("missing BASE file"));
    if (positional.size() == 1)
        return usageError(
            QStringLiteral("missing OPERATION and OPERAND after '%1'").arg(positional[0]));
    std::vector<Operand> operands;
    for (int i = 1; i < positional.size(); i += 2) {
        const int operation = operationFromName(positional[i]);
        if (operation < 0)
            return usageError(QStringLiteral("argument %1: '%2' is not an operation (use union, "
                                             "intersect, subtr_a or subtr_b)")
                                  .arg(i + 1)
                                  .arg(positional[i]));
        if (i + 1 >= positional.size())
            return usageError(QStringLiteral("argument %1: operation '%2' has no OPERAND file "
                                             "after it")
                                  .arg(i + 1)
                                  .arg(positional[i]));
        operands.push_back(Operand{operation, positional[i + 1], nullptr});
    }

    QSet<QString> seen;
    for (const QString& path : outputs) {
        if (formatForPath(path) == ShapeFormat::Unknown)
            return usageError(QStringLiteral("output '%1': unknown file type (use .svg, .json or "
                                             ".png)")
                                  .arg(path));
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (seen.contains(absolute))
            return usageError(QStringLiteral("output '%1' is given twice").arg(path));
        seen.insert(absolute);
    }

    ProgressLine progress;
    // Read everything before computing anything.
    auto result = std::make_unique<Shape>();
    progress.setStep(QStringLiteral("reading %1").arg(positional[0]));
    QString error;
    if (!loadShape(positional[0], *result, &error)) {
        progress.finish();
        printError(error);
        return ExitBadInput;
    }
    for (Operand& operand : operands) {
        progress.setStep(QStringLiteral("reading %1").arg(operand.path));
        operand.shape = std::make_unique<Shape>();
        if (!loadShape(operand.path, *operand.shape, &error)) {
            progress.finish();
            printError(error);
            return ExitBadInput;
        }
    }

    // The inputs as read, for pictures: the engine changes its operands.
    std::vector<std::unique_ptr<Shape>> inputCopies;
    QList<const Shape*> inputs;
    inputCopies.push_back(cloneShape(*result));
    for (const Operand& operand : operands)
        inputCopies.push_back(cloneShape(*operand.shape));
    for (const auto& copy : inputCopies)
        inputs.append(copy.get());

    QList<Operand*> steps;
    for (Operand& operand : operands)
        steps.append(&operand);
    applyOperands(*result, steps, threshold, progress);

    const int code =
        writeOutputs(outputs, *result, inputs, parser.isSet(showInputsOption), progress);
    progress.finish();
    return code;
}
