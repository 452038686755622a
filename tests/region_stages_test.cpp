// Each stage of the region engine on its own, with the checks that guard
// what the next stage relies on: the stages' output on small inputs whose
// arrangement is known by hand, and each check shown to catch the fault it
// names.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "pathshapes.h"
#include "region/answercheck.h"
#include "region/arrangement.h"
#include "region/crossings.h"
#include "region/gather.h"
#include "region/loops.h"
#include "region/region.h"
#include "region/stagecheck.h"

using namespace carvex;
using namespace carvex::region;

namespace {

Path square(double x, double y, double side) {
    return testshapes::box(x, y, x + side, y + side);
}

// The stages up to the one a test looks at, for two squares of side 2
// overlapping in a unit square.
struct TwoSquares : ::testing::Test {
    Paths a{square(0, 0, 2)};
    Paths b{square(1, 1, 2)};
    Gathered input;
    PieceList pieces;
    Meetings meetings;
    Arrangement arrangement;

    void build() {
        ASSERT_EQ(gather(a, &b, 0.0, input), RegionStatus::Ok);
        monotonePieces(input, pieces);
        findHits(input, pieces, input.merge, meetings);
        buildArrangement(input, pieces, meetings, arrangement);
    }
};

TEST_F(TwoSquares, GatheringTakesEverySegmentBetweenItsKnots) {
    build();
    EXPECT_EQ(input.knots.size(), 8u);
    EXPECT_EQ(input.segments.size(), 8u);
    EXPECT_DOUBLE_EQ(input.extent, 3.0);
    EXPECT_EQ(checkGathered(input), "");
    // Segment 3 closes the first square, from its knot 3 back to knot 0.
    input.segments[3].endKnot = 1;
    EXPECT_NE(checkGathered(input), "");
    input.segments[3].endKnot = 4;  // the other square's first knot
    EXPECT_NE(checkGathered(input), "");
    input.segments[3].endKnot = 0;
    EXPECT_EQ(checkGathered(input), "");
}

TEST_F(TwoSquares, CrossingsAreFoundWhereTheOutlinesCross) {
    build();
    EXPECT_EQ(checkMeetings(input, pieces, meetings), "");
    // Besides the knots where one outline's segments meet each other, the
    // two points (2, 1) and (1, 2) where the outlines cross.
    int crossings = 0;
    for (const Hit& h : meetings.hits) {
        const Vec2 p = pointAt(curveOf(input, input.segments[h.segA]), h.tA);
        const Vec2 q = pointAt(curveOf(input, input.segments[h.segB]), h.tB);
        EXPECT_NEAR(p.x, q.x, 1e-12);
        EXPECT_NEAR(p.y, q.y, 1e-12);
        bool atKnot = false;
        for (const InputKnot& k : input.knots)
            atKnot = atKnot || (k.point.x == p.x && k.point.y == p.y);
        const bool crossing = (std::abs(p.x - 2) < 1e-12 && std::abs(p.y - 1) < 1e-12) ||
                              (std::abs(p.x - 1) < 1e-12 && std::abs(p.y - 2) < 1e-12);
        EXPECT_TRUE(atKnot || crossing) << p.x << " " << p.y;
        crossings += crossing && input.segments[h.segA].operand != input.segments[h.segB].operand;
    }
    EXPECT_EQ(crossings, 2);
    pieces.pieces[1].t0 = 0.5;  // a gap before the second piece
    EXPECT_NE(checkMeetings(input, pieces, meetings), "");
}

TEST_F(TwoSquares, TheArrangementHasEveryCrossingAsAVertexOfFourEdges) {
    build();
    EXPECT_EQ(checkArrangement(input, arrangement), "");
    // Eight corners and two crossings; each crossing cuts two sides in two.
    EXPECT_EQ(arrangement.vertices.size(), 10u);
    EXPECT_EQ(arrangement.edges.size(), 12u);
    Arrangement broken = arrangement;
    broken.edges[0].deltaA = -broken.edges[0].deltaA;
    EXPECT_NE(checkArrangement(input, broken), "");
    broken = arrangement;
    Link& first = broken.links[broken.edges[0].firstLink];
    broken.curves.push_back(broken.curveOf(first));
    broken.curves.back().p[0].x += 1e-9;
    first.curve = int(broken.curves.size()) - 1;
    EXPECT_NE(checkArrangement(input, broken), "");
}

TEST_F(TwoSquares, WindingsAgreeRoundEveryVertexEitherWayTheyAreFound) {
    build();
    for (bool carry : {true, false}) {
        computeWindings(arrangement, carry);
        EXPECT_EQ(checkWindings(arrangement), "") << carry;
        // Every side of a square has its inside on the left: winding 1 there,
        // 0 on the right; the other square's winding is the same on both.
        for (const Edge& e : arrangement.edges) {
            const bool ofA = e.deltaA != 0;
            EXPECT_EQ(ofA ? e.deltaA : e.deltaB, 1);
            EXPECT_EQ(ofA ? e.deltaB : e.deltaA, 0);
            EXPECT_EQ(ofA ? e.leftA : e.leftB, 1);
            const int other = ofA ? e.leftB : e.leftA;
            EXPECT_TRUE(other == 0 || other == 1);
        }
    }
    // A crossing is a vertex of four edges: one wrong winding there shows.
    Arrangement broken = arrangement;
    for (Edge& e : broken.edges)
        if (broken.vertexKnot[e.v0] < 0) {
            e.leftB += 1;
            break;
        }
    EXPECT_NE(checkWindings(broken), "");
}

TEST_F(TwoSquares, LoopsAreClosedAndHugTheAnswer) {
    build();
    computeWindings(arrangement);
    bool complete = false;
    const Paths united = assembleLoops(input, arrangement, Operation::Union, FillRule::NonZero,
                                       FillRule::NonZero, &complete);
    EXPECT_TRUE(complete);
    ASSERT_EQ(united.size(), 1u);
    EXPECT_EQ(united[0].knots.size(), 8u);  // six corners and the two crossings
    EXPECT_DOUBLE_EQ(enclosedArea(united), 7.0);
    EXPECT_EQ(checkLoops(united), "");
    const Paths xored = assembleLoops(input, arrangement, Operation::Xor, FillRule::NonZero,
                                      FillRule::NonZero, &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(xored.size(), 2u);  // two L shapes that touch at the crossings
    EXPECT_DOUBLE_EQ(enclosedArea(xored), 6.0);
    Paths open = united;
    open[0].closed = false;
    EXPECT_NE(checkLoops(open), "");
}

TEST_F(TwoSquares, TheAnswersWindingsAreHeldAgainstTheInputsThemselves) {
    build();
    // Counted beside the edges before their windings are known, as a spare
    // core counts them: the same verdicts as rays cast afterwards.
    const EdgeSides sampled = sampleEdgeSides(input, pieces, arrangement);
    ASSERT_EQ(sampled.size(), arrangement.edges.size());
    computeWindings(arrangement);
    ASSERT_FALSE(arrangement.seeds.empty());
    EXPECT_TRUE(windingsMatchInputs(input, pieces, arrangement));
    EXPECT_TRUE(windingsMatchInputs(input, pieces, arrangement, &sampled));
    // Every face of a part one too deep in a: consistent round every vertex,
    // so only a count on the inputs themselves can tell.
    Arrangement deeper = arrangement;
    for (Edge& e : deeper.edges)
        e.leftA += 1;
    EXPECT_EQ(checkWindings(deeper), "");
    EXPECT_FALSE(windingsMatchInputs(input, pieces, deeper));
    EXPECT_FALSE(windingsMatchInputs(input, pieces, deeper, &sampled));
    // Only the right of the edges rays began from is wrong.
    Arrangement rightWrong = arrangement;
    for (const int seed : rightWrong.seeds)
        rightWrong.edges[seed].deltaB += 1;
    EXPECT_FALSE(windingsMatchInputs(input, pieces, rightWrong, &sampled));
}

// The same outline run the other way round.
Path reversed(Path p) {
    std::reverse(p.knots.begin(), p.knots.end());
    for (PathKnot& k : p.knots)
        std::swap(k.in, k.out);
    return p;
}

size_t gatheredSegments(const Paths& a, const Paths* b = nullptr) {
    Gathered input;
    EXPECT_EQ(gather(a, b, 0.0, input), RegionStatus::Ok);
    EXPECT_EQ(checkGathered(input), "");
    return input.segments.size();
}

// A square of side 2 cut in two along an S-shaped cubic from (1, 0) to
// (1, 2): the left part runs up the cut, the right part down it.
Paths cutSquare() {
    const Vec2 low{1, 0};
    const Vec2 high{1, 2};
    const Vec2 h1{1.8, 0.5};
    const Vec2 h2{0.2, 1.5};
    Path left;
    left.knots = {{{0, 0}, {0, 0}, {0, 0}, -1},
                  {low, low, h1, -1},
                  {high, h2, high, -1},
                  {{0, 2}, {0, 2}, {0, 2}, -1}};
    Path right;
    right.knots = {{low, h1, low, -1},
                   {{2, 0}, {2, 0}, {2, 0}, -1},
                   {{2, 2}, {2, 2}, {2, 2}, -1},
                   {high, high, h2, -1}};
    return {left, right};
}

// The area of loops whose segments are all straight, by the shoelace.
double straightArea(const Paths& loops) {
    double twice = 0.0;
    for (const Path& loop : loops) {
        for (size_t i = 0; i < loop.knots.size(); ++i) {
            const PathKnot& k = loop.knots[i];
            const PathKnot& next = loop.knots[(i + 1) % loop.knots.size()];
            EXPECT_TRUE(k.out == k.point && next.in == next.point) << "a curved segment";
            twice += k.point.x * next.point.y - next.point.x * k.point.y;
        }
    }
    return 0.5 * twice;
}

TEST(SharedBorders, SegmentsOfOneInputRunningOppositeWaysAreLeftOutInPairs) {
    const Path unit = square(0, 0, 1);
    // Side by side the edge x = 1 is run up by one square and down by the
    // other: both go.
    EXPECT_EQ(gatheredSegments({unit, square(1, 0, 1)}), 6u);
    // As two inputs each square winds on its own, however many outlines
    // each input has.
    const Paths left{unit, square(5, 5, 1)};
    const Paths right{square(1, 0, 1), square(7, 7, 1)};
    EXPECT_EQ(gatheredSegments(left, &right), 16u);
    // Copies the same way round add up.
    EXPECT_EQ(gatheredSegments({unit, unit}), 8u);
    EXPECT_EQ(gatheredSegments({unit, reversed(unit)}), 0u);
    // Three one way and two the other leave one.
    EXPECT_EQ(gatheredSegments({unit, reversed(unit), unit, reversed(unit), unit}), 4u);
    // A cubic and the same cubic backwards go; a cubic between the same
    // ends but with other handles stays.
    EXPECT_EQ(gatheredSegments(cutSquare()), 6u);
    Paths bent = cutSquare();
    bent[1].knots[0].in = {1.7, 0.5};
    EXPECT_EQ(gatheredSegments(bent), 8u);
    // A line's handles do not change where it runs: a line with its handles
    // on its chord and one with them on its knots are one line.
    Path handled = square(1, 0, 1);
    handled.knots[3].out = {1, 0.75};
    handled.knots[0].in = {1, 0.25};
    EXPECT_EQ(gatheredSegments({unit, handled}), 6u);
}

TEST(SharedBorders, WhatTheOutlinesFillTogetherIsKept) {
    for (FillRule fill : {FillRule::NonZero, FillRule::EvenOdd}) {
        // The square cut along a curve is the square again.
        const RegionResult whole = resolve(cutSquare(), fill);
        ASSERT_TRUE(whole.ok());
        ASSERT_EQ(whole.loops.size(), 1u);
        EXPECT_NEAR(straightArea(whole.loops), 4.0, 1e-12);
        // The halves as two inputs intersect in nothing but the cut.
        const Paths cut = cutSquare();
        const RegionResult none =
            combine(Paths{cut[0]}, Paths{cut[1]}, Operation::Intersect, RegionOptions{fill, fill});
        ASSERT_TRUE(none.ok());
        EXPECT_TRUE(none.loops.empty());
    }
    // A stack of copies fills by what is left of its windings: 1,001 one
    // way and 1,000 the other wind once, 1,000 each way not at all.
    Paths stack;
    for (int i = 0; i < 1000; ++i) {
        stack.push_back(square(0, 0, 1));
        stack.push_back(reversed(square(0, 0, 1)));
    }
    const RegionResult cancelled = resolve(stack, FillRule::NonZero);
    ASSERT_TRUE(cancelled.ok());
    EXPECT_TRUE(cancelled.loops.empty());
    stack.push_back(square(0, 0, 1));
    for (FillRule fill : {FillRule::NonZero, FillRule::EvenOdd}) {
        const RegionResult once = resolve(stack, fill);
        ASSERT_TRUE(once.ok());
        EXPECT_DOUBLE_EQ(straightArea(once.loops), 1.0);
    }
    // A row of squares sharing their sides is one bar, whichever way the
    // middle one runs: backwards it winds -1, which nonzero fills too, and
    // its sides then run the same way as its neighbours', which add up.
    Paths row{square(0, 0, 1), square(1, 0, 1), square(2, 0, 1)};
    for (int turn = 0; turn < 2; ++turn) {
        const RegionResult bar = resolve(row, FillRule::NonZero);
        ASSERT_TRUE(bar.ok());
        EXPECT_EQ(bar.loops.size(), 1u);
        EXPECT_DOUBLE_EQ(straightArea(bar.loops), 3.0);
        row[1] = reversed(row[1]);
    }
}

// The area a closed path encloses, from x dy along each cubic: the
// integrand is of degree five, which three Gauss points take exactly.
double exactArea(const Path& p) {
    const double nodes[3] = {0.5 - 0.5 * std::sqrt(0.6), 0.5, 0.5 + 0.5 * std::sqrt(0.6)};
    const double weights[3] = {5.0 / 18.0, 8.0 / 18.0, 5.0 / 18.0};
    double sum = 0.0;
    for (size_t i = 0; i < p.knots.size(); ++i) {
        const PathKnot& k = p.knots[i];
        const PathKnot& next = p.knots[(i + 1) % p.knots.size()];
        const Vec2 c[4] = {k.point, k.out, next.in, next.point};
        for (int g = 0; g < 3; ++g) {
            const double t = nodes[g];
            const double u = 1.0 - t;
            const double x = u * u * u * c[0].x + 3 * u * u * t * c[1].x + 3 * u * t * t * c[2].x +
                             t * t * t * c[3].x;
            const double dy = 3 * u * u * (c[1].y - c[0].y) + 6 * u * t * (c[2].y - c[1].y) +
                              3 * t * t * (c[3].y - c[2].y);
            sum += weights[g] * x * dy;
        }
    }
    return sum;
}

// A map of cells with curved borders: a lattice of jittered corners, each
// border a cubic bowed to one side, which the cells on either side of it
// run in opposite directions, exactly.
struct CurvedMap {
    int n = 0;
    std::vector<Vec2> corners;    // (n + 1) x (n + 1)
    std::vector<Vec2> acrossBow;  // handles of the borders along x
    std::vector<Vec2> upBow;      // handles of the borders along y

    Vec2 corner(int i, int j) const { return corners[size_t(j * (n + 1) + i)]; }

    // Cell (i, j) counterclockwise: along its bottom, up its right side,
    // back along its top and down its left side.
    Path cell(int i, int j) const {
        const Vec2 p[4] = {corner(i, j), corner(i + 1, j), corner(i + 1, j + 1), corner(i, j + 1)};
        const Vec2 bottom = acrossBow[size_t(j * n + i)];
        const Vec2 top = acrossBow[size_t((j + 1) * n + i)];
        const Vec2 right = upBow[size_t(j * (n + 1) + i + 1)];
        const Vec2 left = upBow[size_t(j * (n + 1) + i)];
        auto lerp3 = [](Vec2 a, Vec2 b, double t, Vec2 bow) {
            return Vec2{a.x + (b.x - a.x) * t + bow.x, a.y + (b.y - a.y) * t + bow.y};
        };
        Path c;
        c.knots = {
            {p[0], lerp3(p[0], p[3], 1.0 / 3, left), lerp3(p[0], p[1], 1.0 / 3, bottom), -1},
            {p[1], lerp3(p[0], p[1], 2.0 / 3, bottom), lerp3(p[1], p[2], 1.0 / 3, right), -1},
            {p[2], lerp3(p[1], p[2], 2.0 / 3, right), lerp3(p[3], p[2], 2.0 / 3, top), -1},
            {p[3], lerp3(p[3], p[2], 1.0 / 3, top), lerp3(p[0], p[3], 2.0 / 3, left), -1}};
        return c;
    }
};

CurvedMap curvedMap(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> jitter(-0.2, 0.2);
    std::uniform_real_distribution<double> bow(-0.1, 0.1);
    CurvedMap m;
    m.n = n;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            m.corners.push_back({i + jitter(rng), j + jitter(rng)});
    for (int k = 0; k < (n + 1) * n; ++k) {
        const double b = bow(rng);
        m.acrossBow.push_back({0.0, b});
        m.upBow.push_back({b, 0.0});
    }
    return m;
}

TEST(SharedBorders, AMapOfCurvedCellsIsTheCellsItKeeps) {
    const CurvedMap map = curvedMap(8, 20261209);
    std::mt19937 pick(7);
    for (int round = 0; round < 4; ++round) {
        // Some cells left out, as holes and bays; the rest in one input.
        Paths cells;
        double area = 0.0;
        std::vector<char> kept(64, 0);
        for (int j = 0; j < 8; ++j)
            for (int i = 0; i < 8; ++i)
                if (round == 0 || pick() % 4 != 0) {
                    cells.push_back(map.cell(i, j));
                    area += exactArea(cells.back());
                    kept[size_t(j * 8 + i)] = 1;
                }
        // Borders between two kept cells go; every other side stays.
        size_t shared = 0;
        for (int j = 0; j < 8; ++j)
            for (int i = 0; i < 8; ++i) {
                if (!kept[size_t(j * 8 + i)]) continue;
                shared += i + 1 < 8 && kept[size_t(j * 8 + i + 1)];
                shared += j + 1 < 8 && kept[size_t((j + 1) * 8 + i)];
            }
        EXPECT_EQ(gatheredSegments(cells), 4 * cells.size() - 2 * shared);
        for (FillRule fill : {FillRule::NonZero, FillRule::EvenOdd}) {
            const RegionResult whole = resolve(cells, fill);
            ASSERT_TRUE(whole.ok());
            double answer = 0.0;
            for (const Path& loop : whole.loops)
                answer += exactArea(loop);
            EXPECT_NEAR(answer, area, 1e-12 * 64) << "round " << round;
        }
    }
}

TEST(StageChecks, PassagesThroughAVertexMustNotInterleave) {
    // Six ends in counterclockwise order; passages as (arrival, departure).
    EXPECT_EQ(checkPassages({{0, 5}, {2, 1}, {4, 3}}, 6), "");
    EXPECT_EQ(checkPassages({{0, 3}, {2, 1}}, 6), "");  // one inside the other
    EXPECT_NE(checkPassages({{0, 2}, {1, 3}}, 6), "");
    EXPECT_NE(checkPassages({{4, 1}, {0, 3}}, 6), "");
}

TEST(StageChecks, ABrokenContractEndsTheProcessNamingTheStage) {
    EXPECT_TRUE(stageChecksOn());  // the tests switch them on
    EXPECT_DEATH(enforce("arrangement", "edge 3: separates nothing"),
                 "arrangement stage broke its contract: edge 3: separates nothing");
}

}  // namespace
