// Strokes and offsets as regions, checked by exact areas where geometry
// gives them, and on tight curves by the distance from the curve itself:
// with round caps and joins a stroke paints exactly the points within half
// its width of the path.

#include <gtest/gtest.h>

#include <cmath>

#include "region/stroke.h"

using namespace carvex;

namespace {

constexpr double kPi = 3.14159265358979323846;

PathKnot at(double x, double y) {
    return {{x, y}, {x, y}, {x, y}, -1};
}

Path polyline(std::initializer_list<Vec2> points, bool closed) {
    Path path;
    for (Vec2 p : points)
        path.knots.push_back(at(p.x, p.y));
    path.closed = closed;
    return path;
}

// One cubic segment, open.
Path curve(Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3) {
    Path path;
    path.closed = false;
    path.knots.push_back({p0, p0, p1, -1});
    path.knots.push_back({p3, p2, p3, -1});
    return path;
}

// A circle of four quarter arcs.
Path circle(Vec2 c, double r) {
    const double k = 0.5522847498307936 * r;
    Path path;
    path.knots.push_back({{c.x + r, c.y}, {c.x + r, c.y - k}, {c.x + r, c.y + k}, -1});
    path.knots.push_back({{c.x, c.y + r}, {c.x + k, c.y + r}, {c.x - k, c.y + r}, -1});
    path.knots.push_back({{c.x - r, c.y}, {c.x - r, c.y + k}, {c.x - r, c.y - k}, -1});
    path.knots.push_back({{c.x, c.y - r}, {c.x - k, c.y - r}, {c.x + k, c.y - r}, -1});
    return path;
}

StrokeStyle pen(double width, LineJoin join = LineJoin::Miter, LineCap cap = LineCap::Butt) {
    StrokeStyle style;
    style.width = width;
    style.join = join;
    style.cap = cap;
    return style;
}

double strokeArea(const Paths& paths, const StrokeStyle& style, const Affine& map = Affine()) {
    const RegionResult r = stroke(paths, style, map);
    EXPECT_TRUE(r.ok()) << describe(r.status);
    return enclosedArea(r.loops);
}

Vec2 bezier(const Path& p, size_t i, double t) {
    const PathKnot& a = p.knots[i];
    const PathKnot& b = p.knots[(i + 1) % p.knots.size()];
    const double s = 1 - t;
    return a.point * (s * s * s) + a.out * (3 * s * s * t) + b.in * (3 * s * t * t) +
           b.point * (t * t * t);
}

// Winding number of the answer's loops around q, on a fine flattening.
int winding(const Paths& loops, Vec2 q) {
    int w = 0;
    for (const Path& loop : loops)
        for (size_t i = 0; i < loop.knots.size(); ++i) {
            Vec2 last = loop.knots[i].point;
            for (int k = 1; k <= 64; ++k) {
                const Vec2 next = bezier(loop, i, k / 64.0);
                if ((last.y <= q.y) != (next.y <= q.y)) {
                    const double x =
                        last.x + (q.y - last.y) * (next.x - last.x) / (next.y - last.y);
                    if (x > q.x) w += next.y > last.y ? 1 : -1;
                }
                last = next;
            }
        }
    return w;
}

// Distance from q to a path's segments, on a dense sampling.
double distanceTo(const Path& path, Vec2 q) {
    double best = HUGE_VAL;
    const size_t segments = path.closed ? path.knots.size() : path.knots.size() - 1;
    for (size_t i = 0; i < segments; ++i)
        for (int k = 0; k <= 1500; ++k)
            best = std::min(best, length(bezier(path, i, k / 1500.0) - q));
    return best;
}

// Pixels of a grid over box whose distance from the path is clearly below
// or above half the width, that the answer fills wrongly.
int wrongPixels(const Path& path, double width, double x0, double y0, double x1, double y1) {
    const RegionResult r = stroke({path}, pen(width, LineJoin::Round, LineCap::Round));
    EXPECT_TRUE(r.ok()) << describe(r.status) << " piece " << r.region;
    int wrong = 0;
    const int n = 60;
    const double margin = 0.02 * width;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const Vec2 q{x0 + (x1 - x0) * (i + 0.5) / n, y0 + (y1 - y0) * (j + 0.5) / n};
            const double d = distanceTo(path, q);
            if (std::fabs(d - width / 2) < margin) continue;
            if ((d < width / 2) != (winding(r.loops, q) != 0)) ++wrong;
        }
    return wrong;
}

}  // namespace

