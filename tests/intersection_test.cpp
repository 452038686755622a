#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>

#include "intersection/segmentintersection.h"
#include "testshapes.h"

namespace {

constexpr double kThreshold = 0.01;

BezierSegment line(const Point3d& a, const Point3d& b) {
    return {a, a, b, b};
}

// Rises from (0,0) to (5,6) and falls to (10,0); the top is exactly a
// vertex of its polyline.
BezierSegment arch() {
    return {{0, 0, 0}, {0, 8, 0}, {10, 8, 0}, {10, 0, 0}};
}

PLine polyline(std::initializer_list<Point3d> points) {
    PLine p;
    for (const Point3d& q : points)
        p.append(q);
    p.length();
    return p;
}

struct Classified {
    quint32 flags;
    Point3d foot;
    double t;
};

const Point3d kUnwritten(-99, -99, -99);

Classified classify(const Point3d& p, const Point3d& a, const Point3d& b, double tolerance) {
    Classified c{0, kUnwritten, -99.0};
    c.flags = classifyPointOnSegment(p, a, b, tolerance, c.foot, c.t);
    return c;
}

IntersectionList intersect(const BezierSegment& a, const BezierSegment& b,
                           double threshold = kThreshold) {
    IntersectionList records;
    const bool found = intersectSegments(a, b, records, kAngleTolerance, threshold);
    EXPECT_EQ(found, !records.isEmpty());
    return records;
}

void expectRecord(const Intersection& r, double paramA, double paramB, double lengthA,
                  double lengthB, const Point3d& point, double tol = 1e-12) {
    EXPECT_EQ(r.indexA, -1);
    EXPECT_EQ(r.indexB, -1);
    EXPECT_NEAR(r.paramA, paramA, tol);
    EXPECT_NEAR(r.paramB, paramB, tol);
    EXPECT_NEAR(r.lengthA, lengthA, tol);
    EXPECT_NEAR(r.lengthB, lengthB, tol);
    EXPECT_NEAR(distance(r.point, point), 0.0, tol);
}

}  // namespace

TEST(ClassifyPoint, EndsComeFirstAndIgnoreHeight) {
    const Point3d a(0, 0, 0);
    const Point3d b(10, 0, 0);
    Classified c = classify({0.3, 0.2, 50}, a, b, 0.5);
    EXPECT_EQ(c.flags, quint32(AtStart | OnLine));
    EXPECT_EQ(c.flags, 0xa00000u);
    EXPECT_EQ(c.foot, a);
    EXPECT_EQ(c.t, 0.0);

    c = classify({9.8, -0.3, 0}, a, b, 0.5);
    EXPECT_EQ(c.flags, 0xc00000u);
    EXPECT_EQ(c.foot, b);
    EXPECT_EQ(c.t, 1.0);

    // On a segment shorter than the tolerance both ends are near: the start wins.
    c = classify({0.1, 0, 0}, a, {0.2, 0, 0}, 0.5);
    EXPECT_EQ(c.flags, quint32(AtStart | OnLine));

    // Away from both ends of such a segment there is nothing to project on.
    c = classify({5, 5, 0}, a, {0.2, 0, 0}, 0.5);
    EXPECT_EQ(c.flags, quint32(Degenerate));
    EXPECT_EQ(c.foot, kUnwritten);
    EXPECT_EQ(c.t, -99.0);
}

TEST(ClassifyPoint, SidesAndRanges) {
    const Point3d a(0, 0, 0);
    const Point3d b(10, 0, 0);
    Classified c = classify({5, 2, 0}, a, b, 0.5);
    EXPECT_EQ(c.flags, quint32(Between | Left));
    EXPECT_EQ(c.t, 0.5);
    EXPECT_EQ(c.foot, Point3d(5, 0, 0));

    EXPECT_EQ(classify({5, -2, 0}, a, b, 0.5).flags, quint32(Between | Right));
    // Reversing the segment swaps the sides.
    EXPECT_EQ(classify({5, 2, 0}, b, a, 0.5).flags, quint32(Between | Right));

    c = classify({-3, 1, 0}, a, b, 0.5);
    EXPECT_EQ(c.flags, quint32(Before | Left));
    EXPECT_DOUBLE_EQ(c.t, -0.3);
    c = classify({13, -1, 0}, a, b, 0.5);
    EXPECT_EQ(c.flags, quint32(After | Right));
    EXPECT_DOUBLE_EQ(c.t, 1.3);

    // Within the tolerance of the foot: no side.
    c = classify({5, 0.2, 0}, a, b, 0.5);
    EXPECT_EQ(c.flags, quint32(Between));
    EXPECT_EQ(c.foot, Point3d(5, 0, 0));

    // On the line: the foot is the point itself, height and all.
    c = classify({20, 0, 7}, a, b, 0.5);
    EXPECT_EQ(c.flags, quint32(After | OnLine));
    EXPECT_EQ(c.foot, Point3d(20, 0, 7));
    EXPECT_EQ(c.t, 2.0);

    // Off the line the foot takes the height of the start.
    c = classify({5, 2, 9}, {0, 0, 1}, {10, 0, 3}, 0.5);
    EXPECT_EQ(c.foot, Point3d(5, 0, 1));
}

