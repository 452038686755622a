// Segments whose curve crosses itself: the curl is a face like any other,
// under both fill rules. Expected areas come from the curve itself, with the
// self-crossing solved in closed form here and areas integrated by
// Gauss-Legendre quadrature, exact for these polynomials.

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "regioncheck.h"
#include "regionshapes.h"
#include "shapeio/pathdata.h"
#include "shapeio/svgio.h"
#include "shaperegion/shaperegion.h"

using namespace carvex;

namespace {

struct P {
    double x;
    double y;
};
P operator+(P a, P b) {
    return {a.x + b.x, a.y + b.y};
}
P operator-(P a, P b) {
    return {a.x - b.x, a.y - b.y};
}
P operator*(double s, P a) {
    return {s * a.x, s * a.y};
}
double crossOf(P a, P b) {
    return a.x * b.y - a.y * b.x;
}
double dotOf(P a, P b) {
    return a.x * b.x + a.y * b.y;
}

using Curve = std::array<P, 4>;

// The power basis a t^3 + b t^2 + c t + d of a cubic.
struct Power {
    P a, b, c, d;
};
Power powerOf(const Curve& q) {
    return {(-1.0 * q[0]) + 3.0 * q[1] - 3.0 * q[2] + q[3], 3.0 * q[0] - 6.0 * q[1] + 3.0 * q[2],
            -3.0 * q[0] + 3.0 * q[1], q[0]};
}
P at(const Power& w, double t) {
    return ((t * t * t) * w.a) + ((t * t) * w.b) + (t * w.c) + w.d;
}
P slope(const Power& w, double t) {
    return ((3 * t * t) * w.a) + ((2 * t) * w.b) + w.c;
}

// B(s) = B(t) with s < t: dividing by s - t leaves
// a (sigma^2 - pi) + b sigma + c = 0 in sigma = s + t and pi = s t.
bool selfCrossing(const Curve& q, double& s, double& t) {
    const Power w = powerOf(q);
    const double den = crossOf(w.a, w.b);
    if (den == 0.0) return false;
    const double sigma = -crossOf(w.a, w.c) / den;
    const double pi = sigma * sigma + dotOf((sigma * w.b) + w.c, w.a) / dotOf(w.a, w.a);
    const double disc = sigma * sigma - 4.0 * pi;
    if (disc <= 0.0) return false;
    s = 0.5 * (sigma - std::sqrt(disc));
    t = 0.5 * (sigma + std::sqrt(disc));
    return s >= -1e-12 && t <= 1.0 + 1e-12;
}

// The integral of (x dy - y dx) / 2 along the curve from t0 to t1.
double areaAlong(const Curve& q, double t0, double t1) {
    const Power w = powerOf(q);
    const double nodes[3] = {-std::sqrt(0.6), 0.0, std::sqrt(0.6)};
    const double weights[3] = {5.0 / 9.0, 8.0 / 9.0, 5.0 / 9.0};
    double sum = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double t = 0.5 * (t0 + t1) + 0.5 * (t1 - t0) * nodes[i];
        sum += weights[i] * 0.5 * crossOf(at(w, t), slope(w, t));
    }
    return 0.5 * (t1 - t0) * sum;
}

double areaAlongLine(P a, P b) {
    return 0.5 * crossOf(a, b);
}

Shape shapeOfPath(const char* d) {
    Shape s;
    EXPECT_TRUE(parsePathData(QString::fromLatin1(d), s)) << d;
    return s;
}

// What a contour of one cubic and straight lines back through `corners`
// splits into at the cubic's self-crossing: the signed areas of the curl and
// of the rest of the outline.
struct Split {
    double curl = 0.0;
    double rest = 0.0;
};
Split splitAreas(const Curve& q, std::initializer_list<P> corners) {
    double s = 0.0;
    double t = 0.0;
    EXPECT_TRUE(selfCrossing(q, s, t));
    Split out;
    out.curl = areaAlong(q, s, t);
    double total = areaAlong(q, 0.0, 1.0);
    P from = q[3];
    for (P c : corners) {
        total += areaAlongLine(from, c);
        from = c;
    }
    total += areaAlongLine(from, q[0]);
    out.rest = total - out.curl;
    return out;
}

double answerArea(const Shape& shape, FillRule fill) {
    const ShapeResult r = resolve(shape, fill);
    EXPECT_TRUE(r.ok()) << describe(r).toStdString();
    for (const Spline* s : r.shape)
        EXPECT_GE(s->size(), 2) << "a loop of one knot";
    EXPECT_EQ(regioncheck::findCrossing(r.shape), "");
    return enclosedArea(r.shape);
}

// The cubic of the tests: its handles cross, so it curls counterclockwise
// above the point where it crosses itself.
const Curve kCurl = {P{0, 0}, P{12, 10}, P{-2, 10}, P{10, 0}};

}  // namespace

