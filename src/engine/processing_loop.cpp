#include "engine/processing_loop.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace corvane {

ProcessingContext::ProcessingContext(const BatchSettings& settings, const PathList& files,
                                     const std::atomic<int>& runState, RunReport& report,
                                     std::function<void(WorkerMessage)> send,
                                     std::function<void(const QString&, Colour)> showStatus)
    : settings_(settings),
      files_(files),
      runState_(runState),
      report_(report),
      send_(std::move(send)),
      showStatus_(std::move(showStatus)) {}

void PipelineCounters::AddExpected(int formats, int rows, int columns) {
    constexpr std::int64_t kMost = std::numeric_limits<int>::max();
    // Each factor fits 31 bits: their product is taken in two steps, held at the bound.
    const std::int64_t tiles = std::min(std::int64_t(rows) * columns, kMost);
    expected = static_cast<int>(std::min(expected + std::min(tiles * formats, kMost), kMost));
}

QString ProcessingContext::NextFile() const {
    return cursor_ + 1 < files_.size() ? files_[cursor_ + 1] : QString();
}

void ProcessingContext::SendProgress(bool isFinal) {
    report_.processedFiles = counters_.processed;
    report_.recognisedImages = counters_.recognised;
    report_.savedFiles = counters_.saved;
    report_.expectedFiles = counters_.expected;
    report_.isFinal = isFinal;
    send_(WorkerMessage::Progress);
}

bool ProcessingContext::Checkpoint() {
    SendProgress(false);
    const RunState state = State();
    return state != RunState::Idle && state != RunState::Paused;
}

void ProcessingContext::SendFinished() {
    SendProgress(true);
    send_(WorkerMessage::RunFinished);
}

void ProcessingContext::Record(FileResult result) {
    if (!result.notes.empty()) {
        results_.push_back(std::move(result));
    }
}

void RunProcessing(ProcessingContext& context, FileHandler& handler) {
    context.SendProgress(false);
    // A run that cannot go on (a combine whose folder cannot be made again after Continue) still
    // writes the mosaic it has half filled.
    const bool begun = handler.BeginRun(context);
    while (begun && !context.AtEnd() && !context.combineAborted) {
        context.SendProgress(false);
        const RunState state = context.State();
        if (state == RunState::Idle) {
            break;
        }
        if (state == RunState::Paused) {
            handler.SuspendRun();
            context.SendPaused();
            return;
        }
        // A file interrupted by a pause is finished first; the next file waits for the next
        // polling point.
        if (handler.HasPendingOutputs()) {
            handler.ResumePending(context);
        } else {
            handler.ProcessCurrentFile(context);
        }
    }
    handler.EndRun(context);
    context.SendFinished();
}

}  // namespace corvane
