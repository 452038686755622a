#pragma once

#include "geometry/spline.h"

// A new spline holding the run of knots from index first to index last,
// forward (increasing index) or backward, wrapping past the end. The caller
// owns it.
Spline* extractPiece(const Spline& source, int first, int last, bool forward);

// Appends the run's knots from index start on (0 for a first run, 1 when the
// run's first knot repeats the result's last) and fits the joint.
void appendPiece(Spline& result, const Spline& piece, int start);

// extractPiece then appendPiece with start, the run dropped afterwards.
// Without measure the result's lengths are left stale, for a caller that
// measures once when the result is complete.
void appendRun(Spline& result, const Spline& source, int first, int last, bool forward, int start,
               bool measure = true);

// Appends a copy of the knot, merging it into the last knot when they coincide.
void appendKnot(Spline& spline, const Knot& knot);

// Joins the result end to start and marks it closed.
void closeResult(Spline& result);

// Empties A to receive a walk's runs while keeping its properties.
void prepareForWalk(Spline& A, const Spline& copyOfA);
