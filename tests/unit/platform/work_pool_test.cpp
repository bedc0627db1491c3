#include "platform/work_pool.h"

#include <gtest/gtest.h>

#include <atomic>
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

}  // namespace
}  // namespace corvane
