#include <gtest/gtest.h>

#include "boolean/boolean.h"
#include "testshapes.h"

namespace {

constexpr double kThreshold = 1e-4;

// A result is one closed loop with no knot repeated at a joint or at the close.
void expectCleanLoop(const Spline& s) {
    ASSERT_TRUE(s.closed);
    ASSERT_GE(s.size(), 3);
    for (int i = 0; i < s.size(); ++i)
        EXPECT_GT(distance(s.at(i)->point, s.at((i + 1) % s.size())->point), 0.001) << "knot " << i;
}

QVector<Point3d> points(const Spline& s) {
    QVector<Point3d> p;
    for (const Knot* k : s)
        p << k->point;
    return p;
}

bool hasPoint(const Spline& s, const Point3d& p) {
    for (const Knot* k : s)
        if (distance(k->point, p) < 1e-9) return true;
    return false;
}

// Square (0,0)-(2,2) against square (1,1)-(3,3): union 7, overlap 1, each difference 3.
struct Squares : ::testing::Test {
    std::unique_ptr<Spline> a = rectangle(0, 0, 2, 2);
    std::unique_ptr<Spline> b = rectangle(1, 1, 3, 3);
};

}  // namespace

TEST_F(Squares, Union) {
    ASSERT_TRUE(unionOrIntersect(*a, *b, true, kThreshold));
    expectCleanLoop(*a);
    EXPECT_EQ(a->size(), 8);
    EXPECT_NEAR(area(*a), 7.0, 1e-9);
    for (const Knot* k : *a)
        EXPECT_EQ(k->type, Knot::Corner);
    EXPECT_TRUE(hasPoint(*a, {2, 1, 0}));
    EXPECT_TRUE(hasPoint(*a, {1, 2, 0}));
    EXPECT_FALSE(hasPoint(*a, {2, 2, 0}));
}

TEST_F(Squares, Intersection) {
    ASSERT_TRUE(unionOrIntersect(*a, *b, false, kThreshold));
    expectCleanLoop(*a);
    EXPECT_EQ(a->size(), 4);
    EXPECT_NEAR(area(*a), 1.0, 1e-9);
    EXPECT_TRUE(hasPoint(*a, {2, 2, 0}));
    EXPECT_TRUE(hasPoint(*a, {1, 1, 0}));
}

TEST_F(Squares, Differences) {
    auto a2 = rectangle(0, 0, 2, 2);
    auto b2 = rectangle(1, 1, 3, 3);
    ASSERT_TRUE(applyOperation(*a, *b, carvex::Operation::SubtrA, kThreshold));
    expectCleanLoop(*a);
    EXPECT_EQ(a->size(), 6);
    EXPECT_NEAR(area(*a), 3.0, 1e-9);
    EXPECT_TRUE(hasPoint(*a, {0, 0, 0}));

    ASSERT_TRUE(applyOperation(*a2, *b2, carvex::Operation::SubtrB, kThreshold));
    expectCleanLoop(*a2);
    EXPECT_NEAR(area(*a2), 3.0, 1e-9);
    EXPECT_TRUE(hasPoint(*a2, {3, 3, 0}));
    EXPECT_FALSE(hasPoint(*a2, {0, 0, 0}));
}

// Whichever knot A starts at, A - B is the part of A outside B.
TEST(Subtraction, DoesNotDependOnWhereAStarts) {
    for (int start = 0; start < 4; ++start) {
        auto a = rectangle(0, 0, 2, 2);
        for (int r = 0; r < start; ++r)
            a->move(0, a->size() - 1);
        a->updateLengths();
        auto b = rectangle(1, 1, 3, 3);
        ASSERT_TRUE(subtract(*a, *b, kThreshold)) << start;
        expectCleanLoop(*a);
        EXPECT_NEAR(area(*a), 3.0, 1e-9) << "knot 0 at " << start;
        EXPECT_FALSE(hasPoint(*a, {2, 2, 0})) << start;
    }
}

TEST(Subtraction, FourCrossingsInTwoPiecesAreRefused) {
    // A thin bar crosses the long rectangle four times: two pieces remain.
    auto a = rectangle(0, 0, 6, 2);
    auto b = rectangle(1, -1, 2, 3);
    PairReason reason = PairReason::None;
    EXPECT_FALSE(subtract(*a, *b, kThreshold, &reason));
    EXPECT_EQ(reason, PairReason::NotOneLoop);
    EXPECT_NEAR(area(*a), 12.0, 1e-9);
}

