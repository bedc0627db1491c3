#include "read_ahead.h"

#include <algorithm>
#include <exception>
#include <new>

namespace corvane {
namespace {

PreparedFile FailedFile(const QString& why) noexcept {
    PreparedFile failed;
    failed.error.kind = LoadError::Kind::TooLarge;
    failed.error.text = why;
    return failed;
}

}  // namespace

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
        reserving_.clear();
    }
    if (workers_ == 1) {
        return;
    }
    try {
        for (std::size_t i = 0; i < workers_; ++i) {
            threads_.emplace_back([this] { HelperLoop(); });
        }
    } catch (const std::exception&) {
        // Fewer helpers (std::system_error, or no memory for one): the files no helper makes
        // are made by Take().
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

PreparedFile ReadAhead::Make(const QString& file, const ClaimMemory& claim) const noexcept {
    // The texts are literals: making the note must not need memory either.
    try {
        return prepare_(file, claim);
    } catch (const std::bad_alloc&) {
        return FailedFile(QStringLiteral("there is not enough memory to process this picture"));
    } catch (...) {
        return FailedFile(QStringLiteral("processing this picture failed unexpectedly"));
    }
}

std::optional<std::size_t> ReadAhead::Claim(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return stopping_ || CanClaim(); });
    if (stopping_) {
        return std::nullopt;
    }
    ahead_.try_emplace(next_);  // claimed: Take() waits for it
    reserving_.insert(next_);
    return next_++;
}

void ReadAhead::HelperLoop() try {
    std::unique_lock lock(mutex_);
    while (const std::optional<std::size_t> index = Claim(lock)) {
        const QString file = (*files_)[*index];
        lock.unlock();
        PreparedFile prepared = Make(
            file, [this, index = *index](std::uint64_t bytes) { return Reserve(index, bytes); });
        lock.lock();
        reserving_.erase(*index);  // made without asking for memory (not a picture)
        if (const auto it = ahead_.find(*index); it != ahead_.end()) {
            it->second = std::move(prepared);
        }
        changed_.notify_all();
    }
} catch (...) {
    // No room even to claim a file: this helper ends, and Take() makes what no helper made.
}

std::optional<MemoryBudget::Hold> ReadAhead::Reserve(std::size_t index, std::uint64_t bytes) {
    {
        // Room goes to files in their order: a later file freed first would hold room that the
        // earlier one then takes anyway when its turn comes, over the budget.
        std::unique_lock lock(mutex_);
        changed_.wait(
            lock, [&] { return ending_ || reserving_.empty() || *reserving_.begin() >= index; });
    }
    std::optional<MemoryBudget::Hold> hold = budget_.Reserve(bytes, [this, index] {
        if (ending_) {
            return MemoryBudget::Wait::GiveUp;
        }
        return index <= needed_ ? MemoryBudget::Wait::GoAhead : MemoryBudget::Wait::Wait;
    });
    {
        const std::lock_guard lock(mutex_);
        reserving_.erase(index);
    }
    changed_.notify_all();
    return hold;
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
        return Make((*files_)[index], [this](std::uint64_t bytes) {
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
