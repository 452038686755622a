// Shape files: bit-exact round trips, JSON messages, whole-or-nothing
// writing, and pictures.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "geometry/shape.h"
#include "shapeio/drawing.h"
#include "shapeio/filleddrawing.h"
#include "shapeio/jsonio.h"
#include "shapeio/numbertext.h"
#include "shapeio/shapeio.h"
#include "shapeio/subpathbuilder.h"
#include "shapeio/svgio.h"

namespace {

quint64 bits(double v) {
    quint64 b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Doubles of many magnitudes, with random low bits, so that a writer that
// rounds is caught.
double randomCoordinate(std::mt19937_64& rng, int minExponent, int maxExponent) {
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(minExponent, maxExponent);
    const double v = std::ldexp(mantissa(rng), exponent(rng));
    return std::fabs(v) <= 1e9 ? v : v / 4.0;
}

Point3d randomPoint(std::mt19937_64& rng, bool withZ) {
    // Points with z are for JSON, which takes every magnitude up to 1e9. For
    // SVG, points closer than 1e-10 would be read as one, and wild curves
    // 1e9 long take the engine's length measurement long.
    const int minExponent = withZ ? -1070 : -20;
    const int maxExponent = withZ ? 29 : 12;
    return {randomCoordinate(rng, minExponent, maxExponent),
            randomCoordinate(rng, minExponent, maxExponent),
            withZ ? randomCoordinate(rng, minExponent, maxExponent) : 0.0};
}

// A shape of open and closed splines whose knots have random handles; one
// knot in five is a Corner.
std::unique_ptr<Shape> randomShape(std::mt19937_64& rng, bool withZ) {
    auto shape = std::make_unique<Shape>();
    std::uniform_int_distribution<int> count(2, 9);
    std::uniform_int_distribution<int> type(0, 4);
    const int splines = count(rng);
    for (int s = 0; s < splines; ++s) {
        auto spline = new Spline();
        spline->closed = s % 3 != 2;
        const int knots = count(rng);
        for (int k = 0; k < knots; ++k) {
            const Point3d p = randomPoint(rng, withZ);
            const int t = type(rng);
            spline->append(new Knot(p, randomPoint(rng, withZ), randomPoint(rng, withZ), 0.0,
                                    t == 4 ? Knot::Corner : t));
        }
        shape->addSpline(spline);
    }
    return shape;
}

void expectSameBits(const Point3d& a, const Point3d& b, int s, int k, const char* what) {
    EXPECT_EQ(bits(a.x), bits(b.x)) << what << ".x of spline " << s << " knot " << k;
    EXPECT_EQ(bits(a.y), bits(b.y)) << what << ".y of spline " << s << " knot " << k;
    EXPECT_EQ(bits(a.z), bits(b.z)) << what << ".z of spline " << s << " knot " << k;
}

void expectSameShape(const Shape& a, const Shape& b, bool compareTypes) {
    ASSERT_EQ(a.size(), b.size());
    for (int s = 0; s < a.size(); ++s) {
        ASSERT_EQ(a[s]->size(), b[s]->size()) << "spline " << s;
        EXPECT_EQ(a[s]->closed, b[s]->closed) << "spline " << s;
        for (int k = 0; k < a[s]->size(); ++k) {
            const Knot& x = *a[s]->at(k);
            const Knot& y = *b[s]->at(k);
            expectSameBits(x.point, y.point, s, k, "point");
            expectSameBits(x.inVec, y.inVec, s, k, "inVec");
            expectSameBits(x.outVec, y.outVec, s, k, "outVec");
            if (compareTypes) {
                EXPECT_EQ(x.type, y.type) << "spline " << s << " knot " << k;
            }
        }
    }
}

QByteArray fileContents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeText(const QString& path, const QByteArray& contents) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(contents) == contents.size();
}

std::unique_ptr<Shape> square(double x0, double y0, double x1, double y1) {
    auto shape = std::make_unique<Shape>();
    auto s = new Spline();
    s->closed = true;
    for (const Point3d& p :
         {Point3d(x0, y0, 0), Point3d(x1, y0, 0), Point3d(x1, y1, 0), Point3d(x0, y1, 0)})
        s->append(new Knot(p, p, p, 0.0, Knot::Corner));
    shape->addSpline(s);
    return shape;
}

}  // namespace

