// What fuzzing found, each case made from the input that showed it: the
// fault, and the work that had no useful bound.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <utility>

#include "assembly/splitting.h"
#include "boolean/boolean.h"
#include "geometry/algorithm.h"
#include "intersection/beziersegment.h"
#include "intersection/boxgrid.h"
#include "shapeio/jsonio.h"
#include "shapeio/pathdata.h"
#include "shapeio/svgio.h"
#include "shaperegion/shaperegion.h"
#include "testshapes.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A length measured by halving down to maxDepth at most, with the segment's
// own straightness test and subdivision; before the length cap, lengths
// were measured down to depth 24.
double lengthToDepth(const BezierSegment& s, int maxDepth, int depth = 0) {
    if (depth >= maxDepth || s.isStraight()) return distance(s.p3, s.p0);
    BezierSegment left;
    BezierSegment right;
    s.subdivide(0.5, left, right);
    return lengthToDepth(left, maxDepth, depth + 1) + lengthToDepth(right, maxDepth, depth + 1);
}

// The arc length of a segment by Simpson's rule on the speed |B'(t)|, far
// finer than any chord sum here.
double arcLength(const BezierSegment& s) {
    auto speed = [&](double t) {
        const double u = 1.0 - t;
        const Point3d d =
            (s.p1 - s.p0) * (3 * u * u) + (s.p2 - s.p1) * (6 * u * t) + (s.p3 - s.p2) * (3 * t * t);
        return norm(d);
    };
    const int n = 20000;
    double sum = speed(0.0) + speed(1.0);
    for (int i = 1; i < n; ++i)
        sum += speed(double(i) / n) * (i % 2 ? 4 : 2);
    return sum / (3.0 * n);
}

BezierSegment quarterCircle(double r) {
    const double k = kKappa * r;
    return {{r, 0, 0}, {r, k, 0}, {k, r, 0}, {0, r, 0}};
}

std::unique_ptr<Spline> randomPolygon(std::mt19937_64& rng, int n) {
    std::uniform_int_distribution<int> grid(-32768, 32767);
    auto s = std::make_unique<Spline>();
    s->closed = true;
    for (int i = 0; i < n; ++i) {
        const Point3d p(grid(rng) / 16.0, grid(rng) / 16.0, 0.0);
        s->append(new Knot(p, p, p, 0.0, Knot::Corner));
    }
    s->updateLengths();
    return s;
}

}  // namespace

// An arc whose radius is subnormal grows to reach its end point; the square
// of the radius underflowed, the arc's angles came out NaN and were cast to
// an int. Such an arc is out of range, like any number that overflows.
TEST(FuzzFindings, ArcWithSubnormalRadiusIsOutOfRange) {
    Shape shape;
    PathDataError error;
    const QString data = QStringLiteral(
        "m1,2l10 10 c 1 2 3 4 5 2 s 7 8 9 10 q 1 1 2 2 t 3 3 "
        "a 5 41e-320 38 1 0 10 10 z");
    EXPECT_FALSE(parsePathData(data, shape, &error));
    EXPECT_EQ(error.message, QStringLiteral("number out of range"));
    EXPECT_EQ(error.offset, data.indexOf(QStringLiteral("5 41e-320")));
    EXPECT_TRUE(shape.isEmpty());
    // Small radii that square well still draw their arc.
    ASSERT_TRUE(parsePathData(QStringLiteral("M0 0 A 1e-150 1e-150 0 0 1 2 0"), shape, &error));
    ASSERT_EQ(shape.size(), 1);
    for (const Knot* k : *shape.first())
        EXPECT_TRUE(std::isfinite(k->outVec.y) && std::isfinite(k->inVec.y));
}

// A segment within 1e-10 of its start draws nothing, but the current point
// moves. Later segments were kept or dropped against that moving point, not
// the knot they are drawn from: here a piece 5e-11 from its knot was kept,
// and the path data written from the knots read back without it.
TEST(FuzzFindings, DroppedSegmentsAreMeasuredFromTheKnot) {
    Shape shape;
    ASSERT_TRUE(parsePathData(QStringLiteral("M0 0 l 6e-11 0 L -5e-11 0 L 1 0"), shape));
    ASSERT_EQ(shape.size(), 1);
    const Spline& s = *shape.first();
    ASSERT_EQ(s.size(), 2);
    EXPECT_EQ(s[0]->point, Point3d(0, 0, 0));
    EXPECT_EQ(s[0]->outVec, Point3d(0, 0, 0));  // the line starts at the knot
    EXPECT_EQ(s[1]->point, Point3d(1, 0, 0));
    Shape again;
    ASSERT_TRUE(parsePathData(svgPathData(shape), again));
    ASSERT_EQ(again.size(), 1);
    ASSERT_EQ(again.first()->size(), 2);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(again.first()->at(k)->point, s[k]->point);
        EXPECT_EQ(again.first()->at(k)->inVec, s[k]->inVec);
        EXPECT_EQ(again.first()->at(k)->outVec, s[k]->outVec);
    }
}

