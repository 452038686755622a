// The building blocks of the fast algorithm against what they stand in for:
// measures of segments, the box grid, the segment pair search and the
// lazily flattened outline.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "assembly/classification.h"
#include "assembly/outline.h"
#include "geometry/algorithm.h"
#include "intersection/boxgrid.h"
#include "intersection/pairsearch.h"
#include "intersection/segmentintersection.h"
#include "randomcases.h"
#include "testshapes.h"

namespace {

// A random cubic at a random scale: curved, nearly straight, tiny, in the
// plane or not, and now and then with a coordinate no measure can use.
BezierSegment randomSegment(Rng& rng) {
    const double scale = std::pow(10.0, uniform(rng, -4, 3));
    const double bend = rng() % 3 == 0 ? 1e-4 : 1.0;
    const bool flat = rng() % 4 != 0;
    auto point = [&](double along) {
        return Point3d(along * scale + uniform(rng, -1, 1) * scale * bend,
                       uniform(rng, -1, 1) * scale * bend,
                       flat ? 0.0 : uniform(rng, -1, 1) * scale);
    };
    BezierSegment s{point(0), point(1.0 / 3), point(2.0 / 3), point(1)};
    if (rng() % 50 == 0) s.p2.y = std::nan("");
    if (rng() % 50 == 0) s.p1.x = HUGE_VAL;
    if (rng() % 25 == 0) s.p1.z = -0.0;
    return s;
}

TEST(FastMeasures, StraightnessLimitOnSquares) {
    // The same decision as comparing the square root with 0.001.
    EXPECT_GE(std::sqrt(kStraightSquared), 0.001);
    EXPECT_LT(std::sqrt(std::nextafter(kStraightSquared, 0.0)), 0.001);
}

TEST(FastMeasures, SameBitsAsTheLiteralMeasures) {
    Rng rng(41);
    for (int i = 0; i < 300 / kSlowdown; ++i) {
        const BezierSegment s = randomSegment(rng);
        EXPECT_TRUE(sameBits(fastLength(s), s.length())) << i;
        const double t = uniform(rng, 0, 1);
        EXPECT_TRUE(sameBits(fastLengthTo(s, t), s.lengthTo(t))) << i;
        if (i % 3 != 0) continue;
        const double along = s.length() * uniform(rng, -0.1, 1.1);
        EXPECT_TRUE(
            sameBits(fastParameterAtLength(s, along, 1e-10), s.parameterAtLength(along, 1e-10)))
            << i;
    }
}

// Large curved segments, where bounds of the measures steer most of the
// search, with lengths met exactly at some parameters and at the ends.
TEST(FastMeasures, ParameterAtLengthOnLargeCurves) {
    Rng rng(8);
    for (int i = 0; i < 40 / kSlowdown; ++i) {
        const double r = std::pow(10.0, uniform(rng, 0, 4));
        const double a = uniform(rng, 0.2, 2.5);
        const double h = 4.0 / 3.0 * std::tan(a / 4.0) * r;
        const Point3d p0(r, 0, 0);
        const Point3d p3(r * std::cos(a), r * std::sin(a), 0);
        const BezierSegment s{p0, p0 + Point3d(0, h * uniform(rng, 0.5, 2), 0),
                              p3 + Point3d(h * std::sin(a), -h * std::cos(a), 0), p3};
        const double full = s.length();
        const double along[] = {full,
                                std::nextafter(full, 0.0),
                                std::nextafter(full, 1e300),
                                s.lengthTo(0.375),
                                s.lengthTo(0.5),
                                uniform(rng, 0, full),
                                0.0};
        for (double l : along)
            EXPECT_TRUE(sameBits(fastParameterAtLength(s, l, 1e-10), s.parameterAtLength(l, 1e-10)))
                << i << " " << l;
    }
}

TEST(BoxGrid, ReportsExactlyTheOverlappingBoxesInOrder) {
    Rng rng(5);
    std::vector<Box> boxes;
    std::vector<int> ids;
    for (int i = 0; i < 300; ++i) {
        const double x = uniform(rng, 0, 100);
        const double y = uniform(rng, 0, 10);
        // Mostly small, a few spanning much of the grid.
        const double w = i % 50 == 0 ? 80.0 : uniform(rng, 0, 3);
        boxes.push_back({x, y, x + w, y + uniform(rng, 0, 1)});
        ids.push_back(i / 2);  // two boxes per id
    }
    BoxGrid grid(boxes, ids, 150);
    std::vector<int> found;
    for (int q = 0; q < 200; ++q) {
        const double x = uniform(rng, -10, 110);
        const double y = uniform(rng, -2, 12);
        const Box query{x, y, x + uniform(rng, 0, 5), y + uniform(rng, 0, 2)};
        std::set<int> expected;
        for (size_t i = 0; i < boxes.size(); ++i)
            if (overlaps(boxes[i], query)) expected.insert(ids[i]);
        grid.query(query, found);
        EXPECT_EQ(found, std::vector<int>(expected.begin(), expected.end())) << q;
    }
}

// Every pair of segments on which intersectSegments finds anything must be
// among the listed pairs.
void expectEveryMeetingPairListed(const Spline& a, const Spline& b, double threshold) {
    const SegmentList la(a);
    const SegmentList lb(b);
    SegmentPairs pairs;
    ASSERT_TRUE(findSegmentPairs(la, lb, threshold, pairs));
    for (int i = 0; i < la.size(); ++i) {
        const std::set<int> listed(pairs.partners.begin() + pairs.start[i],
                                   pairs.partners.begin() + pairs.start[i + 1]);
        for (int k = 0; k < lb.size(); ++k) {
            IntersectionList records;
            if (intersectSegments(la.at(i), lb.at(k), records, kAngleTolerance, threshold)) {
                EXPECT_TRUE(listed.count(k)) << "segments " << i << " and " << k;
            }
        }
    }
}

TEST(SegmentPairs, ListEveryPairThatMeets) {
    Rng rng(9);
    for (int i = 0; i < 20; ++i) {
        const double r = std::pow(10.0, uniform(rng, -1, 3));
        auto a = roundSpline(0, 0, r, 3 + int(rng() % 40));
        auto b = roundSpline(uniform(rng, -1.5, 1.5) * r, uniform(rng, -1.5, 1.5) * r,
                             r * uniform(rng, 0.3, 1.5), 3 + int(rng() % 40));
        expectEveryMeetingPairListed(*a, *b, r * 1e-4);
    }
}

TEST(SegmentPairs, ListEdgesOnOneLineFarApart) {
    // Parallel and on one line up to rounding: the crossing test can accept
    // such edges however far apart they are.
    Rng rng(5);
    int far = 0;
    for (int i = 0; i < 3000; ++i) {
        const double angle = uniform(rng, -3.0, 3.0);
        const Point3d d(std::cos(angle), std::sin(angle), 0);
        const Point3d o(uniform(rng, -100, 100), uniform(rng, -100, 100), 0);
        const double t0 = uniform(rng, -1, 1);
        const double t1 = t0 + uniform(rng, 0.5, 2.0);
        const double t2 = t1 + uniform(rng, 0.1, 1.0);
        const double t3 = t2 + uniform(rng, 0.5, 2.0);
        auto a = polygon({o + d * t0, o + d * t1, o + Point3d(-d.y, d.x, 0) + d * t0});
        auto b = polygon({o + d * t2, o + d * t3, o - Point3d(-d.y, d.x, 0) + d * t3});
        IntersectionList records;
        if (intersectSegments(a->segment(0, 1), b->segment(0, 1), records, kAngleTolerance, 1e-5))
            ++far;
        expectEveryMeetingPairListed(*a, *b, 1e-5);
        if (HasFailure()) return;
    }
    EXPECT_GT(far, 0);
}

TEST(SegmentPairs, RefuseWhatTheBoundsAreNotMadeFor) {
    auto a = roundSpline(0, 0, 1, 8);
    auto b = roundSpline(0.5, 0, 1, 8);
    SegmentPairs pairs;
    EXPECT_FALSE(findSegmentPairs(SegmentList(*a), SegmentList(*b), 1e-12, pairs));
    b->at(3)->point.z = 1.0;
    EXPECT_FALSE(findSegmentPairs(SegmentList(*a), SegmentList(*b), 1e-4, pairs));
    b->at(3)->point.z = 0.0;
    b->at(2)->outVec.x = std::nan("");
    EXPECT_FALSE(findSegmentPairs(SegmentList(*a), SegmentList(*b), 1e-4, pairs));
}

// The lazy outline answers as the polygon does.
TEST(Outline, AnswersAsThePolygon) {
    Rng rng(17);
    for (int i = 0; i < 30; ++i) {
        const double r = std::pow(10.0, uniform(rng, -2, 4));
        auto s = roundSpline(0, 0, r, 3 + int(rng() % 60));
        if (i % 3 == 0) s->closed = false;
        if (i % 5 == 0) s->at(1)->outVec.y = std::nan("");
        PLine polygon;
        toPLine(*s, polygon, kAngleTolerance);
        const Outline outline(*s, kAngleTolerance);
        const double threshold = r * 1e-3;
        for (int q = 0; q < 40; ++q) {
            // Points near the outline, on it, and anywhere.
            Point3d p = q % 4 == 0
                            ? polygon[int(rng() % polygon.size())]
                            : Point3d(uniform(rng, -1.2, 1.2) * r, uniform(rng, -1.2, 1.2) * r, 0);
            if (q % 4 == 1)
                p = s->pointAtParameter(uniform(rng, 0, 1)) + Point3d(threshold / 2, 0, 0);
            EXPECT_EQ(outline.contains(p), containsPoint(polygon, p)) << i << " " << q;
            bool near = false;
            for (int e = 0; e < polygon.size(); ++e) {
                const Point3d& v = polygon[e];
                const Point3d& w = polygon[(e + 1) % polygon.size()];
                const double dx = w.x - v.x;
                const double dy = w.y - v.y;
                const double len2 = dx * dx + dy * dy;
                double t = len2 > 0.0 ? ((p.x - v.x) * dx + (p.y - v.y) * dy) / len2 : 0.0;
                t = std::clamp(t, 0.0, 1.0);
                near = near || std::hypot(p.x - (v.x + t * dx), p.y - (v.y + t * dy)) < threshold;
            }
            EXPECT_EQ(outline.nearEdge(p, threshold), near) << i << " " << q;
        }
    }
}

}  // namespace
