#pragma once

// The answer held against the inputs themselves before it is returned: the
// windings the arrangement gave its faces are counted afresh, by rays that
// cross the inputs' own monotone pieces rather than the arrangement.

#include <vector>

#include "region/arrangement.h"
#include "region/crossings.h"
#include "region/gather.h"

namespace carvex::region {

// Whether both sides of every edge have the windings the pieces give there,
// which is every face of the answer and every face left out. Windings
// carried round the vertices agree with each other even where the
// arrangement misses a meeting; only the inputs show they are wrong. Each
// side is tried a few distances off the edge, so that a face thinner than
// the first still gets its point.
//
// sampled, when given, holds the windings counted beside the edges
// beforehand (sampleEdgeSides): sides found to agree there need no ray.
struct SideWindings {
    int wa[2] = {0, 0};  // of the first input, left and right of the edge
    int wb[2] = {0, 0};  // of the second
    int counted = 0;     // sides counted: none, the left, or both
};
using EdgeSides = std::vector<SideWindings>;
bool windingsMatchInputs(const Gathered& input, const PieceList& pieces,
                         const Arrangement& arrangement, const EdgeSides* sampled = nullptr);

// The windings of the inputs beside the edges the check looks at, at the
// first distance it tries: both sides of the first edge of each connected
// part (where the windings will begin) and the left of every other edge
// whose sides differ. They need only the edges, not
// their windings, so they can be counted while those are worked out.
EdgeSides sampleEdgeSides(const Gathered& input, const PieceList& pieces,
                          const Arrangement& arrangement);

}  // namespace carvex::region