// A quadratic's control point was checked, but the cubic handles made from
// it were not: two thirds of the way from an end point to a control point
// near the largest double overflowed, a handle became -inf, and the path data
// written from the knots could not be read back. Such a curve is out of
// range; one whose handles fit reads back bit for bit.
TEST(FuzzFindings, QuadraticWhoseCubicHandlesOverflowIsOutOfRange) {
    // Each with the text of the set that is out of range.
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("M-.6.5T.61e308-2155T1 .5T.61e308-25"), QStringLiteral(".61e308-25")},
        {QStringLiteral("M1e308 0 Q -1e308 0 1e308 1"), QStringLiteral("-1e308 0 1e308 1")},
    };
    for (const auto& [data, culprit] : cases) {
        SCOPED_TRACE(data.toStdString());
        Shape shape;
        PathDataError error;
        EXPECT_FALSE(parsePathData(data, shape, &error));
        EXPECT_EQ(error.message, QStringLiteral("number out of range"));
        EXPECT_EQ(error.offset, data.lastIndexOf(culprit));
        EXPECT_TRUE(shape.isEmpty());
    }
    Shape shape;
    ASSERT_TRUE(parsePathData(QStringLiteral("M-.6.5T.61e308-2155T1 .5"), shape));
    Shape again;
    ASSERT_TRUE(parsePathData(svgPathData(shape), again));
    ASSERT_EQ(again.size(), 1);
    ASSERT_EQ(again.first()->size(), shape.first()->size());
    for (int k = 0; k < shape.first()->size(); ++k) {
        EXPECT_EQ(again.first()->at(k)->inVec, shape.first()->at(k)->inVec);
        EXPECT_EQ(again.first()->at(k)->outVec, shape.first()->at(k)->outVec);
    }
}

// Knots far apart (finite, but their distance is not) gave the grid an
// infinite extent; inf / inf cells were cast to an int.
TEST(FuzzFindings, BoxGridOverExtentsBeyondTheDoubles) {
    BoxGrid grid({{-1e308, 0, -1e308, 0}, {1e308, 0, 1e308, 0}, {0, 1, 0, 1}}, {0, 1, 2}, 3);
    std::vector<int> found;
    grid.query({-1.5e308, -1, 1.5e308, 2}, found);
    EXPECT_EQ(found, (std::vector<int>{0, 1, 2}));
    grid.query({-1, 0.5, 1, 2}, found);
    EXPECT_EQ(found, (std::vector<int>{2}));

    // The same knots reached through the engine's entry.
    auto a = rectangle(0, 0, 2, 2);
    auto b = polygon({{-1e308, 1, 0}, {1e308, 1, 0}, {1, 1e308, 0}});
    applyOperation(*a, *b, carvex::Operation::Union, 1e-4);
    EXPECT_TRUE(a->closed);
}

// With a NaN length to find, no measure compares: the walk stepped forward
// 1000 times, measuring ever larger extrapolated pieces (seconds for each
// knot placed). It now ends where that walk ended, without measuring.
TEST(FuzzFindings, ParameterOfANaNLengthIsWhereTheWalkEnds) {
    const BezierSegment curved{{0, 0, 0}, {0, 30, 0}, {40, 30, 0}, {40, 0, 0}};
    for (Algorithm algorithm : {Algorithm::Literal, Algorithm::Fast}) {
        AlgorithmScope scope(algorithm);
        EXPECT_EQ(curved.parameterAtLength(kNaN, 1e-10), 1.0);
        EXPECT_EQ(curved.parameterAtLength(kNaN, 0.3), 0.5);
        EXPECT_EQ(fastParameterAtLength(curved, kNaN, 1e-10), 1.0);
        EXPECT_EQ(fastParameterAtLength(curved, kNaN, 0.3), 0.5);
    }
    // A spline whose length is NaN, split in a curved segment: the shape of
    // the reproducer, a result of B - A taken again.
    auto s = std::make_unique<Spline>();
    s->closed = true;
    s->append(new Knot({0, 0, 0}, {0, -3, 0}, {0, 3, 0}, 0.0, Knot::Bezier));
    s->append(new Knot({10, 0, 0}, {10, 3, 0}, {10, -3, 0}, 0.0, Knot::Bezier));
    s->append(new Knot({5, kNaN, 0}, {5, kNaN, 0}, {5, kNaN, 0}, 0.0, Knot::Corner));
    s->updateLengths();
    ASSERT_TRUE(std::isnan(s->length));
    const int index = splitAt(*s, 0.25, 1e-4);
    EXPECT_GE(index, 0);
    EXPECT_LT(index, s->size());
}

