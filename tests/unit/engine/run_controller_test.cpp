#include "engine/run_controller.h"
#include "engine/report.h"
#include "platform/path_text.h"
#include "support/temp_tree.h"
#include "unit/engine/run_test_support.h"

#include <gtest/gtest.h>

#include <QDir>

#include <algorithm>
#include <vector>

namespace corvane {
namespace {

using enum ControlId;
using test::TempTree;

// Writes every file in a number of "formats", with a polling point before each, as the pipeline
// does. Before writing a chosen output it raises a status text, so a test can press a button at
// exactly that point.
class FormatWriter : public FileHandler {
public:
    FormatWriter(int formats, std::vector<QString>& written)
        : formats_(formats), written_(written) {}

    bool BeginRun(ProcessingContext&) override { return true; }
    bool HasPendingOutputs() const override { return next_ < formats_ && next_ > 0; }
    void ResumePending(ProcessingContext& context) override { WriteFormats(context); }
    void ProcessCurrentFile(ProcessingContext& context) override {
        next_ = 0;
        ++context.Counters().recognised;
        WriteFormats(context);
    }
    void EndRun(ProcessingContext&) override {}

    // Raise a status text once, before writing the first output whose name ends like this.
    static inline QString hookAt;
    static inline QString hooked;

private:
    void WriteFormats(ProcessingContext& context) {
        while (next_ < formats_) {
            if (!context.Checkpoint()) {
                return;
            }
            const QString output =
                FileNamePart(context.CurrentFile()) + '#' + QString::number(next_);
            if (!hookAt.isEmpty() && output.endsWith(hookAt)) {
                hookAt.clear();  // once
                hooked = output;
                context.ShowStatus(QStringLiteral("hook"), colours::kGreen);
            }
            written_.push_back(output);
            ++context.Counters().saved;
            ++next_;
        }
        context.Counters().expected += formats_;
        ++context.Counters().processed;
        context.Advance();
        next_ = formats_;
    }

    int formats_;
    int next_ = 0;
    std::vector<QString>& written_;
};

class RunControllerTest : public ::testing::Test {
protected:
    RunControllerTest() {
        for (int i = 1; i <= 3; ++i) {
            tree.WriteFile(QStringLiteral("src/%1.png").arg(i));
        }
        form.SetText(SourcePath, tree.Path("src"));
        form.SetText(SavePath, tree.Path("out"));
        form.SetText(NameLengthLimit, "218");
        SelectRadio(form, SinglePathRadio);
        SelectRadio(form, ClashPrefix);
        form.SetText(ClashPrefixText, "_CVN_");
        form.SetChecked(FormatPng, true);
        FormatWriter::hookAt.clear();
        controller.MarkInitialised();
    }

    void PumpUntil(const std::function<bool()>& done) { corvane::PumpUntil(mailbox, done); }
    void PumpUntilIdle() {
        PumpUntil([&] { return controller.State() == RunState::Idle && !controller.HasWorker(); });
    }
    void ExpectReset() {
        EXPECT_EQ(view.captions[StartButton], texts::kStart);
        EXPECT_EQ(view.captions[StopButton], texts::kStop);
        EXPECT_TRUE(view.Enabled(StartButton));
        EXPECT_FALSE(view.Enabled(StopButton));
        EXPECT_FALSE(view.barShown);
        EXPECT_TRUE(view.optionsEnabled);
        EXPECT_TRUE(controller.FileList().empty());
    }

