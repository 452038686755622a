// The carvex command run as a user runs it: results checked by their area
// and knots, messages and exit codes of bad runs, and outputs that a failed
// run leaves alone.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

#include "geometry/shape.h"
#include "shapeio/filleddrawing.h"
#include "shapeio/jsonio.h"
#include "shapeio/shapeio.h"
#include "shapeio/svgio.h"
#include "testshapes.h"

namespace {

const QString kFixtures = QStringLiteral(CARVEX_FIXTURES);

QString fixture(const char* name) {
    return kFixtures + QLatin1Char('/') + QLatin1String(name);
}

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome runCarvex(const QStringList& arguments, const QString& workingDirectory = QString()) {
    QProcess process;
    if (!workingDirectory.isEmpty()) process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(CARVEX_BINARY), arguments);
    Outcome run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "carvex did not finish: " << arguments.join(' ').toStdString();
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(data), data.size());
}

double totalArea(const Shape& shape) {
    double sum = 0.0;
    for (const Spline* s : shape)
        sum += area(*s);
    return sum;
}

class CarvexCommand : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    // Runs the command, expects success, and reads the JSON result back.
    void combine(const QStringList& arguments, Shape& result) {
        const QString out = path("result.json");
        const Outcome run = runCarvex(arguments + QStringList{QStringLiteral("-o"), out});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        QString error;
        ASSERT_TRUE(readShapeFile(out, result, &error)) << error.toStdString();
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(CarvexCommand, OverlappingSquaresGiveTheAreasOfGeometry) {
    // Squares (0,0)-(2,2) and (1,1)-(3,3) overlap in a unit square; the
    // per-pair engine keeps every knot that lies on the answer.
    struct Case {
        const char* operation;
        double area;
        int knots;
    };
    const Case cases[] = {{"union", 7.0, 8},   {"intersect", 1.0, 4}, {"subtr_a", 3.0, 6},
                          {"subtr_b", 3.0, 6}, {"MINUS", 3.0, 6},     {"Intersection", 1.0, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        Shape result;
        combine({QStringLiteral("--per-pair"), fixture("square_a.svg"), QLatin1String(c.operation),
                 fixture("square_b.svg")},
                result);
        ASSERT_EQ(result.size(), 1);
        EXPECT_TRUE(result[0]->closed);
        EXPECT_EQ(result[0]->size(), c.knots);
        EXPECT_NEAR(totalArea(result), c.area, 1e-9);
    }
}

TEST_F(CarvexCommand, SubtractionsKeepTheRightSide) {
    Shape a;
    combine({fixture("square_a.svg"), QStringLiteral("subtr_a"), fixture("square_b.svg")}, a);
    Shape b;
    combine({fixture("square_a.svg"), QStringLiteral("subtr_b"), fixture("square_b.svg")}, b);
    ASSERT_EQ(a.size(), 1);
    ASSERT_EQ(b.size(), 1);
    // A - B keeps (0,0); B - A keeps (3,3).
    auto hasPoint = [](const Shape& s, double x, double y) {
        for (const Knot* k : *s[0])
            if (k->point == Point3d(x, y, 0)) return true;
        return false;
    };
    EXPECT_TRUE(hasPoint(a, 0, 0));
    EXPECT_FALSE(hasPoint(a, 3, 3));
    EXPECT_TRUE(hasPoint(b, 3, 3));
    EXPECT_FALSE(hasPoint(b, 0, 0));
}

TEST_F(CarvexCommand, OperandsApplyInTheOrderGiven) {
    // (A u B) - notch, the notch (JSON) cutting 0.5 x 1 out of A's left side.
    Shape cut;
    combine({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
             QStringLiteral("subtr_a"), fixture("notch.json")},
            cut);
    EXPECT_NEAR(totalArea(cut), 6.5, 1e-9);
    // (A n B) u disc and (A u disc) n B differ.
    Shape first;
    combine({fixture("square_a.svg"), QStringLiteral("intersect"), fixture("square_b.svg"),
             QStringLiteral("union"), fixture("disc.svg")},
            first);
    Shape second;
    combine({fixture("square_a.svg"), QStringLiteral("union"), fixture("disc.svg"),
             QStringLiteral("intersect"), fixture("square_b.svg")},
            second);
    // The disc of radius 1 around (2,1) is four cubic quarters, one of which
    // lies inside the unit square (1,1)-(2,2) and one inside square_b beyond
    // it: the first result is the square and three quarters, the second the
    // square and one quarter.
    Shape disc;
    QString error;
    ASSERT_TRUE(readShapeFile(fixture("disc.svg"), disc, &error)) << error.toStdString();
    const double quarter = totalArea(disc) / 4.0;
    EXPECT_NEAR(quarter, 3.14159265358979 / 4.0, 1e-3);
    EXPECT_NEAR(totalArea(first), 1.0 + 3.0 * quarter, 1e-6);
    EXPECT_NEAR(totalArea(second), 1.0 + quarter, 1e-6);
}

TEST_F(CarvexCommand, AChainOfUnionsIsOneDissolveWithTheSameRegion) {
    // A u B u disc, dissolved in one pass: of the disc of radius 1 around
    // (2, 1), three quarters lie in the squares (area 7) and one below
    // square_b, right of square_a, adds itself. Drawn the other way round,
    // the disc still adds: each file is its own region first.
    Shape disc;
    QString error;
    ASSERT_TRUE(readShapeFile(fixture("disc.svg"), disc, &error)) << error.toStdString();
    const double quarter = totalArea(disc) / 4.0;
    Shape dissolved;
    combine({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
             QStringLiteral("union"), fixture("disc.svg")},
            dissolved);
    EXPECT_NEAR(totalArea(dissolved), 7.0 + quarter, 1e-9);

    Shape reversed;
    ASSERT_TRUE(readShapeFile(fixture("disc.svg"), reversed, &error));
    for (Spline* s : reversed)
        std::reverse(s->begin(), s->end());
    for (Spline* s : reversed)
        for (Knot* k : *s)
            std::swap(k->inVec, k->outVec);
    ASSERT_TRUE(writeShapeFile(path("reversed.json"), reversed, &error)) << error.toStdString();
    Shape withReversed;
    combine({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
             QStringLiteral("union"), path("reversed.json")},
            withReversed);
    EXPECT_NEAR(totalArea(withReversed), 7.0 + quarter, 1e-9);
}

TEST_F(CarvexCommand, EveryOutputFormatAtOnce) {
    const QString svg = path("r.svg");
    const QString json = path("r.json");
    const QString png = path("r.png");
    const Outcome run = runCarvex(
        {fixture("square_a.svg"), QStringLiteral("union"), fixture("disc.svg"),
         QStringLiteral("--show-inputs"), QStringLiteral("-o"), svg, QStringLiteral("--output"),
         json, QStringLiteral("-o"), png, QStringLiteral("-t"), QStringLiteral("0.001")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    Shape fromSvg;
    Shape fromJson;
    QString error;
    ASSERT_TRUE(readShapeFile(svg, fromSvg, &error)) << error.toStdString();
    ASSERT_TRUE(readShapeFile(json, fromJson, &error)) << error.toStdString();
    // The SVG shows the inputs too, yet reads back as the result alone, with
    // the very same coordinates as the JSON.
    EXPECT_TRUE(contents(svg).contains("<use "));
    ASSERT_EQ(fromSvg.size(), 1);
    ASSERT_EQ(fromJson.size(), 1);
    ASSERT_EQ(fromSvg[0]->size(), fromJson[0]->size());
    for (int k = 0; k < fromJson[0]->size(); ++k) {
        EXPECT_EQ(fromSvg[0]->at(k)->point, fromJson[0]->at(k)->point) << k;
        EXPECT_EQ(fromSvg[0]->at(k)->outVec, fromJson[0]->at(k)->outVec) << k;
    }
    QImage picture;
    ASSERT_TRUE(picture.load(png, "PNG"));
    EXPECT_GT(picture.width(), 100);
}

TEST_F(CarvexCommand, WithoutOutputTheSvgGoesToStandardOutput) {
    const Outcome run =
        runCarvex({fixture("square_a.svg"), QStringLiteral("intersect"), fixture("square_b.svg")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_TRUE(run.out.startsWith(QLatin1String("<?xml"))) << run.out.toStdString();
    Shape result;
    QString error;
    ASSERT_TRUE(readSvg(run.out.toUtf8(), QStringLiteral("stdout"), result, &error));
    EXPECT_NEAR(totalArea(result), 1.0, 1e-9);
}

TEST_F(CarvexCommand, UncombinedPairsAreNamedAndTheRunGoesOn) {
    struct Case {
        const char* operation;
        const char* operand;
        const char* reason;
        double area;
    };
    const Case cases[] = {
        {"union", "far_square.svg", "neither cross nor lie one inside the other", 4.0},
        {"subtr_a", "open_line.svg", "fewer than 3 knots", 4.0},
        {"subtr_a", "far_square.svg", "neither cross nor lie one inside the other", 4.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operand);
        const QString out = path("notes.json");
        const Outcome run =
            runCarvex({QStringLiteral("--per-pair"), fixture("square_a.svg"),
                       QLatin1String(c.operation), fixture(c.operand), QStringLiteral("-o"), out});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.err.contains(QStringLiteral("carvex: note: step 1 (%1 %2): base spline 0 "
                                                    "and operand spline 0 of %2 were not "
                                                    "combined")
                                         .arg(QLatin1String(c.operation), fixture(c.operand))))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.reason))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String("the base spline is unchanged")));
        Shape result;
        QString error;
        ASSERT_TRUE(readShapeFile(out, result, &error)) << error.toStdString();
        EXPECT_NEAR(totalArea(result), c.area, 1e-12);
    }
}

TEST_F(CarvexCommand, ManyUncombinedPairsAreCountedNotListed) {
    // Twelve small squares far from square_a: twelve disjoint pairs.
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg'>\n";
    for (int i = 0; i < 12; ++i)
        svg += QStringLiteral("<rect x='%1' y='10' width='1' height='1'/>\n").arg(3 * i).toUtf8();
    svg += "</svg>\n";
    const QString many = path("many.svg");
    writeFile(many, svg);
    const Outcome run =
        runCarvex({QStringLiteral("--per-pair"), fixture("square_a.svg"),
                   QStringLiteral("intersect"), many, QStringLiteral("-o"), path("out.svg")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err.count(QStringLiteral("were not combined:")), 10) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("operand spline 9 of ") + many));
    EXPECT_TRUE(
        run.err.contains(QLatin1String("2 more pairs of splines were not combined (12 of "
                                       "12 pairs in all)")))
        << run.err.toStdString();
}

