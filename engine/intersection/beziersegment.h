#pragma once

#include "geometry/point3d.h"

// One cubic segment: start point, first handle, second handle, end point.
// A segment that passes isStraight() is its chord everywhere: it is
// evaluated, measured and split as a line and its handles are ignored.
struct BezierSegment {
    Point3d p0;
    Point3d p1;
    Point3d p2;
    Point3d p3;

    Point3d pointAt(double t) const;
    void subdivide(double t, BezierSegment& left, BezierSegment& right) const;
    bool isStraight() const;
    double length() const;
    double lengthTo(double t) const;
    // The Bezier parameter at arc length s from p0, in [0, 1].
    double parameterAtLength(double s, double tolerance) const;
};

// Halving stops at this depth even where the pieces are not yet straight.
// Ordinary geometry never gets near it (a quarter circle of radius 1e9 needs
// about 22 levels, a cusp in a segment 1e4 long about 19), but NaN, or
// coordinates so large that the absolute straightness test can never pass,
// would otherwise recurse without end or for astronomically long.
constexpr int kMaxSubdivisionDepth = 24;
