#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "assembly/classification.h"
#include "testshapes.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

PLine polygonOf(const Spline& s) {
    PLine p;
    toPLine(s, p, kAngleTolerance);
    return p;
}

PLine points(std::initializer_list<Point3d> pts) {
    PLine p;
    for (const Point3d& q : pts)
        p.append(q);
    return p;
}

bool isFinite(const Point3d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// Whether p lies on the outline of the unit square.
bool onUnitSquareOutline(const Point3d& p) {
    const double tol = 1e-12;
    const bool inX = p.x >= -tol && p.x <= 1 + tol;
    const bool inY = p.y >= -tol && p.y <= 1 + tol;
    const bool onVertical = std::fabs(p.x) < tol || std::fabs(p.x - 1) < tol;
    const bool onHorizontal = std::fabs(p.y) < tol || std::fabs(p.y - 1) < tol;
    return inX && inY && (onVertical || onHorizontal) && p.z == 0.0;
}

}  // namespace

TEST(Polygon, ClosedSquareEndsWhereItStarts) {
    auto square = rectangle(0, 0, 1, 1);
    PLine p = polygonOf(*square);
    ASSERT_EQ(p.size(), 5);
    EXPECT_EQ(p.at(0), Point3d(0, 0, 0));
    EXPECT_EQ(p.at(1), Point3d(1, 0, 0));
    EXPECT_EQ(p.at(2), Point3d(1, 1, 0));
    EXPECT_EQ(p.at(3), Point3d(0, 1, 0));
    EXPECT_EQ(p.at(4), Point3d(0, 0, 0));
    // The cached length is already refreshed for the new points.
    EXPECT_EQ(p.lengthCount, 5);
    EXPECT_DOUBLE_EQ(p.cachedLength, 4.0);
}

TEST(Polygon, OpenSplineHasNoClosingSegment) {
    auto u = polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, false);
    PLine p = polygonOf(*u);
    ASSERT_EQ(p.size(), 4);
    EXPECT_EQ(p.last(), Point3d(0, 1, 0));
    EXPECT_DOUBLE_EQ(p.cachedLength, 3.0);
}

TEST(Polygon, DegenerateSplines) {
    PLine empty = polygonOf(Spline());
    EXPECT_TRUE(empty.isEmpty());

    auto single = polygon({{2, 3, 4}}, false);
    PLine one = polygonOf(*single);
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one.at(0), Point3d(2, 3, 4));
}

TEST(Polygon, AppendsToWhatIsThere) {
    auto square = rectangle(0, 0, 1, 1);
    PLine p = points({{5, 5, 0}});
    toPLine(*square, p, kAngleTolerance);
    // The start point is only written into an empty polygon.
    ASSERT_EQ(p.size(), 5);
    EXPECT_EQ(p.at(0), Point3d(5, 5, 0));
    EXPECT_EQ(p.at(1), Point3d(1, 0, 0));
    EXPECT_EQ(p.last(), Point3d(0, 0, 0));
}

TEST(Polygon, CurvesAreFlattenedThroughEveryKnot) {
    auto c = circle(1, 2, 3);
    PLine p = polygonOf(*c);
    EXPECT_GT(p.size(), 4 * 8);
    EXPECT_EQ(p.first(), c->at(0)->point);
    EXPECT_EQ(p.last(), c->at(0)->point);
    for (const Knot* k : *c)
        EXPECT_TRUE(p.contains(k->point));
    // Every vertex lies on the (cubic approximation of the) circle.
    for (const Point3d& q : p)
        EXPECT_NEAR(distance(q, {1, 2, 0}), 3.0, 3.0 * 3e-4);
}

TEST(Containment, UnitSquareInsideOutsideAndEdges) {
    auto square = rectangle(0, 0, 1, 1);
    const PLine p = polygonOf(*square);
    EXPECT_TRUE(containsPoint(p, {0.5, 0.5, 0}));
    EXPECT_FALSE(containsPoint(p, {1.5, 0.5, 0}));
    EXPECT_FALSE(containsPoint(p, {-0.5, 0.5, 0}));
    // Half-open edges: left and bottom belong to the square, right and top not.
    EXPECT_TRUE(containsPoint(p, {0, 0.5, 0}));
    EXPECT_FALSE(containsPoint(p, {1, 0.5, 0}));
    EXPECT_TRUE(containsPoint(p, {0.5, 0, 0}));
    EXPECT_FALSE(containsPoint(p, {0.5, 1, 0}));
    // Above and below every point.
    EXPECT_FALSE(containsPoint(p, {0.5, 1.5, 0}));
    EXPECT_FALSE(containsPoint(p, {0.5, -0.5, 0}));
}

