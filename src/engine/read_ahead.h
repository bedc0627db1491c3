#pragma once
// Files of a run made ready ahead of their turn: while the processing thread writes the outputs
// of one file, helper threads load (and turn and resize) the next ones. With N workers there are
// N helpers and the processing thread's file and the N - 1 after it may be in hand: while it
// writes, N - 1 files are made ahead; while it waits for its file, every helper works. A file is
// made by the same function whichever thread makes it, so the run is the same whatever N.
// Files that come out without a picture (only their encoded outputs, or nothing) are light: while
// fewer than N files in hand are being made or hold a picture (the processing thread's counted),
// helpers go on up to N further files, so that one slow file does not leave the others idle.
//
// Memory: what files in hand hold is counted against the run's budget. A helper claims what its
// file's processing takes before decoding it and waits for room, unless its file is the one the
// processing thread needs next; room goes to files in their order. The processing thread's own
// claims never wait. So the run always
// moves on, and a file larger than the whole budget is made when its turn comes.
//
// Threads: Start(), Take() and Stop() belong to the processing thread; the helpers run `prepare`
// outside the lock and hand over its result under it. `prepare` reads only what it was given
// (an immutable snapshot of the run, see file_preparer.h), never the processing thread's state.
// An exception out of `prepare` (memory running out on one picture) becomes that file's failure,
// a too-large note, on whichever thread made it: it never leaves a helper.

#include "engine/enumeration.h"
#include "imaging/image_processor.h"
#include "platform/memory_budget.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace corvane {

// Counts bytes for a file being made: a helper waits for room, the processing thread does not.
// Nothing when the run is stopping and the file will not be used.
using ClaimMemory = std::function<std::optional<MemoryBudget::Hold>(std::uint64_t bytes)>;

// One source file, loaded and transformed as the run says.
struct PreparedFile {
    BitmapPtr image;  // none once every output is in `encoded`
    // Per output format, its bytes when they were encoded ahead.
    std::vector<std::optional<EncodedFile>> encoded;
    bool loaded = false;  // the picture decoded; `error` says why not otherwise
    RawFormat raw = RawFormat::Undefined;
    LoadError error;
    MemoryBudget::Hold memory;  // what the file holds, counted against the run's budget
};

class ReadAhead {
public:
    using Prepare = std::function<PreparedFile(const QString& file, const ClaimMemory& claim)>;

    // One worker: no helper, every file is made by Take().
    ReadAhead(int workers, MemoryBudget& budget, Prepare prepare);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts the helpers with files[current] as the processing thread's file (already in its
    // hands when `held`). `files` must outlive Stop().
    void Start(const PathList& files, std::size_t current, bool held);
    // files[index] made ready (after Start()): by a helper, waiting for it to finish, or else
    // here.
    PreparedFile Take(std::size_t index);
    // Ends the helpers (each finishes the file it is on) and drops what they made.
    void Stop();

private:
    void HelperLoop();
    // Waits until a file may be claimed (or the helpers stop) and claims it; none when stopping.
    // The one place that says when a helper may take on more work.
    std::optional<std::size_t> Claim(std::unique_lock<std::mutex>& lock);
    bool CanClaim() const;
    // `prepare` for one file, its exceptions made the file's failure.
    PreparedFile Make(const QString& file, const ClaimMemory& claim) const noexcept;
    // Files in hand being made or holding a picture.
    std::size_t Heavy() const;

    // A helper's claim of memory for files[index]: waits for room unless it is the file the
    // processing thread needs.
    std::optional<MemoryBudget::Hold> Reserve(std::size_t index, std::uint64_t bytes);

    const std::size_t workers_;
    MemoryBudget& budget_;
    const Prepare prepare_;
    // Read under the budget's lock, which comes after ours: the file the processing thread needs
    // (its claim never waits) and whether helpers are being ended.
    std::atomic<std::size_t> needed_ = 0;
    std::atomic<bool> ending_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    const PathList* files_ = nullptr;
    std::size_t next_ = 0;   // the next file a helper claims
    std::size_t limit_ = 0;  // helpers claim files below this
    // Claimed files; a value once made.
    std::map<std::size_t, std::optional<PreparedFile>> ahead_;
    // Claimed files whose helpers have not yet had their memory (or made them without any).
    std::set<std::size_t> reserving_;
    bool heldHeavy_ = false;  // the processing thread's file holds a picture
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace corvane
