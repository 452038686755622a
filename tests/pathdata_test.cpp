// SVG path data into cubic knots, checked against knots worked out by hand.

#include <gtest/gtest.h>

#include <cmath>

#include "geometry/shape.h"
#include "shapeio/pathdata.h"
#include "shapeio/subpathbuilder.h"

namespace {

struct ExpectedKnot {
    Point3d point;
    Point3d in;
    Point3d out;
    int type;
};

void expectPoint(const Point3d& actual, const Point3d& expected, double tol, const char* what,
                 int index) {
    EXPECT_NEAR(actual.x, expected.x, tol) << what << " x of knot " << index;
    EXPECT_NEAR(actual.y, expected.y, tol) << what << " y of knot " << index;
    EXPECT_EQ(actual.z, 0.0) << what << " z of knot " << index;
}

void expectKnots(const Spline& s, const std::vector<ExpectedKnot>& expected, double tol = 1e-12) {
    ASSERT_EQ(s.size(), int(expected.size()));
    for (int i = 0; i < s.size(); ++i) {
        expectPoint(s[i]->point, expected[i].point, tol, "point", i);
        expectPoint(s[i]->inVec, expected[i].in, tol, "inVec", i);
        expectPoint(s[i]->outVec, expected[i].out, tol, "outVec", i);
        EXPECT_EQ(s[i]->type, expected[i].type) << "type of knot " << i;
    }
}

Point3d P(double x, double y) {
    return {x, y, 0.0};
}

ExpectedKnot corner(double x, double y) {
    return {P(x, y), P(x, y), P(x, y), Knot::Corner};
}

// Parses data that must be valid.
void parse(const char* data, Shape& shape) {
    PathDataError error;
    ASSERT_TRUE(parsePathData(QString::fromLatin1(data), shape, &error))
        << data << ": offset " << error.offset << ": " << error.message.toStdString();
}

PathDataError parseError(const char* data) {
    Shape shape;
    PathDataError error;
    EXPECT_FALSE(parsePathData(QString::fromLatin1(data), shape, &error)) << data;
    EXPECT_TRUE(shape.isEmpty()) << data;
    return error;
}

const std::vector<ExpectedKnot> kTriangle = {corner(10, 20), corner(30, 20), corner(30, 40)};

}  // namespace

TEST(PathLines, AbsoluteRelativeAndImplicitFormsGiveTheSameCornerKnots) {
    for (const char* data : {"M10 20 L30 20 L30 40 Z", "m10 20 l20 0 l0 20 z",
                             "M10 20 30 20 30 40z", "m10,20 20,0 0,20 z", "M10 20 H30 V40 Z",
                             "M10 20 h20 v20 Z", "M 10 20 L 30 20 L 30 40 L 10 20 Z"}) {
        SCOPED_TRACE(data);
        Shape shape;
        parse(data, shape);
        ASSERT_EQ(shape.size(), 1);
        EXPECT_TRUE(shape[0]->closed);
        expectKnots(*shape[0], kTriangle, 0.0);
    }
}

TEST(PathLines, OpenSubpathsAndMultipleSubpaths) {
    Shape shape;
    parse("M0 0 L5 0 M10 10 L20 10 L20 20 z M1 1", shape);
    ASSERT_EQ(shape.size(), 2);  // the lone "M1 1" draws nothing
    EXPECT_FALSE(shape[0]->closed);
    expectKnots(*shape[0], {corner(0, 0), corner(5, 0)});
    EXPECT_TRUE(shape[1]->closed);
    expectKnots(*shape[1], {corner(10, 10), corner(20, 10), corner(20, 20)});
}

TEST(PathLines, DrawingAfterCloseStartsAtTheClosedSubpathsStart) {
    Shape shape;
    parse("M10 10 L20 10 L20 20 z l0 5 l5 0 z m 5 5 l 1 0 l 0 1 z", shape);
    ASSERT_EQ(shape.size(), 3);
    expectKnots(*shape[1], {corner(10, 10), corner(10, 15), corner(15, 15)});
    expectKnots(*shape[2], {corner(15, 15), corner(16, 15), corner(16, 16)});
}

TEST(PathLines, CompactNumbers) {
    Shape shape;
    parse("M-.5.5L1e-3-2e1l.5.5.25.25", shape);
    ASSERT_EQ(shape.size(), 1);
    expectKnots(*shape[0], {corner(-0.5, 0.5), corner(0.001, -20), corner(0.501, -19.5),
                            corner(0.751, -19.25)});
    Shape exponents;
    parse("M1E2,+2.5e+1 L 3.,4", exponents);
    expectKnots(*exponents[0], {corner(100, 25), corner(3, 4)});
}