TEST(Stroke, StraightLineCaps) {
    const Paths line{polyline({{0, 0}, {10, 0}}, false)};
    EXPECT_NEAR(strokeArea(line, pen(2)), 20.0, 1e-9);
    EXPECT_NEAR(strokeArea(line, pen(2, LineJoin::Miter, LineCap::Square)), 24.0, 1e-9);
    EXPECT_NEAR(strokeArea(line, pen(2, LineJoin::Miter, LineCap::Round)), 20.0 + kPi, 1e-3);
}

TEST(Stroke, ClosedSquareJoins) {
    const Paths square{polyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true)};
    EXPECT_NEAR(strokeArea(square, pen(2, LineJoin::Miter)), 144.0 - 64.0, 1e-9);
    EXPECT_NEAR(strokeArea(square, pen(2, LineJoin::Bevel)), 80.0 - 4 * 0.5, 1e-9);
    EXPECT_NEAR(strokeArea(square, pen(2, LineJoin::Round)), 80.0 - 4 * (1 - kPi / 4), 1e-3);
    // Closed means joined where it closes: the open path of the same
    // points leaves one side open and one corner unjoined.
    const Paths open{polyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, false)};
    EXPECT_NEAR(strokeArea(open, pen(2, LineJoin::Miter)), 3 * 20.0 - 2 * 1.0 + 2 * 1.0, 1e-9);
}

TEST(Stroke, MiterLimitBevelsSharpCorners) {
    const Paths corner{polyline({{0, 0}, {10, 0}, {10, 10}}, false)};
    StrokeStyle style = pen(2, LineJoin::Miter);
    EXPECT_NEAR(strokeArea(corner, style), 40.0, 1e-9);
    style.miterLimit = 1.2;  // below the right angle's sqrt(2)
    EXPECT_NEAR(strokeArea(corner, style), 39.5, 1e-9);
    EXPECT_NEAR(strokeArea(corner, pen(2, LineJoin::Round)), 39.0 + kPi / 4, 1e-3);
}

TEST(Stroke, SmoothClosedCurveCoversWidthTimesLength) {
    // No fold: the band between the offsets has the width times the length.
    const Path c = circle({3, -2}, 10);
    double length = 0;
    for (size_t i = 0; i < 4; ++i)
        for (int k = 0; k < 20000; ++k)
            length += carvex::length(bezier(c, i, (k + 1) / 20000.0) - bezier(c, i, k / 20000.0));
    // The fit strays by at most 1e-4 of the width on either side.
    EXPECT_NEAR(strokeArea({c}, pen(2)), 2 * length, 2 * 2e-4 * length);
}

TEST(Stroke, PenWiderThanTheCurveFillsTheDisc) {
    // The inner offset of a circle of radius 1 drawn 6 wide folds through
    // the centre: what is painted is the whole disc of radius 4.
    const double area = strokeArea({circle({0, 0}, 1)}, pen(6));
    EXPECT_NEAR(area, kPi * 16, kPi * 16 * 2e-3);
}

TEST(Stroke, LaidOutBeforeTheTransform) {
    const Paths line{polyline({{0, 0}, {10, 0}}, false)};
    Affine stretch;
    stretch.d = 3;  // the width triples, the length does not
    EXPECT_NEAR(strokeArea(line, pen(2), stretch), 60.0, 1e-9);
    Affine turn;  // a quarter turn and a scale by 2: area times 4
    turn.a = 0, turn.b = 2, turn.c = -2, turn.d = 0, turn.e = 5;
    EXPECT_NEAR(strokeArea(line, pen(2, LineJoin::Miter, LineCap::Round), turn), 4 * (20.0 + kPi),
                4e-3);
}

