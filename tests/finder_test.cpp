#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "assembly/splitting.h"
#include "intersection/finder.h"
#include "testshapes.h"

namespace {

constexpr double kThreshold = 0.01;

IntersectionList find(Spline& a, Spline& b, double threshold = kThreshold) {
    return findIntersections(a, b, threshold, kAngleTolerance);
}

void expectPoint(const Point3d& actual, const Point3d& expected, double tol = 1e-9) {
    EXPECT_NEAR(distance(actual, expected), 0.0, tol)
        << actual.x << ", " << actual.y << ", " << actual.z;
}

// Closed: an arch from (0,0) over (5,6) to (10,0), back along the x axis.
// The top of the arch is exactly a vertex of its polyline.
std::unique_ptr<Spline> archShape() {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    s->append(new Knot({0, 0, 0}, {0, 0, 0}, {0, 8, 0}, 0.0, Knot::BezierCorner));
    s->append(new Knot({10, 0, 0}, {10, 8, 0}, {10, 0, 0}, 0.0, Knot::BezierCorner));
    s->updateLengths();
    return s;
}

// Closed: a zigzag of `teeth` edges between y = 0 and y = 10, closed below.
std::unique_ptr<Spline> comb(int teeth) {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    for (int i = 0; i <= teeth; ++i) {
        const Point3d p(i, (i % 2) * 10.0, 0);
        s->append(new Knot(p, p, p, 0.0, Knot::Corner));
    }
    for (const Point3d& p : {Point3d(teeth, -5, 0), Point3d(0, -5, 0)})
        s->append(new Knot(p, p, p, 0.0, Knot::Corner));
    s->updateLengths();
    return s;
}

int crossingKnots(const Spline& s) {
    int n = 0;
    for (const Knot* k : s)
        n += k->hasFlag(CustomFlag::Crossing) ? 1 : 0;
    return n;
}

// Every record names a flagged knot of each spline standing on its point,
// carries that knot's parameter, and the list runs along A.
// Parameters are read when a knot is placed; later insertions measure the
// spline again, and where a moved knot bent a curve that is not exact.
void expectPlaced(const Spline& a, const Spline& b, const IntersectionList& result,
                  double paramTol = 1e-12) {
    for (int n = 0; n < result.size(); ++n) {
        const Intersection& r = *result.at(n);
        ASSERT_TRUE(r.indexA >= 0 && r.indexA < a.size()) << n;
        ASSERT_TRUE(r.indexB >= 0 && r.indexB < b.size()) << n;
        const Knot& ka = *a.at(r.indexA);
        const Knot& kb = *b.at(r.indexB);
        EXPECT_TRUE(ka.hasFlag(CustomFlag::Crossing)) << n;
        EXPECT_TRUE(kb.hasFlag(CustomFlag::Crossing)) << n;
        expectPoint(ka.point, r.point);
        expectPoint(kb.point, r.point);
        EXPECT_NEAR(r.paramA, ka.param, paramTol) << n;
        EXPECT_NEAR(r.paramB, kb.param, paramTol) << n;
        if (n > 0) {
            EXPECT_LE(result.at(n - 1)->paramA, r.paramA) << n;
        }
    }
}

// Indices in range and the list ordered along A, NaN last: all that can be
// asked when the geometry is not finite.
void expectWellFormed(const Spline& a, const Spline& b, const IntersectionList& result) {
    ASSERT_FALSE(a.isEmpty());
    ASSERT_FALSE(b.isEmpty());
    for (int n = 0; n < result.size(); ++n) {
        const Intersection& r = *result.at(n);
        ASSERT_TRUE(r.indexA >= 0 && r.indexA < a.size()) << n;
        ASSERT_TRUE(r.indexB >= 0 && r.indexB < b.size()) << n;
        EXPECT_TRUE(a.at(r.indexA)->hasFlag(CustomFlag::Crossing));
        EXPECT_TRUE(b.at(r.indexB)->hasFlag(CustomFlag::Crossing));
        if (n == 0) continue;
        const double previous = result.at(n - 1)->paramA;
        if (std::isnan(previous)) {
            EXPECT_TRUE(std::isnan(r.paramA)) << n;
        } else if (!std::isnan(r.paramA)) {
            EXPECT_LE(previous, r.paramA) << n;
        }
    }
}

}  // namespace

