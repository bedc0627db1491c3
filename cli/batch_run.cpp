#include "batch_run.h"

#include "batch_options.h"
#include "engine/mailbox.h"
#include "engine/pipeline.h"
#include "engine/report.h"
#include "engine/run_controller.h"
#include "form_rules/validation.h"
#include "imaging/image_processor.h"
#include "platform/atomic_file.h"
#include "run_report.h"
#include "shard_reports.h"
#include "terminal_view.h"
#include "test_steps.h"

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

PathListHolder ListOrNothing(const PathList& list) {
    return list.empty() ? nullptr : std::make_unique<PathList>(list);
}

// The run's pipeline with the workers and the memory budget the flags ask for.
std::unique_ptr<Pipeline> MakePipeline(const ImageProcessor& processor, RunController& run,
                                       const BatchFlags& flags) {
    return std::make_unique<Pipeline>(processor, run.Settings(), run.RunWatermark(),
                                      flags.threads > 0 ? flags.threads : DefaultWorkerCount(),
                                      RunMemory{flags.memoryLimit, 0});
}

void PrintReport(const Outcome& outcome, const QString& verdict, const RunReport& report,
                 int combined, const std::vector<FileResult>& results,
                 const ShardRecord* shard = nullptr, const CombineCounts& combine = {}) {
    QJsonObject json = ReportJson(outcome, verdict, report, combined, results);
    if (shard != nullptr) {
        AddShardParts(json, *shard, results, combine);
    }
    PrintJson(json);
}

// A shard takes its share of the listing, once the run's settings are known.
RunController::ListingFilter ShardFilter(const ParsedArguments& args, ShardRecord& record) {
    return [&args, &record](const BatchSettings& settings, PathList& files, int& hidden) {
        const PathList listed = settings.multiPath ? args.folders : PathList{settings.sourcePath};
        if (std::optional<QString> refusal = SharedOutputRefusal(files, listed, settings)) {
            return refusal;
        }
        ShardShare share = TakeShare(files, hidden, settings, *args.flags.shard);
        record.shard = *args.flags.shard;
        record.listed = share.listed;
        record.listedHidden = share.listedHidden;
        record.fingerprint = share.fingerprint;
        record.bytes = share.bytes;
        record.kind = static_cast<int>(settings.operationKind);
        record.position.reserve(static_cast<qsizetype>(share.files.size()));
        for (std::size_t i = 0; i < share.files.size(); ++i) {
            record.position.insert(share.files[i], static_cast<qsizetype>(share.position[i]));
        }
        files = std::move(share.files);
        hidden = share.hidden;
        return std::optional<QString>();
    };
}

// The exit status when the arguments ask for no run (version, help, merging reports) or cannot
// make one; nullopt when the run goes ahead.
std::optional<int> AnswerWithoutRun(const ParsedArguments& args) {
    if (args.flags.version) {
        std::printf("corvane-batch %s\n", CORVANE_VERSION);
        return kExitComplete;
    }
    if (args.flags.help) {
        std::printf("%s", qPrintable(BatchUsage()));
        return kExitComplete;
    }
    if (args.ok && args.flags.mergeReports) {
        return MergeReportFiles(args.reports);
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
        PrintReport(OutcomeOf(RunOutcome::Refused), args.error, RunReport{}, 0, {});
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
    if (const std::optional<int> status = AnswerWithoutRun(args)) {
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
        [&] { return MakePipeline(processor, *run, args.flags); });
    run = &controller;
    controller.MultiSelectFiles() = ListOrNothing(args.files);
    controller.MultiSelectFolders() = ListOrNothing(args.folders);
    controller.SetStripMetadata(args.flags.stripMetadata);
    controller.SetBatchOnlyFormats(args.flags.webp, args.flags.avif);
    ShardRecord shard;
    if (args.flags.shard) {
        controller.SetListingFilter(ShardFilter(args, shard));
    }
    controller.MarkInitialised();

    StopSignals stopSignals;
    controller.OnStartPauseContinue();
    if (controller.Outcome() == RunOutcome::Refused) {
        std::fprintf(stderr, "%s\n", qPrintable(view.Status()));
        if (args.flags.json) {
            PrintReport(OutcomeOf(RunOutcome::Refused), view.Status(), controller.Report(), 0, {});
        }
        return kExitRefused;
    }
    while (controller.HasWorker() || controller.State() != RunState::Idle) {
        pressStopWhenAsked();
        queue.Pump(std::chrono::milliseconds(50));
    }
    const Outcome outcome = OutcomeOf(controller.Outcome());
    const std::vector<FileResult>& results = controller.FileResults();
    if (controller.Outcome() == RunOutcome::Refused) {
        std::fprintf(stderr, "%s\n", qPrintable(view.Status()));
    }
    view.PrintSummary(display, UnwrittenFiles(results));
    if (args.flags.json) {
        const bool sharded = args.flags.shard && controller.Outcome() != RunOutcome::Refused;
        PrintReport(outcome, view.Status(), controller.Report(), controller.Combine().combined,
                    results, sharded ? &shard : nullptr, controller.Combine());
    }
    return outcome.exitStatus;
}

}  // namespace corvane
