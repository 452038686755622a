#pragma once

#include "geometry/spline.h"

// Merges every knot closer than minDistance to its predecessor into it (the
// survivor takes the removed knot's outVec); returns how many were removed.
int mergeNearKnots(Spline& spline, double minDistance);

// Makes a knot stand at spline parameter t without changing the curve: an
// existing knot within threshold along the segment, or a new one. Returns
// its index.
int splitAt(Spline& spline, double t, double threshold);
