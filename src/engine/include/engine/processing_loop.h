#pragma once
// The processing pass: a loop over the file list with its polling points and messages, and the
// per-file work it hands each file to.
//
// Threads: RunProcessing() is the body of the processing thread. The context is owned by the run
// controller and survives pauses (its cursor is where Continue resumes). While a processing
// thread runs, only that thread touches the context; the owner reads it inside the handlers of
// the messages the thread sends (the thread waits meanwhile) or when no worker runs.

#include "engine/batch_settings.h"
#include "engine/enumeration.h"
#include "engine/file_result.h"
#include "engine/run_types.h"

#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>

namespace corvane {

// Counters the processing thread keeps and copies into RunReport before each message.
struct PipelineCounters {
    int processed = 0;
    int recognised = 0;
    int saved = 0;
    int expected = 0;

    // Adds the outputs of `formats` formats of `rows` x `columns` tiles each to `expected`,
    // held at the largest count when the sum is larger (a cut into 50000 x 50000 blocks).
    void AddExpected(int formats, int rows, int columns);
};

class ProcessingContext {
public:
    // How the context reaches its owner: `send` delivers one message synchronously.
    ProcessingContext(const BatchSettings& settings, const PathList& files,
                      const std::atomic<int>& runState, RunReport& report,
                      std::function<void(WorkerMessage)> send,
                      std::function<void(const QString&, Colour)> showStatus);

    const BatchSettings& Settings() const { return settings_; }
    const PathList& Files() const { return files_; }
    bool AtEnd() const { return cursor_ >= files_.size(); }
    std::size_t Cursor() const { return cursor_; }
    const QString& CurrentFile() const { return files_[cursor_]; }
    // The entry after the current one; empty at the end of the list.
    QString NextFile() const;
    void Advance() { ++cursor_; }
    void Rewind() { cursor_ = 0; }

    PipelineCounters& Counters() { return counters_; }
    CombineCounts& Combine() { return combine_; }
    const CombineCounts& Combine() const { return combine_; }
    RunState State() const { return static_cast<RunState>(runState_.load()); }

    // Copies the counters into the report and sends a progress message.
    void SendProgress(bool isFinal);
    // A polling point inside a file: sends progress, then true when the run goes on; false when
    // Stop or Pause was pressed (the caller returns at once, leaving its work pending).
    bool Checkpoint();
    void SendPaused() { send_(WorkerMessage::Paused); }
    void SendFinished();
    // Puts a text on the status line (through the owner thread).
    void ShowStatus(const QString& text, Colour colour) { showStatus_(text, colour); }
    // Keeps what became of a file that has notes (files that went well are not kept).
    void Record(FileResult result);
    // The results kept so far; the context keeps none afterwards.
    std::vector<FileResult> TakeResults() { return std::move(results_); }

    // Set when combining failed: the file loop ends.
    bool combineAborted = false;

private:
    const BatchSettings& settings_;
    const PathList& files_;
    const std::atomic<int>& runState_;
    RunReport& report_;
    std::function<void(WorkerMessage)> send_;
    std::function<void(const QString&, Colour)> showStatus_;
    std::size_t cursor_ = 0;
    PipelineCounters counters_;
    CombineCounts combine_;
    std::vector<FileResult> results_;
};

// The work done on the files, filled by the pipeline. Runs on the processing thread.
class FileHandler {
public:
    virtual ~FileHandler() = default;
    // Once at the start of every processing thread (also after Continue). False ends the run at
    // once: EndRun() still writes what was collected, then the final messages follow.
    virtual bool BeginRun(ProcessingContext& context) = 0;
    // The processing thread ends for a pause (before the Paused message): work begun ahead of
    // the current file is dropped; its pending outputs are kept.
    virtual void SuspendRun() {}
    // The current file still has outputs to write (a pause interrupted it).
    virtual bool HasPendingOutputs() const = 0;
    // Writes the pending outputs of the current file, with a Checkpoint() before each; advances
    // the cursor when the file is finished.
    virtual void ResumePending(ProcessingContext& context) = 0;
    // Handles the file under the cursor: loads it and writes its outputs, with a Checkpoint()
    // before each. Advances the cursor when the file is finished; otherwise leaves outputs pending.
    virtual void ProcessCurrentFile(ProcessingContext& context) = 0;
    // After the file loop (also after Stop): writes what was collected for the end of the run.
    virtual void EndRun(ProcessingContext& context) = 0;
};

// The body of the processing thread.
void RunProcessing(ProcessingContext& context, FileHandler& handler);

}  // namespace corvane
