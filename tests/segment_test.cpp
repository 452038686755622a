#include <gtest/gtest.h>

#include "intersection/beziersegment.h"
#include "intersection/flattening.h"
#include "testshapes.h"

namespace {

BezierSegment quarterCircle(double r) {
    return {{r, 0, 0}, {r, r * kKappa, 0}, {r * kKappa, r, 0}, {0, r, 0}};
}

int flattenedEdges(const BezierSegment& s, double tolerance = kAngleTolerance) {
    PLine p;
    appendToPolyline(s, p, tolerance);
    return p.size() - 1;
}

}  // namespace

TEST(BezierSegment, EvaluationSnapsToEnds) {
    const BezierSegment s = quarterCircle(10);
    EXPECT_EQ(s.pointAt(0), s.p0);
    EXPECT_EQ(s.pointAt(1e-11), s.p0);
    EXPECT_EQ(s.pointAt(1 - 1e-11), s.p3);
    const Point3d mid = s.pointAt(0.5);
    EXPECT_NEAR(norm(mid), 10.0, 0.003);
}

TEST(BezierSegment, HandlesOnTheChordMakeALine) {
    const BezierSegment s{{0, 0, 0}, {0, 0, 0}, {10, 0, 0}, {10, 0, 0}};
    EXPECT_TRUE(s.isStraight());
    EXPECT_EQ(s.pointAt(0.5), Point3d(5, 0, 0));
    EXPECT_EQ(s.length(), 10.0);
    EXPECT_EQ(s.lengthTo(0.25), 2.5);
    EXPECT_EQ(s.parameterAtLength(4.0, 1e-10), 0.4);

    // A loop whose ends coincide is straight with length zero.
    const BezierSegment loop{{1, 1, 0}, {5, 9, 0}, {-3, 9, 0}, {1, 1, 0}};
    EXPECT_TRUE(loop.isStraight());
    EXPECT_EQ(loop.length(), 0.0);
    EXPECT_EQ(loop.parameterAtLength(1.0, 1e-10), 0.0);
}

TEST(BezierSegment, ShrinkingACurveMakesItStraight) {
    const BezierSegment big{{0, 0, 0}, {1, 1, 0}, {2, 1, 0}, {3, 0, 0}};
    EXPECT_FALSE(big.isStraight());
    const double k = 0.01;
    const BezierSegment small{big.p0 * k, big.p1 * k, big.p2 * k, big.p3 * k};
    EXPECT_TRUE(small.isStraight());
    EXPECT_EQ(small.length(), 0.03);
}

TEST(BezierSegment, SubdivisionOfStraightSegmentPlacesHandlesAtPointThree) {
    const BezierSegment s{{0, 0, 0}, {1, 0, 0}, {9, 0, 0}, {10, 0, 0}};
    BezierSegment l;
    BezierSegment r;
    s.subdivide(0.5, l, r);
    EXPECT_EQ(l.p1, Point3d(1.5, 0, 0));
    EXPECT_EQ(l.p2, Point3d(3.5, 0, 0));
    EXPECT_EQ(l.p3, Point3d(5, 0, 0));
    EXPECT_EQ(r.p1, Point3d(6.5, 0, 0));
    EXPECT_EQ(r.p2, Point3d(8.5, 0, 0));
}

TEST(BezierSegment, SubdivisionOfCurveKeepsTheCurve) {
    const BezierSegment s{{0, 0, 0}, {2, 6, 0}, {7, -4, 1}, {10, 3, 0}};
    BezierSegment l;
    BezierSegment r;
    s.subdivide(0.3, l, r);
    EXPECT_EQ(l.p3, s.pointAt(0.3));
    EXPECT_EQ(r.p0, l.p3);
    for (double u : {0.1, 0.5, 0.9}) {
        const Point3d a = s.pointAt(0.3 * u);
        const Point3d b = l.pointAt(u);
        EXPECT_NEAR(distance(a, b), 0.0, 1e-12);
        EXPECT_NEAR(distance(s.pointAt(0.3 + 0.7 * u), r.pointAt(u)), 0.0, 1e-12);
    }
}