TEST(Stroke, Dashes) {
    const Paths line{polyline({{0, 0}, {10, 0}}, false)};
    StrokeStyle style = pen(1);
    style.dashes = {3, 1};
    EXPECT_NEAR(strokeArea(line, style), 3 + 3 + 2, 1e-6);
    style.dashOffset = 2;  // dashes [0,1], [2,5], [6,9]
    EXPECT_NEAR(strokeArea(line, style), 1 + 3 + 3, 1e-6);
    style.dashes = {1};  // odd counts repeat: 1 on, 1 off
    style.dashOffset = 0;
    EXPECT_NEAR(strokeArea(line, style), 5, 1e-6);
    style.dashes = {0, 3};  // dots at 0, 3, 6 and 9, with square caps
    style.cap = LineCap::Square;
    EXPECT_NEAR(strokeArea(line, style), 4.0, 1e-6);
    style.cap = LineCap::Butt;
    style.dashes = {0, 0};  // nothing to walk: solid
    EXPECT_NEAR(strokeArea(line, style), 10, 1e-9);
    // Dashes run on across knots, turning with the path.
    const Paths corner{polyline({{0, 0}, {10, 0}, {10, 10}}, false)};
    style.dashes = {12, 100};
    style.join = LineJoin::Bevel;
    EXPECT_NEAR(strokeArea(corner, style), 10 + 2 - 0.25 + 0.125, 1e-6);
}

TEST(Stroke, ZeroLengthPathsAreDotsWithRoundOrSquareCaps) {
    const Paths dot{polyline({{4, 4}, {4, 4}}, false)};
    EXPECT_NEAR(strokeArea(dot, pen(2, LineJoin::Miter, LineCap::Round)), kPi, 1e-3);
    EXPECT_NEAR(strokeArea(dot, pen(2, LineJoin::Miter, LineCap::Square)), 4.0, 1e-9);
    EXPECT_NEAR(strokeArea(dot, pen(2)), 0.0, 0.0);
    // A lone knot of an open path paints nothing.
    EXPECT_NEAR(strokeArea({polyline({{4, 4}}, false)}, pen(2, LineJoin::Miter, LineCap::Round)),
                0.0, 0.0);
}

TEST(Stroke, TightCurvesPaintWhatIsWithinHalfTheWidth) {
    // A cusp, a loop, a hairpin and a pen far wider than the curve.
    EXPECT_EQ(wrongPixels(curve({0, 0}, {10, 10}, {0, 10}, {10, 0}), 2, -3, -3, 13, 13), 0);
    EXPECT_EQ(wrongPixels(curve({0, 0}, {12, 8}, {-2, 8}, {10, 0}), 1.5, -3, -3, 13, 10), 0);
    EXPECT_EQ(wrongPixels(curve({0, 0}, {20, 0}, {20, 2}, {0, 2}), 1.2, -2, -2, 18, 4), 0);
    EXPECT_EQ(wrongPixels(curve({0, 0}, {1, 2}, {2, -2}, {3, 0}), 8, -5, -6, 8, 6), 0);
}

TEST(Stroke, BadStylesAndRunawayWorkAreRefused) {
    const Paths line{polyline({{0, 0}, {10, 0}}, false)};
    StrokeStyle style = pen(-1);
    EXPECT_EQ(stroke(line, style).status, RegionStatus::InvalidStroke);
    style = pen(NAN);
    EXPECT_EQ(stroke(line, style).status, RegionStatus::InvalidStroke);
    style = pen(1);
    style.dashes = {1e-6, 1e-6};  // five million dashes
    EXPECT_EQ(stroke(line, style).status, RegionStatus::TooManyStrokePieces);
    EXPECT_TRUE(stroke(line, pen(0)).loops.empty());
    // A huge width is only a large rectangle.
    EXPECT_NEAR(strokeArea(line, pen(1e8)) / 1e9, 1.0, 1e-9);
}

