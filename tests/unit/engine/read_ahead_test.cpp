// The read-ahead helpers and the pipeline's helper threads when things go wrong: memory running
// out while one file is made, files competing for room, threads the system will not start, and a
// pipeline that goes away in the middle of a pass.
#include "read_ahead.h"
#include "engine/pipeline.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include <sys/resource.h>

#include <atomic>
#include <mutex>
#include <new>

namespace corvane {
namespace {

using test::TempTree;

PathList Names(int count) {
    PathList files;
    for (int i = 0; i < count; ++i) {
        files.push_back(QStringLiteral("file%1").arg(i));
    }
    return files;
}

// Memory that runs out while one file is made, on a helper or on the processing thread, makes
// that file a too-large failure; the others are made, and nothing ends the process.
TEST(ReadAhead, AnExceptionWhileMakingAFileBecomesThatFilesFailure) {
    const PathList files = Names(12);
    MemoryBudget budget(std::uint64_t(1) << 30);
    for (const int workers : {1, 4}) {
        ReadAhead readAhead(workers, budget, [](const QString& file, const ClaimMemory&) {
            if (file == QLatin1String("file3") || file == QLatin1String("file8")) {
                throw std::bad_alloc();
            }
            PreparedFile prepared;
            prepared.loaded = true;
            return prepared;
        });
        readAhead.Start(files, 0, false);
        for (std::size_t i = 0; i < files.size(); ++i) {
            const PreparedFile prepared = readAhead.Take(i);
            const bool fails = i == 3 || i == 8;
            EXPECT_EQ(prepared.loaded, !fails) << workers << " workers, file " << i;
            EXPECT_EQ(prepared.error.kind,
                      fails ? LoadError::Kind::TooLarge : LoadError::Kind::None)
                << workers << " workers, file " << i;
        }
        readAhead.Stop();
    }
}

// With a helper for every file, each file's claim of memory waits for room; room goes to the
// files in their order, so the file the processing thread needs never finds a later one holding
// it and the budget is never exceeded.
TEST(ReadAhead, RoomGoesToFilesInTheirOrder) {
    const PathList files = Names(8);
    MemoryBudget budget(100);
    std::mutex mutex;
    std::vector<int> order;
    ReadAhead readAhead(8, budget, [&](const QString& file, const ClaimMemory& claim) {
        PreparedFile prepared;
        if (std::optional<MemoryBudget::Hold> hold = claim(60)) {
            const std::lock_guard lock(mutex);
            order.push_back(file.mid(4).toInt());
            prepared.memory = std::move(*hold);
            prepared.loaded = true;
        }
        return prepared;
    });
    readAhead.Start(files, 0, false);
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(readAhead.Take(i).loaded) << i;  // its room is given back here
    }
    readAhead.Stop();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_LE(budget.MostHeld(), 100u);
}

class PipelinePass : public ::testing::Test {
protected:
    PipelinePass() {
        QImage image(300, 200, QImage::Format_RGB32);
        for (int i = 0; i < 8; ++i) {
            image.fill(qRgb(i * 30, 100, 200 - i * 20));
            const QString path = tree.Path(QStringLiteral("src/%1.png").arg(i));
            QDir().mkpath(tree.Path("src"));
            image.save(path);
            files.push_back(path);
        }
        settings.sourcePath = tree.Path("src/");
        settings.savePath = tree.MakeFolder("out");
        settings.nameLengthLimit = 218;
        settings.formats = BuildFormatList({.png = true});
    }

    // Runs every file through a pipeline of `workers`; the number of outputs written.
    int RunAll(int workers) {
        std::atomic<int> state{static_cast<int>(RunState::Running)};
        RunReport report;
        ProcessingContext context(
            settings, files, state, report, [](WorkerMessage) {}, [](const QString&, Colour) {});
        Pipeline pipeline(processor, settings, watermark, workers);
        RunProcessing(context, pipeline);
        return context.Counters().saved;
    }

    TempTree tree;
    ImageProcessor processor;
    BatchSettings settings;
    WatermarkSettings watermark;
    PathList files;
};

// A pipeline destroyed while its helpers are at work (no end of the run) ends them before the
// pool they encode with: under AddressSanitizer a helper using the freed pool would be caught.
TEST_F(PipelinePass, APipelineDestroyedInTheMiddleOfAPassEndsItsHelpersFirst) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::atomic<int> state{static_cast<int>(RunState::Running)};
        RunReport report;
        ProcessingContext context(
            settings, files, state, report, [](WorkerMessage) {}, [](const QString&, Colour) {});
        auto pipeline = std::make_unique<Pipeline>(processor, settings, watermark, 4);
        ASSERT_TRUE(pipeline->BeginRun(context));
        pipeline->ProcessCurrentFile(context);  // the helpers are making the next files
        pipeline.reset();
        EXPECT_EQ(context.Counters().saved, 1);
    }
}

// Where the system starts no thread at all (no more processes for this user), a run of four
// workers is made by the processing thread alone, with the same outputs.
TEST_F(PipelinePass, ThreadsTheSystemRefusesLeaveTheRunToTheProcessingThread) {
    tree.OpenToEveryone();
    const int result = test::RunUnprivileged([this] {
        const rlimit none{1, 1};
        if (::setrlimit(RLIMIT_NPROC, &none) != 0) {
            return 2;
        }
        return RunAll(4) == 8 ? 0 : 3;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(QDir(settings.savePath).entryList(QDir::Files).size(), 8);
}

}  // namespace
}  // namespace corvane