TEST(NumberText, ShortestFormReadsBackBitForBit) {
    std::mt19937_64 rng(7);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.1,
                                  1.0 / 3.0,
                                  1e-5,
                                  123456789.0,
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::max(),
                                  -std::numeric_limits<double>::max()};
    std::uniform_int_distribution<quint64> anyBits;
    while (values.size() < 20000) {
        double v;
        const quint64 b = anyBits(rng);
        std::memcpy(&v, &b, sizeof v);
        if (std::isfinite(v)) values.push_back(v);
    }
    for (double v : values) {
        const QString text = shortestText(v);
        int pos = 0;
        double back = 1.0;
        ASSERT_TRUE(scanNumber(text, pos, &back)) << text.toStdString();
        EXPECT_EQ(pos, text.size()) << text.toStdString();
        ASSERT_EQ(bits(back), bits(v)) << text.toStdString();
    }
    EXPECT_EQ(shortestText(0.1), QStringLiteral("0.1"));
}

TEST(NumberText, ScannerGrammar) {
    struct Case {
        const char* text;
        bool ok;
        double value;
        int end;
    };
    const Case cases[] = {
        {"-.5.5", true, -0.5, 3},
        {"1e-3x", true, 0.001, 4},
        {"1e", true, 1.0, 1},
        {"1.e2", true, 100.0, 4},
        {"+7", true, 7.0, 2},
        {".", false, 0, 0},
        {"-", false, 0, 0},
        {"e5", false, 0, 0},
        {"1e-999", true, 0.0, 6},
        {"1e999", false, 0, 0},
        {"inf", false, 0, 0},
        {"0x10", true, 0.0, 1},
        // Longer than any double needs, as some writers pad them.
        {"10000000000000000000000000000000000000000000000000000000000000000000000.5", true, 1e70,
         73},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int pos = 0;
        double v = 42.0;
        EXPECT_EQ(scanNumber(QString::fromLatin1(c.text), pos, &v), c.ok);
        EXPECT_EQ(pos, c.end);
        if (c.ok) {
            EXPECT_EQ(v, c.value);
        }
    }
}

TEST(JsonRoundTrip, EveryDoubleAndFieldComesBackBitForBit) {
    std::mt19937_64 rng(11);
    for (int round = 0; round < 20; ++round) {
        auto shape = randomShape(rng, true);
        Knot& first = *shape->at(0)->at(0);
        first.type = Knot::BezierCorner;
        first.point.x = -0.0;
        first.point.y = std::numeric_limits<double>::denorm_min();
        first.inVec.z = -std::numeric_limits<double>::denorm_min();
        // The engine leaves Corner knots with handles off the point at times.
        Knot& last = *shape->at(1)->last();
        last.type = Knot::Corner;
        last.outVec = last.point + Point3d(0.25, 0.5, 0.0);
        if (round % 2 == 1) {
            shape->frame = translation({1.5, -2.25, 0.1});
            shape->at(1)->frame = svgMatrix(0.5, 0.1, -0.1, 0.5, 3, 4);
        }
        QByteArray json;
        QString error;
        ASSERT_TRUE(writeJson(*shape, &json, &error)) << error.toStdString();
        Shape back;
        ASSERT_TRUE(readJson(json, QStringLiteral("r.json"), back, &error)) << error.toStdString();
        expectSameShape(*shape, back, true);
        EXPECT_EQ(back.frame, shape->frame);
        for (int s = 0; s < shape->size(); ++s)
            EXPECT_EQ(back[s]->frame, shape->at(s)->frame);
        // Written again, the document is the same text.
        QByteArray again;
        ASSERT_TRUE(writeJson(back, &again, &error));
        EXPECT_EQ(again, json);
    }
}

TEST(JsonRoundTrip, EmptyShapeAndEmptySpline) {
    Shape shape;
    QByteArray json;
    QString error;
    ASSERT_TRUE(writeJson(shape, &json, &error));
    Shape back;
    ASSERT_TRUE(readJson(json, QStringLiteral("e.json"), back, &error)) << error.toStdString();
    EXPECT_TRUE(back.isEmpty());
    shape.addSpline(new Spline());
    ASSERT_TRUE(writeJson(shape, &json, &error));
    ASSERT_TRUE(readJson(json, QStringLiteral("e.json"), back, &error)) << error.toStdString();
    ASSERT_EQ(back.size(), 1);
    EXPECT_TRUE(back[0]->isEmpty());
}

