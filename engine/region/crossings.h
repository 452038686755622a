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
    int segment = 0;
    // Its curve, when it is cut from its segment: the four points from
    // PieceList::cutPoints[firstPoint]. -1 for a whole segment, whose knots
    // hold it.
    int firstPoint = -1;
    double t0 = 0.0;
    double t1 = 1.0;
};

// The pieces of every segment, in segment order. Most segments are one
// piece (every straight one is), so only the pieces cut at extrema store a
// curve: a piece takes 24 bytes rather than the 88 it would with a curve
// of its own. The pieces of one segment are stored as one run of control
// points, each piece sharing its last point with the next one's first (the
// same point of the segment, so the same bits), which takes three points a
// piece rather than four. It reads the knots of the input it was made from,
// which must outlive it.
struct PieceList {
    const Gathered* input = nullptr;
    std::vector<Piece> pieces;
    std::vector<Vec2> cutPoints;  // from de Casteljau's construction

    size_t size() const { return pieces.size(); }
    bool empty() const { return pieces.empty(); }
    const Piece& operator[](size_t i) const { return pieces[i]; }
    std::vector<Piece>::const_iterator begin() const { return pieces.begin(); }
    std::vector<Piece>::const_iterator end() const { return pieces.end(); }

    Cubic curve(const Piece& p) const {
        if (p.firstPoint < 0) return curveOf(*input, input->segments[size_t(p.segment)]);
        const Vec2* q = cutPoints.data() + p.firstPoint;
        return {{q[0], q[1], q[2], q[3]}};
    }
    Vec2 start(const Piece& p) const {
        if (p.firstPoint >= 0) return cutPoints[size_t(p.firstPoint)];
        return input->knots[size_t(input->segments[size_t(p.segment)].startKnot)].point;
    }
    Vec2 end(const Piece& p) const {
        if (p.firstPoint >= 0) return cutPoints[size_t(p.firstPoint) + 3];
        return input->knots[size_t(input->segments[size_t(p.segment)].endKnot)].point;
    }
    // A monotone stretch lies in the box of its ends.
    Box box(const Piece& p) const { return boxOf(start(p), end(p)); }
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
    // Per segment: whether it meets anything but the stretches that follow
    // it along its own outline, by a hit, a shared stretch or a shared end.
    // Segments that do not can be carried through the arrangement in whole
    // chains, however near the boxes of others they pass.
    std::vector<char> busy;
    // Ok, or the cap of the search that stopped it, with the two segments
    // it was searching: the meetings are then incomplete.
    RegionStatus limit = RegionStatus::Ok;
    int limitSegments[2] = {-1, -1};
};

// The pieces of every segment of input, into out (emptied first).
void monotonePieces(const Gathered& input, PieceList& out);

// Every meeting of two pieces, within tol of the extent: crossings refined on
// the curves, touchings, and both ends of every shared stretch. Stops at the
// first pair whose search reaches a cap, and says so in out.limit.
void findHits(const Gathered& input, const PieceList& pieces, double tol, Meetings& out);

// The parameter in [t0, t1] of the point of a monotone stretch of c nearest
// to p, when that point is within tol of p.
bool projectOnMonotone(const Cubic& c, double t0, double t1, Vec2 p, double tol, double& t);

}  // namespace carvex::region
