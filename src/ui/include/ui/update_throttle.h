#pragma once
// Coalesces rapid updates of a display: the first request after a quiet interval is applied at
// once, later ones at most once per interval, the latest state winning. A run reports progress
// thousands of times a second; repainting for each would cost more than the work itself.

#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace corvane {

class UpdateThrottle {
public:
    // What time it is (tests give a clock of their own, so that no result depends on how fast
    // the machine is).
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    UpdateThrottle(std::chrono::milliseconds interval, std::function<void()> apply,
                   Clock now = &std::chrono::steady_clock::now);

    // Applies now when the interval has passed since the last apply, else once it has.
    void Request();
    // Applies a pending request now.
    void Flush();
    bool Pending() const { return pending_; }

private:
    void Apply();

    std::chrono::milliseconds interval_;
    std::function<void()> apply_;
    Clock now_;
    QTimer timer_;
    std::optional<std::chrono::steady_clock::time_point> lastApplied_;
    bool pending_ = false;
};

}  // namespace corvane
