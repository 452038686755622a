#pragma once

#include "geometry/pline.h"
#include "geometry/spline.h"

// Appends the spline's polygon (its segments flattened) to pline.
void toPLine(const Spline& spline, PLine& pline, double angleTolerance);

// Even-odd rule on a ray towards +x, half-open edges, x and y only.
bool containsPoint(const PLine& polygon, const Point3d& p);

// The point of the spline a threshold along it past the knot.
Point3d probePoint(Spline& spline, const Knot& knot, double threshold);
