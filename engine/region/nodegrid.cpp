#include "region/nodegrid.h"

#include <algorithm>

#include "region/runsort.h"

namespace carvex::region {

namespace {

// A function object rather than a function, so that the sorts inline it.
constexpr auto cellBefore = [](const GridCell& a, const GridCell& b) {
    return a.cx != b.cx ? a.cx < b.cx : a.cy < b.cy;
};

// Truncated rather than floored: no node lies below the origin, and
// floor() is a call on baseline x86-64.
GridCell cellOf(const NodeGrid& grid, Vec2 p, int node) {
    return {std::int64_t((p.x - grid.origin.x) / grid.side),
            std::int64_t((p.y - grid.origin.y) / grid.side), node};
}

// In the order cellBefore gives, in place: the cells of a large union fall
// into no long ordered stretches, and their sort had been a tenth of the
// arrangement's time.
void sortCells(ScratchList<GridCell>& cells) {
    ScratchList<GridCell> scratch(cells.get_allocator());
    if (sortedByMergingRuns(cells, scratch, cellBefore)) return;
    // Most columns hold a cell or two, so the bytes of the column soon part
    // them all.
    sortByKeyBytes(
        cells.data(), cells.data() + cells.size(),
        [](const GridCell& c) { return std::uint64_t(c.cx); }, cellBefore);
}

}  // namespace

void gridNodes(const ScratchList<Vec2>& nodes, const ScratchList<char>& exposed, std::size_t count,
               double merge, NodeGrid& grid) {
    grid.cells.clear();
    grid.nodes = count;
    grid.side = 0.5 * merge;
    if (count == 0) return;
    grid.origin = nodes[0];
    for (std::size_t i = 0; i < count; ++i)
        grid.origin = {std::min(grid.origin.x, nodes[i].x), std::min(grid.origin.y, nodes[i].y)};
    // With room for the nodes added after, a few hundred on a world map's
    // union, so that adding them moves nothing.
    const std::size_t cells =
        count - std::size_t(std::count(exposed.begin(), exposed.begin() + count, 0));
    grid.cells.reserve(cells + cells / 64);
    for (std::size_t i = 0; i < count; ++i)
        if (exposed[i]) grid.cells.push_back(cellOf(grid, nodes[i], int(i)));
    sortCells(grid.cells);
}

bool addToGrid(const ScratchList<Vec2>& nodes, NodeGrid& grid) {
    if (grid.nodes >= nodes.size()) return true;
    for (std::size_t i = grid.nodes; i < nodes.size(); ++i)
        if (nodes[i].x < grid.origin.x || nodes[i].y < grid.origin.y) return false;
    ScratchList<GridCell> added(grid.cells.get_allocator());
    added.reserve(nodes.size() - grid.nodes);
    for (std::size_t i = grid.nodes; i < nodes.size(); ++i)
        added.push_back(cellOf(grid, nodes[i], int(i)));
    ScratchList<GridCell> scratch(grid.cells.get_allocator());
    sortByRuns(added, scratch, cellBefore);
    mergeInto(grid.cells, added, cellBefore);
    grid.nodes = nodes.size();
    return true;
}

void joinCloseNodes(const NodeGrid& grid, const ScratchList<Vec2>& nodes, double merge,
                    UnionFind& sets) {
    const ScratchList<GridCell>& cells = grid.cells;
    // The end of the run of cells equal to the one at i.
    auto runEnd = [&](std::size_t i) {
        std::size_t j = i;
        while (j < cells.size() && cells[j].cx == cells[i].cx && cells[j].cy == cells[i].cy)
            ++j;
        return j;
    };
    auto joinRuns = [&](std::size_t a0, std::size_t a1, std::size_t b0, std::size_t b1) {
        if (sets.find(cells[a0].node) == sets.find(cells[b0].node)) return;
        for (std::size_t i = a0; i < a1; ++i)
            for (std::size_t j = b0; j < b1; ++j)
                if (length(nodes[cells[i].node] - nodes[cells[j].node]) <= merge) {
                    sets.unite(cells[i].node, cells[j].node);
                    return;
                }
    };
    // Nodes within the merge distance lie at most two cells off; each pair
    // of cells is visited from the one that sorts first. The first cell of
    // each neighbouring column only moves on as the cells do, so one cursor
    // per column finds them all in a single pass.
    std::size_t column[3] = {0, 0, 0};
    for (std::size_t i = 0; i < cells.size();) {
        const std::size_t end = runEnd(i);
        for (std::size_t k = i + 1; k < end; ++k)
            sets.unite(cells[i].node, cells[k].node);
        for (std::int64_t dx = 0; dx <= 2; ++dx) {
            const GridCell from{cells[i].cx + dx, cells[i].cy + (dx == 0 ? 1 : -2), 0};
            std::size_t& j = column[dx];
            while (j < cells.size() && cellBefore(cells[j], from))
                ++j;
            for (std::size_t k = j;
                 k < cells.size() && cells[k].cx == from.cx && cells[k].cy <= cells[i].cy + 2;) {
                const std::size_t next = runEnd(k);
                joinRuns(i, end, k, next);
                k = next;
            }
        }
        i = end;
    }
}

}  // namespace carvex::region
