// The region engine against independent measures on generated pairs: the
// exact areas of the answers obey the set identities, every answer segment
// lies on an input curve, and the answer's loops never cross one another.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "pathshapes.h"
#include "regionshapes.h"
#include "shaperegion/shaperegion.h"

using namespace carvex;

namespace {

struct Case {
    std::string name;
    std::function<Shape()> a;
    std::function<Shape()> b;
    bool simple = true;  // inputs that neither cross nor overlap themselves
};

Shape two(std::unique_ptr<Spline> x, std::unique_ptr<Spline> y) {
    std::vector<std::unique_ptr<Spline>> v;
    v.push_back(std::move(x));
    v.push_back(std::move(y));
    return shapeOf(std::move(v));
}

std::vector<Case> cases() {
    std::vector<Case> c;
    c.push_back({"circles", [] { return shapeOf(circle(0, 0, 1)); },
                 [] { return shapeOf(circle(0.6, 0.1, 1)); }});
    c.push_back({"round splines", [] { return shapeOf(roundSpline(0, 0, 1, 64)); },
                 [] { return shapeOf(roundSpline(0.6, 0.1, 1, 64)); }});
    c.push_back({"rounded rectangles", [] { return shapeOf(roundedRectangle(0, 0, 3, 2, 0.5)); },
                 [] { return shapeOf(roundedRectangle(1, 0.7, 4, 3, 0.8)); }});
    for (unsigned seed = 1; seed <= 4; ++seed)
        c.push_back({"blobs " + std::to_string(seed),
                     [seed] { return shapeOf(blob(0, 0, 1, 9 + seed, seed)); },
                     [seed] { return shapeOf(blob(0.5, 0.3, 1, 7 + 2 * seed, 100 + seed)); }});
    c.push_back({"ring and bar", [] { return ring(0, 0, 10, 6); },
                 [] { return shapeOf(rectangle(-12, -1, 12, 1)); }});
    c.push_back({"ring and disc", [] { return ring(0, 0, 2, 1); },
                 [] { return shapeOf(circle(1.5, 0.2, 0.9)); }});
    c.push_back({"combs crossed", [] { return shapeOf(comb(0, 0, 10, 10, 6)); },
                 [] {
                     Shape s = shapeOf(comb(0, 0, 10, 10, 5));
                     Matrix3d m;  // a quarter turn about (5, 5)
                     m.m[0][0] = 0;
                     m.m[0][1] = 1;
                     m.m[1][0] = -1;
                     m.m[1][1] = 0;
                     m.m[3][0] = 10.3;
                     m.m[3][1] = -0.2;
                     for (Spline* sp : s)
                         sp->transformKnots(m);
                     return s;
                 }});
    c.push_back({"stars", [] { return shapeOf(star(0, 0, 3, 5, 24)); },
                 [] { return shapeOf(star(0.2, 0.1, 3.2, 4.8, 31, 0.1)); }});
    c.push_back({"star and gear", [] { return shapeOf(star(0, 0, 4, 5, 40, 0.0, 0.0)); },
                 [] { return shapeOf(star(0, 0, 4.2, 4.9, 37, 0.05, 0.4)); }});
    c.push_back({"nested holes",
                 [] {
                     std::vector<std::unique_ptr<Spline>> v;
                     v.push_back(rectangle(0, 0, 10, 10));
                     v.push_back(reversedSpline(rectangle(2, 2, 8, 8)));
                     v.push_back(rectangle(4, 4, 6, 6));
                     return shapeOf(std::move(v));
                 },
                 [] { return two(circle(5, 5, 4.5), reversedSpline(circle(5, 5, 1.5))); }});
    c.push_back({"shared edges", [] { return shapeOf(rectangle(0, 0, 2, 1)); },
                 [] { return shapeOf(roundedRectangle(2, -0.5, 4, 1, 0.3)); }});
    c.push_back({"overlapping edge", [] { return shapeOf(rectangle(0, 0, 2, 2)); },
                 [] { return shapeOf(rectangle(0.5, 2, 1.5, 3)); }});
    c.push_back(
        {"touching corners", [] { return square(0, 0, 1); }, [] { return square(1, 1, 1); }});
    // Two outlines crossing where each has a knot, and nowhere near it: the
    // shared knot is the only sign that they meet there.
    c.push_back({"crossing at a shared knot",
                 [] {
                     return shapeOf(polygon({{-2, 2, 0}, {0, 0, 0}, {2, -2, 0}, {3, 3, 0}}));
                 },
                 [] {
                     return shapeOf(polygon({{-3, 3, 0}, {-2, -2, 0}, {0, 0, 0}, {2, 2, 0}}));
                 }});
    // The same, where the boxes of the stretches that meet there overlap.
    c.push_back({"crossing at a shared knot, boxes overlapping",
                 [] {
                     return shapeOf(polygon({{-5, 1, 0},
                                             {-0.2, 0.1, 0},
                                             {0, 0, 0},
                                             {0.2, -0.1, 0},
                                             {5, -1, 0},
                                             {5, 5, 0},
                                             {-5, 5, 0}}));
                 },
                 [] {
                     return shapeOf(polygon({{-6, 6, 0},
                                             {-6, -6, 0},
                                             {1, -6, 0},
                                             {0.1, -0.2, 0},
                                             {0, 0, 0},
                                             {-0.1, 0.2, 0},
                                             {-1, 6, 0}}));
                 }});
    c.push_back({"tangent circles", [] { return shapeOf(circle(0, 0, 1)); },
                 [] { return shapeOf(circle(0, 0.5, 0.5)); }});
    c.push_back({"identical", [] { return shapeOf(star(0, 0, 3, 5, 9)); },
                 [] { return shapeOf(star(0, 0, 3, 5, 9)); }});
    c.push_back({"nearly identical", [] { return shapeOf(blob(0, 0, 1, 12, 7)); },
                 [] {
                     Shape s = shapeOf(blob(0, 0, 1, 12, 7));
                     place(s, 1.0, {1e-12, -1e-12, 0});
                     return s;
                 }});
    c.push_back({"contained", [] { return shapeOf(circle(0, 0, 3)); },
                 [] { return shapeOf(star(0.2, 0, 1, 2, 6)); }});
    return c;
}

constexpr double kScales[] = {1e-3, 1.0, 1e3, 1e6};

Shape scaled(Shape s, double scale) {
    place(s, scale, {0.37 * scale, -0.21 * scale, 0});
    return s;
}

double area(const ShapeResult& r) {
    EXPECT_TRUE(r.ok());
    return enclosedArea(r.shape);
}

Point3d bezier(const Knot& a, const Knot& b, double t) {
    const double s = 1 - t;
    return a.point * (s * s * s) + a.outVec * (3 * t * s * s) + b.inVec * (3 * t * t * s) +
           b.point * (t * t * t);
}

// Distance from p to the nearest input segment: dense samples, then a
// golden-section search around the best one.
double distanceToInput(const Point3d& p, const Shape& a, const Shape& b) {
    double best = 1e300;
    for (const Shape* shape : {&a, &b}) {
        for (const Spline* s : *shape) {
            const int n = s->size();
            for (int i = 0; i < n; ++i) {
                const Knot& k0 = *s->at(i);
                const Knot& k1 = *s->at((i + 1) % n);
                // The control points' box holds the segment: skip it when
                // even the box is farther than the best so far.
                double x0 = p.x, x1 = p.x, y0 = p.y, y1 = p.y;
                bool first = true;
                for (const Point3d& c : {k0.point, k0.outVec, k1.inVec, k1.point}) {
                    if (first) x0 = x1 = c.x, y0 = y1 = c.y, first = false;
                    x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
                    y0 = std::min(y0, c.y), y1 = std::max(y1, c.y);
                }
                const double gx = std::max({x0 - p.x, p.x - x1, 0.0});
                const double gy = std::max({y0 - p.y, p.y - y1, 0.0});
                if (std::hypot(gx, gy) > best) continue;
                auto dist = [&](double t) { return distance(bezier(k0, k1, t), p); };
                int bi = 0;
                double bd = dist(0);
                for (int j = 1; j <= 32; ++j)
                    if (dist(j / 32.0) < bd) bd = dist(j / 32.0), bi = j;
                double lo = std::max(0.0, (bi - 1) / 32.0);
                double hi = std::min(1.0, (bi + 1) / 32.0);
                for (int it = 0; it < 80; ++it) {
                    const double m1 = lo + (hi - lo) * 0.382;
                    const double m2 = lo + (hi - lo) * 0.618;
                    if (dist(m1) < dist(m2))
                        hi = m2;
                    else
                        lo = m1;
                }
                best = std::min({best, bd, dist(0.5 * (lo + hi))});
            }
        }
    }
    return best;
}

struct Chord {
    Point3d p;
    Point3d q;
    int loop;
    int index;
};

// Whether any two chords of a fine flattening of the answer cross properly,
// by a sweep in x; chords of one loop that follow each other are not tested.
bool loopsCross(const Shape& shape, int samples, std::string& where) {
    std::vector<Chord> chords;
    for (int l = 0; l < shape.size(); ++l) {
        const QVector<Point3d> poly = finePolygon(*shape[l], samples);
        for (int i = 0; i + 1 < poly.size(); ++i)
            chords.push_back({poly[i], poly[i + 1], l, i});
    }
    std::sort(chords.begin(), chords.end(), [](const Chord& a, const Chord& b) {
        return std::min(a.p.x, a.q.x) < std::min(b.p.x, b.q.x);
    });
    auto orient = [](const Point3d& a, const Point3d& b, const Point3d& c) {
        return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    };
    for (size_t i = 0; i < chords.size(); ++i) {
        const Chord& u = chords[i];
        const double right = std::max(u.p.x, u.q.x);
        for (size_t j = i + 1; j < chords.size(); ++j) {
            const Chord& v = chords[j];
            if (std::min(v.p.x, v.q.x) > right) break;
            if (u.p == v.p || u.p == v.q || u.q == v.p || u.q == v.q) continue;
            const double d1 = orient(u.p, u.q, v.p);
            const double d2 = orient(u.p, u.q, v.q);
            const double d3 = orient(v.p, v.q, u.p);
            const double d4 = orient(v.p, v.q, u.q);
            if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) &&
                ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) {
                where = "loops " + std::to_string(u.loop) + " and " + std::to_string(v.loop) +
                        " near (" + std::to_string(u.p.x) + ", " + std::to_string(u.p.y) + ")";
                return true;
            }
        }
    }
    return false;
}

}  // namespace