// Two tangled outlines crossing thousands of times: the walk stitched a run
// of B between crossings that are far apart on B for each crossing, and an
// intersection of two 100-knot polygons came out with 1.6 million knots (two
// of 320 knots ran out of memory). No such run belongs to a one-loop answer.
TEST(FuzzFindings, TangledOutlinesAreRefusedNotStitched) {
    std::mt19937_64 rng(5);
    for (carvex::Operation operation : {carvex::Operation::Union, carvex::Operation::Intersect}) {
        auto a = randomPolygon(rng, 100);
        auto b = randomPolygon(rng, 100);
        EXPECT_FALSE(applyOperation(*a, *b, operation, 1e-4));
        // A keeps its knots and those placed at the crossings, at most one
        // for each pair of straight edges.
        EXPECT_LE(a->size(), 100 + 100 * 100);
        EXPECT_TRUE(a->closed);
    }
}

// Outlines that cross many times and still make one loop keep working: a
// comb whose three teeth leave a square through its top.
TEST(FuzzFindings, OneLoopAnswersWithManyCrossingsStayAnswered) {
    auto comb = [] {
        return polygon({{1, 2, 0},
                        {9, 2, 0},
                        {9, 12, 0},
                        {8, 12, 0},
                        {8, 4, 0},
                        {6, 4, 0},
                        {6, 12, 0},
                        {5, 12, 0},
                        {5, 4, 0},
                        {3, 4, 0},
                        {3, 12, 0},
                        {2, 12, 0},
                        {2, 4, 0},
                        {1, 4, 0}});
    };
    auto united = rectangle(0, 0, 10, 10);
    auto teeth = comb();
    ASSERT_TRUE(applyOperation(*united, *teeth, carvex::Operation::Union, 1e-4));
    EXPECT_NEAR(area(*united), 100.0 + 3 * 2.0, 1e-9);
    auto common = rectangle(0, 0, 10, 10);
    auto teeth2 = comb();
    ASSERT_TRUE(applyOperation(*common, *teeth2, carvex::Operation::Intersect, 1e-4));
    EXPECT_NEAR(area(*common), 16.0 + 3 * 6.0, 1e-9);
}

// Curves measured to depth 24 took 2^24 pieces once larger than about 1e6:
// seconds for each, and minutes for each knot placed on them. The length cap
// leaves every segment spanning up to 1e5 exactly as it was, wherever it
// lies, and measures larger ones closely.
TEST(FuzzFindings, LengthCapChangesNoOrdinaryLength) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_real_distribution<double> offset(-1e9 + 3e5, 1e9 - 3e5);
    for (int i = 0; i < 200; ++i) {
        const double span = i < 100 ? 1e3 : 1e5;
        const Point3d o(offset(rng), offset(rng), 0.0);
        auto step = [&] {
            // At most span long: consecutive control points within span.
            return Point3d(unit(rng), unit(rng), i % 4 == 0 ? unit(rng) : 0.0) * (span / 1.8);
        };
        const Point3d p1 = o + step();
        const Point3d p2 = i % 3 == 0 ? o + (o - p1) : p1 + step();  // loops and cusps too
        const BezierSegment s{o, p1, p2, p2 + step()};
        const double reference = lengthToDepth(s, 24);
        EXPECT_EQ(s.length(), reference) << i;
        EXPECT_EQ(fastLength(s), reference) << i;
    }
    for (double r : {1e9, 1e12, 1e60}) {
        // Measured as 2^16 chords, which fall short of a quarter circle by
        // about 2.4e-11 of its length.
        const BezierSegment q = quarterCircle(r);
        EXPECT_EQ(fastLength(q), lengthToDepth(q, 16)) << r;
        EXPECT_EQ(q.length(), fastLength(q)) << r;
        EXPECT_NEAR(fastLength(q) / arcLength(q), 1.0, 1e-10) << r;
        // Finding a length along it agrees too, however each measures.
        for (double f : {0.1, 0.5, 0.9}) {
            const double s = fastLength(q) * f;
            EXPECT_EQ(fastParameterAtLength(q, s, 1e-10), q.parameterAtLength(s, 1e-10)) << r;
        }
    }
}

