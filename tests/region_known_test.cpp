// The region engine on cases whose answer is known exactly: counts of loops,
// their orientations and areas, kept knots, fill rules and refusals.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "regionshapes.h"
#include "shaperegion/shaperegion.h"

using namespace carvex;

namespace {

double splineArea(const Spline& s) {
    Shape one;
    auto* copy = new Spline();
    copy->closed = true;
    for (const Knot* k : s)
        copy->append(new Knot(*k));
    one.addSpline(copy);
    return enclosedArea(one);
}

int countPositive(const Shape& s) {
    int n = 0;
    for (const Spline* sp : s)
        n += splineArea(*sp) > 0.0;
    return n;
}

ShapeResult run(const Shape& a, const Shape& b, Operation op) {
    ShapeResult r = combine(a, b, op);
    EXPECT_TRUE(r.ok()) << describe(r.status);
    return r;
}

}  // namespace

TEST(RegionArea, MatchesClosedFormsAndOrientation) {
    EXPECT_NEAR(enclosedArea(square(1, 2, 3)), 9.0, 1e-12);
    // Four cubic quarter arcs with handles k r enclose (10 + 12k - 3k^2) r^2 / 5,
    // by integrating one quarter by hand: 0.028% more than pi r^2.
    const Shape disc = shapeOf(circle(5, -3, 2));
    const double k = kKappa;
    EXPECT_NEAR(enclosedArea(disc), (10 + 12 * k - 3 * k * k) / 5 * 4, 1e-12);
    EXPECT_NEAR(enclosedArea(disc) / (M_PI * 4), 1.00028, 1e-5);
    EXPECT_NEAR(enclosedArea(ring(0, 0, 2, 1)),
                enclosedArea(shapeOf(circle(0, 0, 2))) - enclosedArea(shapeOf(circle(0, 0, 1))),
                1e-12);
    const Shape clockwise = shapeOf(reversedSpline(rectangle(0, 0, 2, 1)));
    EXPECT_NEAR(enclosedArea(clockwise), -2.0, 1e-12);
    // An open spline is closed by a straight line: a right triangle.
    const Shape open = shapeOf(polygon({{0, 0, 0}, {4, 0, 0}, {4, 3, 0}}, false));
    EXPECT_NEAR(enclosedArea(open), 6.0, 1e-12);
    // Frames count: the shape's scale by 2 quadruples the area.
    Shape framed = square(0, 0, 1);
    framed.frame = Matrix3d(2);
    framed.frame.m[2][2] = 1.0;
    EXPECT_NEAR(enclosedArea(framed), 4.0, 1e-12);
}

TEST(RegionKnown, RingMinusBarGivesTwoEqualHalves) {
    const Shape r = ring(0, 0, 10, 6);
    const Shape bar = shapeOf(rectangle(-12, -1, 12, 1));
    const ShapeResult out = run(r, bar, Operation::SubtrA);
    ASSERT_EQ(out.shape.size(), 2);
    const double a0 = splineArea(*out.shape[0]);
    const double a1 = splineArea(*out.shape[1]);
    EXPECT_GT(a0, 0.0);
    EXPECT_NEAR(a0, a1, 1e-9 * a0);
    const ShapeResult inter = run(r, bar, Operation::Intersect);
    EXPECT_EQ(inter.shape.size(), 2);
    EXPECT_NEAR(enclosedArea(out.shape) + enclosedArea(inter.shape), enclosedArea(r),
                1e-9 * enclosedArea(r));
}

TEST(RegionKnown, SquareMinusInnerSquareIsOuterLoopAndHole) {
    const ShapeResult out = run(square(0, 0, 10), square(3, 3, 4), Operation::SubtrA);
    ASSERT_EQ(out.shape.size(), 2);
    double pos = 0.0;
    double neg = 0.0;
    for (const Spline* s : out.shape) {
        const double a = splineArea(*s);
        (a > 0 ? pos : neg) += a;
        EXPECT_EQ(s->size(), 4);
        for (const Knot* k : *s)
            EXPECT_EQ(k->type, Knot::Corner);
    }
    EXPECT_DOUBLE_EQ(pos, 100.0);
    EXPECT_DOUBLE_EQ(neg, -16.0);
    // b minus a: nothing of the inner square lies outside the outer one.
    EXPECT_TRUE(run(square(0, 0, 10), square(3, 3, 4), Operation::SubtrB).shape.isEmpty());
}