TEST(RegionIdentities, AreasAddUpOnGeneratedPairsAtEveryScale) {
    for (const Case& c : cases()) {
        for (double scale : kScales) {
            SCOPED_TRACE(c.name + " at scale " + std::to_string(scale));
            const Shape a = scaled(c.a(), scale);
            const Shape b = scaled(c.b(), scale);
            const double areaA = enclosedArea(a);
            const double areaB = enclosedArea(b);
            ASSERT_GT(areaA, 0.0);
            ASSERT_GT(areaB, 0.0);
            const double uni = area(combine(a, b, Operation::Union));
            const double inter = area(combine(a, b, Operation::Intersect));
            const double aMinusB = area(combine(a, b, Operation::SubtrA));
            const double bMinusA = area(combine(a, b, Operation::SubtrB));
            const double xorArea = area(combine(a, b, Operation::Xor));
            const double tol = 1e-9 * std::max(areaA, areaB);
            EXPECT_NEAR(uni + inter, areaA + areaB, tol);
            EXPECT_NEAR(aMinusB, areaA - inter, tol);
            EXPECT_NEAR(bMinusA, areaB - inter, tol);
            EXPECT_NEAR(xorArea, uni - inter, tol);
            EXPECT_GE(inter, -tol);
            EXPECT_LE(inter, std::min(areaA, areaB) + tol);
        }
    }
}