TEST_F(CarvexCommand, HelpAndVersion) {
    const Outcome help = runCarvex({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* words :
         {"Usage: carvex [options] BASE [OPERATION OPERAND | offset DISTANCE]", "carvex --demo",
          "--join", "subtr_b", "Examples:", "Exit status:", "--threshold"})
        EXPECT_TRUE(help.out.contains(QLatin1String(words))) << words;
    const Outcome version = runCarvex({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.trimmed(), QStringLiteral("carvex 2.0.1.2"));
}

TEST_F(CarvexCommand, UsageErrorsExitWithOne) {
    const QString a = fixture("square_a.svg");
    const QString b = fixture("square_b.svg");
    struct Case {
        QStringList arguments;
        const char* message;
    };
    const Case cases[] = {
        {{a, QStringLiteral("unoin"), b},
         "carvex: argument 2: 'unoin' is not an operation (use union, intersect, subtr_a, "
         "subtr_b, xor or offset)"},
        {{a, QStringLiteral("union")},
         "carvex: argument 2: operation 'union' has no OPERAND file after it"},
        {{a, b, QStringLiteral("union")}, "argument 2: '"},
        {{a, QStringLiteral("--per-pair")}, "missing OPERATION and OPERAND"},
        {{QStringLiteral("-o"), path("x.svg")}, "missing BASE file"},
        {{a, QStringLiteral("union"), b, QStringLiteral("-t"), QStringLiteral("0")},
         "carvex: threshold 0 is out of range: it must lie between 0.00001 and 100000000"},
        {{a, QStringLiteral("union"), b, QStringLiteral("-t"), QStringLiteral("2e8")},
         "threshold 2e8 is out of range"},
        {{a, QStringLiteral("union"), b, QStringLiteral("--threshold"), QStringLiteral("abc")},
         "threshold 'abc' is not a number"},
        {{a, QStringLiteral("union"), b, QStringLiteral("-o"), path("x.txt")},
         "unknown file type (use .svg, .json or .png)"},
        {{a, QStringLiteral("union"), b, QStringLiteral("-o"), path("x.svg"), QStringLiteral("-o"),
          path("x.svg")},
         "is given twice"},
        {{a, QStringLiteral("union"), b, QStringLiteral("--bogus")}, "Unknown option 'bogus'"},
        {{QStringLiteral("--demo"), path("d1"), path("d2")}, "--demo takes at most one folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Outcome run = runCarvex(c.arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String("carvex --help")));
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

// A near-copy that meets the first disc within the merge distance at more
// places than two cubics can cross: the crossing search's cap is named with
// both segments, and no answer is written.
TEST_F(CarvexCommand, CirclesTouchingAlongAStretchAreAnsweredAsSharingIt) {
    writeFile(path("disc.svg"), "<svg xmlns='http://www.w3.org/2000/svg'><circle r='100'/></svg>");
    // A circle 0.1 larger around the disc, touching it at one point: within
    // the threshold of each other near that point they run as one.
    writeFile(path("copy.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg'><circle cx='-0.1' r='100.1'/></svg>");
    const Outcome run = runCarvex({path("disc.svg"), QStringLiteral("subtr_a"), path("copy.svg"),
                                   QStringLiteral("-t"), QStringLiteral("0.01"),
                                   QStringLiteral("-o"), path("out.svg")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    // The disc lies inside the copy: nothing of it is left.
    EXPECT_TRUE(run.err.contains(QStringLiteral("the answer is empty"))) << run.err.toStdString();
}

TEST_F(CarvexCommand, BadInputExitsWithTwoNamingFileAndPlace) {
    struct Case {
        const char* name;
        QByteArray text;
        const char* message;  // after the file's path
    };
    const QByteArray svgHead = "<svg xmlns='http://www.w3.org/2000/svg'>\n";
    const Case cases[] = {
        {"bad_xml.svg", svgHead + "  <rect width='1' height='1'>\n</svg>\n", ":3:"},
        {"bad_path.svg", svgHead + "  <path d='M 0 0 L 5 5 Q 1'/>\n</svg>\n",
         ":2:3: <path> attribute 'd', offset 15: path data ends where 'Q' needs a number"},
        {"flag.svg", svgHead + "<path d='M0 0 A 5 5 0 3 0 9 9'/></svg>",
         ":2:1: <path> attribute 'd', offset 13: expected an arc flag"},
        {"empty.svg", svgHead + "  <g/>\n</svg>\n", ":1:1: the document has no shape"},
        {"huge.svg", svgHead + "<circle r='2e9'/></svg>",
         ":2:1: <circle> subpath 0: knot 0 has the coordinate 2e+09"},
        {"inf.svg", svgHead + "<rect width='1e400' height='1'/></svg>",
         ":2:1: <rect> attribute 'width': number out of range"},
        {"bad.json", "{\"format\": \"carvex-shape\",\n \"version\": 1, \"splines\": [}",
         ":2:28: JSON error: expected a value, found '}'"},
        {"shape.png", "not read", ": PNG files are pictures and cannot be read as shapes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(c.name);
        writeFile(file, c.text);
        const Outcome run = runCarvex({fixture("square_a.svg"), QStringLiteral("union"), file,
                                       QStringLiteral("-o"), path("out.svg")});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(
            run.err.startsWith(QStringLiteral("carvex: ") + file + QLatin1String(c.message)))
            << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("out.svg")));
    }
    const Outcome missing =
        runCarvex({path("nothing.svg"), QStringLiteral("union"), fixture("square_b.svg")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.startsWith(QStringLiteral("carvex: ") + path("nothing.svg") +
                                       QStringLiteral(": cannot read")))
        << missing.err.toStdString();
}

TEST_F(CarvexCommand, FailedRunsLeaveExistingOutputsUntouched) {
    const QString svg = path("keep.svg");
    const QString png = path("keep.png");
    writeFile(svg, "an earlier result");
    writeFile(png, "an earlier picture");
    const QString broken = path("broken.svg");
    writeFile(broken, "<svg xmlns='http://www.w3.org/2000/svg'><path d='M 0 0 L'/></svg>");

    // Bad input: nothing is written.
    Outcome run = runCarvex({fixture("square_a.svg"), QStringLiteral("union"), broken,
                             QStringLiteral("-o"), svg, QStringLiteral("-o"), png});
    EXPECT_EQ(run.exitCode, 2);
    // One output that cannot be written: the others are not replaced either.
    run = runCarvex({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
                     QStringLiteral("-o"), svg, QStringLiteral("-o"), png, QStringLiteral("-o"),
                     path("missing-folder/out.json")});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(
        run.err.contains(path("missing-folder/out.json") + QStringLiteral(": cannot write")))
        << run.err.toStdString();
    // An output that is a folder.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.svg")));
    run = runCarvex({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
                     QStringLiteral("-o"), png, QStringLiteral("-o"), path("folder.svg")});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains(QLatin1String("is a directory"))) << run.err.toStdString();
    EXPECT_EQ(contents(svg), QByteArray("an earlier result"));
    EXPECT_EQ(contents(png), QByteArray("an earlier picture"));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"broken.svg", "keep.png", "keep.svg"}));

    // And a good run replaces both.
    run = runCarvex({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
                     QStringLiteral("-o"), svg, QStringLiteral("-o"), png});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(contents(svg).startsWith("<?xml"));
    EXPECT_TRUE(contents(png).startsWith("\x89PNG"));
}

TEST_F(CarvexCommand, DemoWritesItsPicturesAndNamesTheFolder) {
    const Outcome run = runCarvex({QStringLiteral("--demo"), path("demo")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QDir(path("demo")).absolutePath())) << run.out.toStdString();
    // The closing hint names the command by a path that runs.
    const QString hint =
        run.out.section(QStringLiteral("Try it yourself:\n  "), 1).section('\n', 0, 0);
    EXPECT_TRUE(QFileInfo(hint.section(' ', 0, 0)).isExecutable()) << hint.toStdString();
    const QStringList files = QDir(path("demo")).entryList(QDir::Files, QDir::Name);
    for (const char* name :
         {"plate.svg", "disc.svg", "ring.svg", "bar.svg", "hole.svg", "union.svg", "union.png",
          "intersect.svg", "subtr_a.svg", "subtr_b.svg", "xor.svg", "xor.png",
          "plate_subtr_a_hole.svg", "ring_subtr_a_bar.svg", "overview.png"})
        EXPECT_TRUE(files.contains(QLatin1String(name))) << name;
    auto answer = [&](const char* name, Shape& result) {
        QString error;
        ASSERT_TRUE(
            readShapeFile(path("demo") + QLatin1Char('/') + QLatin1String(name), result, &error))
            << error.toStdString();
    };
    QList<double> areas;
    for (const char* name :
         {"union.svg", "intersect.svg", "subtr_a.svg", "subtr_b.svg", "xor.svg"}) {
        Shape result;
        answer(name, result);
        areas.append(std::abs(totalArea(result)));
    }
    // union = subtr_a + intersect + subtr_b, xor = union - intersect
    EXPECT_NEAR(areas[0], areas[1] + areas[2] + areas[3], 1e-6 * areas[0]);
    EXPECT_NEAR(areas[4], areas[0] - areas[1], 1e-6 * areas[0]);
    // The case with a hole and the case with two pieces.
    Shape holed;
    answer("plate_subtr_a_hole.svg", holed);
    EXPECT_EQ(holed.size(), 2);
    Shape pieces;
    answer("ring_subtr_a_bar.svg", pieces);
    EXPECT_EQ(pieces.size(), 2);
    QImage overview;
    ASSERT_TRUE(overview.load(path("demo/overview.png"), "PNG"));
    EXPECT_GT(overview.width(), overview.height());
}

// Files read as a renderer fills them and combined as whole regions (the
// default engine). Areas are measured exactly: a cubic's share of the
// enclosed area has a closed form (Green's theorem), so an answer made of
// exact pieces of the input curves can be held to 1e-9.

namespace {

double exactArea(const Shape& shape) {
    double sum = 0.0;
    for (const Spline* s : shape)
        sum += exactSignedArea(*s);
    return sum;
}

// The region an answer fills: its loops neither cross nor overlap, outer
// ones turn one way and holes the other, so the signed sum is the region's
// area up to the sign that y down gives every file.
double regionArea(const Shape& answer) {
    return std::abs(exactArea(answer));
}

// The loops of an answer whose signed area has the same sign as the first
// loop's (outer boundaries) and the opposite (holes).
void countLoops(const Shape& answer, int* outer, int* holes) {
    *outer = 0;
    *holes = 0;
    double biggest = 0.0;
    for (const Spline* s : answer)
        if (std::abs(exactSignedArea(*s)) > std::abs(biggest)) biggest = exactSignedArea(*s);
    for (const Spline* s : answer)
        ++*(exactSignedArea(*s) * biggest > 0 ? outer : holes);
}

// The disc of a circle file's first spline, measured on the cubics as read.
double discArea(const char* file, int spline) {
    Shape shape;
    QString error;
    EXPECT_TRUE(readShapeFile(fixture(file), shape, &error)) << error.toStdString();
    return shape.size() > spline ? std::abs(exactSignedArea(*shape[spline])) : 0.0;
}

}  // namespace

TEST_F(CarvexCommand, SubpathsWithoutZAreClosedAsFillingClosesThem) {
    // open_square is 0..4 without Z; square_b 1..3 lies inside it.
    Shape answer;
    combine({fixture("open_square.svg"), QStringLiteral("subtr_a"), fixture("square_b.svg")},
            answer);
    int outer = 0, holes = 0;
    countLoops(answer, &outer, &holes);
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(holes, 1);
    EXPECT_NEAR(regionArea(answer), 16.0 - 4.0, 1e-12);
    // The letter's outline and counter are both left open; even-odd keeps
    // the counter: 6x6 + 2x4 - 2x2.
    Shape letter;
    combine({fixture("letter_p.svg"), QStringLiteral("intersect"), fixture("big_square.svg")},
            letter);
    countLoops(letter, &outer, &holes);
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(holes, 1);
    EXPECT_NEAR(regionArea(letter), 40.0, 1e-12);
    // An open spline in JSON is closed the same way.
    Shape open;
    QString error;
    ASSERT_TRUE(readShapeFile(fixture("open_square.svg"), open, &error)) << error.toStdString();
    ASSERT_FALSE(open[0]->closed);
    QByteArray json;
    ASSERT_TRUE(writeJson(open, &json, &error));
    writeFile(path("open.json"), json);
    Shape fromJson;
    combine({path("open.json"), QStringLiteral("intersect"), fixture("big_square.svg")}, fromJson);
    EXPECT_NEAR(regionArea(fromJson), 16.0, 1e-12);
}

TEST_F(CarvexCommand, FillRulesComeFromAttributesStylesAndGroups) {
    const double outerDisc = discArea("ring_evenodd.svg", 0);
    const double innerDisc = discArea("ring_evenodd.svg", 1);
    EXPECT_NEAR(outerDisc, 100 * M_PI, 0.1);
    EXPECT_NEAR(innerDisc, 25 * M_PI, 0.1);
    struct Case {
        const char* file;
        double area;
        int loops;
    };
    // even-odd on the path; nonzero from a group's style with the counter
    // turning the other way; nonzero in the path's style beating the group's
    // even-odd attribute, both circles one way: no hole.
    const Case cases[] = {{"ring_evenodd.svg", outerDisc - innerDisc, 2},
                          {"ring_nonzero.svg", outerDisc - innerDisc, 2},
                          {"ring_samedirection_nonzero.svg", outerDisc, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Shape answer;
        combine({fixture(c.file), QStringLiteral("intersect"), fixture("big_square.svg")}, answer);
        EXPECT_EQ(answer.size(), c.loops);
        EXPECT_NEAR(regionArea(answer), c.area, 1e-9 * c.area);
    }
}

TEST_F(CarvexCommand, TheRingMinusABarIsTwoEqualPieces) {
    Shape ring;
    combine({fixture("ring_evenodd.svg"), QStringLiteral("intersect"), fixture("big_square.svg")},
            ring);
    Shape minus;
    combine({fixture("ring_evenodd.svg"), QStringLiteral("subtr_a"), fixture("bar.svg")}, minus);
    Shape both;
    combine({fixture("ring_evenodd.svg"), QStringLiteral("intersect"), fixture("bar.svg")}, both);
    Shape all;
    combine({fixture("ring_evenodd.svg"), QStringLiteral("union"), fixture("bar.svg")}, all);

    ASSERT_EQ(minus.size(), 2);
    const double upper = std::abs(exactSignedArea(*minus[0]));
    const double lower = std::abs(exactSignedArea(*minus[1]));
    EXPECT_NEAR(upper, lower, 1e-9 * upper);
    // Both pieces are outer boundaries: the bar cuts the hole open.
    EXPECT_GT(exactSignedArea(*minus[0]) * exactSignedArea(*minus[1]), 0.0);
    const double bar = 30.0 * 2.0;
    EXPECT_NEAR(regionArea(minus), regionArea(ring) - regionArea(both), 1e-9 * regionArea(ring));
    EXPECT_NEAR(regionArea(all) + regionArea(both), regionArea(ring) + bar,
                1e-9 * regionArea(ring));
    // Against geometry: the ring of radii 10 and 5 less the strip |y| <= 1,
    // up to the cubic arcs' own departure from circles.
    auto strip = [](double r) {
        return 2.0 * (std::sqrt(r * r - 1.0) + r * r * std::asin(1.0 / r));
    };
    EXPECT_NEAR(regionArea(minus), 75.0 * M_PI - (strip(10) - strip(5)), 1e-3 * 75.0 * M_PI);
    // The xor of ring and bar is their union less their overlap.
    Shape exclusive;
    combine({fixture("ring_evenodd.svg"), QStringLiteral("xor"), fixture("bar.svg")}, exclusive);
    EXPECT_NEAR(regionArea(exclusive), regionArea(all) - regionArea(both), 1e-9 * regionArea(all));
}

TEST_F(CarvexCommand, SeveralFilledElementsUniteAndUnfilledOnesAreNoted) {
    // Squares 0..4 and 2..6, the second drawn the other way round, with a
    // circle and a line that paint nothing; far_square adds a second piece.
    const QString out = path("several.json");
    const Outcome run = runCarvex({fixture("two_elements.svg"), QStringLiteral("union"),
                                   fixture("far_square.svg"), QStringLiteral("-o"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(fixture("two_elements.svg") +
                                 QStringLiteral(":6:3: <circle> left out: it has no fill")))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("<line> left out: a line encloses no region")));
    Shape answer;
    QString error;
    ASSERT_TRUE(readShapeFile(out, answer, &error)) << error.toStdString();
    int outer = 0, holes = 0;
    countLoops(answer, &outer, &holes);
    EXPECT_EQ(outer, 2);
    EXPECT_EQ(holes, 0);
    EXPECT_NEAR(regionArea(answer), 16.0 + 16.0 - 4.0 + 1.0, 1e-12);
}

TEST_F(CarvexCommand, AStrokedOnlyElementPaintsItsStroke) {
    // The outline of a square 0..4, stroked 1 wide with miter joins: a band
    // from -0.5 to 4.5 around a hole from 0.5 to 3.5. The square 0..2 adds
    // its part inside the hole.
    const double band = 25.0 - 9.0;
    const double inHole = 1.5 * 1.5;
    Shape asOperand;
    combine({fixture("square_a.svg"), QStringLiteral("union"), fixture("stroke_only.svg")},
            asOperand);
    EXPECT_NEAR(regionArea(asOperand), band + inHole, 1e-9);
    Shape asBase;
    combine({fixture("stroke_only.svg"), QStringLiteral("union"), fixture("square_a.svg")}, asBase);
    EXPECT_NEAR(regionArea(asBase), band + inHole, 1e-9);
    const Outcome run =
        runCarvex({fixture("square_a.svg"), QStringLiteral("subtr_a"), fixture("stroke_only.svg"),
                   QStringLiteral("-o"), path("s.svg")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QStringLiteral("left out"))) << run.err.toStdString();
    Shape cut;
    QString error;
    ASSERT_TRUE(readShapeFile(path("s.svg"), cut, &error)) << error.toStdString();
    EXPECT_NEAR(regionArea(cut), inHole, 1e-9);
}

TEST_F(CarvexCommand, TheSvgAnswerTakesTheBasesPlace) {
    const QString out = path("answer.svg");
    const Outcome run = runCarvex({fixture("framed_base.svg"), QStringLiteral("subtr_a"),
                                   fixture("square_b.svg"), QStringLiteral("-o"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QByteArray svg = contents(out);
    EXPECT_TRUE(svg.contains("viewBox=\"0 0 24 24\" width=\"48px\" height=\"48px\"")) << svg.data();
    EXPECT_TRUE(svg.contains("fill=\"#1a7f37\""));
    EXPECT_EQ(svg.count("<path"), 1);
    EXPECT_FALSE(svg.contains("stroke"));
    EXPECT_FALSE(svg.contains("opacity"));
    // Read back as a renderer would: one filled element, the corner cut off.
    FilledDrawing drawing;
    QString error;
    ASSERT_TRUE(readFilledDrawing(out, &drawing, &error)) << error.toStdString();
    ASSERT_EQ(drawing.elements.size(), 1u);
    EXPECT_EQ(drawing.colour(), QStringLiteral("#1a7f37"));
    EXPECT_EQ(drawing.elements[0].paths.size(), 1u);
    EXPECT_NEAR(regionArea(drawing.elements[0].splines()), 400.0 - 1.0, 1e-12);

    // A base without a viewport and without a fill: the answer's bounds, black.
    const Outcome bare =
        runCarvex({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg")});
    ASSERT_EQ(bare.exitCode, 0) << bare.err.toStdString();
    EXPECT_TRUE(bare.out.contains(QLatin1String("viewBox=\"0 0 3 3\" width=\"3\" height=\"3\"")))
        << bare.out.toStdString();
    EXPECT_TRUE(bare.out.contains(QLatin1String("fill=\"black\"")));

    // The picture look stays behind --preview.
    const Outcome preview = runCarvex({fixture("framed_base.svg"), QStringLiteral("subtr_a"),
                                       fixture("square_b.svg"), QStringLiteral("--preview")});
    ASSERT_EQ(preview.exitCode, 0);
    EXPECT_TRUE(preview.out.contains(QLatin1String("opacity")));
    EXPECT_TRUE(preview.out.contains(QLatin1String("<use ")));
}

TEST_F(CarvexCommand, JsonKeepsTheFillRule) {
    const QString out = path("ring.json");
    const Outcome run =
        runCarvex({fixture("ring_evenodd.svg"), QStringLiteral("--per-pair"),
                   QStringLiteral("union"), fixture("far_square.svg"), QStringLiteral("-o"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    FilledDrawing drawing;
    QString error;
    ASSERT_TRUE(readFilledDrawing(out, &drawing, &error)) << error.toStdString();
    ASSERT_EQ(drawing.elements.size(), 1u);
    EXPECT_EQ(drawing.fill(), carvex::FillRule::EvenOdd);
    // Read back under its rule, the ring keeps its hole.
    Shape answer;
    combine({out, QStringLiteral("intersect"), fixture("big_square.svg")}, answer);
    EXPECT_NEAR(regionArea(answer),
                discArea("ring_evenodd.svg", 0) - discArea("ring_evenodd.svg", 1),
                1e-9 * 100 * M_PI);
}

TEST_F(CarvexCommand, StrictPerPairRunsFailOnUncombinedPairs) {
    const QString out = path("strict.svg");
    const QStringList run = {QStringLiteral("--per-pair"), fixture("square_a.svg"),
                             QStringLiteral("union"),      fixture("far_square.svg"),
                             QStringLiteral("-o"),         out};
    const Outcome lenient = runCarvex(run);
    EXPECT_EQ(lenient.exitCode, 0);
    EXPECT_TRUE(QFile::remove(out));
    const Outcome strict = runCarvex(run + QStringList{QStringLiteral("--strict")});
    EXPECT_EQ(strict.exitCode, 4);
    EXPECT_TRUE(strict.err.contains(QLatin1String("were not combined")))
        << strict.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
    // Combined pairs pass --strict.
    EXPECT_EQ(runCarvex({QStringLiteral("--per-pair"), QStringLiteral("--strict"),
                         fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg")})
                  .exitCode,
              0);
    // The exit code is in the help.
    EXPECT_TRUE(runCarvex({QStringLiteral("--help")})
                    .out.contains(QLatin1String("  4  with --per-pair --strict")));
}

TEST_F(CarvexCommand, EngineOptionsThatDoNotFitAreUsageErrors) {
    const Outcome xorPerPair = runCarvex({QStringLiteral("--per-pair"), fixture("square_a.svg"),
                                          QStringLiteral("xor"), fixture("square_b.svg")});
    EXPECT_EQ(xorPerPair.exitCode, 1);
    EXPECT_TRUE(xorPerPair.err.contains(QLatin1String("xor needs the region engine")));
    const Outcome strictAlone = runCarvex({QStringLiteral("--strict"), fixture("square_a.svg"),
                                           QStringLiteral("union"), fixture("square_b.svg")});
    EXPECT_EQ(strictAlone.exitCode, 1);
    EXPECT_TRUE(strictAlone.err.contains(QLatin1String("--strict applies to --per-pair only")));
    // xor itself: the two corners of overlapping squares.
    Shape answer;
    combine({fixture("square_a.svg"), QStringLiteral("xor"), fixture("square_b.svg")}, answer);
    EXPECT_NEAR(regionArea(answer), 4.0 + 4.0 - 2.0 * 1.0, 1e-12);
}

TEST_F(CarvexCommand, AnEmptyAnswerIsASuccess) {
    const QString svg = path("empty.svg");
    const QString json = path("empty.json");
    const Outcome run =
        runCarvex({fixture("square_a.svg"), QStringLiteral("intersect"), fixture("far_square.svg"),
                   QStringLiteral("-o"), svg, QStringLiteral("-o"), json});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QLatin1String("note: the answer is empty")));
    EXPECT_TRUE(contents(svg).contains("d=\"\"")) << contents(svg).data();
    Shape fromJson;
    QString error;
    ASSERT_TRUE(readShapeFile(json, fromJson, &error)) << error.toStdString();
    EXPECT_TRUE(fromJson.isEmpty());
    // And an empty answer is a valid base for the next run.
    Shape next;
    combine({svg, QStringLiteral("union"), fixture("square_b.svg")}, next);
    EXPECT_NEAR(regionArea(next), 4.0, 1e-12);
}

TEST_F(CarvexCommand, TheFirstRunPrintsUsageAndWritesNothing) {
    const Outcome bare = runCarvex({}, dir.path());
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_TRUE(bare.err.contains(QLatin1String("carvex --demo"))) << bare.err.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(CarvexCommand, AFileAloneIsWrittenAsTheRegionItPaints) {
    // The stroked outline of a square 0..4: a band 5 across around a hole 3
    // across, as one outer loop and one hole.
    Shape painted;
    combine({fixture("stroke_only.svg")}, painted);
    int outer = 0, holes = 0;
    countLoops(painted, &outer, &holes);
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(holes, 1);
    EXPECT_NEAR(regionArea(painted), 25.0 - 9.0, 1e-9);
    const Outcome perPair = runCarvex({fixture("stroke_only.svg"), QStringLiteral("--per-pair")});
    EXPECT_EQ(perPair.exitCode, 1);
}

TEST_F(CarvexCommand, OffsetGrowsAndShrinksTheAnswerSoFar) {
    // square_a is 2 across.
    const double pi = 3.14159265358979323846;
    auto area = [&](QStringList arguments) {
        Shape answer;
        combine(QStringList{fixture("square_a.svg")} + arguments, answer);
        return regionArea(answer);
    };
    EXPECT_NEAR(area({QStringLiteral("offset"), QStringLiteral("1")}), 4 + 8 + pi, 1e-4);
    EXPECT_NEAR(area({QStringLiteral("offset"), QStringLiteral("1"), QStringLiteral("--join"),
                      QStringLiteral("miter")}),
                16.0, 1e-9);
    EXPECT_NEAR(area({QStringLiteral("--join"), QStringLiteral("bevel"), QStringLiteral("offset"),
                      QStringLiteral("1")}),
                14.0, 1e-9);
    // Negative distances shrink; steps apply in order.
    EXPECT_NEAR(area({QStringLiteral("offset"), QStringLiteral("-0.5"), QStringLiteral("--join"),
                      QStringLiteral("miter")}),
                1.0, 1e-9);
    EXPECT_NEAR(area({QStringLiteral("offset"), QStringLiteral("2"), QStringLiteral("intersect"),
                      fixture("square_b.svg")}),
                4.0, 1e-9);
    for (const QStringList& bad :
         {QStringList{QStringLiteral("offset"), QStringLiteral("wide")},
          QStringList{QStringLiteral("offset"), QStringLiteral("1"), QStringLiteral("--join"),
                      QStringLiteral("sharp")},
          QStringList{QStringLiteral("offset"), QStringLiteral("1"), QStringLiteral("--per-pair")},
          QStringList{QStringLiteral("offset"), QStringLiteral("1"),
                      QStringLiteral("--miter-limit"), QStringLiteral("0.5")}}) {
        const Outcome run = runCarvex(QStringList{fixture("square_a.svg")} + bad);
        EXPECT_EQ(run.exitCode, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}