TEST(RegionKnown, DisjointSquaresUniteIntoTwoLoops) {
    const ShapeResult out = run(square(0, 0, 1), square(5, 5, 2), Operation::Union);
    ASSERT_EQ(out.shape.size(), 2);
    EXPECT_EQ(countPositive(out.shape), 2);
    EXPECT_DOUBLE_EQ(enclosedArea(out.shape), 5.0);
    EXPECT_TRUE(run(square(0, 0, 1), square(5, 5, 2), Operation::Intersect).shape.isEmpty());
}

TEST(RegionKnown, ShapeAndItsCopy) {
    for (double shift : {0.0, 1e-12}) {
        SCOPED_TRACE(shift);
        const Shape a = shapeOf(star(0, 0, 3, 5, 7));
        Shape b = shapeOf(star(0, 0, 3, 5, 7));
        place(b, 1.0, {shift, shift, 0});
        const double area = enclosedArea(a);
        for (Operation op : {Operation::Union, Operation::Intersect}) {
            const ShapeResult out = run(a, b, op);
            ASSERT_EQ(out.shape.size(), 1);
            EXPECT_NEAR(enclosedArea(out.shape), area, 1e-9 * area);
            EXPECT_EQ(out.shape[0]->size(), 14);
            // Untouched knots keep their handles and types.
            if (shift == 0.0) {
                for (const Knot* k : *out.shape[0])
                    EXPECT_EQ(k->type, Knot::BezierCorner);
            }
        }
        for (Operation op : {Operation::SubtrA, Operation::SubtrB, Operation::Xor})
            EXPECT_TRUE(run(a, b, op).shape.isEmpty());
    }
}

// Most of two outlines that cross twice meets nothing: those stretches go
// through the engine in whole runs and must come back exactly as drawn,
// knot for knot, with only the two crossings added.
TEST(RegionKnown, StretchesThatMeetNothingComeBackAsDrawn) {
    const int n = 64;
    const double r = 1.0;
    const Shape a = shapeOf(roundSpline(0, 0, r, n));
    const Shape b = shapeOf(roundSpline(0.6, 0.1, r, n));
    const ShapeResult u = run(a, b, Operation::Union);
    ASSERT_EQ(u.shape.size(), 1);
    const Spline& answer = *u.shape.at(0);
    auto outside = [&](const Point3d& p, double cx, double cy) {
        return std::hypot(p.x - cx, p.y - cy) > 1.02 * r;
    };
    int kept = 0;
    int checked = 0;
    for (const auto& [shape, cx, cy] : {std::tuple{&a, 0.6, 0.1}, std::tuple{&b, 0.0, 0.0}}) {
        const Spline& s = *shape->at(0);
        for (int i = 0; i < n; ++i) {
            const Point3d& p = s.at(i)->point;
            if (!outside(p, cx, cy)) continue;
            ++kept;
            // Both neighbours outside too: both segments at this knot whole.
            if (!outside(s.at((i + n - 1) % n)->point, cx, cy) ||
                !outside(s.at((i + 1) % n)->point, cx, cy))
                continue;
            ++checked;
            bool found = false;
            for (const Knot* k : answer)
                found = found || (k->point == p && k->inVec == s.at(i)->inVec &&
                                  k->outVec == s.at(i)->outVec && k->type == Knot::Bezier);
            EXPECT_TRUE(found) << "knot " << i << " at " << p.x << ", " << p.y;
        }
    }
    EXPECT_GT(checked, n);
    EXPECT_EQ(answer.size(), kept + 2);
}

