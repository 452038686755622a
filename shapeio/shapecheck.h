#pragma once

#include <QString>

#include "geometry/shape.h"

// The largest coordinate magnitude that a shape file may hold. Far beyond
// any drawing, and well inside what the engine's flattening measures.
constexpr double kMaxCoordinate = 1e9;

// The first coordinate of a shape that is not finite or lies beyond
// kMaxCoordinate.
struct CoordinateProblem {
    int splineIndex = -1;
    int knotIndex = -1;
    double value = 0.0;

    QString describe() const;
};

// True when every point and handle of every knot is finite and within
// kMaxCoordinate in magnitude, as stored (frames are not applied).
bool checkCoordinates(const Shape& shape, CoordinateProblem* problem);