TEST(FindIntersections, OverlappingSquaresCrossTwice) {
    auto a = rectangle(0, 0, 10, 10);
    auto b = rectangle(5, 5, 15, 15);
    const IntersectionList r = find(*a, *b);
    ASSERT_EQ(r.size(), 2);
    expectPlaced(*a, *b, r);
    expectPoint(r.at(0)->point, {10, 5, 0});
    expectPoint(r.at(1)->point, {5, 10, 0});
    EXPECT_NEAR(r.at(0)->paramA, 0.375, 1e-12);
    EXPECT_NEAR(r.at(1)->paramA, 0.625, 1e-12);
    EXPECT_NEAR(r.at(0)->paramB, 0.125, 1e-12);
    EXPECT_NEAR(r.at(1)->paramB, 0.875, 1e-12);
    EXPECT_EQ(r.at(0)->indexA, 2);
    EXPECT_EQ(r.at(1)->indexA, 4);
    EXPECT_EQ(r.at(0)->indexB, 1);
    EXPECT_EQ(r.at(1)->indexB, 5);
    // Lengths along the segment polylines stay as the search found them.
    EXPECT_NEAR(r.at(0)->lengthA, 5.0, 1e-12);
    EXPECT_NEAR(r.at(0)->lengthB, 5.0, 1e-12);

    ASSERT_EQ(a->size(), 6);
    ASSERT_EQ(b->size(), 6);
    EXPECT_EQ(crossingKnots(*a), 2);
    EXPECT_EQ(crossingKnots(*b), 2);
    for (const Intersection* x : r) {
        EXPECT_EQ(a->at(x->indexA)->type, Knot::Corner);
        EXPECT_EQ(b->at(x->indexB)->type, Knot::Corner);
    }
    EXPECT_NEAR(area(*a), 100.0, 1e-9);
    EXPECT_NEAR(area(*b), 100.0, 1e-9);
}

TEST(FindIntersections, KnotsOnBAreSplitInTheirOwnOrder) {
    // B runs clockwise, so it meets the crossings in the opposite order to A.
    auto a = rectangle(0, 0, 10, 10);
    auto b = polygon({{5, 5, 0}, {5, 15, 0}, {15, 15, 0}, {15, 5, 0}});
    const IntersectionList r = find(*a, *b);
    ASSERT_EQ(r.size(), 2);
    expectPlaced(*a, *b, r);
    expectPoint(r.at(0)->point, {10, 5, 0});
    EXPECT_EQ(r.at(0)->indexB, 5);
    EXPECT_EQ(r.at(1)->indexB, 1);

    // Many crossings, interleaved differently along the two splines.
    auto teeth = comb(20);
    auto band = rectangle(-1, 4, 21, 6);
    const IntersectionList many = find(*teeth, *band);
    ASSERT_EQ(many.size(), 40);
    expectPlaced(*teeth, *band, many);
    EXPECT_EQ(teeth->size(), 23 + 40);
    EXPECT_EQ(band->size(), 4 + 40);
    std::set<int> indicesB;
    for (const Intersection* x : many)
        indicesB.insert(x->indexB);
    EXPECT_EQ(indicesB.size(), 40u);
}

TEST(FindIntersections, CrossingAtAPolylineVertexSurvivesOnce) {
    auto a = archShape();
    auto b = polygon({{5, -1, 0}, {7, -1, 0}, {7, 10, 0}, {5, 10, 0}});
    const IntersectionList r = find(*a, *b);
    ASSERT_EQ(r.size(), 4);
    expectPlaced(*a, *b, r, 1e-3);
    int atTop = 0;
    for (const Intersection* x : r)
        atTop += distance(x->point, {5, 6, 0}) < 1e-9 ? 1 : 0;
    EXPECT_EQ(atTop, 1);
    expectPoint(r.at(0)->point, {5, 6, 0});
    expectPoint(r.at(2)->point, {7, 0, 0});
    expectPoint(r.at(3)->point, {5, 0, 0});
    // The arch is split where it is curved: a smooth knot.
    EXPECT_EQ(a->at(r.at(0)->indexA)->type, Knot::Bezier);
}

