#pragma once

// The answer held against the inputs themselves before it is returned: the
// windings the arrangement gave its faces are counted afresh, by rays that
// cross the inputs' own monotone pieces rather than the arrangement.

#include <vector>

#include "region/arrangement.h"
#include "region/crossings.h"
#include "region/gather.h"

namespace carvex::region {

// Whether both sides of every edge that took its windings from a ray of its
// own, and of every edge at a vertex whose order is doubtful, have the
// windings the pieces give there. Together with windings that agree round
// every vertex (computeWindings), that is every face: the others follow
// from these by the edges' deltas, through vertices whose order is not in
// doubt. Each side is tried a few distances off the edge, so that a face
// thinner than the first still gets its point.
bool windingsMatchInputs(const Gathered& input, const std::vector<Piece>& pieces,
                         const Arrangement& arrangement);

}  // namespace carvex::region
