// The limits that keep reading shape files and running the command bounded:
// file size, knot count, the markup the XML reader would spend unbounded time
// on, the size of JSON documents, and outputs that a killed run leaves alone.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "geometry/shape.h"
#include "shapeio/jsonio.h"
#include "shapeio/pathdata.h"
#include "shapeio/shapecheck.h"
#include "shapeio/shapeio.h"
#include "shapeio/svgio.h"

// Messages print as text when a check fails.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QByteArray kSvgHead = "<svg xmlns=\"http://www.w3.org/2000/svg\">\n";

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(data), data.size());
}

QByteArray fileContents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int knotCount(const Shape& shape) {
    int n = 0;
    for (const Spline* s : shape)
        n += s->size();
    return n;
}

// Path data of one open subpath with the given number of knots.
QByteArray zigzag(int knots) {
    QByteArray d = "M0 0";
    d.reserve(knots * 5);
    for (int i = 1; i < knots; ++i)
        d += i % 2 ? " l1 1" : " l1 -1";
    return d;
}

QByteArray pathElement(const QByteArray& d) {
    return "<path d=\"" + d + "\"/>\n";
}

// Reads an SVG document and returns the error, empty on success.
QString svgError(const QByteArray& svg, Shape* shape = nullptr) {
    Shape local;
    QString error;
    const bool ok = readSvg(svg, QStringLiteral("t.svg"), shape ? *shape : local, &error);
    EXPECT_EQ(ok, error.isEmpty());
    return error;
}

QByteArray jsonKnots(int knots) {
    QByteArray doc = "{\"format\": \"carvex-shape\", \"version\": 1, \"splines\": [";
    doc += "{\"closed\": false, \"knots\": [";
    for (int i = 0; i < knots; ++i) {
        const QByteArray p = "[" + QByteArray::number(i) + ", 0, 0]";
        doc += (i ? "," : "") + QByteArray("{\"point\": ") + p + ", \"inVec\": " + p +
               ", \"outVec\": " + p + ", \"type\": 0}";
    }
    return doc + "]}]}";
}

}  // namespace

TEST(FileSize, LargerFilesAreRefusedByName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A comment pads the document: the size alone decides.
    const QByteArray body = kSvgHead + "<rect width=\"1\" height=\"1\"/>\n<!--";
    const QByteArray tail = "-->\n</svg>\n";
    const QByteArray fits =
        body + QByteArray(int(kMaxShapeFileBytes) - body.size() - tail.size(), ' ') + tail;
    ASSERT_EQ(fits.size(), kMaxShapeFileBytes);
    const QString fitsPath = dir.filePath(QStringLiteral("fits.svg"));
    writeFile(fitsPath, fits);
    Shape shape;
    QString error;
    EXPECT_TRUE(readShapeFile(fitsPath, shape, &error)) << error.toStdString();
    EXPECT_EQ(shape.size(), 1);

    const QString bigPath = dir.filePath(QStringLiteral("big.svg"));
    writeFile(bigPath, body + QByteArray(int(kMaxShapeFileBytes) - body.size(), ' ') + tail);
    Shape refused;
    ASSERT_FALSE(readShapeFile(bigPath, refused, &error));
    EXPECT_EQ(error, bigPath + QStringLiteral(": larger than 33554432 bytes (32 MiB), the most a "
                                              "shape file may have"));
    EXPECT_TRUE(refused.isEmpty());

    // The command says so and stops with its code for bad input.
    QProcess run;
    run.start(QStringLiteral(CARVEX_BINARY), {fitsPath, QStringLiteral("union"), bigPath});
    ASSERT_TRUE(run.waitForFinished(120000));
    EXPECT_EQ(run.exitCode(), 2);
    EXPECT_EQ(QString::fromUtf8(run.readAllStandardError()),
              QStringLiteral("carvex: ") + error + QLatin1Char('\n'));
}

