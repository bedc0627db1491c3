#include "test_steps.h"

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

namespace corvane {

std::unique_ptr<TestSteps> TestSteps::FromEnvironment() {
    bool ok = false;
    const int descriptor = qEnvironmentVariableIntValue("CORVANE_TEST_STEPS", &ok);
    if (!ok || descriptor < 0) {
        return nullptr;
    }
    return std::make_unique<TestSteps>(descriptor);
}

void TestSteps::Hold(const QByteArray& state) {
    if (gone_) {
        return;
    }
    const QByteArray line = state + '\n';
    qsizetype sent = 0;
    while (sent < line.size()) {
        // No SIGPIPE when the test has gone away: the run then just goes on.
        const ssize_t n = ::send(descriptor_, line.constData() + sent,
                                 static_cast<std::size_t>(line.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            gone_ = true;
            return;
        }
        sent += n;
    }
    char answer = 0;
    ssize_t got = 0;
    do {
        got = ::read(descriptor_, &answer, 1);
    } while (got < 0 && errno == EINTR);
    gone_ = got != 1;
}

void SteppedMailbox::Send(std::function<void()> handler) {
    inner_.Send([this, handler = std::move(handler)] {
        handler();
        after_();
    });
}

}  // namespace corvane