TEST(LocatePoint, PositionAlongThePolyline) {
    double param = -1.0;
    EXPECT_FALSE(polyline({}).locatePoint({0, 0, 0}, 1.0, param));
    EXPECT_FALSE(polyline({{0, 0, 0}}).locatePoint({0, 0, 0}, 1.0, param));
    EXPECT_EQ(param, -1.0);

    const PLine ell = polyline({{0, 0, 0}, {10, 0, 0}, {10, 5, 0}});
    ASSERT_TRUE(ell.locatePoint({4, 0.3, 0}, 0.5, param));
    EXPECT_DOUBLE_EQ(param, 4.0 / 15.0);
    ASSERT_TRUE(ell.locatePoint({10.2, 3, 0}, 0.5, param));
    EXPECT_DOUBLE_EQ(param, 13.0 / 15.0);
    ASSERT_TRUE(ell.locatePoint({10.1, 0.1, 0}, 0.5, param));
    EXPECT_DOUBLE_EQ(param, 10.0 / 15.0);
    EXPECT_FALSE(ell.locatePoint({5, 3, 0}, 0.5, param));

    // A polyline that doubles back over itself: the earlier edge wins.
    const PLine back = polyline({{0, 0, 0}, {10, 0, 0}, {0, 0.1, 0}});
    ASSERT_TRUE(back.locatePoint({3, 0.05, 0}, 0.5, param));
    EXPECT_NEAR(param * back.cachedLength, 3.0, 1e-12);

    // The planar test accepts a point above the edge; its height rejects it.
    EXPECT_FALSE(ell.locatePoint({5, 0.3, 10}, 0.5, param));
}

TEST(LocatePoint, DistanceEqualToTheToleranceIsOff) {
    const PLine edge = polyline({{0, 0, 0}, {10, 0, 0}});
    double param = -1.0;
    EXPECT_FALSE(edge.locatePoint({5, 1, 0}, 1.0, param));
    EXPECT_FALSE(edge.locatePoint({-1, 0, 0}, 1.0, param));
    ASSERT_TRUE(edge.locatePoint({5, 1, 0}, std::nextafter(1.0, 2.0), param));
    EXPECT_EQ(param, 0.5);
}

TEST(IntersectSegments, StraightSegmentsCrossAtChordFractions) {
    IntersectionList records;
    records.append(new Intersection);
    ASSERT_TRUE(intersectSegments(line({0, 0, 0}, {10, 0, 0}), line({3, -2, 0}, {3, 6, 0}), records,
                                  kAngleTolerance, kThreshold));
    ASSERT_EQ(records.size(), 2);
    expectRecord(*records.at(1), 0.3, 0.25, 3.0, 2.0, {3, 0, 0});

    // Segments that do not meet leave the list as it was.
    EXPECT_FALSE(intersectSegments(line({0, 0, 0}, {10, 0, 0}), line({3, 1, 0}, {3, 6, 0}), records,
                                   kAngleTolerance, kThreshold));
    EXPECT_EQ(records.size(), 2);
}

TEST(IntersectSegments, ContactAtBStartIsReportedAlone) {
    const BezierSegment a = line({0, 0, 0}, {10, 0, 0});
    // Starts on A, arcs up and comes back down through A near x = 8.
    BezierSegment b{{2, 0, 0}, {2, 8, 0}, {8, 8, 0}, {8, -3, 0}};
    IntersectionList records = intersect(a, b);
    ASSERT_EQ(records.size(), 1);
    expectRecord(*records.at(0), 0.2, 0.0, 2.0, 0.0, b.p0);

    // Lifted off A, the same curve shows the crossing that the contact hid.
    b.p0 = Point3d(2, 0.5, 0);
    records = intersect(a, b);
    ASSERT_EQ(records.size(), 1);
    EXPECT_NEAR(records.at(0)->point.y, 0.0, 1e-12);
    EXPECT_GT(records.at(0)->point.x, 7.0);
    EXPECT_GT(records.at(0)->paramB, 0.5);
}

