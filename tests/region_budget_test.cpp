// The crossing search's budget, run out: this test's core is built with a
// budget of 8 subdivisions a pair, which two discs that cross already need.
// The answer must be the budget's refusal, with the pair named, at every
// merge distance the engine retries, and never a partial region.

#include <gtest/gtest.h>

#include <cmath>

#include "pathshapes.h"
#include "region/region.h"

using namespace carvex;

namespace {

// A circle of four cubic quarters, counterclockwise.
Path circle(double cx, double cy, double r) {
    const double h = 0.5522847498307936 * r;
    Path path;
    path.closed = true;
    path.knots = {{{cx + r, cy}, {cx + r, cy - h}, {cx + r, cy + h}, -1},
                  {{cx, cy + r}, {cx + h, cy + r}, {cx - h, cy + r}, -1},
                  {{cx - r, cy}, {cx - r, cy + h}, {cx - r, cy - h}, -1},
                  {{cx, cy - r}, {cx - h, cy - r}, {cx + h, cy - r}, -1}};
    return path;
}

TEST(RegionBudget, CrossingDiscsRunItOutAndAreRefusedWithThePairNamed) {
    const Paths a{circle(0, 0, 1)};
    const Paths b{circle(1, 0.25, 1)};
    for (Operation op : {Operation::Union, Operation::Intersect, Operation::Xor}) {
        const RegionResult r = combine(a, b, op);
        EXPECT_EQ(r.status, RegionStatus::SearchBudgetExhausted);
        EXPECT_TRUE(r.loops.empty());
        // One segment of each disc.
        EXPECT_NE(r.first.operand, r.second.operand);
        EXPECT_GE(r.first.knot, 0);
        EXPECT_GE(r.second.knot, 0);
        const std::string why = describe(r.status, r.first, r.second);
        EXPECT_NE(why.find("8 subdivisions"), std::string::npos) << why;
    }
    // A disc alone needs no search between its own neighbouring quarters.
    const RegionResult alone = resolve(a, FillRule::NonZero);
    ASSERT_TRUE(alone.ok()) << describe(alone.status);
    EXPECT_NEAR(enclosedArea(alone.loops), enclosedArea(a), 1e-12);
}

TEST(RegionBudget, ShapesWhoseBoxesMissAreAnsweredWithoutSearching) {
    const Paths a{circle(0, 0, 1)};
    const Paths b{circle(5, 0, 1)};
    const RegionResult r = combine(a, b, Operation::Union);
    ASSERT_TRUE(r.ok()) << describe(r.status);
    EXPECT_EQ(r.loops.size(), 2u);
    EXPECT_NEAR(enclosedArea(r.loops), 2.0 * enclosedArea(a), 1e-12);
}

// n small squares in a row from x0, apart, or in a column: their sides
// meet only their neighbours along their own outlines, which needs no
// search.
Paths squares(double x0, int n, bool column = false) {
    Paths out;
    for (int i = 0; i < n; ++i) {
        const double x = column ? x0 : x0 + 2.0 * i;
        const double y = column ? 2.0 * i : 0.0;
        out.push_back(testshapes::box(x, y, x + 1, y + 1));
    }
    return out;
}

TEST(RegionBudget, APairRunOutAmongManyIsNamedWhereverTheSweepMeetsIt) {
    // Among thousands of pieces the refusal names the pair that ran out,
    // wherever the sweep meets it, and of two the one it meets first.
    const int many = 1500;
    for (double discX : {-10.0, 2.0 * many + 10.0}) {
        Paths a = squares(0, many);
        a.push_back(circle(discX, 0, 1));
        const Paths b{circle(discX + 1, 0.25, 1)};
        const RegionResult r = combine(a, b, Operation::Union);
        EXPECT_EQ(r.status, RegionStatus::SearchBudgetExhausted) << discX;
        EXPECT_TRUE(r.loops.empty());
        EXPECT_EQ(r.first.spline, many) << discX;
        EXPECT_EQ(r.second.operand, 1) << discX;
    }
    // A second crossing pair at the far end: the first one is named.
    Paths a = squares(0, many);
    a.push_back(circle(2.0 * many + 10.0, 0, 1));
    a.push_back(circle(-10.0, 0, 1));
    const Paths b{circle(2.0 * many + 11.0, 0.25, 1), circle(-9.0, 0.25, 1)};
    const RegionResult r = combine(a, b, Operation::Union);
    EXPECT_EQ(r.status, RegionStatus::SearchBudgetExhausted);
    EXPECT_EQ(r.first.spline, many + 1);
    EXPECT_EQ(r.second.spline, 1);
}

TEST(RegionBudget, APairRunOutInEitherHalfOfASweepInBandsIsNamed) {
    // A column of squares is swept in bands of height, the lower half on a
    // spare core when one is free. A pair that runs out in either half is
    // named, and of two the one the sweep meets first (the one further
    // left), though it lies in the upper half.
    const int many = 1500;
    const double top = 2.0 * many;
    for (double discY : {-10.0, top + 10.0}) {
        Paths a = squares(0, many, true);
        a.push_back(circle(0, discY, 1));
        const Paths b{circle(1, discY + 0.25, 1)};
        const RegionResult r = combine(a, b, Operation::Union);
        EXPECT_EQ(r.status, RegionStatus::SearchBudgetExhausted) << discY;
        EXPECT_EQ(r.first.spline, many) << discY;
        EXPECT_EQ(r.second.operand, 1) << discY;
    }
    Paths a = squares(0, many, true);
    a.push_back(circle(10, -10, 1));        // lower half, met later
    a.push_back(circle(-10, top + 10, 1));  // upper half, met first
    const Paths b{circle(11, -9.75, 1), circle(-9, top + 10.25, 1)};
    const RegionResult r = combine(a, b, Operation::Union);
    EXPECT_EQ(r.status, RegionStatus::SearchBudgetExhausted);
    EXPECT_EQ(r.first.spline, many + 1);
    EXPECT_EQ(r.second.spline, 1);
}

}  // namespace
