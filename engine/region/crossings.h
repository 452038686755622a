#pragma once

// Where the segments of both inputs meet: monotone pieces, candidate pairs
// by a sweep over their boxes, and crossings, touchings and shared stretches
// found on the true curves.

#include <vector>

#include "region/cubic.h"
#include "region/gather.h"

namespace carvex::region {

// A stretch of one source segment that is monotone in x and in y, so that
// the box of its ends holds it.
struct Piece {
    Cubic curve;  // the stretch itself, from de Casteljau's construction
    int segment = 0;
    double t0 = 0.0;
    double t1 = 1.0;
    // A monotone stretch lies in the box of its ends.
    Box box() const { return boxOf(curve.p[0], curve.p[3]); }
};

// One point that lies on two segments: at parameter tA of segA and tB of segB.
struct Hit {
    int segA = 0;
    int segB = 0;
    double tA = 0.0;
    double tB = 0.0;
};

// Two stretches that run along each other: tA0..tA1 of segA matches
// tB0..tB1 of segB (tB1 may be below tB0 when they run opposite ways).
struct Overlap {
    int segA = 0;
    int segB = 0;
    double tA0 = 0.0;
    double tA1 = 0.0;
    double tB0 = 0.0;
    double tB1 = 0.0;
};

struct Meetings {
    std::vector<Hit> hits;
    std::vector<Overlap> overlaps;
    // Per segment: whether it comes within the merge distance of anything
    // but the stretches that follow it along its own outline. Segments that
    // do not can be carried through the arrangement in whole chains.
    std::vector<char> busy;
    // Ok, or the cap of the search that stopped it, with the two segments
    // it was searching: the meetings are then incomplete.
    RegionStatus limit = RegionStatus::Ok;
    int limitSegments[2] = {-1, -1};
};

// The pieces of every segment, in segment order, into out (emptied first).
void monotonePieces(const Gathered& input, std::vector<Piece>& out);

// Every meeting of two pieces, within tol of the extent: crossings refined on
// the curves, touchings, and both ends of every shared stretch. Stops at the
// first pair whose search reaches a cap, and says so in out.limit.
void findHits(const Gathered& input, const std::vector<Piece>& pieces, double tol, Meetings& out);

// The parameter in [t0, t1] of the point of a monotone stretch of c nearest
// to p, when that point is within tol of p.
bool projectOnMonotone(const Cubic& c, double t0, double t1, Vec2 p, double tol, double& t);

}  // namespace carvex::region
