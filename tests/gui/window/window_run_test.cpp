// Whole runs through the real window on real files: started with the mouse and with Enter, paused
// and continued between two formats of a file, stopped with Esc, closed while running.
#include "engine/report.h"
#include "form_rules/dialog_texts.h"
#include "support/metadata_samples.h"
#include "support/today_samples.h"
#include "window_fixture.h"

#include <QFile>

#include <QTest>

namespace corvane::test {
namespace {

using enum ControlId;

const QString kComplete = QStringLiteral("操作全部完成！");

class WindowRun : public WindowTest {
protected:
    WindowRun() { Open(); }
};

TEST_F(WindowRun, StartWithTheMouseRunsToTheVerdict) {
    Click(StartButton);
    EXPECT_FALSE(dialog->IsEnabled(SourcePath)) << "options are locked during the run";
    EXPECT_FALSE(dialog->IsEnabled(FormatPng));
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(dialog->Text(StatusLine), kComplete);
    EXPECT_EQ(dialog->StatusColour(), colours::kComplete);
    EXPECT_EQ(Outputs(), (QStringList{"a.PNG", "b.PNG", "c.PNG"}));
    EXPECT_TRUE(dialog->Text(ProgressText).endsWith(QStringLiteral("应保存文件数： 3；")));
    EXPECT_FALSE(dialog->Control(ProgressBar)->isVisible());
    EXPECT_TRUE(dialog->IsEnabled(SourcePath)) << "unlocked again";
    EXPECT_EQ(dialog->Text(StartButton), texts::kStart);
    EXPECT_FALSE(dialog->IsEnabled(StopButton));
}

TEST_F(WindowRun, OutputsKeepTheSourcesMetadata) {
    // The window has no control to drop metadata: a run from it always keeps it, made true for
    // the output (upright, at its own size).
    QImage picture(48, 32, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QByteArray sample = SampleWithMetadata(picture, "jpeg", 6, QSize(4000, 3000));
    ASSERT_FALSE(sample.isEmpty());
    QFile file(source + QStringLiteral("/d.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(sample) == sample.size());
    file.close();

    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(dialog->Text(StatusLine), kComplete);
    QFile output(save + QStringLiteral("/d.PNG"));
    ASSERT_TRUE(output.open(QIODevice::ReadOnly));
    const auto tags = Exiv2Tags(output.readAll());
    EXPECT_EQ(TagValue(tags, "Exif.Image.Make"), "Corvane Camera Co");
    EXPECT_EQ(TagValue(tags, "Iptc.Application2.Copyright"), "(c) Test Photographer");
    EXPECT_EQ(TagValue(tags, "Exif.Image.Orientation"), "1");
    EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelXDimension"), "32") << "turned upright";
    EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelYDimension"), "48");
}

TEST_F(WindowRun, EnterStartsFromAnyControlAndNeverReachesIt) {
    Widget(IntroductionButton)->setFocus();
    Key(Qt::Key_Return);
    EXPECT_FALSE(dialog->Introduction()->isVisible()) << "the focused button was not pressed";
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(dialog->Text(StatusLine), kComplete);
    EXPECT_EQ(Outputs().size(), 3);
}

TEST_F(WindowRun, PauseBetweenFormatsAndContinueWithTheSameFile) {
    Click(FormatBmp);
    bool paused = false;
    // The first output has been written: pause before the same file's second format.
    dialog->onProgress = [&](const QString& text) {
        if (!paused && text.contains(QStringLiteral("已保存文件数： 1"))) {
            paused = true;
            Click(StartButton);
            EXPECT_FALSE(dialog->IsEnabled(StartButton)) << "until the worker reports the pause";
            EXPECT_FALSE(dialog->IsEnabled(StopButton));
        }
    };
    Click(StartButton);
    ASSERT_TRUE(WaitFor([&] { return dialog->Text(StatusLine) == texts::kPaused; }));
    EXPECT_EQ(dialog->Text(StartButton), texts::kContinue);
    EXPECT_EQ(dialog->StatusColour(), colours::kGreen);
    EXPECT_FALSE(dialog->Run().HasWorker());
    ASSERT_EQ(Outputs().size(), 1);
    const QString first = Outputs().front();
    EXPECT_TRUE(first.endsWith(QStringLiteral(".PNG")));
    EXPECT_FALSE(dialog->IsEnabled(SourcePath)) << "still locked while paused";

    dialog->onProgress = nullptr;
    Click(StartButton);
    EXPECT_EQ(dialog->Text(StartButton), texts::kPause);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(dialog->Text(StatusLine), kComplete);
    EXPECT_EQ(Outputs(), (QStringList{"a.BMP", "a.PNG", "b.BMP", "b.PNG", "c.BMP", "c.PNG"}));
    EXPECT_TRUE(dialog->Text(ProgressText).contains(QStringLiteral("应保存文件数： 6；")));
}

TEST_F(WindowRun, EscStopsARunAndEnterDoesNothingWhileStartIsDisabled) {
    for (int i = 0; i < 20; ++i) {
        WritePicture(source + QStringLiteral("more%1.png").arg(i));
    }
    bool stopped = false;
    dialog->onProgress = [&](const QString& text) {
        if (!stopped && text.contains(QStringLiteral("已保存文件数： 2"))) {
            stopped = true;
            Key(Qt::Key_Escape);
            EXPECT_FALSE(dialog->IsEnabled(StopButton));
            EXPECT_FALSE(dialog->IsEnabled(StartButton));
            Key(Qt::Key_Return);  // Start is disabled: nothing happens
        }
    };
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(dialog->Text(StatusLine), texts::kStopped);
    EXPECT_EQ(dialog->StatusColour(), colours::kRed);
    EXPECT_LT(Outputs().size(), 23);
    EXPECT_GE(Outputs().size(), 2);
    EXPECT_TRUE(dialog->isVisible()) << "Esc never closes the window";
    EXPECT_TRUE(dialog->IsEnabled(SourcePath));
}

TEST_F(WindowRun, EscWithTheIntroductionShownOnlyHidesIt) {
    bool pressed = false;
    dialog->onProgress = [&](const QString& text) {
        if (!pressed && text.contains(QStringLiteral("已保存文件数： 1"))) {
            pressed = true;
            Click(IntroductionButton);  // usable during a run
            ASSERT_TRUE(dialog->Introduction()->isVisible());
            QTest::keyClick(Widget(StopButton), Qt::Key_Escape);  // in the main window
            EXPECT_FALSE(dialog->Introduction()->isVisible());
            EXPECT_EQ(dialog->Run().State(), RunState::Running) << "the run goes on";
        }
    };
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(pressed);
    EXPECT_EQ(dialog->Text(StatusLine), kComplete);
}

TEST_F(WindowRun, EscWhilePausedStopsWithoutAWorker) {
    bool paused = false;
    dialog->onProgress = [&](const QString& text) {
        if (!paused && text.contains(QStringLiteral("已保存文件数： 1"))) {
            paused = true;
            Key(Qt::Key_Return);
        }
    };
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return dialog->Text(StatusLine) == texts::kPaused; }));
    Key(Qt::Key_Escape);
    EXPECT_EQ(dialog->Text(StatusLine), texts::kStopped) << "at once";
    EXPECT_TRUE(dialog->IsEnabled(StartButton));
    EXPECT_EQ(dialog->Text(StartButton), texts::kStart);
}

TEST_F(WindowRun, CloseDuringARunWaitsForTheWorker) {
    bool closed = false;
    dialog->onProgress = [&](const QString& text) {
        if (!closed && text.contains(QStringLiteral("已保存文件数： 1"))) {
            closed = true;
            dialog->close();
            EXPECT_TRUE(dialog->isVisible()) << "the worker has not reported its end yet";
            EXPECT_TRUE(dialog->Run().CloseRequested());
        }
    };
    Click(StartButton);
    ASSERT_TRUE(WaitFor([&] { return !dialog->isVisible(); }));
    EXPECT_FALSE(dialog->Run().HasWorker());
    EXPECT_EQ(dialog->Text(StatusLine), texts::kStopped);
    EXPECT_LT(Outputs().size(), 3);
}

TEST_F(WindowRun, CloseWhenIdleClosesAtOnceAndEscNever) {
    Key(Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(WindowRun, GoingAwayDuringARunDoesNotHang) {
    for (int i = 0; i < 20; ++i) {
        WritePicture(source + QStringLiteral("more%1.png").arg(i));
    }
    bool destroyed = false;
    dialog->onProgress = [&](const QString&) {
        if (!destroyed) {
            destroyed = true;
            // Leave the handler first: the window goes while the worker is still running.
            QMetaObject::invokeMethod(
                dialog.get(), [this] { dialog.reset(); }, Qt::QueuedConnection);
        }
    };
    Click(StartButton);
    ASSERT_TRUE(WaitFor([&] { return dialog == nullptr; }));
}

// Phone and web pictures are pictures to the window as to the runner: a folder holding one of
// each is counted and converted, and the four files dropped on the window are a selection that
// runs. The files are made by the formats' reference encoders.
TEST_F(WindowRun, TodaysFormatsAreRecognisedInAFolderAndWhenDropped) {
    const QStringList formats{"heic", "avif", "webp", "jxl"};
    for (const QString& format : formats) {
        if (const QString missing = MissingTool(ToolsOf(format)); !missing.isEmpty()) {
            GTEST_SKIP() << qPrintable(missing);
        }
    }
    const QString png = tree.MakeFolder("made") + "photo.png";
    WritePicture(png, QSize(64, 48));
    QList<QUrl> dropped;
    for (const QString& format : formats) {
        const QString file = source + "photo_" + format + "." + format;
        ASSERT_TRUE(EncodeWithTool(format, png, file)) << qPrintable(format);
        dropped << QUrl::fromLocalFile(file);
    }
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(dialog->Text(StatusLine), kComplete);
    EXPECT_TRUE(dialog->Text(ProgressText).contains(QStringLiteral("可识别图片文件数： 7；")))
        << qPrintable(dialog->Text(ProgressText));
    EXPECT_EQ(Outputs(), (QStringList{"a.PNG", "b.PNG", "c.PNG", "photo_avif.PNG", "photo_heic.PNG",
                                      "photo_jxl.PNG", "photo_webp.PNG"}));

    ASSERT_TRUE(Drop(dialog.get(), dropped));
    EXPECT_EQ(dialog->Text(SelectionCounts),
              QStringLiteral("已选文件数：  4  ， 已选文件夹数：  0"));
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(dialog->Text(ProgressText).contains(QStringLiteral("可识别图片文件数： 4；")))
        << qPrintable(dialog->Text(ProgressText));
}

}  // namespace
}  // namespace corvane::test
