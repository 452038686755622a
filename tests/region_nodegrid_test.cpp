// The merge grid joins exactly the nodes that lie within the merge distance
// of each other, directly or through others, whether it was made at once or
// first for some nodes and then finished with the rest.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "region/nodegrid.h"

using namespace carvex;
using namespace carvex::region;

namespace {

constexpr double kMerge = 1e-3;

// Clusters of nodes a fraction of the merge distance apart, chains whose
// links are just under it, pairs just over it, and nodes exactly it apart
// along a line, and nodes just under it apart along another.
std::vector<Vec2> drawnNodes() {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> place(-1.0, 1.0);
    std::uniform_real_distribution<double> jitter(-0.3 * kMerge, 0.3 * kMerge);
    std::vector<Vec2> out;
    for (int c = 0; c < 200; ++c) {
        const Vec2 centre{place(rng), place(rng)};
        for (int k = 0; k < 1 + c % 4; ++k)
            out.push_back({centre.x + jitter(rng), centre.y + jitter(rng)});
    }
    for (int c = 0; c < 50; ++c) {
        Vec2 p{place(rng), place(rng)};
        for (int k = 0; k < 6; ++k, p.x += 0.99 * kMerge)
            out.push_back(p);
        out.push_back({p.x + 0.5 * kMerge, p.y + 1.01 * kMerge});
    }
    for (int k = 0; k < 8; ++k) {
        out.push_back({0.5 + k * kMerge, 0.25});
        out.push_back({0.25, 0.5 + k * 0.999 * kMerge});
    }
    std::shuffle(out.begin(), out.end(), rng);
    return out;
}

// Each node's set, named by its smallest member, by comparing every pair.
std::vector<int> setsByEveryPair(const std::vector<Vec2>& nodes) {
    std::vector<int> name(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i)
        name[i] = int(i);
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i = 0; i < nodes.size(); ++i)
            for (size_t j = i + 1; j < nodes.size(); ++j)
                if (length(nodes[i] - nodes[j]) <= kMerge && name[i] != name[j]) {
                    name[i] = name[j] = std::min(name[i], name[j]);
                    changed = true;
                }
    }
    return name;
}

std::vector<int> setsOf(UnionFind& sets, size_t n) {
    std::vector<int> name(n);
    for (size_t i = 0; i < n; ++i)
        name[i] = sets.find(int(i));
    return name;
}

TEST(NodeGrid, JoinsTheNodesWithinTheMergeDistanceMadeAtOnceOrInTwo) {
    StageMemory stage;
    const std::vector<Vec2> drawn = drawnNodes();
    const ScratchList<Vec2> nodes(drawn.begin(), drawn.end(), stage.arena());
    const ScratchList<char> exposed(nodes.size(), 1, stage.arena());
    const std::vector<int> expected = setsByEveryPair(drawn);

    NodeGrid whole(stage.arena());
    gridNodes(nodes, exposed, nodes.size(), kMerge, whole);
    UnionFind atOnce(int(nodes.size()), stage.arena());
    joinCloseNodes(whole, nodes, kMerge, atOnce);
    EXPECT_EQ(setsOf(atOnce, nodes.size()), expected);

    // Made for the first part, finished with the rest: the later nodes lie
    // within the first part's corner, as carried hits lie on their segments.
    ScratchList<Vec2> later(nodes.begin(), nodes.end(), stage.arena());
    size_t first = 0;
    const Vec2 low = whole.origin;
    for (size_t i = 0; i < later.size(); ++i)
        if (later[i].x == low.x || later[i].y == low.y) std::swap(later[first++], later[i]);
    first = std::max(first, later.size() / 2);
    NodeGrid inTwo(stage.arena());
    gridNodes(later, exposed, first, kMerge, inTwo);
    ASSERT_TRUE(addToGrid(later, inTwo));
    EXPECT_EQ(inTwo.nodes, later.size());
    EXPECT_EQ(inTwo.cells.size(), later.size());
    UnionFind twice(int(later.size()), stage.arena());
    joinCloseNodes(inTwo, later, kMerge, twice);
    const std::vector<Vec2> laterDrawn(later.begin(), later.end());
    EXPECT_EQ(setsOf(twice, later.size()), setsByEveryPair(laterDrawn));
}

TEST(NodeGrid, ANodeBelowTheOriginIsNotAddedAndTheGridStaysAsItWas) {
    StageMemory stage;
    ScratchList<Vec2> nodes({{0.0, 0.0}, {1.0, 1.0}, {0.5, 0.5}}, stage.arena());
    const ScratchList<char> exposed(4, 1, stage.arena());
    NodeGrid grid(stage.arena());
    gridNodes(nodes, exposed, nodes.size(), kMerge, grid);
    nodes.push_back({0.2, -1e-9});
    EXPECT_FALSE(addToGrid(nodes, grid));
    EXPECT_EQ(grid.nodes, 3u);
    EXPECT_EQ(grid.cells.size(), 3u);
    nodes.back() = {0.2, 0.0};
    EXPECT_TRUE(addToGrid(nodes, grid));
    EXPECT_EQ(grid.cells.size(), 4u);
}

TEST(NodeGrid, OnlyExposedNodesHaveCells) {
    StageMemory stage;
    const ScratchList<Vec2> nodes({{0.0, 0.0}, {0.0, 0.0}, {5.0, 5.0}}, stage.arena());
    const ScratchList<char> exposed({1, 0, 1}, stage.arena());
    NodeGrid grid(stage.arena());
    gridNodes(nodes, exposed, nodes.size(), kMerge, grid);
    UnionFind sets(3, stage.arena());
    joinCloseNodes(grid, nodes, kMerge, sets);
    EXPECT_EQ(grid.cells.size(), 2u);
    EXPECT_NE(sets.find(0), sets.find(1));
}

}  // namespace
