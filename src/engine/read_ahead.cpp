#include "read_ahead.h"

#include <algorithm>
#include <system_error>

namespace corvane {

ReadAhead::ReadAhead(int workers, MemoryBudget& budget, Prepare prepare)
    : workers_(static_cast<std::size_t>(std::max(workers, 1))),
      budget_(budget),
      prepare_(std::move(prepare)) {}

ReadAhead::~ReadAhead() {
    Stop();
}

void ReadAhead::Start(const PathList& files, std::size_t current, bool held) {
    Stop();
    {
        const std::lock_guard lock(mutex_);
        files_ = &files;
        next_ = held ? current + 1 : current;
        limit_ = current + workers_;
        heldHeavy_ = held;
        needed_ = current;
        ending_ = false;
    }
    if (workers_ == 1) {
        return;
    }
    try {
        for (std::size_t i = 0; i < workers_; ++i) {
            threads_.emplace_back([this] { HelperLoop(); });
        }
    } catch (const std::system_error&) {
        // Fewer helpers: the files no helper makes are made by Take().
    }
}

bool ReadAhead::CanClaim() const {
    if (next_ >= files_->size()) {
        return false;
    }
    return next_ < limit_ || (next_ < limit_ + workers_ && Heavy() < workers_);
}

std::size_t ReadAhead::Heavy() const {
    const auto heavy = [](const auto& entry) {
        return !entry.second || entry.second->image != nullptr;
    };
    return static_cast<std::size_t>(std::count_if(ahead_.begin(), ahead_.end(), heavy)) +
           (heldHeavy_ ? 1 : 0);
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
        PreparedFile prepared =
            prepare_(file, [this, index](std::uint64_t bytes) { return Claim(index, bytes); });
        lock.lock();
        if (const auto it = ahead_.find(index); it != ahead_.end()) {
            it->second = std::move(prepared);
        }
        changed_.notify_all();
    }
}

std::optional<MemoryBudget::Hold> ReadAhead::Claim(std::size_t index, std::uint64_t bytes) {
    return budget_.Reserve(bytes, [this, index] {
        if (ending_) {
            return MemoryBudget::Wait::GiveUp;
        }
        return index <= needed_ ? MemoryBudget::Wait::GoAhead : MemoryBudget::Wait::Wait;
    });
}

PreparedFile ReadAhead::Take(std::size_t index) {
    std::unique_lock lock(mutex_);
    heldHeavy_ = false;  // the processing thread is done with its previous file
    limit_ = std::max(limit_, index + workers_);
    ahead_.erase(ahead_.begin(), ahead_.lower_bound(index));
    needed_ = index;
    budget_.Wake();  // a helper waiting for room with this file goes ahead
    changed_.notify_all();
    const auto it = ahead_.find(index);
    if (it == ahead_.end()) {
        next_ = std::max(next_, index + 1);
        heldHeavy_ = true;  // made here, picture and all
        lock.unlock();
        return prepare_((*files_)[index], [this](std::uint64_t bytes) {
            return std::optional<MemoryBudget::Hold>(budget_.Take(bytes));
        });
    }
    changed_.wait(lock, [&] { return it->second.has_value(); });
    PreparedFile prepared = std::move(*it->second);
    ahead_.erase(it);
    heldHeavy_ = prepared.image != nullptr;
    return prepared;
}

void ReadAhead::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        ending_ = true;
    }
    budget_.Wake();  // helpers waiting for room give their files up
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