TEST(RegionIdentities, SamePictureAtAnyScaleGivesTheSameAnswer) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const ShapeResult unit = combine(c.a(), c.b(), Operation::SubtrA);
        for (double scale : kScales) {
            const ShapeResult r =
                combine(scaled(c.a(), scale), scaled(c.b(), scale), Operation::SubtrA);
            EXPECT_EQ(r.shape.size(), unit.shape.size()) << "scale " << scale;
            int knots = 0;
            int unitKnots = 0;
            for (const Spline* s : r.shape)
                knots += s->size();
            for (const Spline* s : unit.shape)
                unitKnots += s->size();
            EXPECT_EQ(knots, unitKnots) << "scale " << scale;
        }
    }
}

TEST(RegionAnswer, SegmentsLieOnInputCurvesAndLoopsNeverCross) {
    for (const Case& c : cases()) {
        const Shape a = c.a();
        const Shape b = c.b();
        for (Operation op :
             {Operation::Union, Operation::Intersect, Operation::SubtrA, Operation::Xor}) {
            SCOPED_TRACE(c.name + " op " + std::to_string(int(op)));
            const ShapeResult r = combine(a, b, op);
            ASSERT_TRUE(r.ok());
            double extent = 0.0;
            for (const Shape* s : {&a, &b})
                for (const Spline* sp : *s)
                    for (const Knot* k : *sp)
                        extent = std::max({extent, std::fabs(k->point.x), std::fabs(k->point.y)});
            double worst = 0.0;
            for (const Spline* s : r.shape) {
                EXPECT_TRUE(s->closed);
                const int n = s->size();
                for (int i = 0; i < n; ++i)
                    for (double t : {0.0, 0.13, 0.5, 0.87})
                        worst = std::max(
                            worst,
                            distanceToInput(bezier(*s->at(i), *s->at((i + 1) % n), t), a, b));
            }
            EXPECT_LT(worst, 1e-9 * extent);
            std::string where;
            EXPECT_FALSE(loopsCross(r.shape, 48, where)) << where;
        }
    }
}

TEST(RegionAnswer, SelfCrossingInputsResolveByTheirFillRule) {
    // Two overlapping discs in one shape: nonzero fills their union, even-odd
    // leaves out their lens; either way the answer's loops do not cross.
    const Shape pair = two(circle(0, 0, 1), circle(0.8, 0, 1));
    const Shape lensA = shapeOf(circle(0, 0, 1));
    const Shape lensB = shapeOf(circle(0.8, 0, 1));
    const double lens = area(combine(lensA, lensB, Operation::Intersect));
    const double both = area(combine(lensA, lensB, Operation::Union));
    const ShapeResult nz = resolve(pair, FillRule::NonZero);
    const ShapeResult eo = resolve(pair, FillRule::EvenOdd);
    EXPECT_NEAR(area(nz), both, 1e-12);
    EXPECT_NEAR(area(eo), both - lens, 1e-12);
    std::string where;
    EXPECT_FALSE(loopsCross(eo.shape, 64, where)) << where;
    // A figure eight counts its lobes with opposite signs; both are filled.
    const Shape eight = shapeOf(polygon({{0, 0, 0}, {2, 2, 0}, {2, 0, 0}, {0, 2, 0}}));
    const ShapeResult r = resolve(eight, FillRule::NonZero);
    ASSERT_EQ(r.shape.size(), 2);
    EXPECT_NEAR(area(r), 2.0, 1e-12);
}

TEST(RegionAnswer, ThresholdMergesNearKnots) {
    // A square whose copy is shifted by less than the threshold is the square.
    RegionOptions options;
    options.threshold = 1e-4;
    Shape b = square(0, 0, 1);
    place(b, 1.0, {5e-5, -5e-5, 0});
    const ShapeResult r = combine(square(0, 0, 1), b, Operation::Union, options);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.shape.size(), 1);
    EXPECT_EQ(r.shape[0]->size(), 4);
    EXPECT_NEAR(area(r), 1.0, 1e-3);
    EXPECT_TRUE(combine(square(0, 0, 1), b, Operation::Xor, options).shape.isEmpty());
}