TEST(IntersectSegments, EndContactsInTheirOrder) {
    const BezierSegment a = line({0, 0, 0}, {10, 0, 0});

    // Overlapping collinear stretch with both ends of B on A: only B's start.
    IntersectionList r = intersect(a, line({4, 0, 0}, {6, 0, 0}));
    ASSERT_EQ(r.size(), 1);
    expectRecord(*r.at(0), 0.4, 0.0, 4.0, 0.0, {4, 0, 0});

    // B's end near A: the record carries B's end, not its foot on A.
    r = intersect(a, line({5, 5, 0}, {5, 0.008, 0}));
    ASSERT_EQ(r.size(), 1);
    expectRecord(*r.at(0), 0.5, 1.0, 5.0, 4.992, {5, 0.008, 0});

    // Overlap with both ends of A on B: only A's start.
    r = intersect(line({2, 0, 0}, {8, 0, 0}), line({10, 0, 0}, {0, 0, 0}));
    ASSERT_EQ(r.size(), 1);
    expectRecord(*r.at(0), 0.0, 0.8, 0.0, 8.0, {2, 0, 0});

    // A's end near B, with the point of A.
    r = intersect(line({5, 5, 0}, {5, 0.008, 0}), a);
    ASSERT_EQ(r.size(), 1);
    expectRecord(*r.at(0), 1.0, 0.5, 4.992, 5.0, {5, 0.008, 0});

    // A shared end point is found as B's start, with the point of B.
    r = intersect(a, line({10, 0.001, 0}, {10, 5, 0}));
    ASSERT_EQ(r.size(), 1);
    expectRecord(*r.at(0), 1.0, 0.0, 10.0, 0.0, {10, 0.001, 0});
    r = intersect(a, line({10, 5, 0}, {10, 0.001, 0}));
    ASSERT_EQ(r.size(), 1);
    expectRecord(*r.at(0), 1.0, 1.0, 10.0, 4.999, {10, 0.001, 0});
}

TEST(IntersectSegments, SharedEndPointHidesACrossing) {
    // The line y = x leaves the arch's start and crosses the arch again.
    IntersectionList r = intersect(arch(), line({0, 0, 0}, {10, 10, 0}));
    ASSERT_EQ(r.size(), 1);
    expectRecord(*r.at(0), 0.0, 0.0, 0.0, 0.0, {0, 0, 0});

    r = intersect(arch(), line({0.5, 0.5, 0}, {10, 10, 0}));
    ASSERT_EQ(r.size(), 1);
    EXPECT_NEAR(r.at(0)->point.x, r.at(0)->point.y, 1e-9);
    EXPECT_GT(r.at(0)->point.x, 5.0);
    EXPECT_GT(r.at(0)->paramA, 0.5);
}

TEST(IntersectSegments, CrossingThroughAnInteriorVertexIsReportedTwice) {
    const IntersectionList r = intersect(arch(), line({5, 10, 0}, {5, -1, 0}));
    ASSERT_EQ(r.size(), 2);
    for (const Intersection* x : r) {
        EXPECT_NEAR(distance(x->point, {5, 6, 0}), 0.0, 1e-12);
        EXPECT_NEAR(x->paramA, 0.5, 1e-12);
        EXPECT_NEAR(x->paramB, 4.0 / 11.0, 1e-12);
    }
}

TEST(IntersectSegments, EdgesShorterThanTheThresholdNeverCross) {
    // A quarter circle of radius 100 flattens to 32 edges of about 4.9.
    const BezierSegment arc{
        {100, 0, 0}, {100, 100 * kKappa, 0}, {100 * kKappa, 100, 0}, {0, 100, 0}};
    const BezierSegment ray = line({0, 0, 0}, {200, 100, 0});
    const IntersectionList fine = intersect(arc, ray, 1.0);
    ASSERT_FALSE(fine.isEmpty());
    EXPECT_NEAR(norm(fine.at(0)->point), 100.0, 0.05);
    EXPECT_TRUE(intersect(arc, ray, 6.0).isEmpty());
}

TEST(IntersectSegments, ContactNeedsToBeCloserThanTheThreshold) {
    const BezierSegment a = line({0, 0, 0}, {10, 0, 0});
    const BezierSegment b = line({5, 1, 0}, {5, 9, 0});
    EXPECT_TRUE(intersect(a, b, 1.0).isEmpty());
    const IntersectionList r = intersect(a, b, std::nextafter(1.0, 2.0));
    ASSERT_EQ(r.size(), 1);
    expectRecord(*r.at(0), 0.5, 0.0, 5.0, 0.0, {5, 1, 0});
}

TEST(IntersectSegments, HostileInputEnds) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const BezierSegment cross = line({5, -5, 0}, {5, 5, 0});
    for (double v : {nan, inf, 1e200, -1e200}) {
        for (double threshold : {0.0, kThreshold, nan}) {
            IntersectionList r = intersect(line({0, 0, 0}, {v, 0, 0}), cross, threshold);
            r = intersect(cross, BezierSegment{{0, 0, 0}, {v, v, 0}, {1, -v, 0}, {10, 0, 0}},
                          threshold);
            r = intersect(line({-v, 0, 0}, {v, 0, 0}), line({0, -v, 0}, {0, v, 0}), threshold);
            for (const Intersection* x : r) {
                EXPECT_EQ(x->indexA, -1);
                EXPECT_EQ(x->indexB, -1);
            }
        }
    }
    // A segment of no length crosses nothing, whatever the threshold.
    for (double threshold : {0.0, kThreshold}) {
        EXPECT_TRUE(intersect(line({3, 3, 0}, {3, 3, 0}), line({0, 0, 0}, {6, 6.5, 0}), threshold)
                        .isEmpty());
    }
}
