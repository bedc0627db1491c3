#include "platform/work_pool.h"

#include <algorithm>
#include <atomic>
#include <exception>

namespace corvane {

// One RunParts() call. Helpers hold it through their invitation, so an invitation that arrives
// after the last part has run finds nothing left and lets go.
struct WorkPool::Job {
    Job(int partCount, const std::function<void(int)>& work) : count(partCount), part(work) {}

    // Takes parts until none is left. A part that throws counts as run; its exception waits for
    // the caller.
    void Work() noexcept {
        for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            std::exception_ptr thrown;
            try {
                part(i);
            } catch (...) {
                thrown = std::current_exception();
            }
            const std::lock_guard lock(mutex);
            if (thrown && !failure) {
                failure = thrown;
            }
            if (++done == count) {
                finished.notify_all();
            }
        }
    }

    const int count;
    const std::function<void(int)>& part;
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    int done = 0;
    std::exception_ptr failure;  // the first a part threw
};

WorkPool::WorkPool(int helpers) {
    try {
        threads_.reserve(static_cast<std::size_t>(std::max(helpers, 0)));
        for (int i = 0; i < helpers; ++i) {
            threads_.emplace_back([this] { HelperLoop(); });
        }
    } catch (const std::exception&) {
        // Fewer helpers (std::system_error, or no memory for one): the callers do the rest.
    }
}

WorkPool::~WorkPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void WorkPool::HelperLoop() {
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !invitations_.empty(); });
            if (stopping_) {
                return;
            }
            job = std::move(invitations_.front());
            invitations_.pop_front();
        }
        job->Work();
    }
}

void RunParts(WorkPool* pool, int count, const std::function<void(int)>& part) {
    if (pool != nullptr) {
        pool->RunParts(count, part);
        return;
    }
    for (int i = 0; i < count; ++i) {
        part(i);
    }
}

void WorkPool::RunParts(int count, const std::function<void(int)>& part) {
    if (threads_.empty() || count <= 1) {
        corvane::RunParts(nullptr, count, part);
        return;
    }
    const auto job = std::make_shared<Job>(count, part);
    const int invited = std::min(Helpers(), count - 1);
    {
        const std::lock_guard lock(mutex_);
        invitations_.insert(invitations_.end(), invited, job);
    }
    for (int i = 0; i < invited; ++i) {
        wake_.notify_one();
    }
    job->Work();
    std::unique_lock lock(job->mutex);
    job->finished.wait(lock, [&] { return job->done == count; });
    if (job->failure) {
        std::rethrow_exception(job->failure);
    }
}

}  // namespace corvane