TEST(PathLines, ZeroLengthSegmentsAddNoKnot) {
    Shape shape;
    parse("M0 0 L0 0 L10 0 l0 0 L10 10 Z", shape);
    ASSERT_EQ(shape.size(), 1);
    expectKnots(*shape[0], {corner(0, 0), corner(10, 0), corner(10, 10)});
}

TEST(PathCubics, HandlesAreAbsoluteAndTypesFollowThem) {
    Shape shape;
    parse("M0 0 C 1 2 3 4 5 6", shape);
    ASSERT_EQ(shape.size(), 1);
    EXPECT_FALSE(shape[0]->closed);
    expectKnots(*shape[0], {{P(0, 0), P(0, 0), P(1, 2), Knot::BezierCorner},
                            {P(5, 6), P(3, 4), P(5, 6), Knot::BezierCorner}});
}

TEST(PathCubics, SmoothCurveMirrorsThePreviousHandle) {
    const std::vector<ExpectedKnot> expected = {
        {P(10, 20), P(10, 20), P(30, 40), Knot::BezierCorner},
        {P(70, 80), P(50, 60), P(90, 100), Knot::Bezier},
        {P(130, 140), P(110, 120), P(130, 140), Knot::BezierCorner}};
    for (const char* data : {"M10 20 C 30 40 50 60 70 80 S 110 120 130 140",
                             "M10 20 c 20 20 40 40 60 60 s 40 40 60 60"}) {
        SCOPED_TRACE(data);
        Shape shape;
        parse(data, shape);
        ASSERT_EQ(shape.size(), 1);
        expectKnots(*shape[0], expected, 0.0);
    }
    // A repeated S mirrors the handle of the S before it.
    Shape repeated;
    parse("M10 20 C 30 40 50 60 70 80 S 110 120 130 140 170 180 190 200", repeated);
    ASSERT_EQ(repeated[0]->size(), 4);
    expectKnots(*repeated[0],
                {expected[0],
                 expected[1],
                 {P(130, 140), P(110, 120), P(150, 160), Knot::Bezier},
                 {P(190, 200), P(170, 180), P(190, 200), Knot::BezierCorner}},
                0.0);
}

TEST(PathCubics, SmoothCurveAfterALineStartsItsHandleOnThePoint) {
    Shape shape;
    parse("M0 0 L 10 0 S 20 10 30 0", shape);
    expectKnots(*shape[0],
                {corner(0, 0), corner(10, 0), {P(30, 0), P(20, 10), P(30, 0), Knot::BezierCorner}});
}

TEST(PathCubics, ImplicitRepeatsOfCurves) {
    Shape shape;
    parse("M0 0 c 1 1 2 1 3 0 1 -1 2 -1 3 0", shape);
    expectKnots(*shape[0], {{P(0, 0), P(0, 0), P(1, 1), Knot::BezierCorner},
                            {P(3, 0), P(2, 1), P(4, -1), Knot::Bezier},
                            {P(6, 0), P(5, -1), P(6, 0), Knot::BezierCorner}});
}

TEST(PathCubics, ClosingOnTheStartPointGivesNoDuplicateKnot) {
    Shape shape;
    parse("M0 0 C 0 5 5 10 10 10 C 10 5 5 0 0 0 Z", shape);
    ASSERT_EQ(shape.size(), 1);
    EXPECT_TRUE(shape[0]->closed);
    expectKnots(*shape[0],
                {{P(0, 0), P(5, 0), P(0, 5), Knot::BezierCorner},
                 {P(10, 10), P(5, 10), P(10, 5), Knot::BezierCorner}},
                0.0);
}

TEST(PathQuadratics, BecomeExactCubicsAndTReflects) {
    const std::vector<ExpectedKnot> expected = {
        {P(0, 0), P(0, 0), P(2, 4), Knot::BezierCorner},
        {P(6, 0), P(4, 4), P(8, -4), Knot::Bezier},
        {P(12, 0), P(10, -4), P(12, 0), Knot::BezierCorner}};
    for (const char* data :
         {"M0 0 Q 3 6 6 0 T 12 0", "m0 0 q 3 6 6 0 t 6 0", "M0 0 Q3 6 6 0 9-6 12 0"}) {
        SCOPED_TRACE(data);
        Shape shape;
        parse(data, shape);
        expectKnots(*shape[0], expected, 1e-14);
    }
}

