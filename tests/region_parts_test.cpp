// Parts of the region engine whose faults would only show as slightly
// different answers: the sort that merges ordered stretches, and the
// monotone cuts of a cubic.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "region/cubic.h"
#include "region/runsort.h"

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
