#pragma once
// Coalesces rapid updates of a display: the first request after a quiet interval is applied at
// once, later ones at most once per interval, the latest state winning. A run reports progress
// thousands of times a second; repainting for each would cost more than the work itself.

#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <functional>

namespace corvane {

class UpdateThrottle {
public:
    UpdateThrottle(std::chrono::milliseconds interval, std::function<void()> apply);

    // Applies now when the interval has passed since the last apply, else once it has.
    void Request();
    // Applies a pending request now.
    void Flush();
    bool Pending() const { return pending_; }

private:
    void Apply();

    std::chrono::milliseconds interval_;
    std::function<void()> apply_;
    QTimer timer_;
    QElapsedTimer sinceApplied_;
    bool pending_ = false;
};

}  // namespace corvane
