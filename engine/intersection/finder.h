#pragma once

#include "geometry/spline.h"
#include "intersection/intersection.h"

// Finds where A and B meet and makes every such place a knot of both, moved
// exactly onto the meeting point and flagged Crossing. Welds near knots of
// both first. Returns the records sorted along A; B is left in its own frame.
// Runs the algorithm in force (see AlgorithmScope).
IntersectionList findIntersections(Spline& A, Spline& B, double threshold, double angleTolerance);

// The same with the literal algorithm, which visits every pair of segments.
IntersectionList findIntersectionsLiteral(Spline& A, Spline& B, double threshold,
                                          double angleTolerance);

// Index of the first record whose point lies closer than threshold to the
// record's point in x and y, or -1.
int findNear(const IntersectionList& list, const Intersection& record, double threshold);
