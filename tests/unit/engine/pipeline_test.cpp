// The real pipeline driven through the run controller: pauses between the formats of a file,
// the once-only transformations, and mosaics that meet images or folders they cannot use.
#include "engine/pipeline.h"
#include "engine/report.h"
#include "engine/run_controller.h"
#include "support/temp_tree.h"
#include "unit/engine/run_test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QImageReader>

#include <limits>

namespace corvane {
namespace {

using enum ControlId;
using test::TempTree;

class PipelineRun : public ::testing::Test {
protected:
    PipelineRun() {
        QDir().mkpath(tree.Path("src"));
        for (const char* name : {"a.png", "b.png"}) {
            QImage image(100, 60, QImage::Format_RGB32);
            image.fill(qRgb(10, 200, 30));
            image.save(tree.Path(QStringLiteral("src/") + name));
        }
        form.SetText(SourcePath, tree.Path("src"));
        form.SetText(SavePath, tree.Path("out"));
        form.SetText(NameLengthLimit, "218");
        SelectRadio(form, SinglePathRadio);
        SelectRadio(form, ClashPrefix);
        SelectRadio(form, LongNameFoldPrefix);
        form.SetText(ClashPrefixText, "_CVN_");
        form.SetChecked(FormatPng, true);
        form.SetChecked(FormatBmp, true);
        form.SetChecked(Rotate, true);
        SelectRadio(form, Rotate90);
        form.SetChecked(Resize, true);
        SelectRadio(form, ResizeByRatio);
        form.SetText(ResizeRatio, "0.5");
        controller.MarkInitialised();
    }

    void PumpUntil(const std::function<bool()>& done) { corvane::PumpUntil(mailbox, done); }

    TempTree tree;
    FormState form;
    RecordingView view;
    QueueMailbox mailbox;
    ImageProcessor processor;
    RunController controller{form, view, mailbox, [] { return true; },
                             [this] {
                                 return std::make_unique<Pipeline>(processor, controller.Settings(),
                                                                   controller.RunWatermark());
                             }};
};

TEST_F(PipelineRun, PauseBetweenFormatsContinuesFromTheSameTransformedImage) {
    // The progress message before the second format of the first file: one output saved.
    bool paused = false;
    view.onProgress = [&](const QString&) {
        // Inside the progress handler the worker waits, so the report may be read.
        const RunReport& report = controller.Report();
        if (!paused && report.savedFiles == 1 && !report.isFinal) {
            controller.OnStartPauseContinue();
            paused = true;
        }
    };
    controller.OnStartPauseContinue();
    PumpUntil([&] { return controller.State() == RunState::Paused && !controller.HasWorker(); });
    EXPECT_EQ(view.status, texts::kPaused);
    EXPECT_EQ(QDir(tree.Path("out")).entryList(QDir::Files).size(), 1);

    controller.OnStartPauseContinue();
    PumpUntil([&] { return controller.State() == RunState::Idle && !controller.HasWorker(); });
    EXPECT_EQ(view.status, QStringLiteral("操作全部完成！"));
    const QStringList files = QDir(tree.Path("out")).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"a.BMP", "a.PNG", "b.BMP", "b.PNG"}));
    // One quarter turn and one halving in every file, including the one written after Continue.
    for (const QString& name : files) {
        EXPECT_EQ(QImageReader(tree.Path("out/") + name).size(), QSize(30, 50))
            << name.toStdString();
    }
    EXPECT_EQ(controller.Report().savedFiles, 4);
    EXPECT_EQ(controller.Report().expectedFiles, 4);
}

// A grid chosen larger than any picture asks for more tiles than an int counts: the expected count
// stops at the largest int (run it under UndefinedBehaviorSanitizer: no signed overflow), the
// run writes nothing and fails.
TEST_F(PipelineRun, AGridBeyondCountingStopsTheExpectedCountAtItsLargest) {
    form.SetChecked(Rotate, false);
    form.SetChecked(Resize, false);
    form.SetChecked(Cut, true);
    SelectRadio(form, CutByCount);
    form.SetText(CutColumns, "50000");
    form.SetText(CutRows, "50000");
    controller.OnStartPauseContinue();
    PumpUntil([&] { return controller.State() == RunState::Idle && !controller.HasWorker(); });
    EXPECT_EQ(controller.Report().expectedFiles, std::numeric_limits<int>::max());
    EXPECT_EQ(controller.Report().savedFiles, 0);
    EXPECT_TRUE(view.status.startsWith(texts::kFailed)) << view.status.toStdString();
}

class CombineRun : public PipelineRun {
protected:
    CombineRun() {
        form.SetChecked(FormatBmp, false);
        form.SetChecked(Rotate, false);
        form.SetChecked(Resize, false);
        form.SetChecked(Combine, true);
        form.SetText(CombineColumns, "3");
        form.SetText(CombineRows, "1");
    }
    void RunToTheEnd() {
        PumpUntil([&] { return controller.State() == RunState::Idle && !controller.HasWorker(); });
    }
};

// A resize that makes one image too large to hold leaves that image out; the mosaic goes on
// with the others instead of ending the run with the memory verdict.
TEST_F(CombineRun, AnImageThatCannotBeResizedIsLeftOutAndTheMosaicGoesOn) {
    // Kept small enough that Qt draws on this thread alone (ThreadSanitizer sees no Qt threads).
    for (const auto& [name, side] :
         {std::pair{"a.png", 600}, std::pair{"b.png", 600}, std::pair{"c.png", 2}}) {
        QImage image(side, side, QImage::Format_RGB32);
        image.fill(qRgb(200, 0, 0));
        image.save(tree.Path(QStringLiteral("src/") + name));
    }
    form.SetChecked(Resize, true);
    form.SetText(ResizeRatio, "64");  // 600 x 600 grows past what can be made; 2 x 2 does not
    controller.OnStartPauseContinue();
    RunToTheEnd();
    EXPECT_EQ(controller.Report().processedFiles, 3);
    EXPECT_EQ(controller.Combine().attempted, 3);
    EXPECT_EQ(controller.Combine().combined, 1);
    EXPECT_EQ(QDir(tree.Path("out")).entryList(QDir::Files), QStringList{"c.PNG"});
    EXPECT_EQ(QImageReader(tree.Path("out/c.PNG")).size(), QSize(128, 128));
    ASSERT_EQ(controller.FileResults().size(), 2u);
    EXPECT_EQ(controller.FileResults()[0].notes.at(0).kind, NoteKind::TooLarge);
}

// After Pause the output folder of the copied structure can no longer be made: the run cannot
// go on, but the mosaic it has half filled is still written.
TEST_F(CombineRun, ContinueThatCannotGoOnStillWritesTheHalfFilledMosaic) {
    form.SetChecked(CopyFolderStructure, true);
    bool paused = false;
    view.onProgress = [&](const QString&) {
        if (!paused && controller.Report().processedFiles == 1) {
            controller.OnStartPauseContinue();
            paused = true;
        }
    };
    controller.OnStartPauseContinue();
    PumpUntil([&] { return controller.State() == RunState::Paused && !controller.HasWorker(); });
    ASSERT_TRUE(QDir(tree.Path("out/src")).removeRecursively());
    tree.WriteFile("out/src", "a file where the folder was");
    controller.OnStartPauseContinue();
    RunToTheEnd();
    EXPECT_EQ(controller.Report().processedFiles, 1);
    EXPECT_EQ(QImageReader(tree.Path("out/a.PNG")).size(), QSize(100, 60));
}

}  // namespace
}  // namespace corvane
