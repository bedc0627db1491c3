// How long the window takes over one worker message: the progress handler's work on the real,
// shown dialog (texts, bar and the repaint they cause), and the round trip of a message from a
// worker through the window's mailbox, beside corvane-batch's mailbox in the same run.
#include "engine/mailbox.h"
#include "engine/report.h"
#include "ui/dialog_main.h"
#include "ui/window_mailbox.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <thread>

namespace corvane {
namespace {

// The shown window, made once: its widgets are what a message updates.
CDialogMain& Window() {
    static QTemporaryDir settings;
    static CDialogMain* dialog = [] {
        MainDialogOptions options;
        options.settingsLocation = settings.filePath(QStringLiteral("corvane.conf"));
        auto* d = new CDialogMain(options);
        d->show();
        QCoreApplication::processEvents();
        return d;
    }();
    return *dialog;
}

// What the progress handler does with a message: the two count lines and the bar, then the
// repaint they cause, as the event loop would run it before the next message.
void BM_ProgressMessageOnTheWindow(benchmark::State& state) {
    CDialogMain& window = Window();
    window.ShowProgressBar(true);
    RunReport report;
    report.totalFiles = 10000;
    report.hiddenFiles = 3;
    const CombineCounts combine;
    for (auto _ : state) {
        ++report.processedFiles;
        ++report.recognisedImages;
        ++report.savedFiles;
        window.SetProgressText(ProgressText(report, OperationKind::Plain, combine));
        window.SetProgressPosition(ProgressPercent(report, OperationKind::Plain, combine));
        QCoreApplication::processEvents();
    }
    window.ShowProgressBar(false);
}
BENCHMARK(BM_ProgressMessageOnTheWindow)->Unit(benchmark::kMicrosecond);

// A worker sends messages with an empty handler, one after the other, each waiting for its
// handler; the owner serves them as its loop does. Time per message.
template <typename Serve>
void RoundTrips(benchmark::State& state, Mailbox& mailbox, Serve serve) {
    const auto messages = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            for (int i = 0; i < messages; ++i) {
                mailbox.Send([] {});
            }
            done = true;
            // Wakes an owner that waits for events.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
        });
        while (!done) {
            serve();
        }
        worker.join();
    }
    state.SetItemsProcessed(state.iterations() * messages);
}

void BM_RoundTripWindowMailbox(benchmark::State& state) {
    WindowMailbox mailbox;
    RoundTrips(state, mailbox,
               [] { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); });
}
BENCHMARK(BM_RoundTripWindowMailbox)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: corvane-batch's mailbox, pumped by its owner thread.
void BM_RoundTripQueueMailbox(benchmark::State& state) {
    QueueMailbox mailbox;
    RoundTrips(state, mailbox, [&] { mailbox.Pump(std::chrono::milliseconds(1)); });
}
BENCHMARK(BM_RoundTripQueueMailbox)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace corvane