TEST(RegionKnown, SquaresSharingAnEdgeUniteIntoOneRectangle) {
    const ShapeResult out = run(square(0, 0, 1), square(1, 0, 1), Operation::Union);
    ASSERT_EQ(out.shape.size(), 1);
    EXPECT_DOUBLE_EQ(enclosedArea(out.shape), 2.0);
    for (const Knot* k : *out.shape[0]) {
        // Nothing left inside the shared edge's line.
        EXPECT_FALSE(k->point.x == 1.0 && k->point.y > 0.0 && k->point.y < 1.0);
        EXPECT_TRUE(k->point.y == 0.0 || k->point.y == 1.0);
    }
    // Sharing part of an edge: one outline of area 2.
    const ShapeResult part = run(square(0, 0, 1), square(1, 0.5, 1), Operation::Union);
    ASSERT_EQ(part.shape.size(), 1);
    EXPECT_DOUBLE_EQ(enclosedArea(part.shape), 2.0);
    EXPECT_TRUE(run(square(0, 0, 1), square(1, 0, 1), Operation::Intersect).shape.isEmpty());
}

TEST(RegionKnown, SquaresTouchingAtACornerStayApart) {
    const ShapeResult out = run(square(0, 0, 1), square(1, 1, 1), Operation::Union);
    ASSERT_EQ(out.shape.size(), 2);
    for (const Spline* s : out.shape)
        EXPECT_DOUBLE_EQ(splineArea(*s), 1.0);
    EXPECT_TRUE(run(square(0, 0, 1), square(1, 1, 1), Operation::Intersect).shape.isEmpty());
}

TEST(RegionKnown, CirclesTouchingFromOutsideAndInside) {
    const Shape a = shapeOf(circle(0, 0, 1));
    const Shape outside = shapeOf(circle(2, 0, 1));
    const Shape inside = shapeOf(circle(0.5, 0, 0.5));
    const double one = enclosedArea(a);
    EXPECT_NEAR(enclosedArea(run(a, outside, Operation::Union).shape), 2 * one, 1e-9);
    EXPECT_NEAR(enclosedArea(run(a, outside, Operation::Intersect).shape), 0.0, 1e-9);
    const ShapeResult hole = run(a, inside, Operation::SubtrA);
    EXPECT_NEAR(enclosedArea(hole.shape), one - enclosedArea(inside), 1e-9);
    EXPECT_NEAR(enclosedArea(run(a, inside, Operation::Union).shape), one, 1e-9);
}

TEST(RegionOrientation, OuterLoopsCounterclockwiseHolesClockwise) {
    // Input drawn clockwise comes back counterclockwise.
    const Shape cw = shapeOf(reversedSpline(circle(0, 0, 1)));
    const ShapeResult r = resolve(cw, FillRule::NonZero);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.shape.size(), 1);
    EXPECT_GT(splineArea(*r.shape[0]), 0.0);
    // A ring drawn with both loops counterclockwise is a disc under nonzero
    // and a ring under even-odd, its hole clockwise.
    std::vector<std::unique_ptr<Spline>> v;
    v.push_back(circle(0, 0, 2));
    v.push_back(circle(0, 0, 1));
    const Shape twice = shapeOf(std::move(v));
    const ShapeResult nz = resolve(twice, FillRule::NonZero);
    ASSERT_EQ(nz.shape.size(), 1);
    const ShapeResult eo = resolve(twice, FillRule::EvenOdd);
    ASSERT_EQ(eo.shape.size(), 2);
    EXPECT_EQ(countPositive(eo.shape), 1);
    EXPECT_NEAR(enclosedArea(eo.shape), enclosedArea(ring(0, 0, 2, 1)), 1e-12);
}

TEST(RegionFillRule, SelfCrossingStarUnderNonZeroAndEvenOdd) {
    // A pentagram: five straight strokes whose centre is wound twice.
    std::vector<Point3d> p;
    for (int i = 0; i < 5; ++i) {
        const double a = M_PI / 2 + i * 4 * M_PI / 5;
        p.push_back({std::cos(a), std::sin(a), 0});
    }
    auto s = std::make_unique<Spline>();
    s->closed = true;
    for (const Point3d& q : p)
        s->append(new Knot(q, q, q, 0.0, Knot::Corner));
    const Shape star5 = shapeOf(std::move(s));
    const ShapeResult nz = resolve(star5, FillRule::NonZero);
    const ShapeResult eo = resolve(star5, FillRule::EvenOdd);
    ASSERT_TRUE(nz.ok());
    ASSERT_TRUE(eo.ok());
    // Nonzero: one outline of ten corners; even-odd: five points alone.
    ASSERT_EQ(nz.shape.size(), 1);
    EXPECT_EQ(nz.shape[0]->size(), 10);
    EXPECT_EQ(eo.shape.size(), 5);
    // The inner pentagon's area is what separates the two.
    const double r = std::sin(M_PI / 10) / std::sin(7 * M_PI / 10);  // inner radius
    const double pentagon = 2.5 * r * r * std::sin(2 * M_PI / 5);
    EXPECT_NEAR(enclosedArea(nz.shape) - enclosedArea(eo.shape), pentagon, 1e-12);
}

