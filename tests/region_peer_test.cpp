// Independent checks of the region engine: the exact area of its answers
// against the area identities and against a general Bezier Boolean library
// on many generated pairs, a raster comparison with the region computed
// pixel by pixel from the inputs, loops that must not cross, and the
// orientation of outer loops and holes. The first group checks the
// measuring tools themselves, so that a fault they report is the engine's.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "region/region.h"
#include "region2geom.h"
#include "regioncheck.h"
#include "drawnshapes.h"

using namespace drawn;
using carvex::BooleanOp;
using carvex::FillRule;

namespace {

// The area a shape encloses by a dense polygon of its curves: a second,
// cruder measure for checking the closed form.
double sampledArea(const Shape& s, int samplesPerCubic) {
    double a = 0.0;
    for (const Loop& loop : loopsOf(s)) {
        std::vector<Vec2> poly;
        for (const Cubic& c : loop)
            for (int k = 0; k < samplesPerCubic; ++k)
                poly.push_back(pointAt(c, double(k) / samplesPerCubic));
        const Vec2 o = poly.front();
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const Vec2& p = poly[i];
            const Vec2& q = poly[(i + 1) % poly.size()];
            a += ((p.x - o.x) * (q.y - o.y) - (q.x - o.x) * (p.y - o.y)) / 2.0;
        }
    }
    return a;
}

double peerArea(const Geom::PathVector& pv) {
    bool ok = false;
    const Shape s = fromPathVector(pv, &ok);
    EXPECT_TRUE(ok) << "the peer answered with a curve that is neither a line nor a cubic";
    // The peer does not orient holes against their outer loops.
    return regioncheck::evenOddArea(s);
}

const PeerOp kPeerOps[] = {PeerOp::Union, PeerOp::Intersection, PeerOp::AMinusB, PeerOp::BMinusA};

BooleanOp opOf(PeerOp op) {
    switch (op) {
        case PeerOp::Union:
            return BooleanOp::Union;
        case PeerOp::Intersection:
            return BooleanOp::Intersection;
        case PeerOp::AMinusB:
            return BooleanOp::AMinusB;
        case PeerOp::BMinusA:
            return BooleanOp::BMinusA;
    }
    return BooleanOp::Union;
}

const char* nameOf(BooleanOp op) {
    switch (op) {
        case BooleanOp::Union:
            return "union";
        case BooleanOp::Intersection:
            return "intersection";
        case BooleanOp::AMinusB:
            return "a-b";
        case BooleanOp::BMinusA:
            return "b-a";
        case BooleanOp::Xor:
            return "xor";
    }
    return "?";
}

// ---------------------------------------------------------------------------
// The pairs. Generic ones have crossings at clear angles and no shared
// pieces: the peer library answers them reliably. Degenerate ones carry
// what is known of their answer instead.

struct Pair {
    std::string name;
    Shape a;
    Shape b;
    FillRule fillA = FillRule::NonZero;
    FillRule fillB = FillRule::NonZero;
};

