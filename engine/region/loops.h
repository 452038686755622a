#pragma once

// Choosing the edges that bound the answer and linking them into loops of
// exact pieces of the input segments.

#include "region/arrangement.h"
#include "region/gather.h"
#include "region/region.h"

namespace carvex::region {

// Whether a point with these winding numbers is in the answer.
bool insideAnswer(int windingA, int windingB, Operation op, FillRule fillA, FillRule fillB);

// The loops that bound the answer, inside on their left, as closed paths.
// complete tells whether every chosen edge found its place in a closed loop
// and no two loops cross at a vertex.
Paths assembleLoops(const Gathered& input, const Arrangement& arrangement, Operation op,
                    FillRule fillA, FillRule fillB, bool* complete = nullptr);

}  // namespace carvex::region
