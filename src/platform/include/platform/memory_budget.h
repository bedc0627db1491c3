#pragma once
// How much memory a run's pictures may take at once, and how much the process may use at all.
//
// A `MemoryBudget` counts the bytes that files in flight hold (pictures, decode buffers, encoded
// bytes). A thread that makes a file ahead of its turn waits for room before it decodes; the
// thread that needs a file now never waits, so a run always moves on, and a file larger than the
// whole budget still goes when nothing else is held.
//
// Threads: every method may be called from any thread; a `Hold` may be given back on any thread.
// The budget's lock is taken last: `goAhead` is called under it and must not block.

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace corvane {

class MemoryBudget {
public:
    // Bytes counted against a budget until the hold is dropped.
    class Hold {
    public:
        Hold() = default;
        ~Hold() { Release(); }
        Hold(Hold&& other) noexcept;
        Hold& operator=(Hold&& other) noexcept;
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        std::uint64_t Bytes() const { return bytes_; }
        void Release();
        // Counts `bytes` from now on: what is beyond is given back, what is missing is taken
        // from `budget` without waiting.
        void SetTo(std::uint64_t bytes, MemoryBudget& budget);

    private:
        friend class MemoryBudget;
        Hold(MemoryBudget* budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {}
        MemoryBudget* budget_ = nullptr;
        std::uint64_t bytes_ = 0;
    };

    // What a waiting thread is told to do when it has no room.
    enum class Wait { Wait, GoAhead, GiveUp };

    explicit MemoryBudget(std::uint64_t limit) : limit_(limit) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    std::uint64_t Limit() const { return limit_; }
    std::uint64_t Held() const;
    // The most that was held at once since the budget was made.
    std::uint64_t MostHeld() const;

    // Counts `bytes` once they fit beside what is held, or nothing is held, or `decide` says to
    // go ahead all the same; nothing when it says to give up. `decide` is asked again whenever
    // bytes are given back or Wake() is called.
    std::optional<Hold> Reserve(std::uint64_t bytes, const std::function<Wait()>& decide);
    // Counts `bytes` at once, whatever is held.
    Hold Take(std::uint64_t bytes);
    // Makes waiting threads ask their `decide` again (what it reads has changed).
    void Wake();

private:
    void GiveBack(std::uint64_t bytes);

    const std::uint64_t limit_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t held_ = 0;
    std::uint64_t mostHeld_ = 0;
};

// Where the memory a process may use is read from; tests give their own files.
struct MemorySources {
    QString ownCgroup = QStringLiteral("/proc/self/cgroup");
    QString cgroupRoot = QStringLiteral("/sys/fs/cgroup");
    QString meminfo = QStringLiteral("/proc/meminfo");
};

// The memory this process may use: the limit of its own cgroup (v2 `memory.max`, else v1
// `memory.limit_in_bytes`) where one is set, but no more than the memory available now
// (`MemAvailable`) nor the process's address-space limit. Nothing when none can be read.
std::optional<std::uint64_t> MemoryTheProcessMayUse(const MemorySources& sources = {});

// The budget of a run when none is chosen: a share of what the process may use (the rest left
// to the decoders' and encoders' own tables, the libraries and the rest of the process), and no
// more than `cores` (those the process may run on) can work on: pictures in flight beyond that
// make a run heavier, not faster.
std::uint64_t DefaultMemoryBudget(int cores, const MemorySources& sources = {});

// A size as people write it: whole bytes, or a number with K, M or G (powers of 1024, "MB",
// "MiB" and lower case too), e.g. "512M", "1.5G". Nothing when it is not a positive size.
std::optional<std::uint64_t> ParseMemorySize(const QString& text);

}  // namespace corvane