TEST(RegionAnswer, ACoarseThresholdJoinsPointsOrIsRefusedNeverLosesTheShapes) {
    // Crossings 2 from the square's corners. Up to a threshold of 1 nothing
    // is joined; coarser ones may join crossings to the corners, moving the
    // outline by about the threshold, or refuse; what they may not do is
    // answer a region that lost more than the threshold can move.
    const Shape base = shapeOf(rectangle(0, 0, 10, 10));
    const Shape operand = shapeOf(rectangle(5, 2, 15, 8));
    const double exact = 100.0 + 5.0 * 6.0;
    const double perimeter = 52.0;
    for (double t : {1e-4, 0.01, 0.5, 1.0}) {
        RegionOptions options;
        options.threshold = t;
        const ShapeResult r = combine(base, operand, Operation::Union, options);
        ASSERT_TRUE(r.ok()) << t;
        EXPECT_NEAR(area(r), exact, 1e-9) << t;
        EXPECT_EQ(r.shape[0]->size(), 8) << t;
    }
    for (double t : {1.9, 2.0, 3.0, 4.0, 6.0, 10.0, 1e3}) {
        RegionOptions options;
        options.threshold = t;
        const ShapeResult r = combine(base, operand, Operation::Union, options);
        if (r.ok()) {
            EXPECT_NEAR(area(r), exact, 0.5 * t * perimeter) << t;
        }
    }
    RegionOptions coarse;
    coarse.threshold = 6.0;
    EXPECT_EQ(combine(base, operand, Operation::Union, coarse).status,
              RegionStatus::ThresholdTooCoarse);
}

TEST(RegionAnswer, KnotsFinerThanTheThresholdAreNotChainedIntoOnePoint) {
    // A circle drawn as 1,000 straight segments 0.063 long, united with a
    // square over a quarter of it: thresholds past the spacing must neither
    // drop the circle nor join its knots into a point.
    auto circle = std::make_unique<Spline>(QStringLiteral("Spline"), true);
    for (int i = 0; i < 1000; ++i) {
        const double a = 2.0 * M_PI * i / 1000.0;
        const Point3d p(10.0 * std::cos(a), 10.0 * std::sin(a), 0.0);
        circle->append(new Knot(p, p, p, 0.0, Knot::Corner));
    }
    const Shape polygon = shapeOf(std::move(circle));
    const Shape sq = shapeOf(rectangle(0, 0, 20, 20));
    const double exact = enclosedArea(polygon) * 0.75 + 400.0;
    for (double t : {0.01, 0.05, 0.07, 0.1, 0.5}) {
        RegionOptions options;
        options.threshold = t;
        const ShapeResult r = combine(polygon, sq, Operation::Union, options);
        if (r.ok()) {
            EXPECT_NEAR(area(r), exact, 0.5 * t * 2.0 * M_PI * 10.0) << t;
        } else {
            EXPECT_EQ(r.status, RegionStatus::ThresholdTooCoarse) << t;
        }
    }
}

TEST(RegionIdentities, StacksOfNudgedCopiesAreTheirUnionOrRefused) {
    // Copies of a circle each moved a little further along x: their union
    // under nonzero is the circle stretched by the stack's length. Five
    // copies 3e-6 apart used to be answered as nothing at all: edges at
    // shallow crossings were ordered wrongly and carried windings that
    // agreed with each other but not with the circles.
    const double one = exactArea(*circle(0, 0, 0.5));
    for (int n : {2, 3, 5, 6, 8}) {
        for (double d : {1e-7, 1e-6, 3e-6, 1e-5}) {
            Shape stack;
            for (int i = 0; i < n; ++i)
                stack.addSpline(circle(d * i, 0, 0.5).release());
            const ShapeResult r = resolve(stack, FillRule::NonZero);
            if (!r.ok()) continue;
            const double stretched = one + (n - 1) * d * 1.0;
            EXPECT_NEAR(area(r), stretched, 4.0 * n * d + 1e-9) << n << " copies " << d << " apart";
        }
    }
    // Deep stacks well within the merge distance pile their crossings at a
    // few places; they are answered, not refused.
    for (double d : {1e-8, 1e-7}) {
        Shape stack;
        for (int i = 0; i < 20; ++i)
            stack.addSpline(circle(d * i, 0, 0.5).release());
        const ShapeResult r = resolve(stack, FillRule::NonZero);
        ASSERT_TRUE(r.ok()) << describe(r).toStdString();
        EXPECT_NEAR(area(r), one + 19 * d, 4.0 * 20 * d + 1e-9) << d;
    }
}

TEST(RegionIdentities, CopiesSideBySideKeepTheirShallowCrossings) {
    // Copies of a rounded rectangle moved along a slant, each 1e-7 (500
    // merge distances) further: they run side by side and cross at very
    // shallow angles where their tangents turn along the slant. A convex
    // shape moved along a segment sweeps the segment's length times its
    // width across the slant; the width is measured on the drawn curves.
    const double slant = 1.2;
    const Point3d along(std::cos(slant), std::sin(slant), 0);
    const Point3d across(-along.y, along.x, 0);
    const auto outline = [] { return roundedRectangle(-0.5, -0.4, 0.5, 0.4, 0.1); };
    double lo = 1e300;
    double hi = -1e300;
    const auto drawn = outline();
    for (int i = 0; i < drawn->size(); ++i)
        for (int k = 0; k <= 1000; ++k) {
            const Point3d p = bezier(*drawn->at(i), *drawn->at((i + 1) % drawn->size()), k / 1e3);
            lo = std::min(lo, p.x * across.x + p.y * across.y);
            hi = std::max(hi, p.x * across.x + p.y * across.y);
        }
    const double one = exactArea(*drawn);
    const double step = 1e-7;
    const int copies = 30;
    Shape stack;
    for (int i = 0; i < copies; ++i) {
        auto copy = outline();
        for (Knot* k : *copy)
            for (Point3d* p : {&k->point, &k->inVec, &k->outVec})
                *p = *p + along * (step * i);
        stack.addSpline(copy.release());
    }
    const double swept = (copies - 1) * step * (hi - lo);
    // The whole stack may be answered at a coarser merge distance, which
    // can close the sweep up, but never loses a copy.
    const ShapeResult united = resolve(stack, FillRule::NonZero);
    ASSERT_TRUE(united.ok()) << describe(united).toStdString();
    EXPECT_GE(area(united), one - 1e-9);
    EXPECT_LE(area(united), one + swept + 1e-9);
    // Two copies against each other: each sweeps what the other leaves,
    // whether they lie a few merge distances apart or the stack's length.
    for (int i : {1, 3, 10, copies - 1}) {
        Shape first;
        Shape other;
        first.addSpline(new Spline());
        first.first()->copyFrom(*stack.at(0));
        other.addSpline(new Spline());
        other.first()->copyFrom(*stack.at(i));
        const double both = 2.0 * i * step * (hi - lo);
        const ShapeResult apart = combine(first, other, Operation::Xor);
        ASSERT_TRUE(apart.ok()) << describe(apart).toStdString();
        EXPECT_NEAR(area(apart), both, 0.02 * both) << i << " steps apart";
    }
}