TEST(KnotCount, SvgPathsHoldAtMostTheLimitInAll) {
    Shape shape;
    EXPECT_EQ(svgError(kSvgHead + pathElement(zigzag(kMaxShapeKnots)) + "</svg>", &shape), "");
    EXPECT_EQ(knotCount(shape), kMaxShapeKnots);

    // One knot more, in one path or spread over several elements.
    EXPECT_EQ(svgError(kSvgHead + pathElement(zigzag(kMaxShapeKnots + 1)) + "</svg>"),
              "t.svg:2:1: <path> attribute 'd', offset 550004: more than 100000 knots, the most "
              "a shape file may hold");
    const QByteArray spread = kSvgHead + pathElement(zigzag(kMaxShapeKnots - 3)) +
                              "<rect width=\"1\" height=\"1\"/>\n</svg>";
    EXPECT_EQ(svgError(spread),
              "t.svg:3:1: <rect>: more than 100000 knots, the most a shape file may hold");
    QByteArray points = "<polygon points=\"";
    for (int i = 0; i <= kMaxShapeKnots; ++i)
        points += QByteArray::number(i) + " 0 ";
    EXPECT_TRUE(svgError(kSvgHead + points + "\"/></svg>")
                    .startsWith("t.svg:2:1: <polygon> attribute 'points', offset "));
}

TEST(KnotCount, PathDataStopsAtItsLimit) {
    Shape shape;
    PathDataError error;
    EXPECT_TRUE(parsePathData(QString::fromLatin1(zigzag(5)), shape, &error, 5));
    EXPECT_FALSE(parsePathData(QString::fromLatin1(zigzag(6)), shape, &error, 5));
    EXPECT_EQ(error.message, tooManyKnotsMessage());
    // The knots of closed subpaths count once, however they close.
    EXPECT_TRUE(
        parsePathData(QStringLiteral("M0 0 L1 0 L1 1 L0 0 Z M5 5 h1 v1 z"), shape, &error, 6));
    EXPECT_FALSE(
        parsePathData(QStringLiteral("M0 0 L1 0 L1 1 L0 0 Z M5 5 h1 v1 z"), shape, &error, 5));
    EXPECT_EQ(shape.size(), 3);  // the first call's spline and the closed pair
}

TEST(KnotCount, JsonHoldsAtMostTheLimit) {
    Shape shape;
    QString error;
    ASSERT_TRUE(readJson(jsonKnots(kMaxShapeKnots), QStringLiteral("s.json"), shape, &error))
        << error.toStdString();
    EXPECT_EQ(knotCount(shape), kMaxShapeKnots);
    Shape refused;
    EXPECT_FALSE(
        readJson(jsonKnots(kMaxShapeKnots + 1), QStringLiteral("s.json"), refused, &error));
    EXPECT_EQ(error,
              "s.json:1:81: splines[0].knots: more than 100000 knots, the most a shape file may "
              "hold");
    EXPECT_TRUE(refused.isEmpty());
}

TEST(JsonSize, ValuesAreCountedAndMembersCheckedWithoutScans) {
    // The array and 1999999 numbers: 2000000 values.
    QByteArray many = "[0";
    for (int i = 1; i < 1999999; ++i)
        many += ",0";
    Shape shape;
    QString error;
    // Syntax is read in full before the content: this much is a shape's worth.
    EXPECT_FALSE(readJson(many + "]", QStringLiteral("s.json"), shape, &error));
    EXPECT_EQ(error, "s.json:1:1: document: expected an object");
    EXPECT_FALSE(readJson(many + ",0]", QStringLiteral("s.json"), shape, &error));
    EXPECT_EQ(error, "s.json:1:4000000: JSON error: more than 2000000 values");

    // Many members, the duplicate last: found where it stands.
    QByteArray members = "{";
    for (int i = 0; i < 200000; ++i)
        members += "\"k" + QByteArray::number(i) + "\": 0, ";
    const int duplicateAt = members.size() + 1;
    members += "\"k123\": 1}";
    EXPECT_FALSE(readJson(members, QStringLiteral("s.json"), shape, &error));
    EXPECT_EQ(
        error,
        QStringLiteral("s.json:1:%1: JSON error: duplicate member \"k123\"").arg(duplicateAt));
}