TEST(SelfCrossing, ACurlOutsideTheRestIsFilledByBothRules) {
    // Closed by its chord, the rest of the outline runs clockwise below the
    // self-crossing and the curl counterclockwise above it.
    const Split areas = splitAreas(kCurl, {});
    ASSERT_LT(areas.rest, 0.0);
    ASSERT_GT(areas.curl, 0.0);
    const Shape shape = shapeOfPath("M0 0 C12 10 -2 10 10 0 Z");
    const double expected = std::fabs(areas.rest) + areas.curl;
    EXPECT_NEAR(answerArea(shape, FillRule::NonZero), expected, 1e-9);
    EXPECT_NEAR(answerArea(shape, FillRule::EvenOdd), expected, 1e-9);
}

TEST(SelfCrossing, ACurlInsideTheRestCountsTwiceUnderNonzeroAndNotUnderEvenOdd) {
    // Closed far above, the outline runs counterclockwise round the curl,
    // which winds twice.
    const Split areas = splitAreas(kCurl, {P{10, 20}, P{0, 20}});
    ASSERT_GT(areas.rest, 0.0);
    const Shape shape = shapeOfPath("M0 0 C12 10 -2 10 10 0 L10 20 L0 20 Z");
    EXPECT_NEAR(answerArea(shape, FillRule::NonZero), areas.rest, 1e-9);
    EXPECT_NEAR(answerArea(shape, FillRule::EvenOdd), areas.rest - areas.curl, 1e-9);
}

TEST(SelfCrossing, ACurlOfWindingZeroInsideAnOutlineIsAHole) {
    // Run backwards, the contour winds +1 in the rest and -1 in the curl; a
    // square round both adds 1: the rest winds 2, the curl 0.
    const Split areas = splitAreas(kCurl, {});
    const Shape shape = shapeOfPath("M10 0 C-2 10 12 10 0 0 Z M-5 -5 H15 V15 H-5 Z");
    const double square = 400.0;
    EXPECT_NEAR(answerArea(shape, FillRule::NonZero), square - areas.curl, 1e-9);
    EXPECT_NEAR(answerArea(shape, FillRule::EvenOdd), square - areas.curl - std::fabs(areas.rest),
                1e-9);
}

TEST(SelfCrossing, ACurlThatClosesOnTheContoursKnot) {
    // The curl of this cubic passes through its own end point (at t = 0.5
    // and t = 1), where the closing line starts.
    const Curve q = {P{0, 2}, P{2, 3}, P{5, 1}, P{3, 2}};
    double s = 0.0;
    double t = 0.0;
    ASSERT_TRUE(selfCrossing(q, s, t));
    EXPECT_NEAR(s, 0.5, 1e-12);
    EXPECT_NEAR(t, 1.0, 1e-12);
    const double curl = areaAlong(q, 0.5, 1.0);
    const double rest = areaAlong(q, 0.0, 0.5) + areaAlongLine(q[3], q[0]);
    const Shape shape = shapeOfPath("M0 2 C2 3 5 1 3 2 Z");
    for (FillRule fill : {FillRule::NonZero, FillRule::EvenOdd})
        EXPECT_NEAR(answerArea(shape, fill), std::fabs(curl) + std::fabs(rest), 1e-9);
}

// The curl that crosses the closing line as well, united with a shape far
// away, against a raster of the inputs; and written as SVG path data, the
// answer reads back with its area.
TEST(SelfCrossing, ACurlAcrossTheClosingLineKeepsEveryFace) {
    const Shape shape = shapeOfPath("M0 1 C3 4 4 0 3 2 Z");
    const Shape far = square(6, 6, 0.5);
    for (FillRule fill : {FillRule::NonZero, FillRule::EvenOdd}) {
        const ShapeResult r = combine(shape, far, Operation::Union, {fill, FillRule::NonZero, 0});
        ASSERT_TRUE(r.ok()) << describe(r).toStdString();
        const regioncheck::RasterReport report = regioncheck::rasterCompare(
            shape, fill, far, FillRule::NonZero, Operation::Union, r.shape, 800);
        EXPECT_TRUE(report.ok()) << report.text();
        EXPECT_GT(report.expectedFilled, 10000);
        Shape reread;
        ASSERT_TRUE(parsePathData(svgPathData(r.shape), reread));
        EXPECT_NEAR(enclosedArea(reread), enclosedArea(r.shape), 1e-9);
    }
}

// Both halves of the curl's loop are pieces of the input segment: their
// ends lie on the curve at the self-crossing.
TEST(SelfCrossing, TheCurlsLoopStartsAtTheSelfCrossing) {
    double s = 0.0;
    double t = 0.0;
    ASSERT_TRUE(selfCrossing(kCurl, s, t));
    const P x = at(powerOf(kCurl), s);
    const ShapeResult r = resolve(shapeOfPath("M0 0 C12 10 -2 10 10 0 Z"), FillRule::NonZero);
    ASSERT_TRUE(r.ok());
    int atCrossing = 0;
    for (const Spline* sp : r.shape)
        for (const Knot* k : *sp)
            atCrossing += std::hypot(k->point.x - x.x, k->point.y - x.y) < 1e-9;
    EXPECT_EQ(atCrossing, 2);  // one on each loop
}
