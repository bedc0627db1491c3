#pragma once
// The window's Mailbox: a worker's message runs on the window thread through the event loop
// (Qt::BlockingQueuedConnection), and the worker waits until it has run.
//
// Close() is made on the window thread when the owner goes away before its worker has ended: it
// lets every sender go, running nothing more, so that the worker can be joined without a
// deadlock.

#include "engine/mailbox.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace corvane {

class WindowMailbox : public Mailbox {
public:
    // Handlers run on the thread that creates the mailbox.
    WindowMailbox() = default;

    void Send(std::function<void()> handler) override;
    void Close() override;

private:
    QObject receiver_;
    std::mutex mutex_;
    std::condition_variable sendersLeft_;
    int sending_ = 0;  // senders inside Send, posted or about to post
    std::atomic<bool> closed_{false};
};

}  // namespace corvane