TEST(PathQuadratics, TAfterANonQuadraticUsesTheCurrentPoint) {
    Shape shape;
    parse("M0 0 T 6 0", shape);
    expectKnots(*shape[0], {corner(0, 0), {P(6, 0), P(2, 0), P(6, 0), Knot::BezierCorner}}, 1e-14);
}

// An arc drawn as cubics: knots on the ellipse with centre c and radii rx,
// ry (axes along x and y after turning by phi), handles along its tangents
// at 4/3 tan(step / 4) of the radius, pieces of at most 45 degrees, so that
// every piece stays within 5e-6 of the radius from the true arc.
void expectArc(const Spline& s, Point3d c, double rx, double ry, double phi, int pieces,
               Point3d first, Point3d last) {
    ASSERT_EQ(s.size(), pieces + 1);
    expectPoint(s.at(0)->point, first, 1e-12, "first", 0);
    expectPoint(s.at(pieces)->point, last, 1e-12, "last", pieces);
    auto angleOf = [&](const Point3d& p) {
        const double x = (p.x - c.x) * std::cos(phi) + (p.y - c.y) * std::sin(phi);
        const double y = -(p.x - c.x) * std::sin(phi) + (p.y - c.y) * std::cos(phi);
        EXPECT_NEAR(x * x / (rx * rx) + y * y / (ry * ry), 1.0, 1e-12);
        return std::atan2(y / ry, x / rx);
    };
    // How far a point lies off the ellipse, nearly: its scaled radius
    // against 1, in units of the smaller radius.
    auto offEllipse = [&](const Point3d& p) {
        const double x = (p.x - c.x) * std::cos(phi) + (p.y - c.y) * std::sin(phi);
        const double y = -(p.x - c.x) * std::sin(phi) + (p.y - c.y) * std::cos(phi);
        return std::fabs(std::sqrt(x * x / (rx * rx) + y * y / (ry * ry)) - 1.0) * std::min(rx, ry);
    };
    for (int k = 0; k < pieces; ++k) {
        const Knot& a = *s.at(k);
        const Knot& b = *s.at(k + 1);
        const double t0 = angleOf(a.point);
        double step = angleOf(b.point) - t0;
        step = std::remainder(step, 2.0 * M_PI);
        EXPECT_LE(std::fabs(step), M_PI / 4.0 + 1e-12) << "piece " << k;
        const double h = 4.0 / 3.0 * std::tan(step / 4.0);
        const Point3d ta(-rx * std::sin(t0) * std::cos(phi) - ry * std::cos(t0) * std::sin(phi),
                         -rx * std::sin(t0) * std::sin(phi) + ry * std::cos(t0) * std::cos(phi), 0);
        expectPoint(a.outVec, a.point + ta * h, 1e-9, "outVec", k);
        for (double u : {0.25, 0.5, 0.75}) {
            const double v = 1.0 - u;
            const Point3d q = a.point * (v * v * v) + a.outVec * (3 * u * v * v) +
                              b.inVec * (3 * u * u * v) + b.point * (u * u * u);
            EXPECT_LT(offEllipse(q), 5e-6 * std::max(rx, ry)) << "piece " << k;
        }
    }
}

TEST(PathArcs, QuarterCircleIsTwoCubicsOnTheCircle) {
    for (const char* data : {"M0 0 A 10 10 0 0 1 10 10", "M0 0 a10 10 0 0 1 10 10",
                             "M0 0 A10,10,0,0,1,10,10", "M0 0A10 10 0 0110 10"}) {
        SCOPED_TRACE(data);
        Shape shape;
        parse(data, shape);
        ASSERT_EQ(shape.size(), 1);
        expectArc(*shape[0], P(0, 10), 10, 10, 0, 2, P(0, 0), P(10, 10));
        // Leaving along +x, the centre being below (y down).
        EXPECT_GT(shape[0]->at(0)->outVec.x, 0.0);
    }
}

TEST(PathArcs, LargeArcGoesTheLongWay) {
    // Centre (10, 0); from angle 180 degrees in the positive (sweep 1)
    // direction to 450: three quarters, through (10,-10) and (20,0).
    for (const char* data : {"M0 0 A 10 10 0 1 1 10 10", "M0 0 A10 10 0 1110 10"}) {
        SCOPED_TRACE(data);
        Shape shape;
        parse(data, shape);
        expectArc(*shape[0], P(10, 0), 10, 10, 0, 6, P(0, 0), P(10, 10));
        expectPoint(shape[0]->at(2)->point, P(10, -10), 1e-12, "point", 2);
        expectPoint(shape[0]->at(4)->point, P(20, 0), 1e-12, "point", 4);
    }
}

