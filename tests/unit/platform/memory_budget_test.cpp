#include "platform/memory_budget.h"

#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t(1) << 20;

TEST(MemoryBudget, ParsesSizesAsPeopleWriteThem) {
    struct Row {
        const char* text;
        std::optional<std::uint64_t> bytes;
    };
    const Row rows[] = {
        {"1048576", 1048576},  {"64K", 64 * 1024},    {"512M", 512 * kMiB},
        {"512mb", 512 * kMiB}, {" 2G ", 2048 * kMiB}, {"1.5GiB", 1536 * kMiB},
        {"0", std::nullopt},   {"-1G", std::nullopt}, {"12T", std::nullopt},
        {"G", std::nullopt},   {"", std::nullopt},    {"99999999999G", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ParseMemorySize(QString::fromUtf8(row.text)), row.bytes) << row.text;
    }
}

// What the process may use and the default budget, read from given cgroup and meminfo files.
TEST(MemoryBudget, FollowsTheOwnCgroupLimitElseTheAvailableMemory) {
    struct Row {
        const char* name;
        const char* cgroup;     // the text of /proc/self/cgroup
        const char* limitFile;  // below the cgroup root
        const char* limit;
        std::optional<std::uint64_t> mayUse;
    };
    const char* meminfo = "MemTotal: 16777216 kB\nMemFree: 1024 kB\nMemAvailable: 8388608 kB\n";
    const Row rows[] = {
        {"v2 limit", "0::/job/7\n", "job/7/memory.max", "1073741824\n", 1024 * kMiB},
        {"v2 no limit", "0::/job/7\n", "job/7/memory.max", "max\n", 8192 * kMiB},
        {"v2 above available", "0::/job\n", "job/memory.max", "17179869184\n", 8192 * kMiB},
        {"v1 limit", "4:memory:/box\n3:cpu:/\n", "memory/box/memory.limit_in_bytes", "536870912\n",
         512 * kMiB},
        {"v1 unlimited", "5:cpuacct,memory:/\n", "memory/memory.limit_in_bytes",
         "9223372036854771712\n", 8192 * kMiB},
        {"no cgroup file", "", "unused", "", 8192 * kMiB},
    };
    for (const Row& row : rows) {
        test::TempTree tree;
        MemorySources sources{tree.WriteFile("cgroup", row.cgroup), tree.Root() + "fs",
                              tree.WriteFile("meminfo", meminfo)};
        tree.WriteFile(QStringLiteral("fs/") + row.limitFile, row.limit);
        EXPECT_EQ(MemoryTheProcessMayUse(sources), row.mayUse) << row.name;
        EXPECT_EQ(DefaultMemoryBudget(2, sources), std::min(*row.mayUse / 2, 320 * kMiB))
            << row.name;
    }
    test::TempTree empty;
    EXPECT_EQ(MemoryTheProcessMayUse({empty.Path("none"), empty.Path("none"), empty.Path("none")}),
              std::nullopt);
}

// A thread that reserves in a thread of its own, and says when its `decide` was asked (it
// found no room).
class Reserver {
public:
    Reserver(MemoryBudget& budget, std::uint64_t bytes, MemoryBudget::Wait answer)
        : answer_(answer), thread_([this, &budget, bytes] {
              held_ = budget.Reserve(bytes, [this] {
                  const std::lock_guard lock(mutex_);
                  asked_ = true;
                  changed_.notify_all();
                  return answer_;
              });
          }) {}
    ~Reserver() { Join(); }
    void WaitUntilAsked() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return asked_; });
    }
    void Answer(MemoryBudget::Wait answer, MemoryBudget& budget) {
        {
            const std::lock_guard lock(mutex_);
            answer_ = answer;
        }
        budget.Wake();
    }
    std::optional<MemoryBudget::Hold>& Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return held_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool asked_ = false;
    std::optional<MemoryBudget::Hold> held_;
    MemoryBudget::Wait answer_;
    std::thread thread_;
};

TEST(MemoryBudget, AHelperWaitsForRoomUntilBytesAreGivenBack) {
    MemoryBudget budget(100);
    MemoryBudget::Hold first = budget.Take(70);
    Reserver second(budget, 40, MemoryBudget::Wait::Wait);
    second.WaitUntilAsked();
    EXPECT_EQ(budget.Held(), 70u);
    first.Release();
    ASSERT_TRUE(second.Join());
    EXPECT_EQ(budget.Held(), 40u);
    EXPECT_EQ(budget.MostHeld(), 70u);
}

TEST(MemoryBudget, AWaitingHelperGoesAheadOrGivesUpWhenItsDecisionChanges) {
    for (const auto answer : {MemoryBudget::Wait::GoAhead, MemoryBudget::Wait::GiveUp}) {
        MemoryBudget budget(100);
        const MemoryBudget::Hold first = budget.Take(90);
        Reserver second(budget, 40, MemoryBudget::Wait::Wait);
        second.WaitUntilAsked();
        second.Answer(answer, budget);
        const bool held = second.Join().has_value();
        EXPECT_EQ(held, answer == MemoryBudget::Wait::GoAhead);
        EXPECT_EQ(budget.Held(), held ? 130u : 90u);
    }
}

TEST(MemoryBudget, APictureLargerThanTheBudgetGoesWhenNothingElseIsHeld) {
    MemoryBudget budget(100);
    const auto never = [] { return MemoryBudget::Wait::Wait; };
    std::optional<MemoryBudget::Hold> large = budget.Reserve(500, never);
    ASSERT_TRUE(large);
    EXPECT_EQ(budget.Held(), 500u);
    MemoryBudget::Hold taken = budget.Take(10);  // the processing thread never waits
    taken.SetTo(30, budget);
    EXPECT_EQ(budget.Held(), 530u);
    large->SetTo(200, budget);
    EXPECT_EQ(budget.Held(), 230u);
    large.reset();
    taken = {};
    EXPECT_EQ(budget.Held(), 0u);
    EXPECT_EQ(budget.MostHeld(), 530u);
}

}  // namespace
}  // namespace corvane
