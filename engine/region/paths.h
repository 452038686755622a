#pragma once

// What the region engine takes and gives: paths of cubic segments as plain
// values, in one plane with y up.

#include <vector>

#include "region/vec2.h"

namespace carvex {

// A knot: its point and the handles of the segment that arrives at it (in)
// and of the one that leaves it (out). A straight segment may have its
// handles on its ends.
struct PathKnot {
    Vec2 point;
    Vec2 in;
    Vec2 out;
    // The caller's own mark, carried to every knot of an answer that is
    // this knot with its handles unchanged (or swapped, where the answer
    // runs the other way); -1 on the knots the engine makes.
    int tag = -1;
};

// Knots joined in order by cubic segments; a closed path joins its last knot
// to its first. An open path encloses what it would with a straight closing
// segment, as a fill closes it.
struct Path {
    std::vector<PathKnot> knots;
    bool closed = true;
};

using Paths = std::vector<Path>;

}  // namespace carvex
