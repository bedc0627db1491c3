#pragma once
// The run as a terminal shows it: a live bar with the counts on a terminal, one plain line per
// change otherwise, nothing with --quiet; the two count lines and the verdict at the end.

#include "engine/run_view.h"

#include <QString>

#include <cstdio>

namespace corvane {

class TerminalView : public RunView {
public:
    // `out` receives the display; `live` draws a bar that rewrites itself (a terminal).
    TerminalView(std::FILE* out, bool live, bool quiet) : out_(out), live_(live), quiet_(quiet) {}

    void SetStatus(const QString& text, Colour) override { status_ = text; }
    void SetProgressText(const QString& text) override;
    void ShowProgressBar(bool) override {}
    void SetProgressPosition(int percent) override;
    void SetButtonCaption(ControlId, const QString&) override {}
    void SetButtonEnabled(ControlId, bool) override {}
    void SetControlsEnabled(bool, bool) override {}
    void SetFocus(ControlId) override {}
    void CloseWindow() override {}

    // The last status text: at the end of a run, the verdict.
    const QString& Status() const { return status_; }
    // A line of its own between the progress lines (unless quiet).
    void ShowLine(const QString& text);
    // Prints the last count lines, the number of files that produced nothing, and the verdict,
    // as the window shows them at the end.
    void PrintSummary(std::FILE* out, int unwrittenFiles) const;

private:
    void Draw();

    std::FILE* out_;
    bool live_;
    bool quiet_;
    QString status_;
    QString progressText_;
    int percent_ = 0;
    QString lastLine_;
    bool drawn_ = false;
};

}  // namespace corvane
