// Knots come from per-thread free lists. A knot made on one thread and
// deleted on another (a worker's answer dropped by its caller) must be made
// again from memory already taken, not from ever more new memory.

#include <gtest/gtest.h>
#include <malloc.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "geometry/knot.h"

namespace {

constexpr int kKnotsPerRound = 20000;
constexpr int kRounds = 30;

std::vector<Knot*> makeKnots() {
    std::vector<Knot*> knots;
    knots.reserve(kKnotsPerRound);
    for (int i = 0; i < kKnotsPerRound; ++i)
        knots.push_back(new Knot(Point3d(i, 0, 0), double(i)));
    return knots;
}

std::size_t bytesInUse() {
    return mallinfo2().uordblks;
}

// Without reuse every round would take kKnotsPerRound new slots; allow less
// than three rounds' worth for the free lists and the pool.
void expectBoundedGrowth(std::size_t before, std::size_t after) {
    const std::size_t perRound = kKnotsPerRound * sizeof(Knot);
    EXPECT_LT(after > before ? after - before : 0, 3 * perRound)
        << "grew by " << (after - before) / perRound << " rounds' worth";
}

}  // namespace

TEST(KnotPool, KnotsMadeByShortLivedThreadsAndDroppedHereAreReused) {
    auto round = [] {
        std::vector<Knot*> knots;
        std::thread worker([&] { knots = makeKnots(); });
        worker.join();
        for (Knot* k : knots)
            delete k;
    };
    round();
    const std::size_t before = bytesInUse();
    for (int i = 0; i < kRounds; ++i)
        round();
    expectBoundedGrowth(before, bytesInUse());
}

TEST(KnotPool, KnotsMadeByALongLivedWorkerAndDroppedHereAreReused) {
    std::mutex mutex;
    std::condition_variable changed;
    int requested = 0;
    std::vector<std::vector<Knot*>> ready;
    std::thread worker([&] {
        for (int made = 0; made < kRounds + 1; ++made) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return requested > made; });
            }
            std::vector<Knot*> knots = makeKnots();
            std::lock_guard<std::mutex> lock(mutex);
            ready.push_back(std::move(knots));
            changed.notify_all();
        }
    });
    auto round = [&] {
        std::vector<Knot*> knots;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ++requested;
            changed.notify_all();
            changed.wait(lock, [&] { return !ready.empty(); });
            knots = std::move(ready.back());
            ready.pop_back();
        }
        for (Knot* k : knots)
            delete k;
    };
    round();
    const std::size_t before = bytesInUse();
    for (int i = 0; i < kRounds; ++i)
        round();
    const std::size_t after = bytesInUse();
    worker.join();
    expectBoundedGrowth(before, after);
}

TEST(KnotPool, KnotsKeepTheirValuesWhileOthersComeAndGoOnManyThreads) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &wrong] {
            for (int r = 0; r < 5; ++r) {
                std::vector<Knot*> knots = makeKnots();
                for (int i = 0; i < kKnotsPerRound; i += 2)
                    delete knots[i];
                for (int i = 1; i < kKnotsPerRound; i += 2)
                    if (knots[i]->point.x != i || knots[i]->param != i) ++wrong[t];
                for (int i = 1; i < kKnotsPerRound; i += 2)
                    delete knots[i];
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}
