#include "read_ahead.h"

#include <algorithm>
#include <system_error>

namespace corvane {

ReadAhead::ReadAhead(int helpers, Prepare prepare)
    : helpers_(std::max(helpers, 0)), prepare_(std::move(prepare)) {}

ReadAhead::~ReadAhead() {
    Stop();
}

void ReadAhead::Start(const PathList& files, std::size_t first) {
    Stop();
    {
        const std::lock_guard lock(mutex_);
        files_ = &files;
        next_ = first;
        limit_ = first + static_cast<std::size_t>(helpers_);
    }
    try {
        for (int i = 0; i < helpers_; ++i) {
            threads_.emplace_back([this] { HelperLoop(); });
        }
    } catch (const std::system_error&) {
        // Fewer helpers: the files no helper makes are made by Take().
    }
}

bool ReadAhead::CanClaim() const {
    return next_ < files_->size() && next_ < limit_;
}

void ReadAhead::HelperLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || CanClaim(); });
        if (stopping_) {
            return;
        }
        const std::size_t index = next_++;
        ahead_[index];  // claimed: Take() waits for it
        const QString file = (*files_)[index];
        lock.unlock();
        PreparedFile prepared = prepare_(file);
        lock.lock();
        if (const auto it = ahead_.find(index); it != ahead_.end()) {
            it->second = std::move(prepared);
        }
        changed_.notify_all();
    }
}

PreparedFile ReadAhead::Take(std::size_t index) {
    std::unique_lock lock(mutex_);
    // Taking this file lets the helpers make the next ones, up to one each.
    limit_ = std::max(limit_, index + 1 + static_cast<std::size_t>(helpers_));
    ahead_.erase(ahead_.begin(), ahead_.lower_bound(index));
    changed_.notify_all();
    const auto it = ahead_.find(index);
    if (it == ahead_.end()) {
        next_ = std::max(next_, index + 1);
        lock.unlock();
        return prepare_((*files_)[index]);
    }
    changed_.wait(lock, [&] { return it->second.has_value(); });
    PreparedFile prepared = std::move(*it->second);
    ahead_.erase(it);
    return prepared;
}

void ReadAhead::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
    threads_.clear();
    std::map<std::size_t, std::optional<PreparedFile>> dropped;
    const std::lock_guard lock(mutex_);
    dropped.swap(ahead_);
    stopping_ = false;
}

}  // namespace corvane
