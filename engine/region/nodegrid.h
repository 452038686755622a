#pragma once

// Nodes closer than the merge distance, found through a grid of cells half
// that size: the nodes of one cell are all that close, so a cell is joined
// at once, however many crossings near-copies pile into it, and two cells
// are compared node by node only while they are still apart, up to the
// first pair that joins them.

#include <cstddef>
#include <cstdint>

#include "region/scratch.h"
#include "region/unionfind.h"
#include "region/vec2.h"

namespace carvex::region {

struct GridCell {
    std::int64_t cx = 0;
    std::int64_t cy = 0;
    int node = 0;
};

// The cells of the exposed ones of the first `nodes` nodes, sorted by
// column and then by row, in a grid whose origin is the lowest corner of
// all of those nodes. Which of two nodes in one cell comes first is left
// open: the sets joined do not depend on it.
struct NodeGrid {
    Vec2 origin;
    double side = 0.0;
    std::size_t nodes = 0;
    ScratchList<GridCell> cells;

    explicit NodeGrid(Arena* mem) : cells(mem) {}
};

// The grid of cells half of `merge` wide over nodes[0, count), holding the
// exposed ones; it draws on its own lists' arena only.
void gridNodes(const ScratchList<Vec2>& nodes, const ScratchList<char>& exposed, std::size_t count,
               double merge, NodeGrid& grid);

// The nodes from grid.nodes on, all of them exposed, sorted into the grid;
// false, with the grid as it was, when one lies below or left of its
// origin, where a grid made for them all would have had another origin.
bool addToGrid(const ScratchList<Vec2>& nodes, NodeGrid& grid);

// Joins every two nodes of the grid closer than merge.
void joinCloseNodes(const NodeGrid& grid, const ScratchList<Vec2>& nodes, double merge,
                    UnionFind& sets);

}  // namespace carvex::region
