#pragma once

#include <vector>

#include "geometry/spline.h"

// Merges every knot closer than minDistance to its predecessor into it (the
// survivor takes the removed knot's outVec); returns how many were removed.
int mergeNearKnots(Spline& spline, double minDistance);

// Makes a knot stand at spline parameter t without changing the curve: an
// existing knot within threshold along the segment, or a new one. Returns
// its index.
int splitAt(Spline& spline, double t, double threshold);

// Places knots on one spline at ascending parameters: split() after split()
// gives the indices that splitAt gives one call after another, and leaves the
// spline as those calls leave it, knots moved in between by the caller
// included. The fast algorithm does not measure the whole spline at every
// insertion: it measures the segments an insertion or a move changed and
// adds up the lengths again from the first of them, in the same order, and
// it divides into parameters once, at the end. Knot parameters are only
// current through param() until finish() or the end of the placement.
class KnotPlacement {
public:
    KnotPlacement(Spline& spline, double threshold);
    ~KnotPlacement();
    KnotPlacement(const KnotPlacement&) = delete;
    KnotPlacement& operator=(const KnotPlacement&) = delete;

    // splitAt(spline, t, threshold).
    int split(double t);
    // The caller moved knot index (point and handles): its two segments
    // changed.
    void moved(int index);
    // The knot's param as the calls so far leave it.
    double param(int index) const;
    // Writes the parameters the calls would have written.
    void finish();

private:
    void locate(double t, int& s, int& e, double& u) const;
    void remeasure(int s);
    void writeParams(double length);

    Spline& spline_;
    const double threshold_;
    bool incremental_ = false;
    // Whether every segment was measured since the placement began.
    bool measured_ = false;
    bool paramsPending_ = false;
    // Segments moves changed since the last insertion, by start knot.
    std::vector<int> changed_;
};