TEST(RegionKnown, OpenSplinesAreClosedByALine) {
    // An open square missing its left side is still a square.
    const Shape open = shapeOf(polygon({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}, false));
    const ShapeResult r = run(open, square(1, 1, 2), Operation::Intersect);
    ASSERT_EQ(r.shape.size(), 1);
    EXPECT_DOUBLE_EQ(enclosedArea(r.shape), 1.0);
}

TEST(RegionRefusal, BadInputGetsATypedReasonAndNothingElse) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Shape withNan = square(0, 0, 1);
    withNan[0]->at(2)->point.x = nan;
    ShapeResult r = combine(square(0, 0, 1), withNan, Operation::Union);
    EXPECT_EQ(r.status, RegionStatus::NonFiniteCoordinate);
    EXPECT_TRUE(r.shape.isEmpty());
    Shape withInf = square(0, 0, 1);
    withInf[0]->at(1)->outVec.y = inf;
    EXPECT_EQ(resolve(withInf, FillRule::NonZero).status, RegionStatus::NonFiniteCoordinate);
    Shape badFrame = square(0, 0, 1);
    badFrame.frame.m[3][0] = nan;
    EXPECT_EQ(resolve(badFrame, FillRule::NonZero).status, RegionStatus::NonFiniteCoordinate);
    Shape huge = square(0, 0, 1);
    place(huge, 1.0, {2e9, 0, 0});
    EXPECT_EQ(combine(huge, square(0, 0, 1), Operation::Union).status,
              RegionStatus::CoordinateTooLarge);
    // A frame can carry a shape out of range too.
    Shape far = square(0, 0, 1);
    far.frame = translation({0, -5e9, 0});
    EXPECT_EQ(resolve(far, FillRule::NonZero).status, RegionStatus::CoordinateTooLarge);
    RegionOptions options;
    options.threshold = -1.0;
    EXPECT_EQ(combine(square(0, 0, 1), square(0, 0, 1), Operation::Union, options).status,
              RegionStatus::InvalidThreshold);
    options.threshold = nan;
    EXPECT_EQ(combine(square(0, 0, 1), square(0, 0, 1), Operation::Union, options).status,
              RegionStatus::InvalidThreshold);
    // A number cast to an operation that names none is refused, not taken
    // for an operation that answers nothing.
    const ShapeResult unknown =
        combine(square(0, 0, 1), square(0.5, 0, 1), static_cast<Operation>(5));
    EXPECT_EQ(unknown.status, RegionStatus::UnknownOperation);
    EXPECT_TRUE(unknown.shape.isEmpty());
    for (RegionStatus s :
         {RegionStatus::Ok, RegionStatus::NonFiniteCoordinate, RegionStatus::CoordinateTooLarge,
          RegionStatus::TooManyKnots, RegionStatus::InvalidThreshold, RegionStatus::Unresolved,
          RegionStatus::UnknownOperation})
        EXPECT_FALSE(describe(s).empty());
}

