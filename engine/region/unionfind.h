#pragma once

// Sets of the numbers 0 to n - 1 joined as they are found to belong
// together; each set is named by its smallest member.

#include <algorithm>

#include "region/scratch.h"

namespace carvex::region {

struct UnionFind {
    ScratchList<int> parent;
    UnionFind(int n, Arena* mem) : parent(n, mem) {
        for (int i = 0; i < n; ++i)
            parent[i] = i;
    }
    int find(int i) {
        while (parent[i] != i) {
            parent[i] = parent[parent[i]];
            i = parent[i];
        }
        return i;
    }
    void unite(int a, int b) {
        a = find(a);
        b = find(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }
};

}  // namespace carvex::region