    TempTree tree;
    FormState form;
    RecordingView view;
    QueueMailbox mailbox;
    bool accept = true;
    std::function<void()> onValidate;
    int formats = 2;
    std::vector<QString> written;
    RunController controller{form, view, mailbox,
                             [this] {
                                 if (onValidate) {
                                     onValidate();
                                 }
                                 return accept;
                             },
                             [this] { return std::make_unique<FormatWriter>(formats, written); }};
};

TEST_F(RunControllerTest, AWholeRunEndsWithTheVerdictAndResetsTheButtons) {
    controller.OnStartPauseContinue();
    EXPECT_EQ(controller.State(), RunState::Counting);
    EXPECT_FALSE(view.optionsEnabled);
    EXPECT_FALSE(view.Enabled(StartButton));
    EXPECT_TRUE(view.Enabled(StopButton));
    EXPECT_EQ(view.progressText, texts::kCounting);
    PumpUntilIdle();
    EXPECT_EQ(view.status, QStringLiteral("操作全部完成！"));
    EXPECT_EQ(view.statusColour, colours::kComplete);
    EXPECT_EQ(controller.Outcome(), RunOutcome::Complete);
    EXPECT_EQ(written.size(), 6u);
    EXPECT_EQ(controller.Report().totalFiles, 3);
    EXPECT_EQ(controller.Report().savedFiles, 6);
    EXPECT_TRUE(view.progressText.endsWith(QStringLiteral("应保存文件数： 6；")));
    ExpectReset();
    EXPECT_TRUE(QDir(tree.Path("out")).exists());  // the save folder was made at Start
}

TEST_F(RunControllerTest, PauseBetweenFormatsThenContinueResumesTheSameFile) {
    FormatWriter::hookAt = QStringLiteral("#0");
    view.onStatus = [&](const QString& text) {
        if (text == QStringLiteral("hook")) {
            controller.OnStartPauseContinue();  // Pause, while the first output is written
            EXPECT_FALSE(view.Enabled(StartButton));
            EXPECT_FALSE(view.Enabled(StopButton));
        }
    };
    controller.OnStartPauseContinue();
    PumpUntil([&] { return controller.State() == RunState::Paused && !controller.HasWorker(); });
    EXPECT_EQ(view.status, texts::kPaused);
    EXPECT_EQ(view.captions[StartButton], texts::kContinue);
    EXPECT_TRUE(view.Enabled(StartButton));
    EXPECT_TRUE(view.Enabled(StopButton));
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written.back(), FormatWriter::hooked);

    view.onStatus = nullptr;
    controller.OnStartPauseContinue();  // Continue
    EXPECT_EQ(view.captions[StartButton], texts::kPause);
    EXPECT_EQ(view.status, texts::kRunning);
    PumpUntilIdle();
    // The interrupted file's second format comes next, from the same file.
    QString resumed = FormatWriter::hooked;
    resumed.back() = u'1';
    EXPECT_EQ(written[1], resumed);
    std::vector<QString> sorted = written;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<QString>{"1.png#0", "1.png#1", "2.png#0", "2.png#1", "3.png#0",
                                            "3.png#1"}));
    EXPECT_EQ(view.status, QStringLiteral("操作全部完成！"));
}

TEST_F(RunControllerTest, PauseWhileTheLastOutputIsWrittenEndsWithTheVerdict) {
    controller.OnStartPauseContinue();
    PumpUntil([&] { return controller.State() == RunState::Running; });
    // The last output of the last file, whichever file the listing put last.
    const QString last = FileNamePart(controller.FileList().back()) + QStringLiteral("#1");
    FormatWriter::hookAt = last;
    view.onStatus = [&](const QString& text) {
        if (text == QStringLiteral("hook")) {
            controller.OnStartPauseContinue();
        }
    };
    PumpUntilIdle();
    EXPECT_EQ(view.status, QStringLiteral("操作全部完成！"));
    EXPECT_EQ(std::count(view.statuses.begin(), view.statuses.end(), texts::kPaused), 0);
    ExpectReset();
}

TEST_F(RunControllerTest, StopWhilePausedNeedsNoWorker) {
    FormatWriter::hookAt = QStringLiteral("#1");
    view.onStatus = [&](const QString& text) {
        if (text == QStringLiteral("hook")) {
            controller.OnStartPauseContinue();
        }
    };
    controller.OnStartPauseContinue();
    PumpUntil([&] { return controller.State() == RunState::Paused && !controller.HasWorker(); });
    controller.OnStop();
    EXPECT_EQ(controller.State(), RunState::Idle);
    EXPECT_EQ(view.status, texts::kStopped);
    EXPECT_EQ(view.statusColour, colours::kRed);
    EXPECT_EQ(controller.Outcome(), RunOutcome::Stopped);
    ExpectReset();
}

TEST_F(RunControllerTest, StopWhileRunningEndsAtTheNextPollingPoint) {
    FormatWriter::hookAt = QStringLiteral("#0");
    view.onStatus = [&](const QString& text) {
        if (text == QStringLiteral("hook")) {
            controller.OnStop();
            EXPECT_FALSE(view.Enabled(StartButton));
            EXPECT_FALSE(view.Enabled(StopButton));
        }
    };
    controller.OnStartPauseContinue();
    EXPECT_EQ(controller.Outcome(), RunOutcome::None);  // until the run ends
    PumpUntilIdle();
    EXPECT_EQ(view.status, texts::kStopped);
    EXPECT_EQ(controller.Outcome(), RunOutcome::Stopped);
    EXPECT_EQ(written, std::vector<QString>{FormatWriter::hooked});
    ExpectReset();
}

TEST_F(RunControllerTest, StopDuringCountingShowsStoppedOnce) {
    controller.OnStartPauseContinue();
    controller.OnStop();
    PumpUntilIdle();
    EXPECT_EQ(std::count(view.statuses.begin(), view.statuses.end(), texts::kStopped), 1);
    EXPECT_TRUE(written.empty());
    ExpectReset();
}

