#pragma once

// Plane geometry of one cubic Bezier curve for the region engine. Unlike the
// per-pair engine's segment, nothing here treats a curve as its chord: every
// operation works on the true cubic, whatever its size.

#include <algorithm>
#include <cmath>

#include "region/vec2.h"

namespace carvex::region {

struct Box {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
    bool overlaps(const Box& o, double margin) const {
        return x0 <= o.x1 + margin && o.x0 <= x1 + margin && y0 <= o.y1 + margin &&
               o.y0 <= y1 + margin;
    }
    double size() const { return std::max(x1 - x0, y1 - y0); }
};

inline Box boxOf(Vec2 a, Vec2 b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

struct Cubic {
    Vec2 p[4];
};

// Exact at both ends: 0 gives p[0] and 1 gives p[3] bit for bit.
Vec2 pointAt(const Cubic& c, double t);
// pointAt's x (or y) alone, the same to the last bit.
double coordinateAt(const Cubic& c, double t, bool x);
Vec2 derivativeAt(const Cubic& c, double t);
Vec2 secondDerivativeAt(const Cubic& c, double t);

// de Casteljau's construction; the halves meet exactly at pointAt(t).
void split(const Cubic& c, double t, Cubic& left, Cubic& right);
// The piece between t0 and t1 (t0 < t1), its ends exactly pointAt(t0) and
// pointAt(t1); the whole range gives the curve itself.
Cubic subCubic(const Cubic& c, double t0, double t1);
Cubic reversed(const Cubic& c);
// Whether b has a's control points to the last bit, the same way round or
// the other: then every point of either lies on the other.
bool sameControlPoints(const Cubic& a, const Cubic& b);

// The parameters in (0, 1), ascending and distinct, where x' or y' vanishes:
// between them the curve is monotone in both coordinates.
int extremaParameters(const Cubic& c, double out[4]);

// The box of the four control points: it holds the curve.
Box controlBox(const Cubic& c);

// Largest distance of the handles from the chord (from p[0] when the chord
// has no length): how far the curve can stray from its chord.
double flatness(const Cubic& c);

// Whether the curve traces exactly its chord: handles on the chord's line
// and between its ends.
bool tracesChord(const Cubic& c);

// Where a curve monotone in both coordinates reaches a level of one
// coordinate (y when levelY): the other coordinate there, by bisection.
double otherCoordinateAt(const Cubic& c, bool levelY, double level);

// Half of the integral of x dy - y dx along the curve: summed over a closed
// loop, its signed area (counterclockwise positive).
double areaTerm(const Cubic& c);

}  // namespace carvex::region
