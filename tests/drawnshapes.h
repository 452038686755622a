#pragma once

// Shapes people draw, built as engine Shapes for the region checks and
// benchmarks, and measures of a Shape that share no code with the engine:
// the exact enclosed area (Green's theorem in closed form per cubic), bounds,
// a painter path and a fine flattening. Everything here reads knots and
// frames directly; nothing calls into the engine's geometry algorithms.

#include <QPainterPath>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "geometry/shape.h"

namespace drawn {

struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

// One cubic piece as start, two absolute handles, end.
using Cubic = std::array<Vec2, 4>;
// A closed loop of cubics, each starting where the previous one ends.
using Loop = std::vector<Cubic>;

struct KnotSpec {
    Vec2 point;
    Vec2 in;
    Vec2 out;
};

struct Box {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
    bool empty = true;
    double extent() const;  // the larger side; 0 when empty
    void add(const Vec2& p);
};

// ---- Building. Every returned spline is heap-owned, ready for a Shape.

Spline* splineOf(const std::vector<KnotSpec>& knots, bool closed = true);
// Corner knots at the given points.
Spline* polygonSpline(const std::vector<Vec2>& points, bool closed = true);
Shape shapeOf(std::initializer_list<Spline*> splines);
// Every spline of both, in order.
Shape joined(Shape a, Shape b);
// A deep copy with every position mapped by p * scale + (dx, dy), frames
// folded into the knots.
Shape scaledCopy(const Shape& s, double scale, double dx = 0.0, double dy = 0.0);
// Reverses the direction of every spline.
Shape reversed(const Shape& s);

// ---- Shapes. Counterclockwise (y up) unless said otherwise.

// Four cubic quarter arcs starting at the rightmost point.
Spline* circle(Vec2 c, double r, bool ccw = true);
// n cubic arcs of equal angle, starting at angle phase * 2pi / n.
Spline* roundSpline(Vec2 c, double r, int n, double phase = 0.0);
Spline* rectangle(double x0, double y0, double x1, double y1, bool ccw = true);
// Corners rounded by quarter arcs of radius r (straight sides kept as
// straight segments between corner arcs).
Spline* roundedRectangle(double x0, double y0, double x1, double y1, double r);
// An outer circle and an inner circle; the inner one clockwise unless asked.
Shape ring(Vec2 c, double outer, double inner, bool innerClockwise = true);
// Concentric circles of radius r, r*(1 - 1/(2 levels)), ..., alternating
// direction: a target of nested rings with holes inside holes.
Shape nestedRings(Vec2 c, double r, int levels);
// A smooth star-shaped outline: radius r times a random low-frequency wave,
// knots placed with tangent handles. The same seed gives the same blob.
Spline* blob(std::uint32_t seed, Vec2 c, double r, int knots);
// A comb: a base bar from (x0, y0) of width w and height h/4 with `teeth`
// upright teeth reaching y0 + h; teeth and gaps are equally wide.
Spline* comb(double x0, double y0, double w, double h, int teeth);
// The same comb turned a quarter turn: base on the left, teeth to the right.
Spline* sidewaysComb(double x0, double y0, double w, double h, int teeth);
// A simple star polygon with `points` tips; with curved, each side bulges
// outwards as a cubic.
Spline* star(Vec2 c, double outer, double inner, int points, double rotation = 0.0,
             bool curved = false);
// A five-pointed star drawn in one stroke: its outline crosses itself, the
// pentagon in the middle has winding number 2.
Spline* pentagram(Vec2 c, double r);
// A gear-like outline of n smooth knots: radius r(1 + depth * profile) with
// n/8 square-ish teeth (at least one). Two gears with phase 0.25 and
// opposite = false / phase 0.75 and opposite = true cross n/4 times.
Spline* gear(Vec2 c, double r, int knots, double depth, double phase, bool opposite);

// ---- Measures, independent of the engine.

// The loops of a shape in the common space (knot * spline frame * shape
// frame); an open spline is closed by a straight piece; a spline of fewer
// than two knots encloses nothing and is left out.
std::vector<Loop> loopsOf(const Shape& s);
// Signed area of one cubic's contribution, (1/2) * integral of x dy - y dx,
// exact for the cubic: (1/20) * sum of c_ij (Pi x Pj) with c = 6,3,1,3,3,6.
double cubicArea(const Cubic& c, const Vec2& origin);
double loopArea(const Loop& loop);
// Signed area of a shape, counterclockwise positive.
double exactArea(const Shape& s);
// Bounds of every knot and handle (a box that holds the curves).
Box boundsOf(const Shape& s);
Box boundsOf(const std::vector<Loop>& loops);
// Point on a cubic.
Vec2 pointAt(const Cubic& c, double t);
// A polyline of a loop whose chords stay within `tolerance` of the curve
// (recursive halving on the control polygon's flatness). The first point is
// not repeated at the end.
std::vector<Vec2> flatten(const Loop& loop, double tolerance);
// A painter path of the shape with every point mapped by p * k + (dx, dy).
QPainterPath painterPath(const Shape& s, Qt::FillRule rule, double k = 1.0, double dx = 0.0,
                         double dy = 0.0);

}  // namespace drawn