TEST(JsonRoundTrip, NonFiniteValuesAreRefusedOnWriting) {
    auto shape = square(0, 0, 1, 1);
    shape->at(0)->at(2)->outVec.y = std::nan("");
    shape->at(0)->at(2)->type = Knot::BezierCorner;
    QByteArray json;
    QString error;
    EXPECT_FALSE(writeJson(*shape, &json, &error));
    EXPECT_TRUE(error.contains(QLatin1String("spline 0, knot 2"))) << error.toStdString();
}

TEST(JsonErrors, MessagesNameFileLineColumnAndMember) {
    const QByteArray head = "{\"format\": \"carvex-shape\", \"version\": 1, \"splines\": [\n";
    const QByteArray zero = "\"inVec\": [0, 0, 0], \"outVec\": [0, 0, 0]";
    struct Case {
        QByteArray json;
        const char* message;
    };
    const Case cases[] = {
        // Syntax.
        {"{\n  \"format\": \"carvex-shape\",\n  \"version\": 1\n  \"splines\": []\n}",
         "s.json:4:3: JSON error: expected ',' or '}'"},
        {head + " [tru]]}", "s.json:2:3: JSON error: expected a value, found 't'"},
        {head + " 01]}", "s.json:2:3: JSON error: a number must not have leading zeros"},
        {head + " 1e999]}", "s.json:2:2: JSON error: number out of range"},
        {"{\"a\": 1, \"a\": 2}", "s.json:1:10: JSON error: duplicate member \"a\""},
        {"{\"a\": \"x\n\"}", "s.json:1:9: JSON error: control character in a string"},
        {"{} x", "s.json:1:4: JSON error: unexpected text after the document"},
        {"", "s.json:1:1: JSON error: unexpected end of the document"},
        {QByteArray(100, '[') + QByteArray(100, ']'), "s.json:1:66: JSON error: nesting too deep"},
        // Content.
        {"[1, 2]", "s.json:1:1: document: expected an object"},
        {"{\"format\": \"svg\", \"version\": 1, \"splines\": []}",
         "s.json:1:12: format: expected \"carvex-shape\": not a Carvex shape file"},
        {"{\"format\": \"carvex-shape\", \"version\": 2, \"splines\": []}",
         "s.json:1:39: version: version 2 is not supported (expected 1)"},
        {"{\"format\": \"carvex-shape\", \"version\": 1}",
         "s.json:1:1: splines: expected an array of splines"},
        {head + " {\"knots\": []}]}", "s.json:2:2: splines[0].closed: expected true or false"},
        {head + " {\"closed\": true, \"knots\": [\n  {\"point\": [1, 2], " + zero +
             ", \"type\": 0}]}]}",
         "s.json:3:13: splines[0].knots[0].point: expected an array of 3 numbers"},
        {head + " {\"closed\": true, \"knots\": [\n  {" + zero + ", \"type\": 0}]}]}",
         "s.json:3:3: splines[0].knots[0].point: missing"},
        {head + " {\"closed\": false, \"knots\": [\n  {\"point\": [0, 0, 0], " + zero +
             ", \"type\": 7}]}]}",
         "s.json:3:73: splines[0].knots[0].type: expected a knot type 0, 1, 2 or 3"},
        {head + " {\"closed\": true, \"knots\": [\n  {\"point\": [0, 2e9, 0], " + zero +
             ", \"type\": 1}]}]}",
         "s.json:3:17: splines[0].knots[0].point: coordinate 2e+09 is beyond the accepted "
         "magnitude of 1e9"},
        {"{\"format\": \"carvex-shape\", \"version\": 1, \"frame\": [[1,0,0]], \"splines\": []}",
         "s.json:1:51: frame: expected 4 rows of 3 numbers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json.constData());
        Shape shape;
        QString error;
        EXPECT_FALSE(readJson(c.json, QStringLiteral("s.json"), shape, &error));
        EXPECT_EQ(error.toStdString(), std::string(c.message));
        EXPECT_TRUE(shape.isEmpty());
    }
}

TEST(SvgRoundTrip, CoordinatesComeBackBitForBit) {
    std::mt19937_64 rng(5);
    for (int round = 0; round < 20; ++round) {
        auto shape = randomShape(rng, false);
        // SVG carries no type: the reader derives it from the handles.
        for (Spline* s : *shape)
            for (Knot* k : *s)
                k->type = knotTypeFor(k->point, k->inVec, k->outVec);
        // An open spline's end handles are not part of any segment.
        for (Spline* s : *shape) {
            if (s->closed) continue;
            s->first()->inVec = s->first()->point;
            s->last()->outVec = s->last()->point;
            for (Knot* k : {s->first(), s->last()})
                k->type = knotTypeFor(k->point, k->inVec, k->outVec);
        }
        QByteArray svg;
        QString error;
        ASSERT_TRUE(writeSvg(*shape, {}, &svg, &error)) << error.toStdString();
        Shape back;
        ASSERT_TRUE(readSvg(svg, QStringLiteral("r.svg"), back, &error)) << error.toStdString();
        expectSameShape(*shape, back, true);
    }
}

// Segments whose handles lie on their knots are written as lines, a third
// of the numbers for a polygon, and read back as the same segments.
TEST(SvgRoundTrip, StraightSegmentsAreLinesAndComeBackBitForBit) {
    Shape shape;
    auto s = new Spline();
    s->closed = true;
    const Point3d a(0.1, 0, 0), b(3.25, 0, 0), c(3.25, 2, 0), d(0, 2, 0);
    s->append(new Knot(a, a, a, 0.0, Knot::BezierCorner));
    s->append(new Knot(b, b, b + Point3d(0, 1, 0), 0.0, Knot::BezierCorner));  // then a curve
    s->append(new Knot(c, c, c, 0.0, Knot::BezierCorner));
    s->append(new Knot(d, d, d + Point3d(0, -0.5, 0), 0.0, Knot::BezierCorner));
    shape.addSpline(s);
    auto open = new Spline();
    for (const Point3d& p : {Point3d(5, 5, 0), Point3d(6, 5, 0)})
        open->append(new Knot(p, p, p, 0.0, Knot::BezierCorner));
    shape.addSpline(open);
    for (Spline* spline : shape)
        for (Knot* k : *spline)
            k->type = knotTypeFor(k->point, k->inVec, k->outVec);
    const QString text = svgPathData(shape);
    // a to b, c to d and the open spline's one segment.
    EXPECT_EQ(text.count(QStringLiteral(" L ")), 3) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral(" C ")), 2) << text.toStdString();
    QByteArray svg;
    QString error;
    ASSERT_TRUE(writeSvg(shape, {}, &svg, &error)) << error.toStdString();
    Shape back;
    ASSERT_TRUE(readSvg(svg, QStringLiteral("r.svg"), back, &error)) << error.toStdString();
    expectSameShape(shape, back, true);
}

