#pragma once

// The planar arrangement of both inputs: segments cut at every hit into
// monotone edges between merged vertices, coincident edges folded into one,
// and the winding numbers of both inputs on either side of every edge.

#include <vector>

#include "region/crossings.h"
#include "region/gather.h"

namespace carvex::region {

// One monotone stretch of one input segment.
struct Link {
    int segment = 0;
    // The index of the segment's stop it starts at; it runs to the next, so
    // consecutive links of one segment have consecutive stops.
    int stop = 0;
    int edge = -1;  // the edge it belongs to, -1 once that edge is dropped
    // The stretch, where it ends its edge moved onto the vertex: the
    // arrangement's curves[curve], or where it is a monotone piece as it
    // stands, bit for bit, that piece's curve (piece -1 - curve). Most links
    // are, so most curves are not stored twice.
    int curve = 0;
    double t0 = 0.0;
    double t1 = 1.0;
};

// A path between two vertices that meets nothing between them: one link
// where segments meet others, or a whole chain of links along stretches of
// an outline that meet nothing at all, so that the arrangement grows with
// the meetings rather than with the segments.
struct Edge {
    int firstLink = 0;
    int links = 1;
    int v0 = 0;
    int v1 = 0;
    // How much the winding number of a and of b rises from the right of the
    // edge to its left: +1 per input edge running this way, -1 per edge
    // running against it.
    int deltaA = 0;
    int deltaB = 0;
    // Winding numbers just left of the edge.
    int leftA = 0;
    int leftB = 0;
};

struct Arrangement {
    std::vector<Vec2> vertices;
    std::vector<int> vertexKnot;  // the input knot a vertex stands for, or -1
    std::vector<Link> links;
    std::vector<Cubic> curves;  // the links' curves that are no piece's
    // The pieces the links refer to; the caller keeps them while it reads
    // the arrangement.
    const PieceList* pieces = nullptr;
    std::vector<Edge> edges;
    // The edges whose windings came from a ray of their own; every other
    // edge's follow from one of these through the vertices.
    std::vector<int> seeds;
    // The caller's threshold joined points into a run longer than
    // kJoinSpanReach thresholds: the arrangement does not stand for the shapes.
    bool joinsTooLong = false;

    Cubic curveOf(const Link& l) const {
        if (l.curve >= 0) return curves[size_t(l.curve)];
        return pieces->curve((*pieces)[size_t(-1 - l.curve)]);
    }
    // The ends of a link's curve, without building the rest of it.
    Vec2 startOf(const Link& l) const {
        if (l.curve >= 0) return curves[size_t(l.curve)].p[0];
        return pieces->start((*pieces)[size_t(-1 - l.curve)]);
    }
    Vec2 endOf(const Link& l) const {
        if (l.curve >= 0) return curves[size_t(l.curve)].p[3];
        return pieces->end((*pieces)[size_t(-1 - l.curve)]);
    }
    // The curves by which an edge leaves v0 and reaches v1.
    Cubic startCurve(const Edge& e) const { return curveOf(links[e.firstLink]); }
    Cubic endCurve(const Edge& e) const { return curveOf(links[e.firstLink + e.links - 1]); }
};

// Into out, whose lists are emptied first.
void buildArrangement(const Gathered& input, const PieceList& pieces, const Meetings& meetings,
                      Arrangement& out);

// Fills leftA and leftB of every edge: by one ray per connected part, carried
// around the vertices from edge to edge, or (carry false) by a ray from every
// edge, slower but blind to how the edges are ordered around their vertices.
// False when the windings disagree round some vertex whose order is clear:
// a ray that grazed a vertex or a tangent counted wrong, and some of them
// are not to be trusted.
bool computeWindings(Arrangement& arrangement, bool carry = true);

}  // namespace carvex::region