TEST(Containment, PointLevelWithVertexCountedOnce) {
    // A notch whose tip (1, 2) the ray from the test points passes through.
    const PLine notch = points({{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {1, 2, 0}});
    EXPECT_FALSE(containsPoint(notch, {0.5, 2, 0}));
    EXPECT_TRUE(containsPoint(notch, {2, 2, 0}));
    // A diamond's side tips: both edges lie on one side of the ray.
    const PLine diamond = points({{0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}});
    EXPECT_FALSE(containsPoint(diamond, {-2, 0, 0}));
    EXPECT_TRUE(containsPoint(diamond, {0, 0, 0}));
    EXPECT_TRUE(containsPoint(diamond, {-0.9, 0, 0}));
}

TEST(Containment, ZPlaysNoPart) {
    const PLine tilted = points({{0, 0, -7}, {1, 0, 3}, {1, 1, 50}, {0, 1, 0}});
    for (double z : {-100.0, 0.0, 0.25, 100.0}) {
        EXPECT_TRUE(containsPoint(tilted, {0.5, 0.5, z})) << z;
        EXPECT_FALSE(containsPoint(tilted, {1.5, 0.5, z})) << z;
    }
}

TEST(Containment, OpenPolygonIsClosedByTheTest) {
    auto u = polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, false);
    const PLine p = polygonOf(*u);
    ASSERT_NE(p.first(), p.last());
    EXPECT_TRUE(containsPoint(p, {0.5, 0.5, 0}));
    // Left of the missing side: its ray crosses both vertical sides.
    EXPECT_FALSE(containsPoint(p, {-0.5, 0.5, 0}));
}

TEST(Containment, CurvedOutline) {
    auto c = circle(0, 0, 10);
    const PLine p = polygonOf(*c);
    EXPECT_TRUE(containsPoint(p, {0, 0, 0}));
    EXPECT_TRUE(containsPoint(p, {7, 7, 0}));
    EXPECT_FALSE(containsPoint(p, {7.2, 7.2, 0}));
    EXPECT_TRUE(containsPoint(p, {-9.9, 0.5, 0}));
    EXPECT_FALSE(containsPoint(p, {-10.1, 0.5, 0}));
}

TEST(Containment, EmptyAndNaNAreOutside) {
    EXPECT_FALSE(containsPoint(PLine(), {0, 0, 0}));
    EXPECT_FALSE(containsPoint(points({{0, 0, 0}}), {0, 0, 0}));
    auto square = rectangle(0, 0, 1, 1);
    const PLine p = polygonOf(*square);
    EXPECT_FALSE(containsPoint(p, {kNaN, 0.5, 0}));
    EXPECT_FALSE(containsPoint(p, {0.5, kNaN, 0}));
    // A NaN vertex spoils its two edges only: the right side is still crossed.
    const PLine spoilt = points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {kNaN, kNaN, 0}});
    EXPECT_TRUE(containsPoint(spoilt, {0.5, 0.5, 0}));
    EXPECT_FALSE(containsPoint(spoilt, {1.5, 0.5, 0}));
}

TEST(Probe, LiesThresholdPastTheKnot) {
    auto square = rectangle(0, 0, 1, 1);
    const Point3d q = probePoint(*square, *square->at(1), 0.25);
    EXPECT_NEAR(q.x, 1.0, 1e-12);
    EXPECT_NEAR(q.y, 0.25, 1e-12);
    // The threshold is a distance along the spline, whatever its size.
    auto big = rectangle(0, 0, 10, 10);
    const Point3d r = probePoint(*big, *big->at(2), 0.25);
    EXPECT_NEAR(r.x, 9.75, 1e-12);
    EXPECT_NEAR(r.y, 10.0, 1e-12);
}

TEST(Probe, LastKnotWrapsPastTheFirst) {
    // The last knot sits at parameter 0.975; the probe passes knot 0.
    auto s = polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0.1, 0}});
    ASSERT_DOUBLE_EQ(s->last()->param, 0.975);
    const Point3d q = probePoint(*s, *s->last(), 0.3);
    EXPECT_NEAR(q.x, 0.2, 1e-12);
    EXPECT_NEAR(q.y, 0.0, 1e-12);
}

TEST(Probe, OpenSplineStopsAtItsEnd) {
    auto u = polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, false);
    const Point3d q = probePoint(*u, *u->at(1), 5.0);
    EXPECT_EQ(q, Point3d(1, 1, 0));
}

TEST(Probe, ExtremeThresholdsStayOnTheSpline) {
    auto square = rectangle(0, 0, 1, 1);
    for (double threshold : {1e300, std::numeric_limits<double>::infinity(), kNaN, 4.0, 123.5}) {
        for (int i = 0; i < 4; ++i) {
            const Point3d q = probePoint(*square, *square->at(i), threshold);
            EXPECT_TRUE(isFinite(q)) << threshold << " at " << i;
            EXPECT_TRUE(onUnitSquareOutline(q)) << threshold << " at " << i;
        }
    }
    EXPECT_EQ(square->size(), 4);
    EXPECT_TRUE(square->lengthsValid);
}

TEST(Probe, ZeroLengthSplineGivesItsPoint) {
    // Length 0: the offset divides to infinity.
    auto dot = polygon({{2, 3, 0}, {2, 3, 0}, {2, 3, 0}});
    ASSERT_EQ(dot->totalLength(), 0.0);
    for (double threshold : {0.5, kNaN}) {
        const Point3d q = probePoint(*dot, *dot->at(1), threshold);
        EXPECT_EQ(q, Point3d(2, 3, 0)) << threshold;
    }
    // An empty spline has no point to give but still answers.
    Spline empty;
    empty.closed = true;
    const Knot k({1, 1, 0}, 0.5);
    EXPECT_TRUE(isFinite(probePoint(empty, k, 0.5)));
}