TEST(SvgWriting, ViewBoxFitsEverythingDrawnWithAMargin) {
    auto result = square(10, 20, 30, 40);
    auto input = square(-50, 0, 0, 5);
    QByteArray svg;
    QString error;
    ASSERT_TRUE(writeSvg(*result, {input.get(), result.get()}, &svg, &error));
    const QRegularExpression viewBox(
        QStringLiteral("viewBox=\"([^ ]+) ([^ ]+) ([^ ]+) ([^\"]+)\""));
    const auto m = viewBox.match(QString::fromUtf8(svg));
    ASSERT_TRUE(m.hasMatch()) << svg.constData();
    const double x = m.captured(1).toDouble();
    const double y = m.captured(2).toDouble();
    const double w = m.captured(3).toDouble();
    const double h = m.captured(4).toDouble();
    // Everything spans x -50..30, y 0..40; the margin is 5% of the larger side.
    EXPECT_DOUBLE_EQ(x, -54);
    EXPECT_DOUBLE_EQ(y, -4);
    EXPECT_DOUBLE_EQ(w, 88);
    EXPECT_DOUBLE_EQ(h, 48);
    // One path per spline of the inputs and the result, but reading back
    // gives the result alone: the inputs are only pictured.
    EXPECT_EQ(QString::fromUtf8(svg).count(QStringLiteral("<path ")), 3);
    Shape back;
    ASSERT_TRUE(readSvg(svg, QStringLiteral("v.svg"), back, &error)) << error.toStdString();
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back[0]->at(0)->point, Point3d(10, 20, 0));
}