TEST(BezierSegment, ArcLengthAndItsInverse) {
    const BezierSegment s = quarterCircle(100);
    const double len = s.length();
    EXPECT_NEAR(len, M_PI * 50, 0.05);
    EXPECT_EQ(s.lengthTo(1.0), len);
    EXPECT_EQ(s.parameterAtLength(len + 1, 1e-10), 1.0);
    EXPECT_EQ(s.parameterAtLength(1e-11, 1e-10), 0.0);
    for (double u : {0.1, 0.37, 0.5, 0.81}) {
        const double t = s.parameterAtLength(s.lengthTo(u), 1e-10);
        EXPECT_NEAR(t, u, 1e-9);
    }
}

TEST(SplineLengths, OpenAndClosedParameters) {
    auto open = polygon({{0, 0, 0}, {3, 0, 0}, {3, 4, 0}}, false);
    EXPECT_EQ(open->length, 7.0);
    EXPECT_EQ(open->last()->segLength, 0.0);
    EXPECT_EQ(open->last()->lengthBefore, 7.0);
    EXPECT_EQ(open->last()->param, 1.0);

    auto square = rectangle(0, 0, 1, 1);
    EXPECT_EQ(square->length, 4.0);
    EXPECT_EQ(square->at(3)->param, 0.75);
    EXPECT_TRUE(square->lengthsValid);

    // Too short to measure: parameters keep their old values and stay invalid.
    auto dot = rectangle(0, 0, 1e-4, 1e-4);
    for (Knot* k : *dot)
        k->param = 0.5;
    dot->updateLengths();
    EXPECT_FALSE(dot->lengthsValid);
    EXPECT_EQ(dot->at(1)->param, 0.5);
}

TEST(SplineLengths, LocalParameterWrapsOnClosedSplines) {
    auto c = circle(0, 0, 10);
    int i1, j1, i2, j2;
    const double a = c->localParameter(0.25 + 0.1, i1, j1);
    const double b = c->localParameter(1.35, i2, j2);
    EXPECT_EQ(i1, i2);
    EXPECT_EQ(a, b);
    EXPECT_EQ(c->localParameter(-0.25, i1, j1), c->localParameter(0.75, i2, j2));
    EXPECT_EQ(i1, i2);
    EXPECT_EQ(c->localParameter(1.0, i1, j1), 1.0);
    EXPECT_EQ(i1, 3);
    EXPECT_EQ(j1, 0);
    // A knot's own parameter belongs to the segment that ends there.
    EXPECT_NEAR(c->localParameter(c->at(2)->param, i1, j1), 1.0, 1e-9);
    EXPECT_EQ(i1, 1);
    // Huge and non-finite parameters end at once with a defined answer.
    const double u = c->localParameter(1e300, i1, j1);
    EXPECT_TRUE(u >= 0.0 && u <= 1.0);
    EXPECT_GE(i1, 0);
    c->localParameter(std::nan(""), i1, j1);
    EXPECT_GE(i1, 0);
    const Point3d far = c->pointAtParameter(1e12 + 0.25);
    EXPECT_NEAR(distance(far, c->pointAtParameter(0.25)), 0.0, 1e-3);

    // An open spline clamps, and stale parameters fall back to its first segment.
    auto open = polygon({{0, 0, 0}, {1e-4, 0, 0}, {2e-4, 0, 0}}, false);
    open->at(1)->param = std::nan("");
    open->at(2)->param = std::nan("");
    EXPECT_EQ(open->localParameter(0.5, i1, j1), 0.0);
    EXPECT_EQ(i1, 0);
    EXPECT_EQ(open->localParameter(7.0, i1, j1), 1.0);
    EXPECT_EQ(i1, 1);
    EXPECT_EQ(j1, 2);
    EXPECT_EQ(Spline().pointAtParameter(0.5), Point3d());
}

TEST(Flattening, QuarterCircleEdgeCounts) {
    EXPECT_EQ(flattenedEdges(quarterCircle(10)), 32);
    EXPECT_EQ(flattenedEdges(quarterCircle(1000)), 32);
    EXPECT_EQ(flattenedEdges(quarterCircle(1)), 8);
    EXPECT_EQ(flattenedEdges(quarterCircle(0.1)), 1);
    EXPECT_EQ(flattenedEdges(quarterCircle(1000), 1e-10), 1);
}

