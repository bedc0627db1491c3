#pragma once
// Synchronous messages from a worker thread to the owner thread.
//
// A worker calls Send(); the handler runs on the owner thread and Send() returns only after it
// has run, so the handler may read what the worker wrote and the worker may rely on the owner's
// reaction. The owner must never wait for a worker while that worker waits in Send() for it.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace corvane {

class Mailbox {
public:
    virtual ~Mailbox() = default;
    // Worker side: runs `handler` on the owner thread; returns when it has run, or at once when
    // the mailbox has been closed (then the handler does not run).
    virtual void Send(std::function<void()> handler) = 0;
    // Owner side: from now on Send() returns at once without running anything, and senders that
    // wait are released. Used when the owner goes away before its workers have ended.
    virtual void Close() = 0;
};

// A mailbox for owners without an event loop (corvane-batch, tests): the owner thread pumps it.
class QueueMailbox : public Mailbox {
public:
    void Send(std::function<void()> handler) override;

    // Owner side: runs the handlers that are waiting, in order; waits up to `timeout` for the
    // first. Gives the number of handlers run.
    int Pump(std::chrono::milliseconds timeout);
    void Close() override;

private:
    struct Letter {
        std::function<void()> handler;
        bool taken = false;  // the owner is running the handler: the sender must wait for it
        bool done = false;
    };
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable delivered_;
    std::deque<Letter*> queue_;
    bool closed_ = false;
};

}  // namespace corvane