TEST(SvgWriting, NonFiniteResultIsRefused) {
    auto result = square(0, 0, 1, 1);
    result->at(0)->at(1)->point.x = std::numeric_limits<double>::infinity();
    QByteArray svg;
    QString error;
    EXPECT_FALSE(writeSvg(*result, {}, &svg, &error));
    EXPECT_TRUE(error.contains(QLatin1String("result spline 0, knot 1"))) << error.toStdString();
}

TEST(Pictures, ResultIsFilledOverAWhiteBackground) {
    auto result = square(0, 0, 10, 10);
    auto input = square(0, 0, 20, 10);
    const QImage image = renderPicture(*result, {input.get()}, 400);
    // 20 x 10 plus 5% margins on each side: 22 x 12, scaled to 400 wide.
    EXPECT_EQ(image.width(), 400);
    EXPECT_EQ(image.height(), 218);
    const QColor corner = image.pixelColor(2, 2);
    EXPECT_EQ(corner, QColor(Qt::white));
    const QColor inResult = image.pixelColor(100, 109);
    EXPECT_GT(inResult.red(), inResult.green() + 60);
    const QColor inInputOnly = image.pixelColor(300, 109);
    EXPECT_NE(inInputOnly, QColor(Qt::white));
    EXPECT_LT(std::abs(inInputOnly.red() - inInputOnly.green()), 60);

    QByteArray png;
    QString error;
    ASSERT_TRUE(writePng(*result, {input.get()}, &png, &error, 400));
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(png, "PNG"));
    EXPECT_EQ(decoded.size(), image.size());
}

TEST(ShapeFiles, FormatByExtensionAndReadErrors) {
    EXPECT_EQ(formatForPath(QStringLiteral("a/b.SVG")), ShapeFormat::Svg);
    EXPECT_EQ(formatForPath(QStringLiteral("b.json")), ShapeFormat::Json);
    EXPECT_EQ(formatForPath(QStringLiteral("b.png")), ShapeFormat::Png);
    EXPECT_EQ(formatForPath(QStringLiteral("b.txt")), ShapeFormat::Unknown);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Shape shape;
    QString error;
    const QString missing = dir.filePath(QStringLiteral("missing.svg"));
    EXPECT_FALSE(readShapeFile(missing, shape, &error));
    EXPECT_TRUE(error.startsWith(missing + QStringLiteral(": cannot read"))) << error.toStdString();
    EXPECT_FALSE(readShapeFile(dir.filePath(QStringLiteral("p.png")), shape, &error));
    EXPECT_TRUE(error.contains(QLatin1String("cannot be read as shapes")));
    EXPECT_FALSE(readShapeFile(dir.filePath(QStringLiteral("p.txt")), shape, &error));
    EXPECT_TRUE(error.contains(QLatin1String("unknown file type")));

    const QString svg = dir.filePath(QStringLiteral("ok.svg"));
    ASSERT_TRUE(writeText(svg, "<svg xmlns='http://www.w3.org/2000/svg'><circle r='1'/></svg>"));
    ASSERT_TRUE(readShapeFile(svg, shape, &error)) << error.toStdString();
    EXPECT_EQ(shape.size(), 1);
    // A second read replaces the content.
    ASSERT_TRUE(readShapeFile(svg, shape, &error));
    EXPECT_EQ(shape.size(), 1);
}

