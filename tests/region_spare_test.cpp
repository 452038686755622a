// Work handed to a spare core: it ends before its caller goes on, however
// either half ends, and what it throws reaches the caller.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "region/spare.h"

using namespace carvex::region;

namespace {

TEST(SpareCores, AHalfThatThrowsWaitsForTheOtherBeforeLeaving) {
    // The first half reads the caller's list after the second has thrown:
    // the caller must not have left (and let the list go) before it ends.
    for (int round = 0; round < 20; ++round) {
        std::atomic<bool> firstEnded{false};
        bool beside = false;
        long sum = 0;
        try {
            std::vector<int> read(1000, 1);
            beside = besideEachOther(
                [&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    for (int v : read)
                        sum += v;
                    firstEnded = true;
                },
                [] { throw std::runtime_error("second"); });
        } catch (const std::runtime_error&) {
            beside = true;
            EXPECT_TRUE(firstEnded);
            EXPECT_EQ(sum, 1000);
        }
        // Once the core has been spare, it is spare again for the next call.
        if (round == 0 && !beside) GTEST_SKIP() << "no spare core on this machine";
        EXPECT_TRUE(beside) << "round " << round;
    }
}

TEST(SpareCores, WhatTheSpareCoreThrowsReachesTheCaller) {
    bool secondRan = false;
    bool caught = false;
    try {
        const bool beside =
            besideEachOther([] { throw std::bad_alloc(); }, [&] { secondRan = true; });
        if (!beside) GTEST_SKIP() << "no spare core on this machine";
    } catch (const std::bad_alloc&) {
        caught = true;
    }
    EXPECT_TRUE(caught);
    EXPECT_TRUE(secondRan);
}

TEST(SpareCores, OnOneThreadTheSecondHalfFollowsOnlyAFirstThatSucceeded) {
    for (bool firstSucceeds : {true, false}) {
        bool secondRan = false;
        bothHalves(
            false, [&] { return firstSucceeds; }, [&] { secondRan = true; });
        EXPECT_EQ(secondRan, firstSucceeds);
    }
}

TEST(SpareCores, CallsFromManyThreadsAtOnceAllEnd) {
    // More callers than cores: each either gets a spare core or runs both
    // halves itself, and every half runs once.
    std::atomic<int> halves{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 8; ++t)
        callers.emplace_back([&halves] {
            for (int i = 0; i < 200; ++i)
                bothHalves(
                    true,
                    [&] {
                        ++halves;
                        return true;
                    },
                    [&] { ++halves; });
        });
    for (std::thread& t : callers)
        t.join();
    EXPECT_EQ(halves.load(), 8 * 200 * 2);
}

}  // namespace
