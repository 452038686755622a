#pragma once

#include "geometry/matrix3d.h"
#include "geometry/shape.h"
#include "hostsdk.h"

// Between the host's single-precision shapes and the engine's double-precision ones.

// Empties target, then adds one engine spline per host spline of two or more
// knots; knots closer than 1e-10 to the one before merge into it.
void shapeFromHost(const BezierShape& source, Shape& target);

// Replaces target's splines by those of source with two or more knots, each
// knot mapped by its spline's frame.
void shapeToHost(const Shape& source, BezierShape& target);

// Row by row, widened to double.
Matrix3d matrixFromHost(const Matrix3& m);

// Engine knot type from host knot type, and back.
int knotTypeFromHost(int hostType);
int knotTypeToHost(int engineType);