// A frame holding -0 compares equal to the identity; the writer left it out
// and the copy read back had +0, so the round trip was not lossless.
TEST(FuzzFindings, NegativeZeroInAFrameSurvivesTheRoundTrip) {
    const QByteArray found =
        R"({"format":"carvex-shape","version":1,"frame":[[1,0,0],[0,1,0],[0,0,1],[0,-0,0]],)"
        R"("splines":[{"closed":false,"frame":[[1,0,0],[0,1,0],[0,0,1],[-0,0,0]],"knots":[]}]})";
    Shape shape;
    QString error;
    ASSERT_TRUE(readJson(found, QStringLiteral("found.json"), shape, &error))
        << error.toStdString();
    ASSERT_TRUE(std::signbit(shape.frame.m[3][1]));
    QByteArray written;
    ASSERT_TRUE(writeJson(shape, &written, &error));
    Shape again;
    ASSERT_TRUE(readJson(written, QStringLiteral("again.json"), again, &error))
        << error.toStdString();
    ASSERT_EQ(again.size(), 1);
    EXPECT_TRUE(std::signbit(again.frame.m[3][1]));
    EXPECT_TRUE(std::signbit(again[0]->frame.m[3][0]));
    EXPECT_EQ(std::memcmp(shape.frame.m, again.frame.m, sizeof shape.frame.m), 0);
}

// A rounded square minus a tangle of spikes along the axes that covers it
// (a raster of both fills says the answer is empty): rays grazing the
// spikes' vertices gave windings that disagree round a vertex, on either
// pass, and the answer was built from them all the same. Windings that
// disagree are now taken as unresolved at that merge distance, and the
// next one answers.
TEST(FuzzFindings, WindingsThatDisagreeAreNotBuiltOn) {
    Shape a;
    Shape b;
    PathDataError problem;
    ASSERT_TRUE(parsePathData(
        QStringLiteral(
            "M 35 20 C 35 20 105 20 105 20 C 113.2842712474619 20 120 26.715728752538098 120 35 C "
            "120 "
            "35 120 105 120 105 C 120 113.2842712474619 113.2842712474619 120 105 120 C 105 120 35 "
            "120 35 120 C 26.715728752538098 120 20 113.2842712474619 20 105 C 20 105 20 2 20 35 C "
            "0 "
            "2 26.715728752538098 20 35 20 Z "),
        a, &problem));
    ASSERT_TRUE(parsePathData(
        QStringLiteral(
            "M 0 0 C 0 0 0 0 0 0 C 0 0 12 0 12 0 C 12 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 12 0 12 0 C 12 "
            "0 "
            "-1025 1.5 -1025 1.5 C -1025 1.5 0 0 0 0 C 0 0 0.25 12 0.25 12 C 0.25 12 -12 576 0 576 "
            "C "
            "12 576 1026.25 0 1026.25 0 C 1026.25 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 "
            "87.38576250846032 0 "
            "87.38576250846032 C 0 87.38576250846032 0 -1536 0 -1536 C 0 -1536 0 -1536 0 -1536 C 0 "
            "-1536 0 12 0 12 C 0 12 0 1029 0 1029 C 0 1029 0 -1024 0 -1024 C 0 -1024 12 0 12 0 C "
            "12 0 "
            "12 0 12 0 C 12 0 1024 0 4.079568583544e-312 0 C -1024 0 1284 172 1284 172 C 1284 172 "
            "-1274.6875 6.2249213e-317 1284 172 C 12 0 65 0 65 0 C 65 0 951.4375 -629 951.4375 "
            "-629 C "
            "951.4375 -629 963.4375 -629 951.4375 -629 C 2235.4375 -617 0 0 0 0 C 0 0 1572.25 "
            "4.079568583544e-312 1572.25 4.079568583544e-312 C 1572.25 4.079568583544e-312 1284 12 "
            "1284 12 C 1284 12 0 0 0 0 Z "),
        b, &problem));
    carvex::RegionOptions options;
    options.fillA = carvex::FillRule::EvenOdd;
    const carvex::ShapeResult r = carvex::combine(a, b, carvex::Operation::SubtrA, options);
    if (r.ok())
        EXPECT_TRUE(r.shape.isEmpty()) << carvex::enclosedArea(r.shape);
    else
        EXPECT_TRUE(r.status == carvex::RegionStatus::Unresolved ||
                    r.status == carvex::RegionStatus::AnswerDisagrees)
            << carvex::describe(r).toStdString();
}