// A Start right after a stop during counting: the old counting thread must be done with the
// run data before it reports the stop, or it clears and writes the new run's list while the new
// counting thread fills it (ThreadSanitizer sees that race on every round).
TEST_F(RunControllerTest, StartRightAfterAStopDuringCountingCountsAfresh) {
    for (int i = 0; i < 200; ++i) {
        tree.WriteFile(QStringLiteral("src/d%1/f%2.png").arg(i % 20).arg(i));
    }
    form.SetChecked(IncludeSubfolders, true);
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        controller.OnStartPauseContinue();
        controller.OnStop();
        PumpUntilIdle();
        ASSERT_EQ(view.status, texts::kStopped) << "round " << round;
    }
    controller.OnStartPauseContinue();
    PumpUntilIdle();
    EXPECT_EQ(view.status, QStringLiteral("操作全部完成！"));
    EXPECT_EQ(controller.Report().totalFiles, 203);
    EXPECT_EQ(written.size(), 2u * 203);
}

TEST_F(RunControllerTest, CloseDuringCountingClosesAfterTheStopIsHandled) {
    controller.OnStartPauseContinue();
    controller.OnClose();
    EXPECT_FALSE(view.closed);  // the worker still has to report
    EXPECT_TRUE(controller.CloseRequested());
    PumpUntil([&] { return view.closed; });
    EXPECT_EQ(view.status, texts::kStopped);
    EXPECT_FALSE(controller.HasWorker());
}

TEST_F(RunControllerTest, CloseWithoutAWorkerClosesAtOnce) {
    controller.OnClose();
    EXPECT_TRUE(view.closed);
}

TEST_F(RunControllerTest, SourceFolderVanishingAfterValidationEndsLikeAStop) {
    onValidate = [&] { QDir(tree.Path("src")).removeRecursively(); };
    controller.OnStartPauseContinue();
    PumpUntilIdle();
    EXPECT_EQ(view.status, texts::kStopped);
    ExpectReset();
}

TEST_F(RunControllerTest, RefusedValidationStartsNothing) {
    accept = false;
    controller.OnStartPauseContinue();
    EXPECT_EQ(controller.State(), RunState::Idle);
    EXPECT_EQ(controller.Outcome(), RunOutcome::Refused);
    EXPECT_FALSE(controller.HasWorker());
    EXPECT_TRUE(view.optionsEnabled);
    EXPECT_FALSE(QDir(tree.Path("out")).exists());
}

TEST_F(RunControllerTest, SaveFolderThatCannotBeMadeIsReported) {
    tree.WriteFile("blocker");
    form.SetText(SavePath, tree.Path("blocker/out"));
    controller.OnStartPauseContinue();
    EXPECT_EQ(controller.State(), RunState::Idle);
    EXPECT_FALSE(controller.HasWorker());
    EXPECT_EQ(view.status, texts::kSaveFolderFailed);
    EXPECT_EQ(view.statusColour, colours::kRed);
    EXPECT_EQ(controller.Outcome(), RunOutcome::Refused);
}

TEST_F(RunControllerTest, StartDoesNothingBeforeInitialisation) {
    RunController early(
        form, view, mailbox, [] { return true; },
        [this] { return std::make_unique<FormatWriter>(formats, written); });
    early.OnStartPauseContinue();
    EXPECT_EQ(early.State(), RunState::Idle);
    EXPECT_FALSE(early.HasWorker());
}

TEST_F(RunControllerTest, GoingAwayDuringARunEndsTheWorkerWithoutHandlingMore) {
    QueueMailbox ownMailbox;
    FormatWriter::hookAt = QStringLiteral("#0");
    bool hooked = false;
    view.onStatus = [&](const QString& text) { hooked = hooked || text == QStringLiteral("hook"); };
    std::size_t shown = 0;
    {
        RunController brief(
            form, view, ownMailbox, [] { return true; },
            [this] { return std::make_unique<FormatWriter>(formats, written); });
        brief.MarkInitialised();
        brief.OnStartPauseContinue();
        corvane::PumpUntil(ownMailbox, [&] { return hooked; });
        shown = view.statuses.size();
        // Nobody pumps from here on: the worker writes the hooked output and then waits in its
        // next message while the controller goes away.
    }
    // The worker was released and joined: it stopped at that polling point, and nothing it sent
    // was handled once the controller had gone.
    EXPECT_EQ(written, std::vector<QString>{FormatWriter::hooked});
    EXPECT_EQ(view.statuses.size(), shown);
}

}  // namespace
}  // namespace corvane
