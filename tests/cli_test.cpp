// The carvex command run as a user runs it: results checked by their area
// and knots, messages and exit codes of bad runs, and outputs that a failed
// run leaves alone.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

#include "geometry/shape.h"
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

Outcome carvex(const QStringList& arguments, const QString& workingDirectory = QString()) {
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
        const Outcome run = carvex(arguments + QStringList{QStringLiteral("-o"), out});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        QString error;
        ASSERT_TRUE(readShapeFile(out, result, &error)) << error.toStdString();
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(CarvexCommand, OverlappingSquaresGiveTheAreasOfGeometry) {
    // Squares (0,0)-(2,2) and (1,1)-(3,3) overlap in a unit square.
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
        combine({fixture("square_a.svg"), QLatin1String(c.operation), fixture("square_b.svg")},
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

TEST_F(CarvexCommand, EveryOutputFormatAtOnce) {
    const QString svg = path("r.svg");
    const QString json = path("r.json");
    const QString png = path("r.png");
    const Outcome run = carvex(
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
        carvex({fixture("square_a.svg"), QStringLiteral("intersect"), fixture("square_b.svg")});
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
        {"subtr_a", "open_line.svg", "one of the splines is open", 4.0},
        {"subtr_a", "far_square.svg", "neither cross nor lie one inside the other", 4.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operand);
        const QString out = path("notes.json");
        const Outcome run = carvex({fixture("square_a.svg"), QLatin1String(c.operation),
                                    fixture(c.operand), QStringLiteral("-o"), out});
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
    const Outcome run = carvex({fixture("square_a.svg"), QStringLiteral("intersect"), many,
                                QStringLiteral("-o"), path("out.svg")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err.count(QStringLiteral("were not combined:")), 10) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("operand spline 9 of ") + many));
    EXPECT_TRUE(
        run.err.contains(QLatin1String("2 more pairs of splines were not combined (12 of "
                                       "12 pairs in all)")))
        << run.err.toStdString();
}

TEST_F(CarvexCommand, HelpAndVersion) {
    const Outcome help = carvex({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* words : {"Usage: carvex [options] BASE OPERATION OPERAND", "carvex --demo",
                              "subtr_b", "Examples:", "Exit status:", "--threshold"})
        EXPECT_TRUE(help.out.contains(QLatin1String(words))) << words;
    const Outcome version = carvex({QStringLiteral("--version")});
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
         "carvex: argument 2: 'unoin' is not an operation (use union, intersect, subtr_a or "
         "subtr_b)"},
        {{a, QStringLiteral("union")},
         "carvex: argument 2: operation 'union' has no OPERAND file after it"},
        {{a, b, QStringLiteral("union")}, "argument 2: '"},
        {{a}, "missing OPERATION and OPERAND"},
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
        const Outcome run = carvex(c.arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String("carvex --help")));
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
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
        const Outcome run = carvex({fixture("square_a.svg"), QStringLiteral("union"), file,
                                    QStringLiteral("-o"), path("out.svg")});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(
            run.err.startsWith(QStringLiteral("carvex: ") + file + QLatin1String(c.message)))
            << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("out.svg")));
    }
    const Outcome missing =
        carvex({path("nothing.svg"), QStringLiteral("union"), fixture("square_b.svg")});
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
    Outcome run = carvex({fixture("square_a.svg"), QStringLiteral("union"), broken,
                          QStringLiteral("-o"), svg, QStringLiteral("-o"), png});
    EXPECT_EQ(run.exitCode, 2);
    // One output that cannot be written: the others are not replaced either.
    run = carvex({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
                  QStringLiteral("-o"), svg, QStringLiteral("-o"), png, QStringLiteral("-o"),
                  path("missing-folder/out.json")});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(
        run.err.contains(path("missing-folder/out.json") + QStringLiteral(": cannot write")))
        << run.err.toStdString();
    // An output that is a folder.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.svg")));
    run = carvex({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
                  QStringLiteral("-o"), png, QStringLiteral("-o"), path("folder.svg")});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains(QLatin1String("is a directory"))) << run.err.toStdString();
    EXPECT_EQ(contents(svg), QByteArray("an earlier result"));
    EXPECT_EQ(contents(png), QByteArray("an earlier picture"));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"broken.svg", "keep.png", "keep.svg"}));

    // And a good run replaces both.
    run = carvex({fixture("square_a.svg"), QStringLiteral("union"), fixture("square_b.svg"),
                  QStringLiteral("-o"), svg, QStringLiteral("-o"), png});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(contents(svg).startsWith("<?xml"));
    EXPECT_TRUE(contents(png).startsWith("\x89PNG"));
}

TEST_F(CarvexCommand, DemoWritesItsPicturesAndNamesTheFolder) {
    const Outcome run = carvex({QStringLiteral("--demo"), path("demo")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QDir(path("demo")).absolutePath())) << run.out.toStdString();
    const QStringList files = QDir(path("demo")).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, QStringList({"disc.svg", "intersect.png", "intersect.svg", "overview.png",
                                  "plate.svg", "subtr_a.png", "subtr_a.svg", "subtr_b.png",
                                  "subtr_b.svg", "union.png", "union.svg"}));
    // Each result differs from the others and reads back as one closed spline.
    QList<double> areas;
    for (const char* name : {"union.svg", "intersect.svg", "subtr_a.svg", "subtr_b.svg"}) {
        Shape result;
        QString error;
        ASSERT_TRUE(
            readShapeFile(path("demo") + QLatin1Char('/') + QLatin1String(name), result, &error))
            << error.toStdString();
        ASSERT_EQ(result.size(), 1) << name;
        areas.append(totalArea(result));
    }
    // union = subtr_a + intersect + subtr_b
    EXPECT_NEAR(areas[0], areas[1] + areas[2] + areas[3], 1e-6 * areas[0]);
    QImage overview;
    ASSERT_TRUE(overview.load(path("demo/overview.png"), "PNG"));

    // Without arguments the demo goes to ./carvex-demo.
    const Outcome bare = carvex({}, dir.path());
    ASSERT_EQ(bare.exitCode, 0) << bare.err.toStdString();
    EXPECT_TRUE(QFile::exists(path("carvex-demo/overview.png")));
}
