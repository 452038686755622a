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
bool windingsMatchInputs(const Gathered& input, const PieceList& pieces,
                         const Arrangement& arrangement);

}  // namespace carvex::region