TEST(Offset, GrowsAndShrinksByTheDistance) {
    const Paths disc{circle({0, 0}, 5)};
    const double r5 = enclosedArea(disc);
    auto area = [&](const Paths& p, double d, LineJoin join) {
        const RegionResult r = offset(p, FillRule::NonZero, d, join);
        EXPECT_TRUE(r.ok()) << describe(r.status);
        return enclosedArea(r.loops);
    };
    EXPECT_NEAR(area(disc, 2, LineJoin::Round), r5 * 49 / 25, 3e-3 * r5);
    EXPECT_NEAR(area(disc, -2, LineJoin::Round), r5 * 9 / 25, 3e-3 * r5);
    const Paths square{polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, true)};
    EXPECT_NEAR(area(square, 1, LineJoin::Round), 16 + 16 + kPi, 1e-3);
    EXPECT_NEAR(area(square, 1, LineJoin::Miter), 36, 1e-9);
    EXPECT_NEAR(area(square, 1, LineJoin::Bevel), 36 - 4 * 0.5, 1e-9);
    EXPECT_NEAR(area(square, -1, LineJoin::Miter), 4, 1e-9);
    EXPECT_NEAR(area(square, -2.5, LineJoin::Round), 0, 0);
    EXPECT_EQ(offset(square, FillRule::NonZero, NAN, LineJoin::Round).status,
              RegionStatus::InvalidStroke);
}

TEST(Stroke, DrawnPathsPaintWhatIsWithinHalfTheWidth) {
    // Closed and open paths of three random cubics, pens narrow to wide.
    unsigned seed = 12345;
    auto next = [&]() {
        seed = seed * 1103515245u + 12345u;
        return double((seed >> 8) & 0xffff) / 65535.0 * 10.0;
    };
    for (int i = 0; i < 12; ++i) {
        Path path;
        path.closed = i % 2 == 0;
        for (int k = 0; k < 3; ++k) {
            const Vec2 p{next(), next()};
            path.knots.push_back({p, {next(), next()}, {next(), next()}, -1});
        }
        const double w = 0.2 + next() * 0.5;
        EXPECT_EQ(wrongPixels(path, w, -w, -w, 10 + w, 10 + w), 0) << "path " << i;
    }
}

TEST(Stroke, TurnsBackAndShortSegmentsPaintTheirSweep) {
    // A path that turns back on itself, then segments far shorter than the pen.
    Path back = polyline({{0, 0}, {10, 0}, {2, 0.001}, {2.2, 0.3}, {2.1, 0.35}}, false);
    EXPECT_EQ(wrongPixels(back, 1.5, -2, -2, 12, 2), 0);
    // Miter joins on a reversal are beveled: no spike of infinite length.
    const RegionResult r = stroke({polyline({{0, 0}, {10, 0}, {0, 0}}, false)}, pen(2));
    ASSERT_TRUE(r.ok());
    EXPECT_NEAR(enclosedArea(r.loops), 20.0, 1e-6);
    // A width past the coordinates the engine takes is refused, at once.
    EXPECT_EQ(stroke({polyline({{0, 0}, {10, 0}}, false)}, pen(1e12)).status,
              RegionStatus::CoordinateTooLarge);
}

TEST(Stroke, CurvesOutAndBackAlongALineAreStraightRuns) {
    // Out to 4/9 of the way to the handle and back, a cusp at the far end.
    const Path there = curve({0, 0}, {0, 0}, {9, 0}, {0, 0});
    EXPECT_EQ(wrongPixels(there, 1, -1, -2, 6, 2), 0);
    StrokeOutline outline;
    ASSERT_EQ(strokeOutline({there}, pen(1), Affine(), 0, &outline), RegionStatus::Ok);
    // Two runs and the pivot at the turn, not thousands of halvings.
    EXPECT_LE(outline.simple.size() + outline.crossing.size(), 4u);
    EXPECT_NEAR(strokeArea({there}, pen(1)), 4.0 + kPi / 8, 1e-3);
}

TEST(Stroke, DashesAlongPathsLongerThanTheDoublesAreRefused) {
    StrokeStyle style = pen(1);
    style.dashes = {1, 1};
    const Paths long_{polyline({{-1e9, 0}, {1e9, 0}}, false)};
    EXPECT_EQ(stroke(long_, style).status, RegionStatus::TooManyStrokePieces);
    // Longer than the doubles can measure is beyond the engine's range.
    const Paths huge{polyline({{-1.5e308, 0}, {1.5e308, 0}}, false)};
    EXPECT_EQ(stroke(huge, style).status, RegionStatus::CoordinateTooLarge);
}

