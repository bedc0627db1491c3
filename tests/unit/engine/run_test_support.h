#pragma once
// Driving the run controller in tests: a view that records what it shows, and pumping the
// worker messages until a condition holds.

#include "engine/mailbox.h"
#include "engine/run_view.h"

#include <gtest/gtest.h>

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <vector>

namespace corvane {

// Records what the controller shows. `onStatus` lets a test act at the moment a status text
// arrives (on the owner thread, while the sending worker waits).
class RecordingView : public RunView {
public:
    void SetStatus(const QString& text, Colour colour) override {
        status = text;
        statusColour = colour;
        statuses.push_back(text);
        if (onStatus) {
            onStatus(text);
        }
    }
    void SetProgressText(const QString& text) override {
        progressText = text;
        if (onProgress) {
            onProgress(text);
        }
    }
    void ShowProgressBar(bool shown) override { barShown = shown; }
    void SetProgressPosition(int percent) override { barPosition = percent; }
    void SetButtonCaption(ControlId button, const QString& caption) override {
        captions[button] = caption;
    }
    void SetButtonEnabled(ControlId button, bool enabled) override { enabled_[button] = enabled; }
    void SetControlsEnabled(bool enable, bool startEnabled) override {
        optionsEnabled = enable;
        enabled_[ControlId::StartButton] = startEnabled;
    }
    void SetFocus(ControlId control) override { focus = control; }
    void CloseWindow() override { closed = true; }

    bool Enabled(ControlId button) const {
        const auto it = enabled_.find(button);
        return it != enabled_.end() && it->second;
    }

    QString status;
    Colour statusColour = 0;
    std::vector<QString> statuses;
    std::function<void(const QString&)> onStatus;
    std::function<void(const QString&)> onProgress;
    QString progressText;
    bool barShown = false;
    int barPosition = -1;
    std::map<ControlId, QString> captions;
    bool optionsEnabled = true;
    ControlId focus = ControlId::StatusLine;
    bool closed = false;

private:
    std::map<ControlId, bool> enabled_;
};

// Pumps worker messages until `done` holds, within a generous bound (never a fixed sleep).
inline void PumpUntil(QueueMailbox& mailbox, const std::function<bool()>& done) {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!done()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "timed out";
        mailbox.Pump(10ms);
    }
}

}  // namespace corvane