TEST(FindIntersections, PassingThroughAKnotOfASnapsToIt) {
    auto a = rectangle(0, 0, 10, 10);
    auto b = polygon({{5, -5, 0}, {15, 5, 0}, {15, -5, 0}});
    const Knot* corner = a->at(1);
    const IntersectionList r = find(*a, *b);
    ASSERT_EQ(r.size(), 1);
    expectPlaced(*a, *b, r);
    EXPECT_EQ(a->size(), 4);
    EXPECT_EQ(r.at(0)->indexA, 1);
    EXPECT_EQ(a->at(1), corner);
    EXPECT_EQ(crossingKnots(*a), 1);
    EXPECT_NEAR(r.at(0)->paramA, 0.25, 1e-12);
    EXPECT_EQ(b->size(), 4);
    EXPECT_EQ(r.at(0)->indexB, 1);
    expectPoint(b->at(1)->point, {10, 0, 0});
}

TEST(FindIntersections, KnotOnKnotIsNoCrossing) {
    for (double gap : {0.0, 0.005}) {
        auto a = rectangle(0, 0, 10, 10);
        auto b = rectangle(10 + gap, 10 + gap, 20, 20);
        EXPECT_TRUE(find(*a, *b).isEmpty()) << gap;
        EXPECT_EQ(a->size(), 4);
        EXPECT_EQ(b->size(), 4);
        EXPECT_EQ(crossingKnots(*a), 0);
        EXPECT_EQ(crossingKnots(*b), 0);
    }
}

TEST(FindIntersections, SharedEndPointHidesTheOtherCrossing) {
    // B's first edge leaves A's knot (0,0) and crosses the arch near (6.5,
    // 6.5); the pair reports only the shared point, which is dropped.
    auto a = archShape();
    auto b = polygon({{0, 0, 0}, {10, 10, 0}, {0, 10, 0}});
    EXPECT_TRUE(find(*a, *b).isEmpty());
    EXPECT_EQ(a->size(), 2);

    // Moved off the knot, B shows that crossing (and one more near the start).
    auto a2 = archShape();
    auto b2 = polygon({{0.5, 0.5, 0}, {10, 10, 0}, {0, 10, 0}});
    const IntersectionList r = find(*a2, *b2);
    ASSERT_EQ(r.size(), 2);
    expectPlaced(*a2, *b2, r, 1e-3);
    EXPECT_NEAR(r.at(1)->point.x, r.at(1)->point.y, 1e-9);
    EXPECT_GT(r.at(1)->point.x, 5.0);
}

TEST(FindIntersections, BIsSearchedInAsCoordinatesAndReturned) {
    auto a = rectangle(0, 0, 10, 10);
    auto b = rectangle(0, 0, 10, 10);
    b->frame = translation({5, 5, 0});
    const IntersectionList r = find(*a, *b);
    ASSERT_EQ(r.size(), 2);
    expectPoint(r.at(0)->point, {10, 5, 0});
    expectPoint(r.at(1)->point, {5, 10, 0});
    EXPECT_EQ(b->frame, translation({5, 5, 0}));
    expectPoint(b->at(r.at(0)->indexB)->point, {5, 0, 0});
    expectPoint(b->at(r.at(1)->indexB)->point, {0, 5, 0});
    expectPoint(b->at(0)->point, {0, 0, 0});
    expectPoint(b->at(2)->point, {10, 0, 0}, 0.0);
}

TEST(FindIntersections, CurvedSplinesGetSmoothKnotsOnTheCurve) {
    auto a = circle(0, 0, 10);
    auto b = rectangle(-5, -20, 5, 20);
    const double areaBefore = area(*a);
    const IntersectionList r = find(*a, *b);
    ASSERT_EQ(r.size(), 4);
    expectPlaced(*a, *b, r, 1e-3);
    for (const Intersection* x : r) {
        EXPECT_NEAR(std::fabs(x->point.x), 5.0, 1e-9);
        EXPECT_NEAR(norm(x->point), 10.0, 0.01);
        EXPECT_EQ(a->at(x->indexA)->type, Knot::Bezier);
        EXPECT_EQ(b->at(x->indexB)->type, Knot::Corner);
    }
    EXPECT_EQ(a->size(), 8);
    EXPECT_EQ(b->size(), 8);
    // The knots moved only onto the flattened curve: the shape barely changes.
    EXPECT_NEAR(area(*a), areaBefore, 0.5);
}

