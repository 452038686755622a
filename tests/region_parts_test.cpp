// Parts of the region engine whose faults would only show as slightly
// different answers, or as memory held too long: the sort that merges
// ordered stretches and the one by bytes, the monotone cuts of a cubic, the order of curves
// around a vertex, and the stage memory.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "region/cubic.h"
#include "region/runsort.h"
#include "region/scratch.h"
#include "region/vertexorder.h"

using namespace carvex;
using namespace carvex::region;

namespace {

using Keyed = std::pair<double, int>;

std::vector<Keyed> sortedByRuns(std::vector<Keyed> v) {
    std::vector<Keyed> scratch;
    sortByRuns(v, scratch, std::less<Keyed>());
    return v;
}

std::vector<Keyed> sortedPlainly(std::vector<Keyed> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// The x of the points of round outlines in drawing order: a few rising and
// falling stretches, the case the merge is for.
TEST(SortByRuns, OutlinesInDrawingOrderSortAsPlainSort) {
    for (int n : {1, 2, 3, 7, 64, 1000}) {
        std::vector<Keyed> v;
        for (int ring = 0; ring < 3; ++ring)
            for (int i = 0; i < n; ++i)
                v.push_back(
                    {ring * 0.5 + std::cos(2.0 * M_PI * (i + 0.3 * ring) / n), int(v.size())});
        EXPECT_EQ(sortedByRuns(v), sortedPlainly(v)) << n;
    }
}

TEST(SortByRuns, EqualKeysFallingStretchesAndNoiseSortAsPlainSort) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    EXPECT_TRUE(sortedByRuns({}).empty());
    std::vector<Keyed> same(50, {1.0, 0});
    for (int i = 0; i < 50; ++i)
        same[i].second = (i * 17) % 50;  // equal keys, told apart by the index
    EXPECT_EQ(sortedByRuns(same), sortedPlainly(same));
    std::vector<Keyed> falling;
    for (int i = 0; i < 300; ++i)
        falling.push_back({double(300 - i / 3), i % 3});  // falls, with short rises inside
    EXPECT_EQ(sortedByRuns(falling), sortedPlainly(falling));
    for (int stretches : {1, 2, 5, 40, 300}) {
        std::vector<Keyed> v;
        for (int s = 0; s < stretches; ++s) {
            double x = unit(random);
            const bool up = s % 2 == 0;
            for (int i = 0; i < 600 / stretches; ++i) {
                x += up ? unit(random) : -unit(random);
                v.push_back({std::floor(x * 4.0) / 4.0, int(v.size())});
            }
        }
        EXPECT_EQ(sortedByRuns(v), sortedPlainly(v)) << stretches;
    }
}

// Sorted by the bits of x alone from piece order, the list is the one
// sorting by (x, piece) gives: negative and positive keys, both zeros (equal
// to each other), keys far apart and keys a bit apart, and many ties.
TEST(RadixSort, GivesWhatSortingByKeyThenIndexGives) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> pick(0, 7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (size_t n : {size_t(2), size_t(300), size_t(5000)}) {
        std::vector<Keyed> v;
        for (size_t i = 0; i < n; ++i) {
            double x = unit(random);
            switch (pick(random)) {
                case 0:
                    x = 0.0;
                    break;
                case 1:
                    x = -0.0;
                    break;
                case 2:
                    x = std::floor(x * 3.0);
                    break;  // ties
                case 3:
                    x *= 1e300;
                    break;  // far apart
                case 4:
                    x = std::nextafter(0.25, 1.0);
                    break;  // one bit apart
                case 5:
                    x = 0.25;
                    break;
                default:
                    break;
            }
            v.push_back({x, int(i)});
        }
        std::vector<Keyed> sorted = v;
        std::vector<Keyed> scratch(n);
        const Keyed* room = scratch.data();
        radixSort(sorted, scratch, [](const Keyed& e) { return orderedBits(e.first); });
        // The working space was not taken again: both lists are the two
        // blocks there were before.
        EXPECT_TRUE(sorted.data() == room || scratch.data() == room) << n;
        EXPECT_EQ(sorted, sortedPlainly(v)) << n;
    }
    // Every key the same: nothing to sort, nothing moved.
    std::vector<Keyed> same{{2.0, 3}, {2.0, 1}, {2.0, 2}};
    std::vector<Keyed> scratch;
    radixSort(same, scratch, [](const Keyed& e) { return orderedBits(e.first); });
    EXPECT_EQ(same, (std::vector<Keyed>{{2.0, 3}, {2.0, 1}, {2.0, 2}}));
}

// Sorted in place a byte of the column at a time, then by row, the cells
// come out in the order of (column, row), the same cells: columns wide and
// narrow, many cells to a column and one, fewer than a byte's pass pays for.
TEST(SortByKeyBytes, GivesTheOrderOfTheWholeComparison) {
    struct Cell {
        std::int64_t column;
        std::int64_t row;
        int tag;
        bool operator==(const Cell& o) const {
            return column == o.column && row == o.row && tag == o.tag;
        }
    };
    const auto before = [](const Cell& a, const Cell& b) {
        return a.column != b.column ? a.column < b.column : a.row < b.row;
    };
    const auto total = [](const Cell& a, const Cell& b) {
        return std::tie(a.column, a.row, a.tag) < std::tie(b.column, b.row, b.tag);
    };
    std::mt19937_64 random(5);
    for (std::int64_t span : {std::int64_t(3), std::int64_t(1) << 20, std::int64_t(1) << 45})
        for (size_t n : {size_t(10), size_t(64), size_t(20000)}) {
            std::uniform_int_distribution<std::int64_t> coordinate(0, span);
            std::vector<Cell> cells;
            for (size_t i = 0; i < n; ++i)
                cells.push_back({coordinate(random), coordinate(random) % 5, int(i)});
            std::vector<Cell> expected = cells;
            std::sort(expected.begin(), expected.end(), total);
            sortByKeyBytes(
                cells.data(), cells.data() + cells.size(),
                [](const Cell& c) { return std::uint64_t(c.column); }, before);
            EXPECT_TRUE(std::is_sorted(cells.begin(), cells.end(), before)) << span << " " << n;
            // Equal cells may come in any order; as a set they are the same.
            std::sort(cells.begin(), cells.end(), total);
            EXPECT_EQ(cells, expected) << span << " " << n;
        }
}

// count keys from 0 to most at random, sorted by key alone, tagged from
// firstTag on in the order drawn.
std::vector<Keyed> sortedRandomKeys(std::mt19937& random, int most, int count, int firstTag) {
    std::uniform_int_distribution<int> key(0, most);
    std::vector<Keyed> v;
    for (int i = 0; i < count; ++i)
        v.push_back({double(key(random)), firstTag + i});
    std::stable_sort(v.begin(), v.end(),
                     [](const Keyed& a, const Keyed& b) { return a.first < b.first; });
    return v;
}

// Merged in two parts at the split, at every place, the lists give what one
// std::merge gives, the first list's equal elements first.
TEST(MergeSplit, TwoPartsGiveWhatOneMergeGives) {
    const auto byKey = [](const Keyed& a, const Keyed& b) { return a.first < b.first; };
    std::mt19937 random(9);
    for (auto [n, m] : {std::pair<int, int>{0, 7}, {7, 0}, {1, 1}, {30, 45}, {60, 3}}) {
        const std::vector<Keyed> a = sortedRandomKeys(random, 5, n, 0);
        const std::vector<Keyed> b = sortedRandomKeys(random, 5, m, 100);
        std::vector<Keyed> whole(a.size() + b.size());
        std::merge(a.begin(), a.end(), b.begin(), b.end(), whole.begin(), byKey);
        for (size_t k = 0; k <= whole.size(); ++k) {
            const size_t i = mergeSplit(a.data(), a.size(), b.data(), b.size(), k, byKey);
            ASSERT_LE(i, k);
            std::vector<Keyed> parts(whole.size());
            std::merge(a.begin(), a.begin() + i, b.begin(), b.begin() + (k - i), parts.begin(),
                       byKey);
            std::merge(a.begin() + i, a.end(), b.begin() + (k - i), b.end(), parts.begin() + k,
                       byKey);
            EXPECT_EQ(parts, whole) << n << " " << m << " at " << k;
        }
    }
}

// Merged in place from the back, a few into many, the list is the one
// std::merge gives, equal keys included: the added ones after the others.
TEST(MergeInto, GivesWhatStdMergeGivesEqualKeysIncluded) {
    const auto byKey = [](const Keyed& a, const Keyed& b) { return a.first < b.first; };
    std::mt19937 random(3);
    for (int added : {0, 1, 3, 40}) {
        std::vector<Keyed> many = sortedRandomKeys(random, 20, 60, 0);
        const std::vector<Keyed> few = sortedRandomKeys(random, 20, added, 100);
        std::vector<Keyed> expected(many.size() + few.size());
        std::merge(many.begin(), many.end(), few.begin(), few.end(), expected.begin(), byKey);
        mergeInto(many, few, byKey);
        EXPECT_EQ(many, expected) << added;
    }
}

// A cubic whose coordinates only rise has no cut in (0, 1); one that turns
// back has its cut where the derivative vanishes.
TEST(ExtremaParameters, MonotoneCurvesHaveNoCutsAndTurningOnesHaveTheirs) {
    double t[4];
    EXPECT_EQ(extremaParameters({{{0, 0}, {1, 0.5}, {2, 1.5}, {3, 3}}}, t), 0);
    EXPECT_EQ(extremaParameters({{{3, 3}, {2, 2.5}, {1, 1}, {0, 0}}}, t), 0);
    // x runs 0, 1, 1, 0: x'(t) = 3(1 - t)^2 - 3t^2 vanishes at one half.
    ASSERT_EQ(extremaParameters({{{0, 0}, {1, 1}, {1, 2}, {0, 3}}}, t), 1);
    EXPECT_NEAR(t[0], 0.5, 1e-15);
    // A handle that only touches the level of its neighbour keeps the curve
    // monotone: x runs 0, 0, 1, 2.
    EXPECT_EQ(extremaParameters({{{0, 0}, {0, 1}, {1, 2}, {2, 3}}}, t), 0);
}

}  // namespace