TEST(Flattening, StraightSegmentAddsOnlyItsEnds) {
    const BezierSegment s{{0, 0, 0}, {0, 0, 0}, {4, 0, 0}, {4, 0, 0}};
    PLine p;
    appendToPolyline(s, p, kAngleTolerance);
    ASSERT_EQ(p.size(), 2);
    appendToPolyline(s, p, kAngleTolerance);
    EXPECT_EQ(p.size(), 3);
}

TEST(Flattening, ArcsAndLines) {
    EXPECT_FALSE(arcThrough({0, 0, 0}, {1, 1, 0}, {2, 2, 0}).valid);
    EXPECT_FALSE(arcThrough({0, 0, 0}, {0, 0, 0}, {2, 2, 0}).valid);
    const CircleArc half = arcThrough({1, 0, 0}, {0, 1, 0}, {-1, 0, 0});
    ASSERT_TRUE(half.valid);
    EXPECT_NEAR(half.sweep, M_PI, 1e-12);
    // A small arc is small in either orientation.
    const double a = 0.1;
    const CircleArc ccw =
        arcThrough({1, 0, 0}, {std::cos(a), std::sin(a), 0}, {std::cos(2 * a), std::sin(2 * a), 0});
    const CircleArc cw =
        arcThrough({std::cos(2 * a), std::sin(2 * a), 0}, {std::cos(a), std::sin(a), 0}, {1, 0, 0});
    EXPECT_NEAR(ccw.sweep, 2 * a, 1e-9);
    EXPECT_NEAR(cw.sweep, 2 * a, 1e-9);

    Point3d x;
    double s, u;
    EXPECT_FALSE(
        intersectLines({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, x, s, u, true, true, 0));
    ASSERT_TRUE(
        intersectLines({0, 0, 0}, {2, 0, 0}, {2, -1, 0}, {2, 1, 0}, x, s, u, true, true, 0));
    EXPECT_EQ(s, 1.0);
    EXPECT_EQ(u, 0.5);
    EXPECT_FALSE(
        intersectLines({0, 0, 0}, {2, 0, 0}, {3, -1, 0}, {3, 1, 0}, x, s, u, true, true, 0));
    EXPECT_TRUE(
        intersectLines({0, 0, 0}, {2, 0, 0}, {3, -1, 0}, {3, 1, 0}, x, s, u, false, true, 0));
    EXPECT_EQ(x, Point3d(3, 0, 0));
    EXPECT_FALSE(
        intersectLines({0, 0, 0}, {2, 0, 0}, {1, -0.1, 0}, {1, 0.1, 0}, x, s, u, true, true, 0.5));
}

// NaN, huge coordinates and the singular fill value must not make the
// recursive measures run without end.
TEST(Degenerate, HostileCoordinatesEndQuickly) {
    const double nan = std::nan("");
    const double fill = singularFill();
    for (double v : {nan, 1e200, fill, std::numeric_limits<double>::infinity()}) {
        const BezierSegment s{{0, 0, 0}, {v, 1, 0}, {1, v, 0}, {v, v, 0}};
        (void)s.length();
        (void)s.lengthTo(0.3);
        (void)s.parameterAtLength(0.5, 1e-10);
        PLine p;
        appendToPolyline(s, p, kAngleTolerance);
        EXPECT_GE(p.size(), 2);

        auto sp = polygon({{0, 0, 0}, {v, 0, 0}, {v, v, 0}});
        sp->first()->outVec = Point3d(v, -v, 0);
        sp->first()->type = Knot::Bezier;
        sp->updateLengths();
        (void)sp->pointAtParameter(0.4);
    }
    // A circle mapped by a singular inverse gets coordinates near 6e223.
    auto c = circle(3, 4, 5);
    Matrix3d m;
    m.m[0][0] = 0.0;
    c->transformKnots(inverseOf(m));
    EXPECT_GT(std::fabs(c->first()->point.x), 1e200);
    c->updateLengths();
    EXPECT_TRUE(std::isfinite(c->pointAtParameter(0.3).y));
}