TEST(XmlMarkup, CrowdedTagsManyNamespacesAndEntityReferencesAreRefused) {
    auto attributes = [](int n) {
        QByteArray a;
        for (int i = 0; i < n; ++i)
            a += " a" + QByteArray::number(i) + "=\"1\"";
        return a;
    };
    // 254 attributes of its own and width and height: 256 in all.
    EXPECT_EQ(svgError(kSvgHead + "<rect width=\"1\" height=\"1\"" + attributes(254) + "/></svg>"),
              "");
    EXPECT_EQ(svgError(kSvgHead + "<rect width=\"1\" height=\"1\"" + attributes(255) + "/></svg>"),
              "t.svg:2:1: a tag with more than 256 attributes");
    // An '=' inside a quoted value is no attribute.
    EXPECT_EQ(
        svgError(kSvgHead + "<path d=\"M0 0 h1 v1 z\" a=\"" + QByteArray(300, '=') + "\"/></svg>"),
        "");

    // The root's declaration and 999 more: 1000, which the reader takes (and
    // then finds the groups too deep).
    QByteArray scoped = kSvgHead + "<rect width=\"1\" height=\"1\"/>\n";
    for (int i = 0; i < 999; ++i)
        scoped += "<g xmlns:p" + QByteArray::number(i) + "=\"urn:x\">";
    QByteArray closing;
    for (int i = 0; i < 999; ++i)
        closing += "</g>";
    EXPECT_TRUE(svgError(scoped + closing + "</svg>").endsWith("groups nested more than 256 deep"));
    EXPECT_EQ(svgError(scoped + "<g xmlns:q=\"urn:x\"></g>" + closing + "</svg>"),
              "t.svg:3:21872: more than 1000 namespace declarations");

    const QByteArray declared =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE svg [<!ENTITY w \"1\">]>\n" + kSvgHead;
    QByteArray rects;
    for (int i = 0; i < 500; ++i)
        rects += "<rect width=\"&w;\" height=\"&w;\"/>";
    Shape shape;
    EXPECT_EQ(svgError(declared + rects + "</svg>", &shape), "");
    EXPECT_EQ(shape.size(), 500);
    EXPECT_EQ(svgError(declared + rects + "<rect width=\"&w;\"/></svg>"),
              "t.svg:4:16014: more than 1000 entity references");
    // The five predefined entities are characters, not references.
    EXPECT_EQ(svgError(kSvgHead + "<rect width=\"1\" height=\"1\"/><desc>" +
                       QByteArray("&lt;&amp;").repeated(1000) + "</desc></svg>"),
              "");
}

// A run killed while it computes leaves no output and no temporary file, and
// an output that was there before is left as it was.
TEST(KilledRun, LeavesNoPartialOutput) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Hundreds of overlapping circles against hundreds, pair by pair: every
    // pair crosses and the base outlines grow with each union, seconds of
    // work on any machine, far more than the run is given before the kill.
    auto circles = [](double offset) {
        QByteArray svg = kSvgHead;
        for (int i = 0; i < 300; ++i) {
            const double x = (i % 20) * 0.5 + offset;
            const double y = (i / 20) * 0.5 + offset;
            svg += "<circle cx=\"" + QByteArray::number(x) + "\" cy=\"" + QByteArray::number(y) +
                   "\" r=\"10\"/>\n";
        }
        return svg + "</svg>\n";
    };
    writeFile(dir.filePath(QStringLiteral("base.svg")), circles(0));
    writeFile(dir.filePath(QStringLiteral("operand.svg")), circles(1));
    const QByteArray before = "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n";
    const QString kept = dir.filePath(QStringLiteral("kept.svg"));
    writeFile(kept, before);
    const QStringList expected = {QStringLiteral("base.svg"), QStringLiteral("kept.svg"),
                                  QStringLiteral("operand.svg")};

    for (int signal : {SIGKILL, SIGTERM}) {
        QProcess run;
        run.start(QStringLiteral(CARVEX_BINARY),
                  {QStringLiteral("--per-pair"), dir.filePath(QStringLiteral("base.svg")),
                   QStringLiteral("union"), dir.filePath(QStringLiteral("operand.svg")),
                   QStringLiteral("-o"), kept, QStringLiteral("-o"),
                   dir.filePath(QStringLiteral("new.json"))});
        ASSERT_TRUE(run.waitForStarted());
        // Let it read the files and get into the pairs.
        ASSERT_FALSE(run.waitForFinished(500)) << "the run ended before it could be killed";
        ::kill(pid_t(run.processId()), signal);
        ASSERT_TRUE(run.waitForFinished(60000));
        EXPECT_EQ(run.exitStatus(), QProcess::CrashExit) << "signal " << signal;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected)
            << "signal " << signal;
        EXPECT_EQ(fileContents(kept), before) << "signal " << signal;
    }
}
