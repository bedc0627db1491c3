#include "engine/mailbox.h"

namespace corvane {

void QueueMailbox::Send(std::function<void()> handler) {
    Letter letter{std::move(handler)};
    std::unique_lock lock(mutex_);
    if (closed_) {
        return;
    }
    queue_.push_back(&letter);
    arrived_.notify_all();
    delivered_.wait(lock, [&] { return letter.done || (closed_ && !letter.taken); });
    if (!letter.done) {
        std::erase(queue_, &letter);
    }
}

int QueueMailbox::Pump(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, timeout, [&] { return !queue_.empty() || closed_; });
    int count = 0;
    while (!queue_.empty() && !closed_) {
        Letter* letter = queue_.front();
        queue_.pop_front();
        letter->taken = true;
        lock.unlock();
        letter->handler();
        lock.lock();
        letter->done = true;
        delivered_.notify_all();
        ++count;
    }
    return count;
}

void QueueMailbox::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    delivered_.notify_all();
    arrived_.notify_all();
}

}  // namespace corvane