TEST(Subtraction, FourCrossingsInOneLoopWalkEveryCrossing) {
    // A bar cuts into the rectangle's top edge twice and out again: a notch.
    auto a = rectangle(0, 0, 6, 2);
    auto b = polygon(
        {{1, 1, 0}, {2, 1, 0}, {2, 3, 0}, {4, 3, 0}, {4, 1, 0}, {5, 1, 0}, {5, 4, 0}, {1, 4, 0}});
    ASSERT_TRUE(subtract(*a, *b, kThreshold));
    expectCleanLoop(*a);
    EXPECT_NEAR(area(*a), 12.0 - 2.0, 1e-9);
    EXPECT_TRUE(hasPoint(*a, {1, 1, 0}));
    EXPECT_TRUE(hasPoint(*a, {5, 1, 0}));
}

TEST(Subtraction, SubtrBWithoutCrossingsTakesTheOperand) {
    auto a = rectangle(0, 0, 1, 1);
    auto b = rectangle(5, 5, 6, 7);
    Shape holder;
    holder.addSpline(a.release());
    EXPECT_FALSE(applyOperation(*holder[0], *b, carvex::Operation::SubtrB, kThreshold));
    EXPECT_EQ(points(*holder[0]), points(*b));
    EXPECT_EQ(holder[0]->parent, &holder);
}

// A circle of four Bezier knots whose top and bottom knots lie on the
// square's left edge: the crossings are end contacts at knots of A.
struct CircleAndSquare : ::testing::Test {
    std::unique_ptr<Spline> c = circle(0, 0, 1);
    std::unique_ptr<Spline> sq = rectangle(0, -2, 4, 2);
    double half = area(*circle(0, 0, 1)) / 2.0;

    void expectCurvesKept(const Spline& s) {
        int curved = 0;
        for (const Knot* k : s)
            if (k->type != Knot::Corner && distance(k->outVec, k->point) > 0.1) ++curved;
        EXPECT_GE(curved, 1);
    }
};

TEST_F(CircleAndSquare, EveryOperationKeepsTheArcs) {
    auto c2 = circle(0, 0, 1);
    auto c3 = circle(0, 0, 1);
    auto c4 = circle(0, 0, 1);
    ASSERT_TRUE(unionOrIntersect(*c, *sq, true, kThreshold));
    expectCleanLoop(*c);
    EXPECT_NEAR(area(*c), 16.0 + half, 1e-6);
    expectCurvesKept(*c);

    auto sq2 = rectangle(0, -2, 4, 2);
    ASSERT_TRUE(unionOrIntersect(*c2, *sq2, false, kThreshold));
    expectCleanLoop(*c2);
    EXPECT_NEAR(area(*c2), half, 1e-6);
    expectCurvesKept(*c2);

    auto sq3 = rectangle(0, -2, 4, 2);
    ASSERT_TRUE(subtract(*c3, *sq3, kThreshold));
    expectCleanLoop(*c3);
    EXPECT_NEAR(area(*c3), half, 1e-6);
    expectCurvesKept(*c3);

    auto sq4 = rectangle(0, -2, 4, 2);
    ASSERT_TRUE(applyOperation(*c4, *sq4, carvex::Operation::SubtrB, kThreshold));
    expectCleanLoop(*c4);
    EXPECT_NEAR(area(*c4), 16.0 - half, 1e-6);
}

// A knot of A lying on B's outline: the crossing maps to the knot itself, so
// no second knot is stacked on it and no piece of the outline is lost.
TEST(EndContacts, EllipseMinusRectangleKeepsTheWholeArc) {
    auto e = ellipse(200, 10, 70, 50);
    auto r = polygon({{200, 0, 0}, {200, 100, 0}, {0, 100, 0}, {0, 0, 0}});
    const double expected = area(*e) - areaInsideRectangle(*e, 0, 0, 200, 100);
    EXPECT_NEAR(expected, 7553.6, 1.0);
    ASSERT_TRUE(subtract(*e, *r, kThreshold));
    expectCleanLoop(*e);
    // Crossings are found on the 5-degree flattening, so the new knots sit on
    // chords, a few hundredths off the exact curve.
    EXPECT_NEAR(area(*e), expected, 0.2);
}

// Every crossing lies on a knot of both outlines.
struct SharedKnots : ::testing::Test {
    std::unique_ptr<Spline> a =
        polygon({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {2, 2, 0}, {1, 2, 0}, {0, 2, 0}});
    std::unique_ptr<Spline> b =
        polygon({{1, 1, 0}, {2, 1, 0}, {3, 1, 0}, {3, 3, 0}, {1, 3, 0}, {1, 2, 0}});
};

