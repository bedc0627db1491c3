#include "engine/run_controller.h"

#include "engine/report.h"
#include "file_notes.h"
#include "platform/file_system.h"
#include "platform/natural_order.h"

#include <algorithm>
#include <system_error>

namespace corvane {

constexpr ControlId StartButton = ControlId::StartButton;
constexpr ControlId StopButton = ControlId::StopButton;

RunController::RunController(Form& form, RunView& view, Mailbox& mailbox, Validator validate,
                             HandlerFactory makeHandler)
    : form_(form),
      view_(view),
      mailbox_(mailbox),
      validate_(std::move(validate)),
      makeHandler_(std::move(makeHandler)) {}

RunController::~RunController() {
    // Workers notice Idle at their next polling point; the closed mailbox lets them finish
    // without waiting for handlers that would touch a controller going away.
    SetState(RunState::Idle);
    mailbox_.Close();
    if (current_.joinable()) {
        current_.join();
    }
    if (previous_.joinable()) {
        previous_.join();
    }
}

void RunController::Send(void (RunController::*handler)()) {
    mailbox_.Send([this, handler] { (this->*handler)(); });
}

bool RunController::StartWorker(std::function<void()> body) {
    // The thread two starts back has long sent its last message; the last one may still be
    // returning from its final Send, so it is kept for later.
    if (previous_.joinable()) {
        previous_.join();
    }
    previous_ = std::move(current_);
    try {
        current_ = std::thread(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    workerActive_ = true;
    return true;
}

void RunController::OnStartPauseContinue() {
    if (!initialised_) {
        return;
    }
    view_.SetFocus(StartButton);
    switch (State()) {
        case RunState::Running:
            SetState(RunState::Paused);
            view_.SetButtonEnabled(StartButton, false);
            view_.SetButtonEnabled(StopButton, false);
            return;
        case RunState::Paused:
            if (!workerActive_) {  // the old thread has reported its pause
                ContinueRun();
            }
            return;
        case RunState::Idle:
            StartRun();
            return;
        case RunState::Counting:
            return;
    }
}

void RunController::StartRun() {
    outcome_ = RunOutcome::None;
    if (!validate_()) {
        outcome_ = RunOutcome::Refused;
        return;
    }
    CaptureAtStart(form_, settings_);
    lastCombine_ = {};
    lastResults_.clear();
    if (!CreateFolderChain(settings_.savePath)) {
        SetStatus(texts::kSaveFolderFailed, colours::kRed);
        outcome_ = RunOutcome::Refused;
        return;
    }
    ReleaseRunData(false);  // keeps the watermark picture validation has just loaded
    SetStatus(QString(), colours::kGreen);
    view_.SetButtonEnabled(StartButton, false);
    view_.SetButtonEnabled(StopButton, true);
    view_.SetFocus(StopButton);
    SetState(RunState::Counting);
    view_.SetProgressText(texts::kCounting);
    OrderSelection();
    view_.SetControlsEnabled(false, false);
    if (!StartWorker([this, output = settings_.savePath] { CountingThreadBody(output); })) {
        EndStopped();
        EndFailed();
    }
}

void RunController::OrderSelection() {
    selection_ = {};
    selection_.multiPath = settings_.multiPath;
    selection_.sourcePath = settings_.sourcePath;
    selection_.includeSubfolders = settings_.includeSubfolders;
    selection_.multiIncludeSubfolders = settings_.multiIncludeSubfolders;
    const bool anySelected = (multiSelectFiles_ && !multiSelectFiles_->empty()) ||
                             (multiSelectFolders_ && !multiSelectFolders_->empty());
    if (!settings_.multiPath || !anySelected) {
        return;
    }
    selection_.selectedFolders = std::make_unique<PathList>();
    selection_.selectedFiles = std::make_unique<PathList>();
    AppendPaths(selection_.selectedFolders.get(), multiSelectFolders_.get());
    AppendPaths(selection_.selectedFiles.get(), multiSelectFiles_.get());
    SortAndDedupePaths(*selection_.selectedFolders, true);
    SortAndDedupePaths(*selection_.selectedFiles, false);
}

void RunController::CountingThreadBody(const QString& outputFolder) {
    int hidden = 0;
    listingResults_.clear();
    const ListingControl control{[this] { return State() == RunState::Idle; }, outputFolder,
                                 [this](const QString& folder, const QString& why) {
                                     listingResults_.push_back(UnreadableFolder(folder, why));
                                 }};
    const ListingResult result = CountSources(selection_, fileList_, hidden, control);
    foundHidden_ = hidden;
    // The message comes last: its handler may free the run data and a new Start may fill it
    // again, so nothing of it is touched from here on. A vanished source folder, or Stop
    // pressed after the last listing, ends like a stop, so the window is never left waiting.
    const bool done = result == ListingResult::Complete && State() != RunState::Idle;
    Send(done ? &RunController::OnCountingDone : &RunController::OnCountingStopped);
}

void RunController::OnCountingDone() {
    if (State() == RunState::Idle) {
        // Stop (or close) came after the listing had ended but before this message arrived.
        OnCountingStopped();
        return;
    }
    workerActive_ = false;
    view_.SetButtonEnabled(StartButton, true);
    view_.SetButtonEnabled(StopButton, true);
    view_.SetFocus(StartButton);
    CaptureAtProcessingStart(form_, settings_);
    if (listingFilter_) {
        if (const std::optional<QString> refusal =
                listingFilter_(settings_, fileList_, foundHidden_)) {
            EndRefused(*refusal);
            return;
        }
    }
    report_ = {};
    report_.totalFiles = static_cast<int>(fileList_.size());
    report_.hiddenFiles = foundHidden_;
    view_.SetProgressText(QString());
    SetStatus(QString(), colours::kGreen);
    view_.SetProgressPosition(0);
    view_.ShowProgressBar(true);
    if (settings_.operationKind == OperationKind::Combine) {
        std::sort(fileList_.begin(), fileList_.end(), NaturalLess);
    }
    context_ = std::make_unique<ProcessingContext>(
        settings_, fileList_, state_, report_,
        [this](WorkerMessage message) {
            switch (message) {
                case WorkerMessage::Progress:
                    Send(&RunController::OnProgress);
                    break;
                case WorkerMessage::Paused:
                    Send(&RunController::OnPaused);
                    break;
                case WorkerMessage::RunFinished:
                    Send(&RunController::OnRunFinished);
                    break;
            }
        },
        [this](const QString& text, Colour colour) {
            mailbox_.Send([this, text, colour] { SetStatus(text, colour); });
        });
    // Folders the listing could not read gave nothing, like files that could not be read.
    for (FileResult& folder : listingResults_) {
        context_->Record(std::move(folder));
    }
    listingResults_.clear();
    handler_ = makeHandler_();
    view_.SetButtonCaption(StartButton, texts::kPause);
    SetState(RunState::Running);
    ContinueRun();
}

void RunController::ContinueRun() {
    SetState(RunState::Running);
    view_.SetButtonEnabled(StopButton, true);
    if (!StartWorker([this] { RunProcessing(*context_, *handler_); })) {
        // No thread means no message will ever end this run: end it here.
        SetState(RunState::Idle);
        ReleaseRunData(true);
        ResetRunButtons();
        EndFailed();
        return;
    }
    view_.SetButtonCaption(StartButton, texts::kPause);
    SetStatus(texts::kRunning, colours::kGreen);
}

void RunController::OnStop() {
    view_.SetButtonEnabled(StopButton, false);
    switch (State()) {
        case RunState::Counting:
        case RunState::Running:
            SetState(RunState::Idle);
            view_.SetButtonEnabled(StartButton, false);
            return;
        case RunState::Paused:
            SetState(RunState::Idle);
            if (workerActive_) {
                // Between Pause and the thread's report: its pause handler ends the run.
                view_.SetButtonEnabled(StartButton, false);
                return;
            }
            EndStopped();
            return;
        case RunState::Idle:
            return;
    }
}

void RunController::OnClose() {
    if (!workerActive_) {
        view_.CloseWindow();
        return;
    }
    closeRequested_ = true;
    SetState(RunState::Idle);
}

void RunController::EndStopped() {
    SetState(RunState::Idle);
    SetStatus(texts::kStopped, colours::kRed);
    outcome_ = RunOutcome::Stopped;
    ReleaseRunData(true);
    ResetRunButtons();
}

void RunController::EndFailed() {
    SetStatus(texts::kFailed, colours::kRed);
    outcome_ = RunOutcome::Failed;
}

void RunController::EndRefused(const QString& message) {
    SetState(RunState::Idle);
    listingResults_.clear();
    view_.SetProgressText(QString());
    SetStatus(message, colours::kRed);
    outcome_ = RunOutcome::Refused;
    ReleaseRunData(true);
    ResetRunButtons();
    FinishClose();
}

void RunController::FinishClose() {
    if (closeRequested_) {
        view_.CloseWindow();
    }
}

void RunController::OnCountingStopped() {
    workerActive_ = false;
    view_.SetProgressText(QString());
    EndStopped();
    FinishClose();
}

void RunController::OnPaused() {
    workerActive_ = false;
    if (State() == RunState::Idle) {  // stopped or closed while the pause was being reached
        EndStopped();
        FinishClose();
        return;
    }
    view_.SetButtonCaption(StartButton, texts::kContinue);
    view_.SetButtonEnabled(StartButton, true);
    view_.SetButtonEnabled(StopButton, true);
    SetStatus(texts::kPaused, colours::kGreen);
    view_.SetFocus(StartButton);
}

void RunController::OnProgress() {
    const CombineCounts& combine = context_->Combine();
    view_.SetProgressText(ProgressText(report_, settings_.operationKind, combine));
    view_.SetProgressPosition(ProgressPercent(report_, settings_.operationKind, combine));
}

void RunController::OnRunFinished() {
    workerActive_ = false;
    lastCombine_ = context_->Combine();
    if (State() == RunState::Idle) {
        EndStopped();
    } else {
        const Verdict verdict = CompletionVerdict(report_, settings_.operationKind, lastCombine_);
        SetStatus(verdict.text, verdict.colour);
        outcome_ = verdict.outcome;
        view_.ShowProgressBar(false);
        SetState(RunState::Idle);
        ReleaseRunData(true);
        ResetRunButtons();
    }
    settings_.operationKind = OperationKind::Plain;
    FinishClose();
}

void RunController::KeepLastRun() {
    if (context_) {
        lastCombine_ = context_->Combine();
        lastResults_ = context_->TakeResults();
    }
}

void RunController::ReleaseRunData(bool alsoWatermark) {
    KeepLastRun();
    handler_.reset();
    context_.reset();
    fileList_.clear();
    fileList_.shrink_to_fit();
    settings_.formats.clear();
    if (alsoWatermark) {
        watermark_.picture.reset();
    }
}

void RunController::ResetRunButtons() {
    view_.SetButtonCaption(StartButton, texts::kStart);
    view_.SetButtonCaption(StopButton, texts::kStop);
    view_.SetButtonEnabled(StartButton, true);
    view_.SetButtonEnabled(StopButton, false);
    view_.ShowProgressBar(false);
    view_.SetControlsEnabled(true, true);
}

}  // namespace corvane
