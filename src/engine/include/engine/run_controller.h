#pragma once
// The run: its state machine, its data and its one worker thread at a time.
//
// Start/Pause/Continue, Stop and close are methods; so are the handlers of the worker messages.
// Every visible effect goes through RunView.
//
// Threads: every public method runs on the owner thread (the window's, or corvane-batch's main
// thread). Workers - first the counting thread, then the processing thread; a paused run has
// none - read the settings, poll the run state, and reach the owner only through the Mailbox;
// the message handlers run on the owner thread while the sender waits. The owner reads what a
// worker wrote only inside those handlers or when no worker runs. A worker is never joined from
// inside the handler of one of its own messages: it is joined when the next worker starts or when
// the controller goes away.

#include "engine/batch_settings.h"
#include "engine/enumeration.h"
#include "engine/form.h"
#include "engine/mailbox.h"
#include "engine/processing_loop.h"
#include "engine/run_types.h"
#include "engine/run_view.h"
#include "imaging/image_processor.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace corvane {

class RunController {
public:
    // Checks the form before a run and prepares its watermark; false refuses Start (having shown
    // its message).
    using Validator = std::function<bool()>;
    // Makes the per-file work of a run when processing starts.
    using HandlerFactory = std::function<std::unique_ptr<FileHandler>()>;
    // Decides, once the listing is complete and the run's settings are captured, which of the
    // listed files the run processes (a shard takes its share): it may shorten `files` and
    // change `hidden`. A text refuses the run with that message.
    using ListingFilter = std::function<std::optional<QString>(const BatchSettings& settings,
                                                               PathList& files, int& hidden)>;

    RunController(Form& form, RunView& view, Mailbox& mailbox, Validator validate,
                  HandlerFactory makeHandler);
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Start does nothing until the window has finished initialising.
    void MarkInitialised() { initialised_ = true; }
    void SetListingFilter(ListingFilter filter) { listingFilter_ = std::move(filter); }

    void OnStartPauseContinue();
    void OnStop();
    // The window's close request: closes at once without a worker, otherwise stops the run and
    // closes when the worker's last message has been handled.
    void OnClose();

    // Worker message handlers.
    void OnCountingDone();
    void OnCountingStopped();
    void OnProgress();
    void OnPaused();
    void OnRunFinished();

    // Frees the file list, the format list and the pipeline's images (keeping the run's combine
    // counts and file results); the watermark picture too when asked.
    void ReleaseRunData(bool alsoWatermark);
    void ResetRunButtons();
    void SetStatus(const QString& text, Colour colour) { view_.SetStatus(text, colour); }

    RunState State() const { return static_cast<RunState>(state_.load()); }
    // How the last run ended; None from Start until it ends.
    RunOutcome Outcome() const { return outcome_; }
    bool HasWorker() const { return workerActive_; }
    bool CloseRequested() const { return closeRequested_; }
    const RunReport& Report() const { return report_; }
    const BatchSettings& Settings() const { return settings_; }
    // The one option without a control in the dialog; Start keeps it.
    void SetStripMetadata(bool strip) { settings_.stripMetadata = strip; }
    // The formats only corvane-batch offers; Start keeps them.
    void SetBatchOnlyFormats(bool webp, bool avif) {
        settings_.webp = webp;
        settings_.avif = avif;
    }
    // The last run's combine counts (valid until the next processing start).
    const CombineCounts& Combine() const { return lastCombine_; }
    // What became of the last run's files that have notes (valid until the next Start).
    const std::vector<FileResult>& FileResults() const { return lastResults_; }
    // The list being processed (empty between runs).
    const PathList& FileList() const { return fileList_; }
    // The watermark of the run, prepared by validation.
    WatermarkSettings& RunWatermark() { return watermark_; }
    // The multi selection: absent until the first Add.
    PathListHolder& MultiSelectFiles() { return multiSelectFiles_; }
    PathListHolder& MultiSelectFolders() { return multiSelectFolders_; }

private:
    void StartRun();
    void ContinueRun();
    bool StartWorker(std::function<void()> body);
    // Lists the sources; reports the end (also a stop) only when it has finished with the lists.
    void CountingThreadBody(const QString& outputFolder);
    void OrderSelection();
    void SetState(RunState state) { state_.store(static_cast<int>(state)); }
    void EndStopped();
    // A worker could not be started: shown as a failure.
    void EndFailed();
    // The listing filter refused the run.
    void EndRefused(const QString& message);
    void FinishClose();
    // Keeps the combine counts and file results of the run whose data goes (also a run stopped
    // while paused, which ends without a last message).
    void KeepLastRun();
    void Send(void (RunController::*handler)());

    Form& form_;
    RunView& view_;
    Mailbox& mailbox_;
    Validator validate_;
    HandlerFactory makeHandler_;
    ListingFilter listingFilter_;

    std::atomic<int> state_{static_cast<int>(RunState::Idle)};
    bool initialised_ = false;
    bool closeRequested_ = false;
    bool workerActive_ = false;  // a worker runs and has not sent its last message yet
    RunOutcome outcome_ = RunOutcome::None;
    std::thread current_;
    std::thread previous_;

    BatchSettings settings_;
    RunReport report_;
    SourceSelection selection_;
    PathListHolder multiSelectFiles_;
    PathListHolder multiSelectFolders_;
    PathList fileList_;
    int foundHidden_ = 0;
    std::vector<FileResult> listingResults_;  // folders the counting thread could not read
    WatermarkSettings watermark_;
    std::unique_ptr<ProcessingContext> context_;
    std::unique_ptr<FileHandler> handler_;
    CombineCounts lastCombine_;
    std::vector<FileResult> lastResults_;
};

}  // namespace corvane