TEST_F(SharedKnots, UnionAndIntersectionAreRight) {
    auto a2 = polygon({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {2, 2, 0}, {1, 2, 0}, {0, 2, 0}});
    auto b2 = polygon({{1, 1, 0}, {2, 1, 0}, {3, 1, 0}, {3, 3, 0}, {1, 3, 0}, {1, 2, 0}});
    ASSERT_TRUE(unionOrIntersect(*a, *b, true, kThreshold));
    expectCleanLoop(*a);
    EXPECT_NEAR(area(*a), 7.0, 1e-9);
    ASSERT_TRUE(unionOrIntersect(*a2, *b2, false, kThreshold));
    expectCleanLoop(*a2);
    EXPECT_NEAR(area(*a2), 1.0, 1e-9);
}

TEST(Containment, BothWays) {
    for (bool unite : {true, false}) {
        auto small = rectangle(1, 1, 2, 2);
        auto big = rectangle(0, 0, 4, 4);
        ASSERT_TRUE(unionOrIntersect(*small, *big, unite, kThreshold));
        EXPECT_NEAR(area(*small), unite ? 16.0 : 1.0, 1e-9);

        auto big2 = rectangle(0, 0, 4, 4);
        auto small2 = rectangle(1, 1, 2, 2);
        ASSERT_TRUE(unionOrIntersect(*big2, *small2, unite, kThreshold));
        EXPECT_NEAR(area(*big2), unite ? 16.0 : 1.0, 1e-9);
    }
    auto small = rectangle(1, 1, 2, 2);
    auto big = rectangle(0, 0, 4, 4);
    const QVector<Point3d> before = points(*big);
    EXPECT_FALSE(subtract(*big, *small, kThreshold));
    EXPECT_EQ(points(*big), before);
}

TEST(Containment, TouchingFromInsideIsStillContainment) {
    // The inner square shares the corner (0,0) with the outer one.
    auto inner = rectangle(0, 0, 1, 1);
    auto outer = rectangle(0, 0, 4, 4);
    ASSERT_TRUE(unionOrIntersect(*inner, *outer, true, kThreshold));
    EXPECT_NEAR(area(*inner), 16.0, 1e-9);
}

TEST(Refusals, LeaveBothSplinesAsTheyWere) {
    auto a = rectangle(0, 0, 1, 1);
    auto far = rectangle(5, 5, 6, 6);
    const QVector<Point3d> before = points(*a);
    EXPECT_FALSE(unionOrIntersect(*a, *far, true, kThreshold));
    EXPECT_FALSE(unionOrIntersect(*a, *far, false, kThreshold));
    EXPECT_EQ(points(*a), before);

    auto open = rectangle(0.5, 0.5, 3, 3);
    open->closed = false;
    auto two = polygon({{0.5, -1, 0}, {0.5, 3, 0}});
    for (Spline* other : {open.get(), two.get()}) {
        const QVector<Point3d> otherBefore = points(*other);
        EXPECT_FALSE(unionOrIntersect(*a, *other, true, kThreshold));
        EXPECT_FALSE(subtract(*a, *other, kThreshold));
        EXPECT_FALSE(subtract(*other, *a, kThreshold));
        EXPECT_EQ(points(*a), before);
        EXPECT_EQ(points(*other), otherBefore);
    }
    EXPECT_FALSE(unionOrIntersect(*a, *a, true, kThreshold));
    EXPECT_FALSE(subtract(*a, *a, kThreshold));
    EXPECT_EQ(points(*a), before);
}

TEST(Refusals, XorAndUnknownCodesAreNamedNotGuessed) {
    auto a = rectangle(0, 0, 2, 2);
    auto b = rectangle(1, 1, 3, 3);
    const QVector<Point3d> before = points(*a);
    PairReason reason = PairReason::None;
    EXPECT_FALSE(applyOperation(*a, *b, carvex::Operation::Xor, kThreshold, &reason));
    EXPECT_EQ(reason, PairReason::NoSuchOperation);
    EXPECT_EQ(points(*a), before);

    carvex::Operation op = carvex::Operation::Union;
    EXPECT_TRUE(carvex::operationOfCode(2, &op));
    EXPECT_EQ(op, carvex::Operation::SubtrA);
    for (int code : {-1, 5, 7}) {
        EXPECT_FALSE(carvex::operationOfCode(code, &op));
        EXPECT_EQ(op, carvex::Operation::SubtrA) << code;
    }
}