TEST(RegionIdentities, NearlyCoincidentCopiesKeepTheirRegion) {
    // A shape against itself moved and turned by 1e-13 to 1e-7 of its size:
    // outlines that run along each other, merged or crossing at very shallow
    // angles. The answer may be off by slivers of that width, never more.
    std::vector<std::function<Shape()>> makers = {
        [] { return shapeOf(blob(0.3, 0.2, 1, 11, 5)); },
        [] { return shapeOf(star(0.1, 0.4, 0.5, 1.4, 9, 0.3, 0.2)); },
        [] { return ring(0.2, 0.1, 1.5, 0.6); },
        [] { return shapeOf(comb(0.1, 0.2, 2, 1.5, 5)); },
    };
    for (size_t m = 0; m < makers.size(); ++m) {
        for (double shift : {1e-13, 1e-11, 1e-9, 1e-7}) {
            for (double turn : {0.0, shift}) {
                SCOPED_TRACE("shape " + std::to_string(m) + " shift " + std::to_string(shift) +
                             " turn " + std::to_string(turn));
                const Shape a = makers[m]();
                Shape b = makers[m]();
                Matrix3d r;
                r.m[0][0] = std::cos(turn);
                r.m[0][1] = std::sin(turn);
                r.m[1][0] = -std::sin(turn);
                r.m[1][1] = std::cos(turn);
                r.m[3][0] = shift;
                r.m[3][1] = shift;
                for (Spline* s : b)
                    s->transformKnots(r);
                const double area = enclosedArea(a);
                const double tol = 1e-6 * area;
                const ShapeResult uni = combine(a, b, Operation::Union);
                const ShapeResult inter = combine(a, b, Operation::Intersect);
                const ShapeResult xorResult = combine(a, b, Operation::Xor);
                ASSERT_TRUE(uni.ok() && inter.ok() && xorResult.ok());
                EXPECT_NEAR(enclosedArea(uni.shape), area, tol);
                EXPECT_NEAR(enclosedArea(inter.shape), area, tol);
                EXPECT_NEAR(enclosedArea(xorResult.shape), 0.0, tol);
            }
        }
    }
}

TEST(RegionUnionAll, ManyRegionsInOnePassAreTheirUnionOneByOne) {
    // Thirty overlapping circles, every third drawn the other way round and
    // every fifth read even-odd: one pass gives the area that uniting them
    // one at a time gives.
    std::vector<Shape> shapes;
    std::vector<FilledShape> filled;
    for (int i = 0; i < 30; ++i) {
        auto c = circle(0.37 * (i % 6), 0.41 * (i / 6), 0.3 + 0.01 * i);
        shapes.push_back(shapeOf(i % 3 == 0 ? reversedSpline(std::move(c)) : std::move(c)));
    }
    for (size_t i = 0; i < shapes.size(); ++i)
        filled.push_back({&shapes[i], i % 5 == 0 ? FillRule::EvenOdd : FillRule::NonZero});
    const ShapeResult all = unionAll(filled);
    ASSERT_TRUE(all.ok()) << describe(all).toStdString();

    ShapeResult step = resolve(shapes[0], filled[0].fill);
    ASSERT_TRUE(step.ok());
    for (size_t i = 1; i < shapes.size(); ++i) {
        RegionOptions options;
        options.fillB = filled[i].fill;
        step = combine(step.shape, shapes[i], Operation::Union, options);
        ASSERT_TRUE(step.ok()) << i;
    }
    EXPECT_NEAR(area(all), area(step), 1e-9 * area(step));
    EXPECT_GT(area(all), exactArea(*circle(0, 0, 0.3)) * 6);

    EXPECT_TRUE(unionAll(std::vector<FilledShape>{}).ok());
    EXPECT_TRUE(unionAll(std::vector<FilledShape>{}).shape.isEmpty());

    // A region that cannot be resolved is named by its place in the list.
    Shape broken = shapeOf(rectangle(0, 0, 1, 1));
    broken[0]->at(2)->point.x = NAN;
    filled.insert(filled.begin() + 7, FilledShape{&broken, FillRule::NonZero});
    const ShapeResult refused = unionAll(filled);
    EXPECT_EQ(refused.status, RegionStatus::NonFiniteCoordinate);
    EXPECT_EQ(refused.region, 7);
}

