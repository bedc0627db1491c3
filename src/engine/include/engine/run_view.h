#pragma once
// Every visible effect of a run, as the run controller asks for it. The window implements it
// with widgets, corvane-batch with terminal output, tests with a recorder. All calls come on the
// owner thread.

#include "engine/control_ids.h"
#include "engine/run_types.h"

#include <QString>

namespace corvane {

class RunView {
public:
    virtual ~RunView() = default;
    // The status line, in a colour (0x00BBGGRR).
    virtual void SetStatus(const QString& text, Colour colour) = 0;
    // The two lines of counts (or the counting hint) above the status line.
    virtual void SetProgressText(const QString& text) = 0;
    // The percentage bar: shown with its position (0 to 100), or hidden.
    virtual void ShowProgressBar(bool shown) = 0;
    virtual void SetProgressPosition(int percent) = 0;
    // The Start/Pause/Continue and Stop buttons.
    virtual void SetButtonCaption(ControlId button, const QString& caption) = 0;
    virtual void SetButtonEnabled(ControlId button, bool enabled) = 0;
    // Locks or unlocks every option control as one block; Start follows startEnabled.
    virtual void SetControlsEnabled(bool enable, bool startEnabled) = 0;
    virtual void SetFocus(ControlId control) = 0;
    // Closes the window (after a close was requested during a run).
    virtual void CloseWindow() = 0;
};

}  // namespace corvane