// A hair-thin pen far out: the knots' grid cells are beyond any integer,
// which once overflowed converting them (caught only under the sanitizers).
TEST(Stroke, HairThinPensFarOutAreStrokedOrRefused) {
    const Paths far{polyline({{1e300, 0}, {1e300, 1e290}}, false)};
    EXPECT_EQ(stroke(far, pen(1e-9)).status, RegionStatus::CoordinateTooLarge);
    // Mapped into range, a pen thinner than the doubles there paints nothing.
    Affine down;
    down.a = down.d = 1e-292;
    const RegionResult mapped = stroke(far, pen(1e-9), down);
    if (mapped.ok()) {
        EXPECT_EQ(enclosedArea(mapped.loops), 0.0);
    }
    // Within range, a thin pen's cells are plain integers again.
    const Paths out{polyline({{1e8, 0}, {1e8, 8}}, false)};
    EXPECT_NEAR(strokeArea(out, pen(1e-3)), 8e-3, 1e-6);  // steps of 1.5e-8
}

TEST(Stroke, HandlesARoundingOffTheirKnotAreOnIt) {
    // Path data such as "l 8 6 Z" can land a straight segment's handle a few
    // ulps off its knot, across the segment: its heading is the segment's.
    Paths square{polyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true)};
    square[0].knots[0].in = {3.5e-15, 0.0};
    EXPECT_NEAR(strokeArea(square, pen(2)), 144.0 - 64.0, 1e-9);
}

TEST(Stroke, PensFarWiderThanThePathStillCloseTheirArcs) {
    // A pen 1,000 times the path: the caps' arcs meet the bands' ends.
    const Paths line{polyline({{0, 0}, {0.01, 0}}, false)};
    const double r = 5.0;
    EXPECT_NEAR(strokeArea(line, pen(2 * r, LineJoin::Round, LineCap::Round)),
                0.01 * 2 * r + kPi * r * r, 1e-3 * kPi * r * r);
    const RegionResult joined = stroke(line, pen(2 * r, LineJoin::Round, LineCap::Round));
    ASSERT_TRUE(joined.ok());
    EXPECT_EQ(joined.loops.size(), 1u);
}

// The engine's own union of a stroke's pieces, without the stroke's check:
// a band leaving its cap backwards folds onto the cap's end within 1e-8,
// where the crossing search can miss a meeting, and the windings carried
// from one ray were one too high on every edge: the whole answer was
// dropped with status Ok. Every face is now held to the pieces.
TEST(StrokePieces, AUnionWhoseCarriedWindingsAreWrongIsNotAnswered) {
    Path path;
    path.closed = false;
    const Vec2 start{0.28931032187866124, 8.6700564058428249};
    path.knots.push_back({start, start, start, -1});
    path.knots.push_back({{8.177372246193249, 7.8107945132600261},
                          {5.9126379117180843, 9.8236739158305539},
                          {7.3587062824792291, 5.5432960257090134},
                          -1});
    StrokeOutline outline;
    ASSERT_EQ(strokeOutline({path}, pen(3.1068307756485587, LineJoin::Round, LineCap::Round),
                            Affine(), 0, &outline),
              RegionStatus::Ok);
    ASSERT_TRUE(outline.crossing.empty());
    const RegionResult united = resolve(outline.simple, FillRule::NonZero);
    ASSERT_TRUE(united.ok()) << describe(united.status);
    int wrong = 0;
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 40; ++j) {
            const Vec2 q{-2.0 + 12.0 * (i + 0.5123) / 40, 4.5 + 7.5 * (j + 0.4871) / 40};
            bool covered = false;
            for (const Path& piece : outline.simple)
                covered = covered || winding({piece}, q) != 0;
            wrong += covered != (winding(united.loops, q) != 0);
        }
    EXPECT_LE(wrong, 2) << "area " << enclosedArea(united.loops);
}