TEST(RegionIdentities, ALatticeOfLongBarsHasItsExactAreas) {
    // Forty upright bars crossed by forty lying ones, each 1 wide and 160
    // long, the first upright bar flush with the lying bars' left ends. The
    // lying bars' long edges span the whole width, so the crossing search
    // holds all of them at once, while every upright bar reaches from the
    // bottom to the top of the picture. Every crossing is a unit square.
    Shape upright;
    Shape lying;
    for (int i = 0; i < 40; ++i) {
        upright.addSpline(rectangle(4 * i, 0, 4 * i + 1, 160).release());
        lying.addSpline(rectangle(0, 4 * i + 2, 160, 4 * i + 3).release());
    }
    struct Want {
        Operation op;
        double area;
        int loops;  // -1: not counted
    };
    const Want wants[] = {{Operation::Union, 11200, 1 + 39 * 39},
                          {Operation::Intersect, 1600, 40 * 40},
                          {Operation::SubtrA, 4800, 40 * 41},
                          {Operation::SubtrB, 4800, 40 * 40},
                          {Operation::Xor, 9600, -1}};
    for (const Want& want : wants) {
        const ShapeResult r = combine(upright, lying, want.op);
        ASSERT_TRUE(r.ok()) << "operation " << int(want.op) << ": " << describe(r).toStdString();
        EXPECT_NEAR(area(r), want.area, 1e-9 * want.area) << "operation " << int(want.op);
        if (want.loops >= 0) {
            EXPECT_EQ(r.shape.size(), want.loops) << "operation " << int(want.op);
        }
    }
}

// The same loops, knot for knot, in the same order.
void expectSameKnots(const ShapeResult& r, const ShapeResult& want) {
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.shape.size(), want.shape.size());
    for (int s = 0; s < want.shape.size(); ++s) {
        ASSERT_EQ(r.shape[s]->size(), want.shape[s]->size());
        for (int k = 0; k < want.shape[s]->size(); ++k) {
            EXPECT_EQ(r.shape[s]->at(k)->point.x, want.shape[s]->at(k)->point.x);
            EXPECT_EQ(r.shape[s]->at(k)->point.y, want.shape[s]->at(k)->point.y);
        }
    }
}

TEST(RegionUnionAll, APileOfSquaresIsTheCellsTheyCoverOnAnyThread) {
    // Six hundred squares with whole-number corners piled on a 30 x 30 grid,
    // many sharing stretches of edge: their union fills exactly the unit
    // cells some square covers. The list is long enough for its halves to
    // be united on two threads when a core is spare; calls made at once
    // share the spare cores, so some run on one thread, and every answer
    // must be the same loops, knot for knot.
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<int> corner(0, 26);
    std::uniform_int_distribution<int> side(1, 4);
    std::vector<Shape> shapes;
    std::vector<bool> covered(30 * 30, false);
    for (int i = 0; i < 600; ++i) {
        const int x = corner(rng);
        const int y = corner(rng);
        const int w = side(rng);
        const int h = side(rng);
        shapes.push_back(shapeOf(rectangle(x, y, x + w, y + h)));
        for (int cx = x; cx < x + w; ++cx)
            for (int cy = y; cy < y + h; ++cy)
                covered[cy * 30 + cx] = true;
    }
    std::vector<FilledShape> filled;
    for (const Shape& s : shapes)
        filled.push_back({&s, FillRule::NonZero});
    const double cells = double(std::count(covered.begin(), covered.end(), true));

    const ShapeResult alone = unionAll(filled);
    ASSERT_TRUE(alone.ok()) << describe(alone).toStdString();
    EXPECT_NEAR(area(alone), cells, 1e-9 * cells);

    std::vector<ShapeResult> together(3);
    std::vector<std::thread> callers;
    for (ShapeResult& r : together)
        callers.emplace_back([&r, &filled] { r = unionAll(filled); });
    for (std::thread& t : callers)
        t.join();
    for (const ShapeResult& r : together)
        expectSameKnots(r, alone);
}

TEST(RegionUnionAll, GearsCrossingThousandsOfTimesGiveTheSameLoopsOnAnyThread) {
    // Enough edges for the answer check to count its rays on a spare core
    // while the windings are worked out: calls made at once share the spare
    // core, so some count them on one thread, and the loops must agree knot
    // for knot. Their exact areas obey the set identities.
    const Shape a = shapeOf(gearSpline(0, 0, 1, 2048, 0.0));
    const Shape b = shapeOf(gearPartner(0, 0, 1, 2048));
    const double both = enclosedArea(a) + enclosedArea(b);
    const double common = area(combine(a, b, Operation::Intersect));
    const double tol = 1e-9 * both;
    for (Operation op : {Operation::Union, Operation::Xor}) {
        const ShapeResult alone = combine(a, b, op);
        ASSERT_TRUE(alone.ok()) << describe(alone).toStdString();
        EXPECT_NEAR(area(alone), op == Operation::Union ? both - common : both - 2.0 * common, tol);
        std::vector<ShapeResult> together(3);
        std::vector<std::thread> callers;
        for (ShapeResult& r : together)
            callers.emplace_back([&r, &a, &b, op] { r = combine(a, b, op); });
        for (std::thread& t : callers)
            t.join();
        for (const ShapeResult& r : together)
            expectSameKnots(r, alone);
    }
}

