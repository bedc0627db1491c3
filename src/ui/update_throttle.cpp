#include "ui/update_throttle.h"

namespace corvane {

UpdateThrottle::UpdateThrottle(std::chrono::milliseconds interval, std::function<void()> apply)
    : interval_(interval), apply_(std::move(apply)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Flush(); });
}

void UpdateThrottle::Request() {
    pending_ = true;
    if (timer_.isActive()) {
        return;
    }
    const auto since = std::chrono::milliseconds(sinceApplied_.isValid() ? sinceApplied_.elapsed()
                                                                         : interval_.count());
    if (since >= interval_) {
        Apply();
    } else {
        timer_.start(interval_ - since);
    }
}

void UpdateThrottle::Flush() {
    timer_.stop();
    if (pending_) {
        Apply();
    }
}

void UpdateThrottle::Apply() {
    pending_ = false;
    sinceApplied_.restart();
    apply_();
}

}  // namespace corvane
