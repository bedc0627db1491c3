// Opening a folder of 100,000 files in the multi-mode folder picker and taking them all (Ctrl+A,
// then OK), beside listing the same folder with QDir, in the same run on the same warm folder.
// Qt's own QFileSystemModel opening that folder is measured too, as the model the picker does
// not use. `stall_ms` is the longest time the window thread did not get to its events while the
// folder was read: what a user would see as a frozen window.
#include "selection/folder_picker_dialog.h"
#include "selection/profile_store.h"

#include <benchmark/benchmark.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemModel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <functional>

namespace corvane {
namespace {

constexpr int kFiles = 100000;

const QString& HundredThousandFiles() {
    static const QString folder = [] {
        const QString path = QDir::tempPath() + QStringLiteral("/corvane-picker-100k/");
        const QString done = QDir::tempPath() + QStringLiteral("/corvane-picker-100k.complete");
        if (QFile::exists(done)) {
            return path;
        }
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray name = QFile::encodeName(path + QStringLiteral("IMG_%1.jpg").arg(i));
            ::close(::open(name.constData(), O_CREAT | O_WRONLY, 0644));
        }
        QFile(done).open(QIODevice::WriteOnly);
        return path;
    }();
    return folder;
}

// Runs the event loop until `done`, and measures the longest gap between two ticks of a 1 ms
// timer, that is the longest time the thread was busy elsewhere.
qint64 RunUntil(const std::function<bool()>& done) {
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    tick.start(1);
    sinceTick.start();
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return std::max(longest, sinceTick.elapsed());
}

void BM_QDirEntryList(benchmark::State& state) {
    const QString folder = HundredThousandFiles();
    for (auto _ : state) {
        const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        if (names.size() != kFiles) {
            state.SkipWithError("wrong count");
        }
    }
}
BENCHMARK(BM_QDirEntryList)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PickerOpenSelectAllOk(benchmark::State& state) {
    const QString folder = HundredThousandFiles();
    QTemporaryDir config;
    ProfileStore profile(config.filePath(QStringLiteral("corvane.ini")));
    qint64 stall = 0;
    qint64 openMs = 0;
    qint64 takeMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        CFolderPickerDialog dialog(CFolderPickerDialog::Mode::Multi, folder, profile);
        PathList files;
        PathList folders;
        files.reserve(65535);
        folders.reserve(65535);
        dialog.AttachSelectionLists(&files, &folders);
        dialog.show();
        stall = std::max(stall, RunUntil([&] { return !dialog.IsListing(); }));
        openMs += clock.restart();
        for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>()) {
            if (view->isVisible() && view->model()->rowCount() == kFiles) {
                view->selectAll();
            }
        }
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("确定")) {
                button->click();
            }
        }
        takeMs += clock.elapsed();
        if (files.size() != static_cast<size_t>(kFiles) || dialog.result() != QDialog::Accepted) {
            state.SkipWithError("not all files taken");
        }
    }
    state.counters["open_ms"] =
        benchmark::Counter(static_cast<double>(openMs), benchmark::Counter::kAvgIterations);
    state.counters["ctrl_a_ok_ms"] =
        benchmark::Counter(static_cast<double>(takeMs), benchmark::Counter::kAvgIterations);
    state.counters["stall_ms"] = static_cast<double>(stall);
}
BENCHMARK(BM_PickerOpenSelectAllOk)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_QFileSystemModelOpen(benchmark::State& state) {
    const QString folder = HundredThousandFiles();
    qint64 stall = 0;
    for (auto _ : state) {
        QFileSystemModel model;
        bool loaded = false;
        QObject::connect(&model, &QFileSystemModel::directoryLoaded, [&] { loaded = true; });
        const QModelIndex root = model.setRootPath(folder);
        stall = std::max(stall, RunUntil([&] { return loaded && model.rowCount(root) == kFiles; }));
    }
    state.counters["stall_ms"] = static_cast<double>(stall);
}
BENCHMARK(BM_QFileSystemModelOpen)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace corvane