TEST(FindIntersections, NearKnotsAreWeldedEvenWithoutCrossings) {
    auto a = polygon({{0, 0, 0}, {0.005, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
    auto b = rectangle(20, 20, 30, 30);
    EXPECT_TRUE(find(*a, *b).isEmpty());
    EXPECT_EQ(a->size(), 4);
    EXPECT_EQ(b->size(), 4);
}

TEST(FindNear, FirstRecordCloserInThePlane) {
    IntersectionList list;
    for (const Point3d& p : {Point3d(0, 0, 0), Point3d(5, 5, 0), Point3d(5, 5.5, 0)}) {
        auto* r = new Intersection;
        r->point = p;
        list.append(r);
    }
    Intersection probe;
    probe.point = Point3d(5, 5.2, 100);
    EXPECT_EQ(findNear(list, probe, 1.0), 1);
    probe.point = Point3d(6, 5, 0);
    EXPECT_EQ(findNear(list, probe, 1.0), -1);
    EXPECT_EQ(findNear(list, probe, std::nextafter(1.0, 2.0)), 1);
    probe.point = Point3d(0, 0, 0);
    EXPECT_EQ(findNear(list, probe, 0.0), -1);
    EXPECT_EQ(findNear(IntersectionList(), probe, 1.0), -1);
}

TEST(FindIntersections, WeldingNeverLeavesASplineEmpty) {
    // Everything within the threshold of its successor: one knot each.
    auto a = rectangle(0, 0, 10, 10);
    auto b = rectangle(5, 5, 15, 15);
    IntersectionList r = find(*a, *b, 100.0);
    EXPECT_EQ(a->size(), 1);
    EXPECT_EQ(b->size(), 1);
    expectWellFormed(*a, *b, r);

    // Two knots left of A, crossed by B.
    auto two = polygon({{0, 0, 0}, {0.5, 0, 0}, {10, 10, 0}, {10.5, 10, 0}});
    auto band = rectangle(4, -20, 6, 20);
    ASSERT_EQ(mergeNearKnots(*two, 1.0), 2);
    r = find(*two, *band, 1.0);
    EXPECT_FALSE(r.isEmpty());
    expectWellFormed(*two, *band, r);

    // A single-knot spline against an ordinary one, both ways round.
    auto dot = rectangle(0, 0, 1, 1);
    mergeNearKnots(*dot, 5.0);
    auto square = rectangle(-5, -5, 5, 5);
    expectWellFormed(*dot, *square, find(*dot, *square));
    expectWellFormed(*square, *dot, find(*square, *dot));
}

TEST(FindIntersections, HostileInputEnds) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    for (double threshold : {0.0, kThreshold, nan, inf, -1.0}) {
        for (double v : {nan, inf, 1e200, -1e200, 1e300}) {
            // One bad knot among good ones, on either side.
            auto a = comb(20);
            a->insert(21, new Knot({v, -2, 0}, {v, -2, 0}, {v, -2, 0}, 0.0, Knot::Corner));
            a->updateLengths();
            auto b = rectangle(-1, 4, 21, 6);
            expectWellFormed(*a, *b, find(*a, *b, threshold));

            auto c = comb(20);
            auto d = rectangle(-1, 4, 21, 6);
            d->at(2)->point = Point3d(v, v, 0);
            d->at(2)->outVec = Point3d(1, v, 0);
            d->at(2)->type = Knot::Bezier;
            d->updateLengths();
            expectWellFormed(*c, *d, find(*c, *d, threshold));

            // Whole splines at huge or undefined coordinates.
            auto e = rectangle(-v, -v, v, v);
            auto f = rectangle(0, 0, 2 * v, v / 2);
            expectWellFormed(*e, *f, find(*e, *f, threshold));
        }

        // Zero-length segments: repeated knots the weld may keep.
        auto a = polygon({{0, 0, 0}, {0, 0, 0}, {10, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
        auto b = polygon({{5, 5, 0}, {5, 5, 0}, {15, 5, 0}, {15, 15, 0}, {5, 15, 0}, {5, 15, 0}});
        expectWellFormed(*a, *b, find(*a, *b, threshold));

        // A singular frame on B maps it to the fill value and back.
        auto g = rectangle(0, 0, 10, 10);
        auto h = rectangle(5, 5, 15, 15);
        h->frame = Matrix3d(0);
        expectWellFormed(*g, *h, find(*g, *h, threshold));
    }
}

TEST(FindIntersections, ZeroThresholdStillFindsCrossings) {
    auto a = rectangle(0, 0, 10, 10);
    auto b = rectangle(5, 5, 15, 15);
    const IntersectionList r = find(*a, *b, 0.0);
    ASSERT_EQ(r.size(), 2);
    expectPlaced(*a, *b, r);
}