namespace {

// A straight departure from the origin at angle a, and a curved one that
// leaves at angle a and bends by `bend` radians over its length.
Cubic straightAt(double a) {
    const Vec2 d{std::cos(a), std::sin(a)};
    return {{Vec2{0, 0}, d * (1.0 / 3.0), d * (2.0 / 3.0), d}};
}
Cubic bentAt(double a, double bend) {
    const Vec2 d{std::cos(a), std::sin(a)};
    const Vec2 e{std::cos(a + bend), std::sin(a + bend)};
    return {{Vec2{0, 0}, d * 0.4, d * 0.8, d * 0.8 + e * 0.4}};
}

std::vector<int> orderOf(const std::vector<Cubic>& curves, bool* clear) {
    std::vector<Departure> ends;
    for (int i = 0; i < int(curves.size()); ++i)
        ends.push_back(departureOf(curves[i], i));
    std::mt19937 random(7);
    std::shuffle(ends.begin(), ends.end(), random);
    *clear = orderAroundVertex(ends.data(), ends.data() + ends.size());
    // Read from item 0 on, since the order starts anywhere.
    std::vector<int> items;
    for (const Departure& d : ends)
        items.push_back(d.item);
    std::rotate(items.begin(), std::find(items.begin(), items.end(), 0), items.end());
    return items;
}

}  // namespace