std::vector<Pair> genericPairs() {
    std::vector<Pair> pairs;
    auto add = [&](std::string name, Shape a, Shape b, FillRule fa = FillRule::NonZero,
                   FillRule fb = FillRule::NonZero) {
        pairs.push_back({std::move(name), std::move(a), std::move(b), fa, fb});
    };
    add("overlapping circles", shapeOf({circle({0, 0}, 1)}), shapeOf({circle({1.1, 0.3}, 0.8)}));
    add("disjoint circles", shapeOf({circle({0, 0}, 1)}), shapeOf({circle({3, 0.5}, 1)}));
    add("circle inside circle", shapeOf({circle({0, 0}, 2)}), shapeOf({circle({0.3, 0.2}, 1)}));
    add("rounded rectangles", shapeOf({roundedRectangle(0, 0, 3, 2, 0.5)}),
        shapeOf({roundedRectangle(1.2, 0.9, 4, 3.1, 0.7)}));
    add("ring and bar", ring({0, 0}, 2, 1), shapeOf({rectangle(-3, -0.25, 3, 0.25)}));
    add("ring and circle", ring({0, 0}, 2, 1), shapeOf({circle({1.6, 0.7}, 0.9)}));
    add("two rings", ring({0, 0}, 2, 1.2), ring({1.5, 0.4}, 1.8, 0.9));
    add("nested rings and circle", nestedRings({0, 0}, 2, 3), shapeOf({circle({1.3, 0.4}, 1.1)}));
    add("even-odd ring and bar", ring({0, 0}, 2, 1, false), shapeOf({rectangle(-0.3, -3, 0.3, 3)}),
        FillRule::EvenOdd);
    add("combs crossing", shapeOf({comb(0, 0, 4, 2, 8)}),
        shapeOf({sidewaysComb(0.3, -0.6, 3.1, 3.3, 7)}));
    add("comb and bar", shapeOf({comb(0, 0, 4, 2, 8)}), shapeOf({rectangle(-0.5, 1.1, 4.5, 1.6)}));
    add("stars", shapeOf({star({0, 0}, 2, 0.8, 12)}),
        shapeOf({star({0.2, 0.1}, 2, 0.8, 12, 0.13, true)}));
    add("star and circle", shapeOf({star({0, 0}, 2, 0.9, 9, 0.1, true)}),
        shapeOf({circle({0.7, 0.2}, 1.3)}));
    add("gears of 64 knots", shapeOf({gear({0, 0}, 1, 64, 0.1, 0.25, false)}),
        shapeOf({gear({0, 0}, 1, 64, 0.1, 0.75, true)}));
    add("round splines of 32 knots", shapeOf({roundSpline({0, 0}, 1, 32)}),
        shapeOf({roundSpline({0.6, 0.1}, 1, 32)}));
    for (std::uint32_t seed = 1; seed <= 6; ++seed)
        add("blobs " + std::to_string(seed), shapeOf({blob(seed, {0, 0}, 1, 8 + int(seed))}),
            shapeOf({blob(seed + 100, {0.5, 0.2}, 0.9, 14 - int(seed))}));
    return pairs;
}

// ---------------------------------------------------------------------------
// The measuring tools.

TEST(RegionHarness, ExactAreaMatchesDenseSamplingAndKnownValues) {
    const Shape square = shapeOf({rectangle(1, 2, 4, 7)});
    EXPECT_DOUBLE_EQ(exactArea(square), 15.0);
    const Shape clockwise = shapeOf({rectangle(1, 2, 4, 7, false)});
    EXPECT_DOUBLE_EQ(exactArea(clockwise), -15.0);

    // Straight pieces drawn as cubics with handles on the line: same area.
    const Shape straightCubics = shapeOf({splineOf({{{0, 0}, {0, 0}, {1, 0}},
                                                    {{3, 0}, {2, 0}, {3, 1}},
                                                    {{3, 3}, {3, 2}, {2, 3}},
                                                    {{0, 3}, {1, 3}, {0, 2}}})});
    EXPECT_NEAR(exactArea(straightCubics), 9.0, 1e-14);

    for (const double r : {1e-3, 1.0, 1e6}) {
        const Shape disc = shapeOf({circle({r, -2 * r}, r)});
        const double exact = exactArea(disc);
        // A four-arc cubic circle lies within 2.8e-4 r of the true circle.
        EXPECT_NEAR(exact / (M_PI * r * r), 1.0, 6e-4);
        EXPECT_NEAR(exact / sampledArea(disc, 60000), 1.0, 1e-9);
    }
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        const Shape b = shapeOf({blob(seed, {3, 1}, 2, 9 + int(seed))});
        EXPECT_NEAR(exactArea(b) / sampledArea(b, 20000), 1.0, 1e-9) << "seed " << seed;
    }
    const Shape rounded = shapeOf({roundedRectangle(0, 0, 4, 3, 0.5)});
    EXPECT_NEAR(exactArea(rounded) / sampledArea(rounded, 20000), 1.0, 1e-9);
    EXPECT_NEAR(exactArea(rounded), 12.0 - (4.0 - M_PI) * 0.25, 1e-3);
}