// Spikes along the axes minus a small shape at the origin: the loops were
// linked so that two of them crossed at a vertex. Loops that would cross
// are now taken as windings not to be trusted, and the next pass answers.
TEST(FuzzFindings, LoopsThatWouldCrossAreNotAnswered) {
    Shape a;
    Shape b;
    PathDataError problem;
    ASSERT_TRUE(parsePathData(QStringLiteral("M -1 0.5 C -1 0.5 0.5 0.5 0.5 0.5 C 0.5 0.5 0.5 1.5 "
                                             "0.5 1.5 C 0.5 1.5 0 0 0 0 C 0 0 -1 "
                                             "0.5 -1 0.5 Z "),
                              a, &problem));
    ASSERT_TRUE(parsePathData(
        QStringLiteral(
            "M 0 576 C 0 576 10 0 10 0 C 10 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 1026.25 0 1026.25 0 C "
            "1026.25 0 11 10 11 10 C 11 10 11 11 11 11 C 11 11 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 0 "
            "C "
            "0 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 0 C 0 "
            "0 "
            "960 10 960 10 C 960 10 0 0 0 0 C 0 0 -12 0 0 0 C 12 0 0 10 0 10 C 0 10 0 0 0 0 C 0 0 "
            "-44 "
            "-33.1875 0 0 C 44 33.1875 960 -1 960 -1 C 960 -1 0 0 0 0 C 0 0 12 0 12 0 C 12 0 1023 "
            "0 "
            "1023 0 C 1023 0 0 0 0 0 C 0 0 12 0 12 0 C 12 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 0 C "
            "0 0 "
            "1026.375 3.785766995733679e-270 1026.375 3.785766995733679e-270 C 1026.375 "
            "3.785766995733679e-270 1 0 1 0 C 1 0 0 0 0 0 C 0 0 12 0 12 0 C 12 0 1023 0 1023 0 C "
            "1023 "
            "0 0 0 0 0 C 0 0 12 0 12 0 C 12 0 1023 0 1023 0 C 1023 0 1023 0 1023 0 C 1023 0 12 0 "
            "12 0 "
            "C 12 0 1024.5 1 1024.5 1 C 1024.5 1 0 0 0 0 C 0 0 12 0 12 0 C 12 0 1024.5 "
            "0.44771525016920644 1024.5 0.44771525016920644 C 1024.5 0.44771525016920644 0 0 0 0 C "
            "0 "
            "0 12 0 12 0 C 12 0 1024.5 1.5522847498307937 1024.5 1.5522847498307937 C 1024.5 "
            "1.5522847498307937 0 0 0 0 C 0 0 -1020.1875 0 -1020.1875 0 C -1020.1875 0 0 12 0 12 C "
            "0 "
            "12 0 1024 0 1024 C 0 1024 0 0 0 0 C 0 0 -1892 4.628172826856842e-305 -1892 "
            "4.628172826856842e-305 C -1892 4.628172826856842e-305 0 1024 0 1024 C 0 1024 0 0 0 0 "
            "C 0 "
            "0 0 1.4477152501692063 0 1.4477152501692063 C 0 1.4477152501692063 0 0 0 0 C 0 0 12 0 "
            "12 "
            "0 C 12 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 0 C 0 0 0 0 0 "
            "0 C "
            "0 0 0 576 0 576 Z "),
        b, &problem));
    const carvex::ShapeResult r = carvex::combine(a, b, carvex::Operation::SubtrB);
    if (!r.ok()) {
        EXPECT_TRUE(r.status == carvex::RegionStatus::Unresolved ||
                    r.status == carvex::RegionStatus::AnswerDisagrees)
            << carvex::describe(r).toStdString();
        return;
    }
    // B - A = B - (A n B), by area.
    const carvex::ShapeResult whole = carvex::resolve(b, carvex::FillRule::NonZero);
    const carvex::ShapeResult shared = carvex::combine(a, b, carvex::Operation::Intersect);
    ASSERT_TRUE(whole.ok() && shared.ok());
    const double expected = carvex::enclosedArea(whole.shape) - carvex::enclosedArea(shared.shape);
    // The answer may come from a retry at a coarser merge distance than the
    // other two: slivers that wide along the outlines, a millionth here.
    EXPECT_NEAR(carvex::enclosedArea(r.shape), expected, 1e-6 * expected);
}
