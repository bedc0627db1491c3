#pragma once
// A hold for tests of corvane-batch. When the environment variable CORVANE_TEST_STEPS names an
// open descriptor (a socket whose other end the test holds), every message of the run is
// reported there as one line once its handler has run - while the worker that sent it still
// waits - and the run goes on only when the test answers with one byte. A test so acts at a
// state the run reports (the fourth output written, the first mosaic tile placed), never at a
// moment in time. Nothing of this is seen without the variable.

#include "engine/mailbox.h"

#include <QByteArray>

#include <functional>
#include <memory>

namespace corvane {

class TestSteps {
public:
    // The steps the environment asks for; none without CORVANE_TEST_STEPS.
    static std::unique_ptr<TestSteps> FromEnvironment();
    explicit TestSteps(int descriptor) : descriptor_(descriptor) {}

    // Reports `state` and waits for the go-ahead; returns at once once the test has gone away.
    void Hold(const QByteArray& state);

private:
    int descriptor_;
    bool gone_ = false;
};

// A mailbox whose every handler is followed by `after` on the owner thread, the sender still
// waiting; the letters go through `inner`, which the owner pumps.
class SteppedMailbox : public Mailbox {
public:
    SteppedMailbox(Mailbox& inner, std::function<void()> after)
        : inner_(inner), after_(std::move(after)) {}

    void Send(std::function<void()> handler) override;
    void Close() override { inner_.Close(); }

private:
    Mailbox& inner_;
    std::function<void()> after_;
};

}  // namespace corvane
