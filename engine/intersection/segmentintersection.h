#pragma once

#include "geometry/pline.h"
#include "geometry/point3d.h"
#include "intersection/beziersegment.h"
#include "intersection/intersection.h"

// Where a point stands relative to a line segment (bits of a flag word).
enum PointOnSegment : quint32 {
    Left = 0x10000,
    Right = 0x20000,
    After = 0x40000,
    Before = 0x80000,
    Between = 0x100000,
    AtStart = 0x200000,
    AtEnd = 0x400000,
    OnLine = 0x800000,
    Degenerate = 0x1000000,
};

// Classifies p against the segment a-b in x and y; writes the foot point and
// the projection parameter t (0 at a, 1 at b) when it has them.
quint32 classifyPointOnSegment(const Point3d& p, const Point3d& a, const Point3d& b,
                               double tolerance, Point3d& foot, double& t);

// Appends the places where the two segments meet, found on their polylines:
// a contact at a segment end alone if there is one, else every edge crossing.
// Returns whether it appended any.
bool intersectSegments(const BezierSegment& segmentA, const BezierSegment& segmentB,
                       IntersectionList& records, double angleTolerance, double threshold);

// The same search on polylines already made from the two segments by
// appendToPolyline (each starting empty), so that one flattening serves many
// pairs.
bool intersectPolylines(const BezierSegment& segmentA, PLine& la, const BezierSegment& segmentB,
                        PLine& lb, IntersectionList& records, double threshold);