TEST(VertexOrder, CurvesGoRoundCounterclockwiseAcrossTheWrap) {
    bool clear = false;
    const std::vector<int> order = orderOf(
        {straightAt(3.1), straightAt(-3.1), straightAt(0.0), straightAt(1.5), straightAt(-1.5)},
        &clear);
    EXPECT_TRUE(clear);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 4, 2, 3}));
}

TEST(VertexOrder, CurvesLeavingAlikeAreOrderedByHowTheyBend) {
    // Three curves leave along pi (where the angles wrap): one bends
    // clockwise, one goes straight, one bends counterclockwise; a fourth
    // leaves the other way.
    bool clear = true;
    const std::vector<int> order = orderOf(
        {bentAt(M_PI, 0.5), straightAt(0.0), bentAt(-M_PI, -0.5), straightAt(M_PI - 1e-9)}, &clear);
    EXPECT_FALSE(clear);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

// A large list lets go of what it outgrows and of all it holds when it goes,
// so that a stage's finished lists do not stay to the stage's end; small
// lists share blocks that stay until the stage closes.
TEST(StageMemoryTest, LargeListsGiveBackWhatTheyLetGo) {
    constexpr size_t kSlack = size_t(1) << 20;  // the shared blocks of small lists
    size_t base = 0;
    {
        StageMemory stage;
        Arena* mem = stage.arena();
        base = mem->heldBytes();
        ScratchList<double> grown(mem);
        for (int i = 0; i < (1 << 20); ++i)
            grown.push_back(i);
        // Every buffer it outgrew went back: one buffer, not the sum of all.
        EXPECT_LE(mem->heldBytes(), base + grown.capacity() * sizeof(double) + kSlack);

        ScratchList<int> other(3 << 20, 7, mem);
        const size_t both = mem->heldBytes();
        letGo(grown);  // the earlier one first
        EXPECT_TRUE(grown.empty());
        EXPECT_LE(mem->heldBytes() + (size_t(8) << 20), both);
        letGo(other);
        EXPECT_LE(mem->heldBytes(), base + kSlack);

        ScratchList<char> small(100, 'x', mem);
        letGo(small);
        EXPECT_EQ(small.size(), 0u);
    }
    StageMemory next;
    EXPECT_EQ(next.arena()->heldBytes(), base);
}
