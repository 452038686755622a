#pragma once

#include "geometry/pline.h"
#include "geometry/point3d.h"
#include "intersection/beziersegment.h"

// The angle tolerance every caller of the flattening passes: 5 degrees.
constexpr double kAngleTolerance = 0.08726646259971647;

// A circle fitted through three points.
struct CircleArc {
    bool valid = false;
    // Angle travelled from the first to the last point through the middle
    // one, in [0, 2 pi).
    double sweep = 0.0;
    Point3d xAxis;
    Point3d yAxis;
    Point3d normal;
    Point3d centre;
};

CircleArc arcThrough(const Point3d& a, const Point3d& m, const Point3d& b);

// Whether the two halves of the segment together turn through more than the
// angle tolerance.
bool needsSubdivision(const BezierSegment& segment, double angleTolerance);

// Appends the segment's start point (only to an empty polyline) and then the
// end points of the pieces it is halved into, each turning through at most
// the tolerance or straight.
void appendToPolyline(const BezierSegment& segment, PLine& pline, double angleTolerance);

// Intersection of the line through a0, a1 with the line through b0, b1. For
// skew lines s and u are the closest approach; the point is on the first line.
bool intersectLines(const Point3d& a0, const Point3d& a1, const Point3d& b0, const Point3d& b1,
                    Point3d& point, double& s, double& u, bool clampA, bool clampB,
                    double minLength);
