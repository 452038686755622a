#pragma once

// The planar arrangement of both inputs: segments cut at every hit into
// monotone edges between merged vertices, coincident edges folded into one,
// and the winding numbers of both inputs on either side of every edge.

#include <vector>

#include "region/crossings.h"
#include "region/gather.h"

namespace carvex::region {

struct Edge {
    int segment = 0;
    int stop0 = 0;  // indices into the segment's stops
    int stop1 = 0;
    double t0 = 0.0;
    double t1 = 1.0;
    int v0 = 0;
    int v1 = 0;
    Cubic curve;  // the stretch, its ends moved onto the vertices
    // How much the winding number of a and of b rises from the right of the
    // edge to its left: +1 per input edge running this way, -1 per edge
    // running against it.
    int deltaA = 0;
    int deltaB = 0;
    // Winding numbers just left of the edge.
    int leftA = 0;
    int leftB = 0;
    bool folded = false;  // merged into a coincident edge
};

struct Arrangement {
    std::vector<Vec2> vertices;
    std::vector<int> vertexKnot;  // the input knot a vertex stands for, or -1
    std::vector<Edge> edges;
};

Arrangement buildArrangement(const Gathered& input, const std::vector<Piece>& pieces,
                             const Meetings& meetings);

// Fills leftA and leftB of every edge: by one ray per connected part, carried
// around the vertices from edge to edge, or (carry false) by a ray from every
// edge, slower but blind to how the edges are ordered around their vertices.
void computeWindings(Arrangement& arrangement, bool carry = true);

}  // namespace carvex::region
