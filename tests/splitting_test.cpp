#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "assembly/splitting.h"
#include "geometry/algorithm.h"
#include "intersection/beziersegment.h"
#include "randomcases.h"
#include "testshapes.h"

namespace {

// A Bezier knot whose handles stand off to both sides, so that every
// handle can be told apart.
Knot* tagged(double x, double y) {
    return new Knot({x, y, 0}, {x - 0.1, y + 1, 0}, {x + 0.1, y - 1, 0}, 0.0, Knot::Bezier);
}

std::unique_ptr<Spline> taggedSpline(std::initializer_list<Point3d> points, bool closed) {
    auto s = std::make_unique<Spline>();
    s->closed = closed;
    for (const Point3d& p : points)
        s->append(tagged(p.x, p.y));
    s->updateLengths();
    return s;
}

void expectPoint(const Point3d& actual, const Point3d& expected) {
    EXPECT_NEAR(distance(actual, expected), 0.0, 1e-12)
        << actual.x << ", " << actual.y << ", " << actual.z;
}

std::vector<Point3d> points(const Spline& s) {
    std::vector<Point3d> out;
    for (const Knot* k : s)
        out.push_back(k->point);
    return out;
}

// The knots as they were, to show that a call left them alone.
struct KnotState {
    Point3d point;
    Point3d inVec;
    Point3d outVec;
};

std::vector<KnotState> snapshot(const Spline& s) {
    std::vector<KnotState> out;
    for (const Knot* k : s)
        out.push_back({k->point, k->inVec, k->outVec});
    return out;
}

void expectUnchanged(const Spline& s, const std::vector<KnotState>& before) {
    ASSERT_EQ(s.size(), int(before.size()));
    for (int i = 0; i < s.size(); ++i) {
        EXPECT_EQ(s.at(i)->point, before[i].point) << i;
        EXPECT_EQ(s.at(i)->inVec, before[i].inVec) << i;
        EXPECT_EQ(s.at(i)->outVec, before[i].outVec) << i;
        EXPECT_FALSE(s.at(i)->hasFlag(CustomFlag::Crossing)) << i;
    }
}

}  // namespace

TEST(MergeNearKnots, RunsMergeIntoTheirFirstKnot) {
    // The second and third lie within 0.7 of the first: both go, and the
    // survivor leaves along the third one's handle.
    auto s = taggedSpline({{0, 0, 0}, {0.3, 0, 0}, {0.6, 0, 0}, {10, 0, 0}, {10, 10, 0}}, false);
    const Point3d in0 = s->at(0)->inVec;
    const Point3d out2 = s->at(2)->outVec;
    EXPECT_EQ(mergeNearKnots(*s, 0.7), 2);
    ASSERT_EQ(s->size(), 3);
    EXPECT_EQ(s->at(0)->point, Point3d(0, 0, 0));
    EXPECT_EQ(s->at(0)->inVec, in0);
    EXPECT_EQ(s->at(0)->outVec, out2);
    EXPECT_EQ(s->at(0)->type, Knot::Bezier);
    EXPECT_EQ(s->at(1)->point, Point3d(10, 0, 0));

    // The third is near the removed second but not near the first: it stays.
    s = taggedSpline({{0, 0, 0}, {0.5, 0, 0}, {1, 0, 0}, {10, 0, 0}}, false);
    EXPECT_EQ(mergeNearKnots(*s, 0.7), 1);
    EXPECT_EQ(points(*s), (std::vector<Point3d>{{0, 0, 0}, {1, 0, 0}, {10, 0, 0}}));

    // Lengths are measured afresh.
    EXPECT_TRUE(s->lengthsValid);
    EXPECT_EQ(s->at(2)->lengthBefore, s->length);
}

TEST(MergeNearKnots, OnlyClosedSplinesWrapAround) {
    auto open = polygon({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 0.1, 0}}, false);
    EXPECT_EQ(mergeNearKnots(*open, 0.5), 0);
    EXPECT_EQ(open->size(), 4);

    // Closed, the last knot absorbs knot 0 and the walk ends there.
    auto closed = taggedSpline({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 0.1, 0}}, true);
    const Point3d out0 = closed->at(0)->outVec;
    EXPECT_EQ(mergeNearKnots(*closed, 0.5), 1);
    EXPECT_EQ(points(*closed), (std::vector<Point3d>{{10, 0, 0}, {10, 10, 0}, {0, 0.1, 0}}));
    EXPECT_EQ(closed->last()->outVec, out0);
    EXPECT_EQ(closed->first()->param, 0.0);
}