TEST(RegionFarOff, ASmallShapeFarFromTheOriginIsCombinedAsAtTheOrigin) {
    // A square of side 4e-5 at (6.8e8, 2.4e8), where the coordinates
    // themselves resolve only about 7e-6: it vanished before.
    const ShapeResult far = resolve(square(6.8e8, 2.4e8, 4e-5), FillRule::NonZero);
    ASSERT_TRUE(far.ok()) << describe(far).toStdString();
    ASSERT_EQ(far.shape.size(), 1);
    // Its knots come back bit for bit.
    EXPECT_EQ(far.shape.first()->first()->point.x, 6.8e8);
    // The whole square, as the doubles there draw it (its side is 4.005e-5).
    EXPECT_EQ(enclosedArea(far.shape), enclosedArea(square(6.8e8, 2.4e8, 4e-5)));

    // Curves that cross far off answer as the same curves at the origin.
    for (Operation op : {Operation::Union, Operation::Intersect, Operation::SubtrA}) {
        const ShapeResult there = combine(shapeOf(circle(6.8e8, 2.4e8, 1e-3)),
                                          shapeOf(circle(6.8e8 + 5e-4, 2.4e8, 1e-3)), op);
        const ShapeResult here =
            combine(shapeOf(circle(0, 0, 1e-3)), shapeOf(circle(5e-4, 0, 1e-3)), op);
        ASSERT_TRUE(there.ok() && here.ok()) << describe(there).toStdString();
        EXPECT_EQ(there.shape.size(), here.shape.size());
        EXPECT_NEAR(enclosedArea(there.shape), enclosedArea(here.shape),
                    1e-4 * enclosedArea(here.shape));
    }

    // Fewer than a few dozen steps between doubles across: refused, never
    // merged into nothing.
    const ShapeResult tiny = resolve(square(1e8, 1e8, 1e-7), FillRule::NonZero);
    EXPECT_EQ(tiny.status, RegionStatus::TooSmallForPosition);
    EXPECT_TRUE(tiny.shape.isEmpty());
    EXPECT_NE(describe(tiny).indexOf(QStringLiteral("too small for where they lie")), -1);
}

TEST(RegionRefusal, TooManyKnots) {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    for (int i = 0; i <= kMaxRegionKnots; ++i) {
        const Point3d p(std::cos(i * 1e-5), std::sin(i * 1e-5), 0);
        s->append(new Knot(p, p, p, 0.0, Knot::Corner));
    }
    const Shape big = shapeOf(std::move(s));
    EXPECT_EQ(combine(big, square(0, 0, 1), Operation::Union).status, RegionStatus::TooManyKnots);
}

TEST(RegionDegenerate, NoCrashOrHangAndNoFalseArea) {
    // All knots at one point, and zero-length segments inside a square.
    const Shape dot = shapeOf(polygon({{1, 1, 0}, {1, 1, 0}, {1, 1, 0}}));
    ShapeResult r = combine(dot, square(0, 0, 2), Operation::Union);
    ASSERT_TRUE(r.ok());
    EXPECT_DOUBLE_EQ(enclosedArea(r.shape), 4.0);
    EXPECT_TRUE(combine(dot, dot, Operation::Union).shape.isEmpty());
    const Shape stutter = shapeOf(
        polygon({{0, 0, 0}, {0, 0, 0}, {2, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {0, 2, 0}}));
    r = combine(stutter, square(1, 1, 2), Operation::Union);
    ASSERT_TRUE(r.ok());
    EXPECT_DOUBLE_EQ(enclosedArea(r.shape), 7.0);
    // Collinear handles, a segment doubling back on itself: no area at all.
    const Shape spike = shapeOf(polygon({{0, 0, 0}, {3, 0, 0}, {1, 0, 0}}));
    r = resolve(spike, FillRule::NonZero);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.shape.isEmpty());
    // Empty shapes and splines of one knot.
    Shape empty;
    EXPECT_TRUE(combine(empty, empty, Operation::Union).shape.isEmpty());
    EXPECT_DOUBLE_EQ(enclosedArea(combine(empty, square(0, 0, 1), Operation::Xor).shape), 1.0);
    const Shape single = shapeOf(polygon({{3, 3, 0}}));
    EXPECT_TRUE(resolve(single, FillRule::EvenOdd).shape.isEmpty());
    // Near the coordinate limit, with a span of the same size.
    Shape wide = square(-5e8, -5e8, 1e9);
    r = combine(wide, shapeOf(circle(0, 0, 4e8)), Operation::SubtrA);
    ASSERT_TRUE(r.ok());
    EXPECT_NEAR(enclosedArea(r.shape), 1e18 - enclosedArea(shapeOf(circle(0, 0, 4e8))), 1e9);
}
