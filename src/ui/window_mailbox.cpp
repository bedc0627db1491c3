#include "ui/window_mailbox.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <chrono>

namespace corvane {

void WindowMailbox::Send(std::function<void()> handler) {
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        ++sending_;
    }
    QMetaObject::invokeMethod(
        &receiver_,
        [this, &handler] {
            if (!closed_) {
                handler();
            }
        },
        Qt::BlockingQueuedConnection);
    {
        const std::lock_guard lock(mutex_);
        --sending_;
    }
    sendersLeft_.notify_all();
}

void WindowMailbox::Close() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    // A sender may be between its count and its post; delivering (and skipping) what has been
    // posted until every sender has left covers both.
    while (sending_ > 0) {
        lock.unlock();
        QCoreApplication::sendPostedEvents(&receiver_, QEvent::MetaCall);
        lock.lock();
        sendersLeft_.wait_for(lock, std::chrono::milliseconds(1), [this] { return sending_ == 0; });
    }
}

}  // namespace corvane
