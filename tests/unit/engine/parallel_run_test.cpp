// A run shared by several workers looks exactly like a run on one: the same batches with 1 and
// with 4 workers give the same output bytes under the same names, and the same report after
// every message, also when a memory budget of one byte keeps every helper waiting for room; a
// pause or a stop at any message of a 4-worker run takes effect where it does on one worker,
// nothing is written after a stop, and a continued run ends with the same files.
#include "engine/pipeline.h"
#include "engine/run_controller.h"
#include "support/temp_tree.h"
#include "unit/engine/run_test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

namespace corvane {
namespace {

using enum ControlId;
using test::TempTree;

// ThreadSanitizer cannot see into Qt's own threads, which Qt starts to draw a turned picture
// however small it is: it reports their hand-overs as races.
#if defined(__SANITIZE_THREAD__)
constexpr bool kQtDrawingIsSeen = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kQtDrawingIsSeen = false;
#else
constexpr bool kQtDrawingIsSeen = true;
#endif
#else
constexpr bool kQtDrawingIsSeen = true;
#endif

// Relative output path -> bytes.
using Outputs = std::map<QString, QByteArray>;

Outputs ReadOutputs(const QString& folder) {
    Outputs outputs;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        outputs[path.mid(folder.size())] = test::ReadAll(path);
    }
    return outputs;
}

// Each output's name with a checksum of its bytes: a failure shows which files differ.
std::vector<std::string> Describe(const Outputs& outputs) {
    std::vector<std::string> described;
    for (const auto& [name, bytes] : outputs) {
        described.push_back(name.toStdString() + " " + std::to_string(bytes.size()) + " bytes " +
                            std::to_string(qChecksum(bytes)));
    }
    return described;
}

// A picture with detail everywhere, so that every output format and band has work to do.
QImage Pattern(int width, int height, QImage::Format format, int seed) {
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y,
                           qRgba((x * 7 + seed) & 255, (y * 5 + x * seed) & 255, (x ^ y) & 255,
                                 255 - ((x + y) & 63)));
        }
    }
    return image;
}

// The first picture's size. Qt draws and converts small pictures on the calling thread alone
// (ThreadSanitizer cannot see into Qt's own threads), so it is that small but in the batches that
// draw nothing with Qt: large, its PNG is deflated in several bands; spilled, its outputs encoded
// ahead wait in spill files (4 MiB of pixels and more), and only our own encoders may touch it.
constexpr QSize kSmall(48, 36);
constexpr QSize kLarge(420, 310);
constexpr QSize kSpilled(1040, 1010);