TEST(MergeNearKnots, ZeroDistanceMergesNothing) {
    auto s = polygon({{0, 0, 0}, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    EXPECT_EQ(mergeNearKnots(*s, 0.0), 0);
    EXPECT_EQ(s->size(), 4);
    EXPECT_EQ(mergeNearKnots(*s, std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(s->size(), 4);
}

TEST(MergeNearKnots, NeverEmptiesASpline) {
    // Every knot within the distance of its successor: one knot stays.
    auto s = rectangle(0, 0, 1, 1);
    EXPECT_EQ(mergeNearKnots(*s, 2.0), 3);
    ASSERT_EQ(s->size(), 1);
    EXPECT_EQ(s->at(0)->point, Point3d(0, 0, 0));
    EXPECT_EQ(mergeNearKnots(*s, 2.0), 0);
    EXPECT_EQ(s->size(), 1);

    auto two = polygon({{0, 0, 0}, {0.1, 0, 0}});
    EXPECT_EQ(mergeNearKnots(*two, 1.0), 1);
    EXPECT_EQ(two->size(), 1);

    auto all = rectangle(0, 0, 1, 1);
    EXPECT_EQ(mergeNearKnots(*all, std::numeric_limits<double>::infinity()), 3);
    EXPECT_EQ(all->size(), 1);

    Spline empty;
    empty.closed = true;
    EXPECT_EQ(mergeNearKnots(empty, 1.0), 0);
    EXPECT_TRUE(empty.isEmpty());
}

TEST(SplitAt, StraightSegmentGetsACornerOnTheLine) {
    auto s = rectangle(0, 0, 10, 10);
    const Knot* start = s->at(1);
    EXPECT_EQ(splitAt(*s, 0.3, 0.01), 2);
    ASSERT_EQ(s->size(), 5);
    const Knot* k = s->at(2);
    expectPoint(k->point, {10, 2, 0});
    EXPECT_EQ(k->inVec, k->point);
    EXPECT_EQ(k->outVec, k->point);
    EXPECT_EQ(k->type, Knot::Corner);
    EXPECT_TRUE(k->hasFlag(CustomFlag::Crossing));
    EXPECT_EQ(k->savedPoint, k->point);
    EXPECT_EQ(k->savedOutVec, k->point);
    EXPECT_NEAR(k->param, 0.3, 1e-12);
    EXPECT_EQ(s->at(1), start);
    EXPECT_FALSE(start->hasFlag(CustomFlag::Crossing));
    // Both halves stay on the old line.
    EXPECT_TRUE(s->segment(1, 2).isStraight());
    EXPECT_TRUE(s->segment(2, 3).isStraight());
    EXPECT_EQ(s->at(1)->outVec.x, 10.0);
    EXPECT_EQ(s->at(3)->inVec.x, 10.0);
    EXPECT_DOUBLE_EQ(s->length, 40.0);
}

TEST(SplitAt, CurvedSegmentKeepsItsShape) {
    auto c = circle(0, 0, 10);
    const double areaBefore = area(*c);
    const double lengthBefore = c->length;
    int i = -1;
    int j = -1;
    const double u = c->localParameter(0.1, i, j);
    ASSERT_EQ(i, 0);
    const BezierSegment old = c->segment(0, 1);

    EXPECT_EQ(splitAt(*c, 0.1, 0.01), 1);
    ASSERT_EQ(c->size(), 5);
    const Knot* k = c->at(1);
    EXPECT_EQ(k->type, Knot::Bezier);
    EXPECT_TRUE(k->hasFlag(CustomFlag::Crossing));
    EXPECT_EQ(k->savedInVec, k->inVec);
    EXPECT_EQ(k->savedOutVec, k->outVec);
    EXPECT_NE(k->inVec, k->point);
    // Arc lengths are measured on straight pieces, so close but not exact.
    EXPECT_NEAR(k->param, 0.1, 1e-5);

    const BezierSegment left = c->segment(0, 1);
    const BezierSegment right = c->segment(1, 2);
    for (int n = 0; n <= 16; ++n) {
        const double v = n / 16.0;
        EXPECT_NEAR(distance(left.pointAt(v), old.pointAt(u * v)), 0.0, 1e-9) << v;
        EXPECT_NEAR(distance(right.pointAt(v), old.pointAt(u + (1 - u) * v)), 0.0, 1e-9) << v;
    }
    EXPECT_NEAR(area(*c), areaBefore, 1e-3);
    EXPECT_NEAR(c->length, lengthBefore, 1e-3);
}

TEST(SplitAt, NearAKnotTheKnotIsUsed) {
    auto s = rectangle(0, 0, 10, 10);
    const auto before = snapshot(*s);
    // 0.04 and 0.96 along the second segment; a threshold of 0.5 is 0.05 there.
    EXPECT_EQ(splitAt(*s, 0.26, 0.5), 1);
    EXPECT_EQ(splitAt(*s, 0.49, 0.5), 2);
    expectUnchanged(*s, before);
    // A smaller threshold splits there.
    EXPECT_EQ(splitAt(*s, 0.26, 0.3), 2);
    EXPECT_EQ(s->size(), 5);

    // A segment shorter than twice the threshold is never split.
    auto thin = polygon({{0, 0, 0}, {10, 0, 0}, {10, 0.8, 0}, {0, 0.8, 0}});
    const auto thinBefore = snapshot(*thin);
    const double from = thin->at(1)->param;
    const double to = thin->at(2)->param;
    for (int n = 1; n < 10; ++n) {
        const int k = splitAt(*thin, from + (to - from) * n / 10.0, 0.5);
        EXPECT_EQ(k, n <= 6 ? 1 : 2) << n;
    }
    expectUnchanged(*thin, thinBefore);
}

TEST(SplitAt, ClosingSegmentAppends) {
    auto s = rectangle(0, 0, 10, 10);
    EXPECT_EQ(splitAt(*s, 0.9, 0.01), 4);
    ASSERT_EQ(s->size(), 5);
    expectPoint(s->at(4)->point, {0, 4, 0});
    EXPECT_EQ(s->at(0)->point, Point3d(0, 0, 0));
}

TEST(SplitAt, AscendingSplitsKeepEarlierIndices) {
    auto s = rectangle(0, 0, 10, 10);
    const int first = splitAt(*s, 0.3, 0.01);
    const Knot* firstKnot = s->at(first);
    const int second = splitAt(*s, 0.6, 0.01);
    const int third = splitAt(*s, 0.9, 0.01);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 4);
    EXPECT_EQ(third, 6);
    ASSERT_EQ(s->size(), 7);
    EXPECT_EQ(s->at(first), firstKnot);
    expectPoint(s->at(first)->point, {10, 2, 0});
    expectPoint(s->at(second)->point, {6, 10, 0});
    expectPoint(s->at(third)->point, {0, 4, 0});
    for (int i = 1; i < s->size(); ++i)
        EXPECT_LT(s->at(i - 1)->param, s->at(i)->param);
}

TEST(SplitAt, DegenerateInputKeepsTheStartKnot) {
    // A zero-length first segment: the tolerance is infinite, or NaN with a
    // zero threshold; neither inserts a knot on top of knot 0.
    auto s = polygon({{0, 0, 0}, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    const auto before = snapshot(*s);
    EXPECT_EQ(splitAt(*s, 0.0, 0.1), 0);
    EXPECT_EQ(splitAt(*s, 0.0, 0.0), 0);
    expectUnchanged(*s, before);

    // A zero threshold only turns the snapping off.
    auto r = rectangle(0, 0, 10, 10);
    EXPECT_EQ(splitAt(*r, 0.3, 0.0), 2);
    EXPECT_EQ(r->size(), 5);

    // Non-finite parameters and thresholds end on an existing knot.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    auto q = rectangle(0, 0, 10, 10);
    const auto qBefore = snapshot(*q);
    for (double t : {nan, inf, -inf}) {
        const int k = splitAt(*q, t, 0.01);
        EXPECT_TRUE(k >= 0 && k < q->size()) << t;
    }
    const int k = splitAt(*q, 0.3, nan);
    EXPECT_TRUE(k >= 0 && k < q->size());
    expectUnchanged(*q, qBefore);

    // One knot left by a weld, and no knot at all.
    auto one = rectangle(0, 0, 1, 1);
    mergeNearKnots(*one, 5.0);
    ASSERT_EQ(one->size(), 1);
    EXPECT_EQ(splitAt(*one, 0.5, 0.01), 0);
    EXPECT_EQ(one->size(), 1);
    Spline empty;
    EXPECT_EQ(splitAt(empty, 0.5, 0.01), -1);
}

namespace {

// What a placement must leave, knot for knot, bit for bit.
void expectSameSpline(const Spline& placed, const Spline& split, const std::string& label) {
    ASSERT_EQ(placed.size(), split.size()) << label;
    EXPECT_TRUE(sameBits(placed.length, split.length)) << label;
    EXPECT_EQ(placed.lengthsValid, split.lengthsValid) << label;
    for (int i = 0; i < placed.size(); ++i) {
        const Knot& p = *placed.at(i);
        const Knot& q = *split.at(i);
        EXPECT_TRUE(sameBits(p.point, q.point) && sameBits(p.inVec, q.inVec) &&
                    sameBits(p.outVec, q.outVec) && sameBits(p.param, q.param) &&
                    sameBits(p.segLength, q.segLength) &&
                    sameBits(p.lengthBefore, q.lengthBefore) && p.type == q.type)
            << label << ", knot " << i;
    }
}

// Ascending parameters on a gear, each knot moved a little off the curve
// after it is placed (as the finder moves it onto a crossing), through
// splitAt one call at a time and through one KnotPlacement. Some splines
// are moved whole between measuring and placing, as the finder does with
// B, so the lengths found at the start are stale.
void placeAndCompare(Rng& rng, int n, double scale, bool staleLengths, const std::string& label) {
    AlgorithmScope fast(Algorithm::Fast);
    auto viaSplitAt = gearSpline(0, 0, scale, n, 0.0);
    auto viaPlacement = gearSpline(0, 0, scale, n, 0.0);
    if (staleLengths) {
        const Matrix3d shift = translation(Point3d(0.3 * scale, -0.2 * scale, 0));
        viaSplitAt->transformKnots(shift);
        viaPlacement->transformKnots(shift);
    }
    const double threshold = 1e-4 * scale;
    std::vector<double> ts;
    const int count = 1 + int(rng() % (2 * n));
    for (int i = 0; i < count; ++i)
        ts.push_back(uniform(rng, 0.0, 1.0));
    // Now and then a parameter twice, at a knot, or at the ends.
    ts.push_back(ts.front());
    ts.push_back(0.0);
    ts.push_back(1.0);
    std::sort(ts.begin(), ts.end());
    std::vector<Point3d> pushes;
    for (size_t i = 0; i < ts.size(); ++i)
        pushes.emplace_back(uniform(rng, -1, 1) * threshold, uniform(rng, -1, 1) * threshold, 0.0);

    auto push = [](Knot* k, const Point3d& d) {
        k->point += d;
        k->inVec += d;
        k->outVec += d;
    };
    std::vector<int> expected;
    std::vector<double> expectedParams;
    for (size_t i = 0; i < ts.size(); ++i) {
        const int m = splitAt(*viaSplitAt, ts[i], threshold);
        push(viaSplitAt->at(m), pushes[i]);
        expected.push_back(m);
        expectedParams.push_back(viaSplitAt->at(m)->param);
    }
    {
        KnotPlacement placement(*viaPlacement, threshold);
        for (size_t i = 0; i < ts.size(); ++i) {
            const int m = placement.split(ts[i]);
            ASSERT_EQ(m, expected[i]) << label << ", split " << i;
            push(viaPlacement->at(m), pushes[i]);
            placement.moved(m);
            EXPECT_TRUE(sameBits(placement.param(m), expectedParams[i]))
                << label << ", split " << i;
        }
    }
    expectSameSpline(*viaPlacement, *viaSplitAt, label);
}

}  // namespace

TEST(KnotPlacement, LeavesWhatSplitAtLeavesOneCallAfterAnother) {
    Rng rng(41);
    for (int round = 0; round < 40 / kSlowdown + 4; ++round) {
        const int n = 8 << (round % 5);
        const double scale = round % 3 == 0 ? 1.0 : (round % 3 == 1 ? 100.0 : 10000.0);
        const bool stale = round % 2 == 1;
        placeAndCompare(rng, n, scale, stale,
                        "round " + std::to_string(round) + ", knots " + std::to_string(n));
        if (HasFailure()) return;
    }
}

// A spline measured too short (0.001 or less) keeps its old parameters, and
// an open spline is placed by splitAt itself: both the same way.
TEST(KnotPlacement, TooShortAndOpenSplinesAreSplitAlike) {
    Rng rng(43);
    for (bool closed : {true, false}) {
        for (double size : {2e-4, 1.0}) {
            auto viaSplitAt = taggedSpline({{0, 0, 0}, {size, 0, 0}, {size, size, 0}}, closed);
            auto viaPlacement = taggedSpline({{0, 0, 0}, {size, 0, 0}, {size, size, 0}}, closed);
            for (Spline* s : {viaSplitAt.get(), viaPlacement.get()}) {
                for (Knot* k : *s) {
                    k->inVec = k->point + (k->inVec - k->point) * (size * 1e-3);
                    k->outVec = k->point + (k->outVec - k->point) * (size * 1e-3);
                }
                s->updateLengths();
            }
            const std::vector<double> ts = {0.1, 0.35, 0.6, 0.9};
            std::vector<int> expected;
            for (double t : ts)
                expected.push_back(splitAt(*viaSplitAt, t, 1e-7));
            {
                KnotPlacement placement(*viaPlacement, 1e-7);
                for (size_t i = 0; i < ts.size(); ++i)
                    EXPECT_EQ(placement.split(ts[i]), expected[i]);
            }
            expectSameSpline(
                *viaPlacement, *viaSplitAt,
                std::string(closed ? "closed" : "open") + ", size " + std::to_string(size));
        }
    }
}
