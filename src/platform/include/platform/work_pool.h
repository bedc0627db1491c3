#pragma once
// Helper threads that share out the parts of one job with the thread that asks for it: the parts
// of a picture (bands of rows) are worked on by every core while the run goes on.
//
// Threads: RunParts() may be called from any thread, from several at once, and from inside a
// part. The caller always works on its own job too, so it never waits for a part that no thread
// has taken. A part that throws (memory running out) never ends a helper thread: RunParts() still
// waits for every part, then throws the first exception on the calling thread.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace corvane {

class WorkPool {
public:
    // `helpers` threads beside the callers; 0 runs every part on the calling thread. Threads the
    // system refuses to start are done without (Helpers() says how many there are).
    explicit WorkPool(int helpers);
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    int Helpers() const { return static_cast<int>(threads_.size()); }

    // Runs part(0) ... part(count - 1), each once, in any order and at the same time on the
    // calling thread and the helpers that are free; returns when all have run (throws the first
    // exception a part threw, once all have run).
    void RunParts(int count, const std::function<void(int)>& part);

private:
    struct Job;
    void HelperLoop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> invitations_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// pool->RunParts(), or every part in turn on the calling thread when there is no pool.
void RunParts(WorkPool* pool, int count, const std::function<void(int)>& part);

}  // namespace corvane