TEST(ShapeFiles, WritingIsWholeOrNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto good = square(0, 0, 1, 1);
    auto bad = square(0, 0, 1, 1);
    bad->at(0)->at(0)->point.y = std::nan("");
    QString error;

    for (const char* name : {"out.json", "out.svg", "out.png"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(writeShapeFile(path, *good, &error)) << error.toStdString();
        const QByteArray before = fileContents(path);
        ASSERT_FALSE(before.isEmpty());
        EXPECT_FALSE(writeShapeFile(path, *bad, &error));
        EXPECT_TRUE(error.startsWith(path + QStringLiteral(": "))) << error.toStdString();
        EXPECT_EQ(fileContents(path), before);
    }

    // A target that cannot be written stops the others from being replaced.
    const QString kept = dir.filePath(QStringLiteral("kept.svg"));
    ASSERT_TRUE(writeText(kept, "original"));
    const QString unwritable = dir.filePath(QStringLiteral("no/such/folder/x.svg"));
    EXPECT_FALSE(writeFilesAtomically({{kept, "new"}, {unwritable, "new"}}, &error));
    EXPECT_TRUE(error.startsWith(unwritable)) << error.toStdString();
    EXPECT_EQ(fileContents(kept), QByteArray("original"));
    EXPECT_FALSE(writeFilesAtomically({{kept, "new"}, {dir.path(), "new"}}, &error));
    EXPECT_EQ(fileContents(kept), QByteArray("original"));
    // Nothing but the files written on purpose is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 4);

    ASSERT_TRUE(writeFilesAtomically({{kept, "new"}}, &error));
    EXPECT_EQ(fileContents(kept), QByteArray("new"));
}

// A drawing keeps its elements as plain paths; read back as splines they
// must be the knots the per-pair model reads from the file itself, z and
// types and measured lengths included, or its answers would change.
TEST(FilledDrawings, ElementsReadBackAsTheSplinesOfTheFile) {
    QTemporaryDir dir;
    std::mt19937_64 rng(5);
    for (int round = 0; round < 6; ++round) {
        auto shape = randomShape(rng, false);
        shape->at(0)->at(0)->point.z = round % 3 == 0 ? 0.0 : round % 3 == 1 ? -0.0 : 2.5;
        shape->at(1)->at(1)->inVec.z = round == 5 ? -7.0 : 0.0;
        shape->at(1)->frame = svgMatrix(0.5, 0.1, -0.1, 0.5, 3, 4);
        QByteArray json;
        QString error;
        ASSERT_TRUE(writeJson(*shape, &json, &error)) << error.toStdString();
        const QString path = dir.filePath(QStringLiteral("d%1.json").arg(round));
        ASSERT_TRUE(writeText(path, json));
        FilledDrawing drawing;
        ASSERT_TRUE(readFilledDrawing(path, &drawing, &error)) << error.toStdString();
        ASSERT_EQ(drawing.elements.size(), 1u);
        // A flat file costs no depths.
        if (round == 0) {
            EXPECT_TRUE(drawing.elements[0].depths.empty());
        }

        Shape expected;
        ASSERT_TRUE(readJson(json, path, expected, &error));
        expected.setFrame(Matrix3d(), true);
        for (Spline* spline : expected) {
            closeForFilling(*spline);
            spline->updateLengths();
        }
        const Shape read = drawing.elements[0].splines();
        expectSameShape(expected, read, true);
        for (int i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(read[i]->length, expected[i]->length) << "spline " << i;
            for (int k = 0; k < expected[i]->size(); ++k)
                EXPECT_EQ(read[i]->at(k)->segLength, expected[i]->at(k)->segLength);
        }
    }
}

TEST(JsonRoundTrip, TheFillRuleComesBackAndDefaultsToNonzero) {
    auto shape = std::make_unique<Shape>();
    QByteArray json;
    QString error;
    for (carvex::FillRule rule : {carvex::FillRule::EvenOdd, carvex::FillRule::NonZero}) {
        ASSERT_TRUE(writeJson(*shape, rule, &json, &error)) << error.toStdString();
        Shape back;
        carvex::FillRule read = rule == carvex::FillRule::EvenOdd ? carvex::FillRule::NonZero
                                                                  : carvex::FillRule::EvenOdd;
        ASSERT_TRUE(readJson(json, QStringLiteral("f.json"), back, &read, &error))
            << error.toStdString();
        EXPECT_EQ(read, rule);
    }
    // Documents written before the member existed read as nonzero.
    carvex::FillRule read = carvex::FillRule::EvenOdd;
    Shape back;
    ASSERT_TRUE(readJson("{\"format\": \"carvex-shape\", \"version\": 1, \"splines\": []}",
                         QStringLiteral("old.json"), back, &read, &error));
    EXPECT_EQ(read, carvex::FillRule::NonZero);
    EXPECT_FALSE(
        readJson("{\"format\": \"carvex-shape\", \"version\": 1,\n \"fillRule\": "
                 "\"winding\", \"splines\": []}",
                 QStringLiteral("bad.json"), back, &read, &error));
    EXPECT_EQ(error,
              QStringLiteral("bad.json:2:14: fillRule: expected \"nonzero\" or \"evenodd\""));
}