TEST(Refusals, ThreeCrossingsKeepTheOutlineButGainKnots) {
    // B touches A's top edge at (1,4) and crosses A's corner region twice.
    auto a = rectangle(0, 0, 4, 4);
    auto b = polygon({{1, 4, 0}, {1, 6, 0}, {6, 6, 0}, {6, 1, 0}, {3, 5, 0}});
    const double before = area(*a);
    EXPECT_FALSE(unionOrIntersect(*a, *b, true, kThreshold));
    EXPECT_EQ(a->size(), 7);
    EXPECT_NEAR(area(*a), before, 1e-9);
    for (const Knot* k : *a)
        if (k->hasFlag(CustomFlag::Crossing)) {
            EXPECT_EQ(k->type, Knot::Corner);
        }
}

TEST(Frames, OperandInItsOwnFrameIsMappedAndReturned) {
    auto a = rectangle(0, 0, 2, 2);
    auto b = rectangle(0, 0, 2, 2);
    b->frame = translation({1, 1, 0});
    ASSERT_TRUE(unionOrIntersect(*a, *b, true, kThreshold));
    EXPECT_NEAR(area(*a), 7.0, 1e-9);
    EXPECT_EQ(a->frame, Matrix3d());
    EXPECT_EQ(b->frame, translation({1, 1, 0}));
    for (const Knot* k : *b) {
        EXPECT_GE(k->point.x, -1e-12);
        EXPECT_LE(k->point.x, 2 + 1e-12);
    }

    // A in a frame of its own keeps it, and the result is in A's coordinates.
    auto a2 = rectangle(0, 0, 2, 2);
    a2->frame = translation({10, 0, 0});
    auto b2 = rectangle(11, 1, 13, 3);
    ASSERT_TRUE(unionOrIntersect(*a2, *b2, false, kThreshold));
    EXPECT_EQ(a2->frame, translation({10, 0, 0}));
    EXPECT_NEAR(area(*a2), 1.0, 1e-9);
    EXPECT_TRUE(hasPoint(*a2, {2, 2, 0}));
}

// None of this may crash, hang or trip the sanitizers; results only have to
// be valid splines.
TEST(Degenerate, HostileInputEndsWithValidSplines) {
    const double nan = std::nan("");
    const QList<QVector<Point3d>> outlines = {
        {{0, 0, 0}, {nan, 0, 0}, {1, 1, 0}},
        {{0, 0, 0}, {1e200, 0, 0}, {1e200, 1e200, 0}},
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 0}},
        {{1, 1, 0}, {1, 1, 0}, {1, 1, 0}},
        {{-1e9, -1e9, 0}, {1e9, -1e9, 0}, {0, 1e9, 0}},
    };
    for (const QVector<Point3d>& outline : outlines) {
        for (int op = 0; op < 5; ++op) {
            for (double threshold : {0.0, 1e-5, 1e8}) {
                auto a = std::make_unique<Spline>();
                a->closed = true;
                for (const Point3d& p : outline)
                    a->append(new Knot(p, p, p, 0, Knot::Corner));
                a->updateLengths();
                auto b = circle(0.5, 0.5, 0.7);
                applyOperation(*a, *b, carvex::Operation(op), threshold);
                EXPECT_TRUE(a->closed);
                auto c = circle(0.5, 0.5, 0.7);
                applyOperation(*c, *a, carvex::Operation(op), threshold);
            }
        }
    }
}

TEST(Shapes, ApplyOperandCombinesEveryPairInOrder) {
    Shape base;
    base.addSpline(rectangle(0, 0, 2, 2).release());
    base.addSpline(rectangle(10, 0, 12, 2).release());
    Shape operand;
    operand.addSpline(rectangle(1, 1, 3, 3).release());
    operand.addSpline(rectangle(11, 1, 13, 3).release());
    QList<PairOutcome> outcomes;
    applyOperand(base, operand, carvex::Operation::Union, kThreshold, &outcomes);
    ASSERT_EQ(outcomes.size(), 4);
    EXPECT_TRUE(outcomes[0].combined);
    EXPECT_FALSE(outcomes[1].combined);  // disjoint
    EXPECT_FALSE(outcomes[2].combined);
    EXPECT_TRUE(outcomes[3].combined);
    EXPECT_NEAR(area(*base[0]), 7.0, 1e-9);
    EXPECT_NEAR(area(*base[1]), 7.0, 1e-9);
}