TEST(RegionHarness, AreaAppliesFramesAndClosesOpenSplines) {
    Shape open = shapeOf({polygonSpline({{0, 0}, {2, 0}, {2, 2}, {0, 2}}, false)});
    EXPECT_DOUBLE_EQ(exactArea(open), 4.0);

    // The spline frame doubles x, the shape frame triples y and moves:
    // the area grows six times, whatever the translation.
    Shape framed = shapeOf({circle({0, 0}, 1)});
    const double plain = exactArea(framed);
    framed.first()->frame.m[0][0] = 2.0;
    framed.frame.m[1][1] = 3.0;
    framed.frame.m[3][0] = 100.0;
    EXPECT_NEAR(exactArea(framed), 6.0 * plain, 1e-12);
    const Box box = boundsOf(framed);
    EXPECT_NEAR(box.x0, 98.0, 1e-12);
    EXPECT_NEAR(box.y1, 3.0, 1e-12);

    // A mirroring frame turns counterclockwise into clockwise.
    Shape mirrored = shapeOf({circle({0, 0}, 1)});
    mirrored.frame.m[0][0] = -1.0;
    EXPECT_NEAR(exactArea(mirrored), -plain, 1e-12);
}

TEST(RegionHarness, ScaledCopiesAndReversalKeepTheArea) {
    const Shape r = ring({1, 1}, 2, 1);
    EXPECT_NEAR(exactArea(r),
                exactArea(shapeOf({circle({0, 0}, 2)})) - exactArea(shapeOf({circle({0, 0}, 1)})),
                1e-12);
    for (const double scale : {1e-3, 1e2, 1e6}) {
        const Shape big = scaledCopy(r, scale, 7 * scale, -3 * scale);
        EXPECT_NEAR(exactArea(big) / (scale * scale * exactArea(r)), 1.0, 1e-12);
    }
    EXPECT_NEAR(exactArea(reversed(r)), -exactArea(r), 1e-12);
}

TEST(RegionHarness, GeneratedShapesAreSimpleAndCounterclockwise) {
    std::vector<std::pair<std::string, Shape>> shapes;
    shapes.emplace_back("circle", shapeOf({circle({0, 0}, 1)}));
    shapes.emplace_back("rounded rectangle", shapeOf({roundedRectangle(0, 0, 3, 2, 0.4)}));
    shapes.emplace_back("comb", shapeOf({comb(0, 0, 4, 2, 8)}));
    shapes.emplace_back("sideways comb", shapeOf({sidewaysComb(0, 0, 4, 2, 8)}));
    shapes.emplace_back("star", shapeOf({star({0, 0}, 2, 0.8, 12)}));
    shapes.emplace_back("curved star", shapeOf({star({0, 0}, 2, 0.8, 7, 0.3, true)}));
    shapes.emplace_back("ring", ring({0, 0}, 2, 1));
    shapes.emplace_back("nested rings", nestedRings({0, 0}, 2, 3));
    for (int n : {8, 64, 512})
        for (bool opposite : {false, true})
            shapes.emplace_back(
                "gear " + std::to_string(n),
                shapeOf({gear({0, 0}, 1, n, 0.1, opposite ? 0.75 : 0.25, opposite)}));
    for (std::uint32_t seed = 1; seed <= 8; ++seed)
        shapes.emplace_back("blob " + std::to_string(seed),
                            shapeOf({blob(seed, {0, 0}, 1, 6 + int(seed) * 3)}));
    for (const auto& [name, shape] : shapes) {
        EXPECT_EQ(regioncheck::findCrossing(shape), "") << name;
        EXPECT_EQ(regioncheck::checkOrientation(shape), "") << name;
        EXPECT_GT(exactArea(shape), 0.0) << name;
    }
    // Combs: teeth and gaps of equal width, so the area is known.
    EXPECT_NEAR(exactArea(shapes[2].second), 4.0 * 0.5 + 8 * (4.0 / 15) * 1.5, 1e-12);
}

