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

// Flattening stops halving at this depth even where the pieces still turn
// too much. Ordinary geometry never gets near it (a cusp in a segment 1e4
// long needs about 19 levels), but NaN would otherwise recurse without end.
constexpr int kMaxSubdivisionDepth = 24;

// Measuring a length stops halving at this depth. The straightness test is
// absolute, so a curve of size S needs about S^(2/3) pieces: a quarter circle
// of radius 1e9 some 2^22, and any curve beyond some 1e6 in size would end
// only at the cap. At depth k a piece's straightness measures are at most
// 3 * D1 * D2 / 8^k, where D1 and D2 <= 2 D1 are the largest first and
// second differences of the segment's control points; that is below 0.001
// at depth 16 for every D1 up to 2e5. So the cap changes no length of a
// segment whose consecutive control points lie within 1e5 of each other,
// and measures a larger one as 2^16 chords (a quarter circle of radius 1e9
// within 1e-10 of its length) in bounded time. Every way of measuring a
// length (literal, fast, planar, by bounds) must stop at this same depth.
constexpr int kMaxLengthDepth = 16;

// The square of the straightness limit as the tests see it: for every sum of
// squares S, sqrt(S) < 0.001 exactly when S < kStraightSquared (the smallest
// double whose square root rounds to 0.001 or more).
constexpr double kStraightSquared = 0x1.0c6f7a0b5ed8dp-20;

// The same values as length(), lengthTo() and parameterAtLength(), bit for
// bit, made faster: each piece is tested for straightness once and without
// square roots, and a halving reuses that answer.
double fastLength(const BezierSegment& segment);
double fastLengthTo(const BezierSegment& segment, double t);
double fastParameterAtLength(const BezierSegment& segment, double s, double tolerance);