TEST(PathArcs, SweepFlagChoosesTheSide) {
    // The same end points with sweep 0 go round the other centre (10, 0)
    // through the short way.
    Shape shape;
    parse("M0 0 A 10 10 0 0 0 10 10", shape);
    expectArc(*shape[0], P(10, 0), 10, 10, 0, 2, P(0, 0), P(10, 10));
    EXPECT_GT(shape[0]->at(0)->outVec.y, 0.0);
}

TEST(PathArcs, RadiiTooSmallGrowToReachTheEndPoint) {
    Shape shape;
    parse("M0 0 A 1 1 0 0 1 10 0", shape);
    expectArc(*shape[0], P(5, 0), 5, 5, 0, 4, P(0, 0), P(10, 0));
    expectPoint(shape[0]->at(2)->point, P(5, -5), 1e-12, "point", 2);
}

TEST(PathArcs, RotatedEllipse) {
    // An ellipse with radii 20 and 10 whose x axis is turned by 90 degrees:
    // half of it from (0,0) to (0,40); sweep 1 turns clockwise on screen
    // (y down), through (10,20) rather than (-10,20).
    Shape shape;
    parse("M0 0 A 20 10 90 0 1 0 40", shape);
    expectArc(*shape[0], P(0, 20), 20, 10, M_PI / 2, 4, P(0, 0), P(0, 40));
    expectPoint(shape[0]->at(2)->point, P(10, 20), 1e-12, "point", 2);
}

TEST(PathArcs, DegenerateArcs) {
    Shape line;
    parse("M0 0 A 0 5 0 0 1 10 0", line);
    expectKnots(*line[0], {corner(0, 0), corner(10, 0)});
    Shape nothing;
    parse("M0 0 A 5 5 0 0 1 0 0", nothing);
    EXPECT_TRUE(nothing.isEmpty());
}

TEST(PathErrors, OffsetPointsAtTheProblem) {
    struct Case {
        const char* data;
        int offset;
        const char* words;
    };
    const Case cases[] = {
        {"L 1 2", 0, "must start with a move"},
        {"  x", 2, "must start with a move"},
        {"M 1", 3, "ends where 'M' needs a number"},
        {"M 1 2 L 3 x", 10, "expected a number for 'L'"},
        {"M 1 2 X 3", 6, "expected a command letter"},
        {"M 0 0 A 1 1 0 2 1 5 5", 14, "arc flag"},
        {"M 1e999 0", 2, "out of range"},
        {"M 1 2,", 5, "comma must stand between two numbers"},
        {"M 1 2, L 3 4", 5, "comma must stand between two numbers"},
        {"M 1 2 Z 3", 8, "takes no numbers"},
        {"M,1 2", 1, "expected a number for 'M'"},
        {"M 1 2 L 3 4 L", 13, "ends where 'L' needs a number"},
        {"M 1 2 L 3 4,,5 6", 11, "comma must stand between two numbers"},
        {"M 1e308 0 l 1e308 0", 12, "out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        const PathDataError error = parseError(c.data);
        EXPECT_EQ(error.offset, c.offset);
        EXPECT_TRUE(error.message.contains(QLatin1String(c.words))) << error.message.toStdString();
    }
}

TEST(PathErrors, FailureLeavesTheShapeAsItWas) {
    Shape shape;
    parse("M0 0 L1 0 L1 1 Z", shape);
    EXPECT_FALSE(parsePathData(QStringLiteral("M5 5 L6 6 L"), shape));
    ASSERT_EQ(shape.size(), 1);
    EXPECT_EQ(shape[0]->size(), 3);
}

TEST(KnotTypes, FromHandles) {
    const Point3d p(1, 1, 0);
    EXPECT_EQ(knotTypeFor(p, p, p), Knot::Corner);
    EXPECT_EQ(knotTypeFor(p, p, P(2, 1)), Knot::BezierCorner);
    EXPECT_EQ(knotTypeFor(p, P(0, 1), p), Knot::BezierCorner);
    EXPECT_EQ(knotTypeFor(p, P(0, 1), P(3, 1)), Knot::Bezier);  // opposite, lengths differ
    EXPECT_EQ(knotTypeFor(p, P(0, 0), P(2, 2)), Knot::Bezier);
    EXPECT_EQ(knotTypeFor(p, P(0, 1), P(2, 1.01)), Knot::BezierCorner);  // a kink
    EXPECT_EQ(knotTypeFor(p, P(0, 1), P(0.5, 1)), Knot::BezierCorner);   // same side
}