TEST(RegionHarness, CrossingSearchFindsCrossingsAndLetsTouchingPass) {
    using regioncheck::findCrossing;
    EXPECT_NE(findCrossing(shapeOf({pentagram({0, 0}, 1)})), "");
    // Two overlapping circles as one answer: their loops cross twice.
    EXPECT_NE(findCrossing(shapeOf({circle({0, 0}, 1), circle({1, 0.2}, 1)})), "");
    // Crossing at a shallow angle of a few degrees.
    EXPECT_NE(findCrossing(shapeOf(
                  {rectangle(0, 0, 4, 1), polygonSpline({{-1, 0.4}, {5, 0.6}, {5, 3}, {-1, 3}})})),
              "");
    // A loop passing exactly through another's corner, and one through a
    // vertex of the other's outline along a straight side.
    EXPECT_NE(findCrossing(shapeOf({rectangle(0, 0, 1, 1),
                                    polygonSpline({{0.5, 0.5}, {1, 1}, {1.5, 1.5}, {0.5, 1.5}})})),
              "");
    EXPECT_NE(findCrossing(shapeOf(
                  {rectangle(0, 0, 2, 1), polygonSpline({{1, 0.5}, {1, 1}, {1, 2}, {0.5, 2}})})),
              "");
    // A figure eight through one point crosses itself there.
    EXPECT_NE(
        findCrossing(shapeOf({polygonSpline({{0, 0}, {1, 1}, {2, 2}, {2, 0}, {1, 1}, {0, 2}})})),
        "");

    // Touching is not crossing: corners, a shared edge, tangent circles
    // inside and out, a hole touching its outer boundary, a pinched loop.
    EXPECT_EQ(findCrossing(shapeOf({rectangle(0, 0, 1, 1), rectangle(1, 1, 2, 2)})), "");
    EXPECT_EQ(findCrossing(shapeOf({rectangle(0, 0, 1, 1), rectangle(1, 0, 2, 1)})), "");
    EXPECT_EQ(findCrossing(shapeOf({circle({0, 0}, 1), circle({2, 0}, 1)})), "");
    EXPECT_EQ(findCrossing(shapeOf({circle({0, 0}, 1), circle({0.5, 0}, 0.5, false)})), "");
    EXPECT_EQ(findCrossing(shapeOf({rectangle(0, 0, 3, 3), rectangle(0, 1, 1, 2, false)})), "");
    EXPECT_EQ(
        findCrossing(shapeOf({polygonSpline({{0, 0}, {1, 1}, {2, 0}, {2, 2}, {1, 1}, {0, 2}})})),
        "");
}

TEST(RegionHarness, OrientationCheckNamesWrongDirections) {
    using regioncheck::checkOrientation;
    EXPECT_EQ(checkOrientation(ring({0, 0}, 2, 1)), "");
    EXPECT_EQ(checkOrientation(nestedRings({0, 0}, 2, 2)), "");
    EXPECT_NE(checkOrientation(ring({0, 0}, 2, 1, false)), "");
    EXPECT_NE(checkOrientation(shapeOf({circle({0, 0}, 1, false)})), "");
    // A hole touching its outer boundary is still a hole.
    EXPECT_EQ(checkOrientation(shapeOf({rectangle(0, 0, 3, 3), rectangle(0, 1, 1, 2, false)})), "");
    // A loop of no area.
    EXPECT_NE(checkOrientation(shapeOf({polygonSpline({{0, 0}, {1, 0}, {2, 0}})})), "");
}

