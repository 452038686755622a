#pragma once

// The cyclic order of the curves that leave one vertex: decided here once,
// for the windings carried around a vertex and for the loops that turn at
// it, so that the two always agree.

#include "region/cubic.h"

namespace carvex::region {

// One curve leaving a vertex, with what orders it: the heading of its
// tangent, and of a point a quarter along it for curves that leave in one
// direction (radians, in (-pi, pi]). item is the caller's.
struct Departure {
    int item = 0;
    double tangent = 0.0;
    double along = 0.0;
};

// The departure of a curve from its start point.
Departure departureOf(const Cubic& leaving, int item);

// Puts departures from one vertex in counterclockwise order, starting
// anywhere. Tangents closer than kHeadingTie are one direction, ordered by
// the points along them; returns false when that happened, since that
// order is then a guess from a point some way off the vertex.
bool orderAroundVertex(Departure* first, Departure* last);

}  // namespace carvex::region