// Sources of several kinds, among them two that are not pictures.
void WriteSources(const TempTree& tree, QSize a1) {
    QDir().mkpath(tree.Path("src/sub"));
    Pattern(a1.width(), a1.height(), QImage::Format_RGB32, 3)
        .save(tree.Path("src/a1.jpg"), "JPEG", 90);
    Pattern(60, 30, QImage::Format_ARGB32, 5).save(tree.Path("src/a2.png"));
    tree.WriteFile("src/a3.jpg", "not a picture at all");
    Pattern(40, 24, QImage::Format_RGB32, 9)
        .convertToFormat(QImage::Format_Grayscale8)
        .save(tree.Path("src/a10.png"));
    tree.WriteFile("src/a4.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, 'x'));
    Pattern(50, 32, QImage::Format_RGB32, 11).save(tree.Path("src/sub/b1.bmp"));
    Pattern(44, 30, QImage::Format_RGB32, 13).save(tree.Path("src/sub/b2.jpg"), "JPEG", 80);
}

struct Batch {
    const char* name;
    std::function<void(FormState&)> configure;
    bool mosaicAtTheEnd = false;  // a stopped run still writes the mosaic it was filling
    QSize a1 = kSmall;            // the first picture's size
    bool qtTurns = false;         // Qt draws the turned pictures
};

void Formats(FormState& form, std::initializer_list<ControlId> formats) {
    for (const ControlId id : formats) {
        form.SetChecked(id, true);
    }
}

const Batch kBatches[] = {
    {"PngAsTheyAre", [](FormState& form) { Formats(form, {FormatPng}); }, false, kSpilled},
    {"PngAndJpegEncodedAhead",
     [](FormState& form) {
         Formats(form, {FormatPng, FormatJpeg});
     },
     false, kSpilled},
    {"TurnedAndHalvedInThreeFormats",
     [](FormState& form) {
         Formats(form, {FormatPng, FormatJpeg, FormatBmp});
         form.SetChecked(Rotate, true);
         SelectRadio(form, Rotate90);
         form.SetChecked(Resize, true);
         SelectRadio(form, ResizeByRatio);
         form.SetText(ResizeRatio, "0.5");
     },
     false, kLarge},
    {"FreeAngleAndLongEdgeWithStructure",
     [](FormState& form) {
         Formats(form, {FormatPng, FormatGif});
         form.SetChecked(CopyFolderStructure, true);
         form.SetChecked(Rotate, true);
         SelectRadio(form, RotateCustom);
         form.SetText(RotateAngle, "30");
         form.SetChecked(Resize, true);
         SelectRadio(form, ResizeByLongEdge);
         form.SetText(LongEdgeLimit, "40");
     },
     false, kSmall, true},
    {"SameFormatAsSourceShrunkOnLoad",
     [](FormState& form) {
         form.SetChecked(SameAsSource, true);
         form.SetChecked(Resize, true);
         SelectRadio(form, ResizeBySize);
         form.SetText(ResizeWidth, "30");
         form.SetText(ResizeHeight, "0");
     },
     false, kLarge},
    {"CutIntoBlocks",
     [](FormState& form) {
         Formats(form, {FormatPng, FormatTiff});
         form.SetChecked(Cut, true);
         SelectRadio(form, CutByCount);
         form.SetText(CutColumns, "2");
         form.SetText(CutRows, "2");
     }},
    {"CutIntoCellsThenCombined",
     [](FormState& form) {
         Formats(form, {FormatPng});
         form.SetChecked(Cut, true);
         SelectRadio(form, CutByCellSize);
         form.SetText(CellWidth, "20");
         form.SetText(CellHeight, "20");
         form.SetChecked(Combine, true);
         form.SetText(CombineColumns, "3");
         form.SetText(CombineRows, "2");
     },
     true},
    {"CombinedTwoByOne",
     [](FormState& form) {
         Formats(form, {FormatPng, FormatJpeg});
         form.SetChecked(Combine, true);
         form.SetText(CombineColumns, "2");
         form.SetText(CombineRows, "1");
     },
     true},
    {"CopiedUnchanged", [](FormState& form) { form.SetChecked(DirectCopy, true); }, false, kLarge},
    {"WatermarkedInThreeFormats",
     [](FormState& form) {
         Formats(form, {FormatPng, FormatJpeg, FormatTiff});
         form.SetChecked(Watermark, true);
         SelectRadio(form, WatermarkByText);
         form.SetText(WatermarkText, "样张");
     },
     false, kLarge},  // each output encoded ahead, the watermark drawn on a helper
};

// What a run showed and left: every text it put up and the report after every message.
struct Seen {
    std::vector<QString> shown;
    Outputs outputs;
};

// When a test acts during a run: at the n-th progress message (counted from 0), with the output
// folder as it is then (the worker waits meanwhile).
using Act = std::function<void(RunController&, int message, const QString& out)>;

class ParallelRun : public testing::TestWithParam<Batch> {
protected:
    ParallelRun() { WriteSources(tree, GetParam().a1); }

    // One run from Start to its end (a paused run is continued), acting as `act` says.
    // `budget`: the run's memory budget in bytes, 0 for the default.
    Seen Run(int workers, const Act& act = {}, std::uint64_t budget = 0) {
        const QString out = tree.MakeFolder(QStringLiteral("out%1").arg(++runs_));
        FormState form;
        form.SetText(SourcePath, tree.Path("src"));
        form.SetText(SavePath, out);
        form.SetText(NameLengthLimit, "218");
        form.SetChecked(IncludeSubfolders, true);
        SelectRadio(form, SinglePathRadio);
        SelectRadio(form, ClashPrefix);
        SelectRadio(form, LongNameFoldPrefix);
        form.SetText(ClashPrefixText, "_CVN_");
        GetParam().configure(form);
        RecordingView view;
        QueueMailbox mailbox;
        RunController* run = nullptr;
        RunController controller(
            form, view, mailbox, [] { return true; },
            [&] {
                return std::make_unique<Pipeline>(processor, run->Settings(), run->RunWatermark(),
                                                  workers, RunMemory{budget, 0});
            });
        run = &controller;
        controller.MarkInitialised();
        Seen seen;
        int message = 0;
        view.onStatus = [&](const QString& text) { seen.shown.push_back(text); };
        view.onProgress = [&](const QString& text) {
            const RunReport& report = controller.Report();
            seen.shown.push_back(text + QStringLiteral(" | %1 %2 %3 %4 %5")
                                            .arg(report.processedFiles)
                                            .arg(report.recognisedImages)
                                            .arg(report.savedFiles)
                                            .arg(report.expectedFiles)
                                            .arg(report.isFinal));
            // Only the processing thread's messages (the owner sets texts of its own too).
            if (controller.HasWorker() && controller.State() != RunState::Counting) {
                if (act) {
                    act(controller, message, out);
                }
                ++message;
            }
        };
        controller.OnStartPauseContinue();
        const auto ended = [&] { return !controller.HasWorker(); };
        while (PumpUntil(mailbox, ended), controller.State() == RunState::Paused) {
            paused = ReadOutputs(out);
            controller.OnStartPauseContinue();
        }
        seen.outputs = ReadOutputs(out);
        return seen;
    }

    TempTree tree;
    ImageProcessor processor;
    std::optional<Outputs> paused;  // what the last pause left

private:
    int runs_ = 0;
};

TEST_P(ParallelRun, FourWorkersShowAndWriteExactlyWhatOneDoes) {
    if (GetParam().qtTurns && !kQtDrawingIsSeen) {
        GTEST_SKIP() << "Qt's drawing threads are hidden from ThreadSanitizer";
    }
    const Seen one = Run(1);
    ASSERT_FALSE(one.outputs.empty());
    const Seen four = Run(4);
    EXPECT_EQ(four.shown, one.shown);
    EXPECT_EQ(Describe(four.outputs), Describe(one.outputs));
    const Seen tight = Run(4, {}, 1);
    EXPECT_EQ(tight.shown, one.shown);
    EXPECT_EQ(Describe(tight.outputs), Describe(one.outputs));
}

INSTANTIATE_TEST_SUITE_P(Batches, ParallelRun, testing::ValuesIn(kBatches),
                         [](const auto& row) { return std::string(row.param.name); });

using InterruptedRun = ParallelRun;

// At every message: a stop leaves exactly the files that one worker leaves when stopped there and
// writes nothing after it but the mosaic it was filling; a pause holds the files there were at
// that message, and Continue completes the run.
TEST_P(InterruptedRun, PauseAndStopTakeEffectAtTheSamePointsAsWithOneWorker) {
    const Seen whole = Run(1);
    int messages = 0;
    Run(1, [&](RunController&, int, const QString&) { ++messages; });
    ASSERT_GT(messages, 5);
    for (int at = 0; at < messages; ++at) {
        SCOPED_TRACE("message " + std::to_string(at));
        // Every other point with a budget of one byte: helpers wait for room meanwhile.
        const std::uint64_t budget = at % 2 == 0 ? 0 : 1;
        Outputs atStop;
        const Act stop = [&](RunController& run, int message, const QString& out) {
            if (message == at) {
                atStop = ReadOutputs(out);
                run.OnStop();
            }
        };
        const Seen stoppedOne = Run(1, stop);
        const Outputs atStopOne = atStop;
        const Seen stoppedFour = Run(4, stop, budget);
        EXPECT_EQ(Describe(atStop), Describe(atStopOne));
        EXPECT_EQ(Describe(stoppedFour.outputs), Describe(stoppedOne.outputs));
        if (!GetParam().mosaicAtTheEnd) {
            EXPECT_EQ(Describe(stoppedFour.outputs), Describe(atStop)) << "written after the stop";
        }

        paused.reset();
        bool final = false;
        const Seen continued = Run(
            4,
            [&](RunController& run, int message, const QString&) {
                if (message == at) {
                    final = run.Report().isFinal;
                    run.OnStartPauseContinue();
                }
            },
            budget);
        // Every message before the end of the file loop is followed by a polling point, so a
        // pause there holds the run; one pressed at a final message (after the last polling
        // point) comes too late, and the run just ends.
        EXPECT_EQ(paused.has_value(), !final);
        if (paused) {
            EXPECT_EQ(Describe(*paused), Describe(atStopOne));
        }
        EXPECT_EQ(Describe(continued.outputs), Describe(whole.outputs));
    }
}

INSTANTIATE_TEST_SUITE_P(Batches, InterruptedRun,
                         testing::Values(kBatches[2], kBatches[6], kBatches[7], kBatches[9]),
                         [](const auto& row) { return std::string(row.param.name); });

#if defined(__linux__)
TEST(DefaultWorkerCount, FollowsTheCoresTheProcessMayRunOn) {
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    const int all = DefaultWorkerCount();
    EXPECT_GE(all, 1);
    EXPECT_LE(all, CPU_COUNT(&saved));
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &saved)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(DefaultWorkerCount(), 1);
    ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
}
#endif

}  // namespace
}  // namespace corvane
