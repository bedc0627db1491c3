#include "ui/update_throttle.h"

namespace corvane {

UpdateThrottle::UpdateThrottle(std::chrono::milliseconds interval, std::function<void()> apply,
                               Clock now)
    : interval_(interval), apply_(std::move(apply)), now_(std::move(now)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Flush(); });
}

void UpdateThrottle::Request() {
    pending_ = true;
    if (timer_.isActive()) {
        return;
    }
    const auto since =
        lastApplied_ ? std::chrono::duration_cast<std::chrono::milliseconds>(now_() - *lastApplied_)
                     : interval_;
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
    lastApplied_ = now_();
    apply_();
}

}  // namespace corvane
