#include "batch_run.h"

#include "batch_options.h"
#include "engine/mailbox.h"
#include "engine/pipeline.h"
#include "engine/report.h"
#include "engine/run_controller.h"
#include "form_rules/validation.h"
#include "imaging/image_processor.h"
#include "platform/atomic_file.h"
#include "terminal_view.h"
#include "test_steps.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <optional>

#include <unistd.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

namespace corvane {
namespace {

std::atomic<bool> stopRequested{false};

// The first signal presses Stop; a second one ends the process at once, taking along the
// temporary file of a write in progress (an unnamed one goes by itself).
void RequestStop(int) {
    if (stopRequested.exchange(true)) {
        RemovePendingTemporaries();
        ::_exit(kExitStopped);
    }
}

// SIGINT and SIGTERM press Stop; the previous handlers come back when the run is over.
class StopSignals {
public:
    StopSignals() {
        stopRequested = false;
        struct sigaction action {};
        action.sa_handler = RequestStop;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

struct Outcome {
    QString name;
    int exitStatus;
};

Outcome OutcomeOf(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Complete:
            return {QStringLiteral("complete"), kExitComplete};
        case RunOutcome::Partial:
            return {QStringLiteral("partial"), kExitPartial};
        case RunOutcome::Stopped:
            return {QStringLiteral("stopped"), kExitStopped};
        case RunOutcome::Refused:
            return {QStringLiteral("refused"), kExitRefused};
        case RunOutcome::Failed:
        case RunOutcome::None:
            break;
    }
    return {QStringLiteral("failed"), kExitFailed};
}

int UnwrittenFiles(const std::vector<FileResult>& results) {
    return static_cast<int>(std::count_if(results.begin(), results.end(),
                                          [](const FileResult& r) { return r.ProducedNothing(); }));
}

// One object per note, so that notes of other kinds can stand beside these:
// {"path": source file, "kind": NoteKindName, "text": reason for a person}. A path keeps
// undecodable bytes of its name as "\udcXX" escapes.
QJsonArray NotesJson(const std::vector<FileResult>& results) {
    QJsonArray notes;
    for (const FileResult& result : results) {
        for (const FileNote& note : result.notes) {
            notes.append(QJsonObject{
                {"path", result.source}, {"kind", NoteKindName(note.kind)}, {"text", note.text}});
        }
    }
    return notes;
}

void PrintJson(const Outcome& outcome, const QString& verdict, const RunReport& report,
               int combined, const std::vector<FileResult>& results) {
    const QJsonObject json{
        {"outcome", outcome.name},
        {"verdict", verdict},
        {"total", report.totalFiles},
        {"hidden", report.hiddenFiles},
        {"processed", report.processedFiles},
        {"recognised", report.recognisedImages},
        {"saved", report.savedFiles},
        {"expected", report.expectedFiles},
        {"combined", combined},
        {"unwritten", UnwrittenFiles(results)},
        {"notes", NotesJson(results)},
    };
    std::printf("%s\n", QJsonDocument(json).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

PathListHolder ListOrNothing(const PathList& list) {
    return list.empty() ? nullptr : std::make_unique<PathList>(list);
}

// The exit status of arguments that ask for no run (the version, the help) or that are refused;
// none when a run is asked for.
std::optional<int> AnswerWithoutARun(const ParsedArguments& args) {
    if (args.flags.version) {
        std::printf("corvane-batch %s\n", CORVANE_VERSION);
        return kExitComplete;
    }
    if (args.flags.help) {
        std::printf("%s", qPrintable(BatchUsage()));
        return kExitComplete;
    }
    if (args.ok) {
        return std::nullopt;
    }
    if (args.refused) {
        std::fprintf(stderr, "%s\n", qPrintable(args.error));
    } else {
        std::fprintf(stderr, "corvane-batch: %s\n%s", qPrintable(args.error),
                     qPrintable(BatchUsage()));
    }
    // Scripts can always parse what --json prints, also when the arguments were refused.
    if (args.flags.json) {
        PrintJson(OutcomeOf(RunOutcome::Refused), args.error, RunReport{}, 0, {});
    }
    return kExitRefused;
}

// A run's state as its test steps report it: processed, recognised, saved and expected files,
// whether the message was final, and the run state.
QByteArray StepState(const RunController& run) {
    const RunReport& r = run.Report();
    QByteArray state;
    for (const int number : {r.processedFiles, r.recognisedImages, r.savedFiles, r.expectedFiles,
                             r.isFinal ? 1 : 0, static_cast<int>(run.State())}) {
        state += (state.isEmpty() ? "" : " ") + QByteArray::number(number);
    }
    return state;
}

}  // namespace

int RunBatch(const QStringList& arguments) {
    FormState form;
    const ParsedArguments args = ParseBatchArguments(arguments, form);
    if (const std::optional<int> status = AnswerWithoutARun(args)) {
        return *status;
    }
    // With --json, stdout carries the JSON object alone.
    std::FILE* display = args.flags.json ? stderr : stdout;
    TerminalView view(display, ::isatty(::fileno(display)) != 0, args.flags.quiet);
    const ImageProcessor processor;
    RunController* run = nullptr;
    bool stopSent = false;
    const auto pressStopWhenAsked = [&] {
        if (stopRequested && !stopSent) {
            run->OnStop();
            stopSent = true;
            view.ShowLine(QStringLiteral("stopping at the next step; Ctrl-C again ends at once"));
        }
    };
    QueueMailbox queue;
    const std::unique_ptr<TestSteps> steps = TestSteps::FromEnvironment();
    SteppedMailbox stepped(queue, [&] {
        steps->Hold(StepState(*run));
        // A signal that came during the hold takes effect here, before the worker goes on.
        pressStopWhenAsked();
    });
    Mailbox& mailbox = steps ? static_cast<Mailbox&>(stepped) : queue;
    RunController controller(
        form, view, mailbox,
        [&] {
            QString message;
            if (ValidateInputs(form, processor, run->RunWatermark(), &message,
                               args.flags.webp || args.flags.avif)) {
                return true;
            }
            view.SetStatus(message, colours::kRed);
            return false;
        },
        [&] {
            return std::make_unique<Pipeline>(
                processor, run->Settings(), run->RunWatermark(),
                args.flags.threads > 0 ? args.flags.threads : DefaultWorkerCount());
        });
    run = &controller;
    controller.MultiSelectFiles() = ListOrNothing(args.files);
    controller.MultiSelectFolders() = ListOrNothing(args.folders);
    controller.SetStripMetadata(args.flags.stripMetadata);
    controller.SetBatchOnlyFormats(args.flags.webp, args.flags.avif);
    controller.MarkInitialised();

    StopSignals stopSignals;
    controller.OnStartPauseContinue();
    if (controller.Outcome() == RunOutcome::Refused) {
        std::fprintf(stderr, "%s\n", qPrintable(view.Status()));
        if (args.flags.json) {
            PrintJson(OutcomeOf(RunOutcome::Refused), view.Status(), controller.Report(), 0, {});
        }
        return kExitRefused;
    }
    while (controller.HasWorker() || controller.State() != RunState::Idle) {
        pressStopWhenAsked();
        queue.Pump(std::chrono::milliseconds(50));
    }
    const Outcome outcome = OutcomeOf(controller.Outcome());
    const std::vector<FileResult>& results = controller.FileResults();
    view.PrintSummary(display, UnwrittenFiles(results));
    if (args.flags.json) {
        PrintJson(outcome, view.Status(), controller.Report(), controller.Combine().combined,
                  results);
    }
    return outcome.exitStatus;
}

}  // namespace corvane