#ifndef _WIN32
TEST(RegionUnionAll, AChildForkedAfterTheSpareCoresStartedStillAnswers) {
    // The threads kept for the spare cores are not copied into a forked
    // child (as Python's multiprocessing makes them): work handed to them
    // there would never end. The child gets a minute, then the alarm.
    const Shape a = shapeOf(gearSpline(0, 0, 1, 2048, 0.0));
    const Shape b = shapeOf(gearPartner(0, 0, 1, 2048));
    const ShapeResult parent = combine(a, b, Operation::Union);
    ASSERT_TRUE(parent.ok());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(60);
        const ShapeResult r = combine(a, b, Operation::Union);
        _exit(r.ok() && r.shape.size() == parent.shape.size() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the child was stopped by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST(RegionUnionAll, SquaresSideBySideAreOneBarLessTheNotch) {
    // Twelve hundred unit squares in a row, then in a column, enough edges
    // for the answer check to count its rays on a spare core; the column
    // is tall enough for the crossing search to sweep it in bands, the
    // lower half on a spare core. Every shared side must be cut and folded,
    // leaving one bar of the squares' area with a 2 x 0.5 notch cut out of
    // its middle, the same loops knot for knot from calls made at once
    // (which share the spare core, so that some work on one thread).
    const int n = 1200;
    for (bool column : {false, true}) {
        Paths squares;
        for (int i = 0; i < n; ++i)
            squares.push_back(column ? testshapes::box(0, i, 1, i + 1)
                                     : testshapes::box(i, 0, i + 1, 1));
        const double m = n / 2;
        const Paths notch{column ? testshapes::box(0.5, m - 1, 2, m + 1)
                                 : testshapes::box(m - 1, 0.5, m + 1, 2)};
        const RegionResult bar = combine(squares, notch, Operation::SubtrA);
        ASSERT_TRUE(bar.ok()) << describe(bar.status);
        ASSERT_EQ(bar.loops.size(), 1u);
        EXPECT_NEAR(enclosedArea(bar.loops), n - 1.0, 1e-9 * n) << column;
        std::vector<RegionResult> together(3);
        std::vector<std::thread> callers;
        for (RegionResult& r : together)
            callers.emplace_back(
                [&r, &squares, &notch] { r = combine(squares, notch, Operation::SubtrA); });
        for (std::thread& t : callers)
            t.join();
        for (const RegionResult& r : together) {
            ASSERT_EQ(r.loops.size(), 1u);
            ASSERT_EQ(r.loops[0].knots.size(), bar.loops[0].knots.size());
            for (size_t k = 0; k < r.loops[0].knots.size(); ++k) {
                EXPECT_EQ(r.loops[0].knots[k].point.x, bar.loops[0].knots[k].point.x);
                EXPECT_EQ(r.loops[0].knots[k].point.y, bar.loops[0].knots[k].point.y);
            }
        }
    }
}

TEST(RegionUnionAll, TheFirstRegionRefusedIsNamedHoweverLongTheList) {
    // Three thousand small squares hold enough knots for their halves to be
    // resolved side by side: a refusal in either half comes back, and of
    // two the one earlier in the list, as one thread would find them.
    std::vector<FilledPaths> regions;
    for (int i = 0; i < 3000; ++i) {
        const Shape s = shapeOf(rectangle(i % 60, i / 60, i % 60 + 0.5, i / 60 + 0.5));
        FilledPaths region;
        RegionStatus status = RegionStatus::Ok;
        ASSERT_TRUE(pathsOf(s, &region.paths, &status));
        regions.push_back(region);
    }
    std::vector<FilledPaths> late = regions;
    late[2500].paths[0].knots[1].point.x = NAN;
    const RegionResult lateRefusal = unionAll(late);
    EXPECT_EQ(lateRefusal.status, RegionStatus::NonFiniteCoordinate);
    EXPECT_EQ(lateRefusal.region, 2500);

    std::vector<FilledPaths> both = late;
    both[40].paths[0].knots[2].point.y = INFINITY;
    const RegionResult earlyRefusal = unionAll(std::move(both));
    EXPECT_EQ(earlyRefusal.status, RegionStatus::NonFiniteCoordinate);
    EXPECT_EQ(earlyRefusal.region, 40);

    const RegionResult all = unionAll(regions);
    ASSERT_TRUE(all.ok());
    EXPECT_NEAR(enclosedArea(all.loops), 3000 * 0.25, 1e-9);
}

TEST(RegionUnionAll, ALongListOfShapesAnswersAsItsPaths) {
    // Three thousand small squares as shapes, enough knots for their
    // conversion and the answer's splines to be made in halves side by
    // side: the answer is the paths' answer knot for knot, its area the
    // paths' area to the bit, and a frame that is not finite, in either
    // half, names the first such shape as one thread would.
    std::vector<Shape> shapes;
    std::vector<FilledPaths> regions;
    for (int i = 0; i < 3000; ++i) {
        shapes.push_back(shapeOf(rectangle(i % 60, i / 60, i % 60 + 0.75, i / 60 + 0.5)));
        FilledPaths region;
        RegionStatus status = RegionStatus::Ok;
        ASSERT_TRUE(pathsOf(shapes.back(), &region.paths, &status));
        regions.push_back(region);
    }
    std::vector<FilledShape> filled;
    for (const Shape& s : shapes)
        filled.push_back({&s, FillRule::NonZero});
    const ShapeResult asShapes = unionAll(filled);
    const RegionResult asPaths = unionAll(regions);
    ASSERT_TRUE(asShapes.ok() && asPaths.ok());
    ASSERT_EQ(asShapes.shape.size(), int(asPaths.loops.size()));
    for (int i = 0; i < asShapes.shape.size(); ++i) {
        const Spline& spline = *asShapes.shape[i];
        ASSERT_EQ(spline.size(), int(asPaths.loops[i].knots.size())) << i;
        for (int k = 0; k < spline.size(); ++k) {
            EXPECT_EQ(spline.at(k)->point.x, asPaths.loops[i].knots[k].point.x);
            EXPECT_EQ(spline.at(k)->point.y, asPaths.loops[i].knots[k].point.y);
        }
    }
    EXPECT_EQ(enclosedArea(asShapes.shape), enclosedArea(asPaths.loops));
    EXPECT_NEAR(enclosedArea(asShapes.shape), 3000 * 0.375, 1e-9);

    Shape lateBroken = shapeOf(rectangle(0, 0, 1, 1));
    lateBroken.frame.m[0][0] = NAN;
    Shape earlyBroken = shapeOf(rectangle(0, 0, 1, 1));
    earlyBroken.frame.m[1][1] = INFINITY;
    std::vector<FilledShape> late = filled;
    late[2500] = {&lateBroken, FillRule::NonZero};
    const ShapeResult lateRefusal = unionAll(late);
    EXPECT_EQ(lateRefusal.status, RegionStatus::NonFiniteCoordinate);
    EXPECT_EQ(lateRefusal.region, 2500);
    std::vector<FilledShape> both = late;
    both[40] = {&earlyBroken, FillRule::NonZero};
    const ShapeResult earlyRefusal = unionAll(both);
    EXPECT_EQ(earlyRefusal.status, RegionStatus::NonFiniteCoordinate);
    EXPECT_EQ(earlyRefusal.region, 40);
}

TEST(RegionUnionAll, AListHandedOverAnswersAsAListLent) {
    // The same overlapping circles, half drawn the other way round: handed
    // over, the list is let go as it is read and the answer is the same
    // loops, knot for knot; a refusal still names its region.
    std::vector<FilledPaths> lent;
    for (int i = 0; i < 24; ++i) {
        auto c = circle(0.45 * (i % 5), 0.5 * (i / 5), 0.35);
        const Shape s = shapeOf(i % 2 ? reversedSpline(std::move(c)) : std::move(c));
        FilledPaths region;
        RegionStatus status = RegionStatus::Ok;
        ASSERT_TRUE(pathsOf(s, &region.paths, &status));
        lent.push_back(region);
    }
    std::vector<FilledPaths> handed = lent;
    const RegionResult kept = unionAll(lent);
    const RegionResult given = unionAll(std::move(handed));
    ASSERT_TRUE(kept.ok() && given.ok());
    ASSERT_EQ(kept.loops.size(), given.loops.size());
    for (size_t i = 0; i < kept.loops.size(); ++i) {
        ASSERT_EQ(kept.loops[i].knots.size(), given.loops[i].knots.size());
        for (size_t k = 0; k < kept.loops[i].knots.size(); ++k)
            EXPECT_EQ(kept.loops[i].knots[k].point, given.loops[i].knots[k].point);
    }
    EXPECT_FALSE(lent.front().paths.empty());
    EXPECT_GT(enclosedArea(given.loops), 5 * 3.14159 * 0.35 * 0.35);

    std::vector<FilledPaths> broken = lent;
    broken[9].paths[0].knots[1].point.x = NAN;
    const RegionResult refused = unionAll(std::move(broken));
    EXPECT_EQ(refused.status, RegionStatus::NonFiniteCoordinate);
    EXPECT_EQ(refused.region, 9);
}

TEST(RegionIdentities, AStackOfThirtyNudgedCirclesCutByASquareIsTheirSegment) {
    // Thirty circles of radius 0.5, each moved 1e-6 further along x, against
    // a square holding the part right of x = 0.1: the circular segment there,
    // r^2 acos(d / r) - d sqrt(r^2 - d^2), widened by the stack's 2.9e-5.
    // This was once answered as the whole square.
    Shape stack;
    for (int i = 0; i < 30; ++i)
        stack.addSpline(circle(1e-6 * i, 0, 0.5).release());
    const ShapeResult r = combine(shapeOf(rectangle(0.1, -1, 2.1, 1)), stack, Operation::Intersect);
    if (!r.ok()) GTEST_SKIP() << "refused: " << describe(r).toStdString();
    const double segment = 0.25 * std::acos(0.2) - 0.1 * std::sqrt(0.24);
    // The cubic circle lies outside the true one by up to 2.7e-4 of r.
    EXPECT_NEAR(area(r), segment, 2e-4);
}

TEST(RegionAnswer, InputsHandedOverAnswerAsInputsLent) {
    // A ring drawn with the hole the other way round, against a star: handed
    // over, both lists are let go once read and every operation answers the
    // same loops, knot for knot; bad input handed over is still refused.
    Paths ring;
    Paths star5;
    RegionStatus status = RegionStatus::Ok;
    ASSERT_TRUE(pathsOf(two(circle(0, 0, 2), reversedSpline(circle(0, 0, 1))), &ring, &status));
    ASSERT_TRUE(pathsOf(shapeOf(star(0.5, 0, 0.8, 2.6, 7)), &star5, &status));
    for (Operation op : {Operation::Union, Operation::Intersect, Operation::SubtrA,
                         Operation::SubtrB, Operation::Xor}) {
        const RegionResult kept = combine(ring, star5, op);
        Paths a = ring;
        Paths b = star5;
        const RegionResult given = combine(std::move(a), std::move(b), op);
        ASSERT_TRUE(kept.ok() && given.ok()) << int(op);
        ASSERT_EQ(kept.loops.size(), given.loops.size()) << int(op);
        for (size_t i = 0; i < kept.loops.size(); ++i) {
            ASSERT_EQ(kept.loops[i].knots.size(), given.loops[i].knots.size());
            for (size_t k = 0; k < kept.loops[i].knots.size(); ++k) {
                EXPECT_EQ(kept.loops[i].knots[k].point, given.loops[i].knots[k].point);
                EXPECT_EQ(kept.loops[i].knots[k].out, given.loops[i].knots[k].out);
            }
        }
        EXPECT_GT(std::fabs(enclosedArea(given.loops)), 0.5) << int(op);
    }
    Paths broken = star5;
    broken[0].knots[2].point.y = NAN;
    Paths a = ring;
    EXPECT_EQ(combine(std::move(a), std::move(broken), Operation::Union).status,
              RegionStatus::NonFiniteCoordinate);
}
