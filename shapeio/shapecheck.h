#pragma once

#include <QString>

#include "geometry/shape.h"

// The largest coordinate magnitude that a shape file may hold. Far beyond
// any drawing, and well inside what the engine's flattening measures.
constexpr double kMaxFileCoordinate = 1e9;

// The most a shape file may hold, so that reading it, and combining what it
// holds, takes bounded time and memory: bytes (32 MiB, room for 100000 knots
// written in full precision JSON) and knots, in all its splines together.
constexpr qint64 kMaxShapeFileBytes = 32 * 1024 * 1024;
constexpr int kMaxShapeKnots = 100000;

// The message for a file that holds more than kMaxShapeKnots knots.
QString tooManyKnotsMessage();

// The first coordinate of a shape that is not finite or lies beyond
// kMaxFileCoordinate.
struct CoordinateProblem {
    int splineIndex = -1;
    int knotIndex = -1;
    double value = 0.0;

    QString describe() const;
};

// True when every point and handle of every knot is finite and within
// kMaxFileCoordinate in magnitude, as stored (frames are not applied).
bool checkCoordinates(const Shape& shape, CoordinateProblem* problem);
