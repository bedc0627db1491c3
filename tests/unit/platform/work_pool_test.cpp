#include "platform/work_pool.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

namespace corvane {
namespace {

// Each part counts itself; every count must end at exactly one.
void ExpectEachPartOnce(WorkPool* pool, int count) {
    std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
    RunParts(pool, count, [&](int i) { ++runs[i]; });
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(runs[i].load(), 1) << "part " << i << " of " << count;
    }
}

TEST(WorkPool, EveryPartRunsOnceWithAndWithoutHelpers) {
    WorkPool pool(3);
    WorkPool alone(0);
    for (const int count : {0, 1, 2, 7, 100}) {
        ExpectEachPartOnce(&pool, count);
        ExpectEachPartOnce(&alone, count);
        ExpectEachPartOnce(nullptr, count);
    }
}

TEST(WorkPool, PartsMayShareOutWorkOfTheirOwnFromSeveralCallers) {
    WorkPool pool(2);
    std::atomic<int> total{0};
    std::vector<std::thread> callers;
    for (int c = 0; c < 3; ++c) {
        callers.emplace_back(
            [&] { pool.RunParts(4, [&](int) { pool.RunParts(5, [&](int) { ++total; }); }); });
    }
    for (std::thread& caller : callers) {
        caller.join();
    }
    EXPECT_EQ(total.load(), 3 * 4 * 5);
}

// Memory running out in one part (on a helper or on the caller) reaches the caller as an
// exception once every part has run, and the pool goes on working.
TEST(WorkPool, APartThatThrowsReachesTheCallerOnceEveryPartHasRun) {
    WorkPool pool(3);
    for (const int thrower : {0, 5, 19}) {
        std::vector<std::atomic<int>> runs(20);
        EXPECT_THROW(pool.RunParts(20,
                                   [&](int i) {
                                       ++runs[i];
                                       if (i == thrower) {
                                           throw std::bad_alloc();
                                       }
                                   }),
                     std::bad_alloc)
            << thrower;
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(runs[i].load(), 1) << "part " << i;
        }
    }
    ExpectEachPartOnce(&pool, 50);
}

// A system that refuses new threads (here: no more processes for this user) leaves a pool
// without helpers, whose callers do every part.
TEST(WorkPool, ThreadsTheSystemRefusesAreDoneWithout) {
    const int result = test::RunUnprivileged([] {
        const rlimit none{1, 1};
        if (::setrlimit(RLIMIT_NPROC, &none) != 0) {
            return 2;
        }
        try {
            WorkPool pool(3);
            std::atomic<int> runs{0};
            pool.RunParts(10, [&](int) { ++runs; });
            return pool.Helpers() == 0 && runs == 10 ? 0 : 3;
        } catch (...) {
            return 4;
        }
    });
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace corvane