TEST(RegionHarness, RasterComparisonAcceptsRightAndRejectsWrongAnswers) {
    const Shape a = shapeOf({circle({0, 0}, 1)});
    const Shape b = shapeOf({circle({1, 0.3}, 0.8)});
    // The union drawn as both circles in one shape fills alike under nonzero.
    const Shape both = shapeOf({circle({0, 0}, 1), circle({1, 0.3}, 0.8)});
    const regioncheck::RasterReport fine = regioncheck::rasterCompare(
        a, FillRule::NonZero, b, FillRule::NonZero, BooleanOp::Union, both);
    EXPECT_EQ(fine.wrongNonZero, 0) << fine.text();
    // ... but not under even-odd, where the lens is left out.
    EXPECT_GT(fine.wrongEvenOdd, 100) << fine.text();
    EXPECT_GT(fine.compared, 100000);
    // A only is not the union.
    const regioncheck::RasterReport wrong =
        regioncheck::rasterCompare(a, FillRule::NonZero, b, FillRule::NonZero, BooleanOp::Union, a);
    EXPECT_GT(wrong.wrongNonZero, 100) << wrong.text();
    // The pentagram's middle is in under nonzero and out under even-odd.
    const Shape star5 = shapeOf({pentagram({0, 0}, 1)});
    const Shape empty;
    const regioncheck::RasterReport nz = regioncheck::rasterCompare(
        star5, FillRule::NonZero, empty, FillRule::NonZero, BooleanOp::Union, star5);
    EXPECT_EQ(nz.wrongNonZero, 0) << nz.text();
    const regioncheck::RasterReport eo = regioncheck::rasterCompare(
        star5, FillRule::EvenOdd, empty, FillRule::NonZero, BooleanOp::Union, star5);
    EXPECT_EQ(eo.wrongEvenOdd, 0) << eo.text();
    EXPECT_GT(eo.wrongNonZero, 100) << eo.text();
}

TEST(RegionHarness, GearPairsCrossAQuarterOfTheirKnotCountTimes) {
    for (int n : {8, 64, 512}) {
        const Shape a = shapeOf({gear({0, 0}, 1, n, 0.1, 0.25, false)});
        const Shape b = shapeOf({gear({0, 0}, 1, n, 0.1, 0.75, true)});
        Geom::PathIntersectionGraph graph(toPathVector(a), toPathVector(b));
        EXPECT_EQ(int(graph.size()), n / 4) << n << " knots";
    }
}

// The tools on the peer's answers: where the peer is reliable, its answers
// pass every check, so the checks do not reject right answers.
TEST(RegionHarness, PeerAnswersPassTheChecksOnGenericPairs) {
    int peerFailures = 0;
    for (const Pair& p : genericPairs()) {
        if (p.fillA != FillRule::NonZero || p.fillB != FillRule::NonZero) continue;
        const Geom::PathVector a = toPathVector(p.a);
        const Geom::PathVector b = toPathVector(p.b);
        double area[4] = {};
        for (int k = 0; k < 4; ++k) {
            const PeerOp op = kPeerOps[k];
            SCOPED_TRACE(p.name + ", " + nameOf(opOf(op)));
            Geom::PathVector result;
            if (!peerCombine(a, b, op, result)) {
                ++peerFailures;
                area[k] = NAN;
                continue;
            }
            area[k] = peerArea(result);
            const Shape answer = fromPathVector(result);
            const regioncheck::RasterReport r =
                regioncheck::rasterCompare(p.a, p.fillA, p.b, p.fillB, opOf(op), answer);
            // Only even-odd: the peer does not orient holes against their outer loops.
            EXPECT_EQ(r.wrongEvenOdd, 0) << r.text();
            EXPECT_EQ(regioncheck::findCrossing(answer), "");
        }
        if (std::isnan(area[0] + area[1] + area[2] + area[3])) continue;
        const double areaA = exactArea(p.a);
        const double areaB = exactArea(p.b);
        const double tolerance = 1e-6 * (areaA + areaB);
        EXPECT_NEAR(area[0] + area[1], areaA + areaB, tolerance) << p.name;
        EXPECT_NEAR(area[2], areaA - area[1], tolerance) << p.name;
        EXPECT_NEAR(area[3], areaB - area[1], tolerance) << p.name;
    }
    // It throws on the star pair; everything else it answers.
    EXPECT_LE(peerFailures, 4);
}

}  // namespace
