#include "engine/report.h"
#include "support/printers.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

RunReport Counts(int T, int P, int R, int S, int E, bool final = true, int H = 0) {
    RunReport r;
    r.totalFiles = T;
    r.processedFiles = P;
    r.recognisedImages = R;
    r.savedFiles = S;
    r.expectedFiles = E;
    r.isFinal = final;
    r.hiddenFiles = H;
    return r;
}

TEST(ProgressText, TwoLinesExactlyAsShown) {
    EXPECT_EQ(
        ProgressText(Counts(209, 108, 100, 90, 0, false, 3), OperationKind::Plain, {}),
        QStringLiteral("文件总数： 209  （其中有隐藏文件数： 3 ） \r\n"
                       "已处理文件数： 108；     可识别图片文件数： 100；     已保存文件数： 90"));
    EXPECT_EQ(ProgressText(Counts(4, 4, 3, 3, 3), OperationKind::Plain, {}),
              QStringLiteral("文件总数： 4  （其中有隐藏文件数： 0 ） \r\n"
                             "已处理文件数： 4；     可识别图片文件数： 3；     已保存文件数： 3"
                             "；     应保存文件数： 3；"));
    CombineCounts combine;
    combine.combined = 7;
    EXPECT_TRUE(ProgressText(Counts(1, 1, 1, 0, 0, false), OperationKind::CutCellCombine, combine)
                    .endsWith(QStringLiteral("已保存文件数： 0     已合并图片数： 7；")));
}

TEST(ProgressBar, FilesOrCombinedTilesTruncated) {
    EXPECT_EQ(ProgressPercent(Counts(3, 2, 0, 0, 0), OperationKind::Plain, {}), 66);
    EXPECT_EQ(ProgressPercent(Counts(0, 0, 0, 0, 0), OperationKind::Plain, {}), 0);
    CombineCounts combine;
    combine.combined = 1;
    combine.tiles = 8;
    EXPECT_EQ(ProgressPercent(Counts(2, 2, 0, 0, 0), OperationKind::CutCountCombine, combine), 12);
    combine.tiles = 0;
    EXPECT_EQ(ProgressPercent(Counts(2, 2, 0, 0, 0), OperationKind::CutCountCombine, combine), 0);
}

struct VerdictRow {
    const char* name;
    OperationKind kind;
    RunReport report;
    CombineCounts combine;
    const char16_t* text;
    Colour colour;
    RunOutcome outcome;
};

class Verdicts : public ::testing::TestWithParam<VerdictRow> {};

TEST_P(Verdicts, ChooseTheSentence) {
    const VerdictRow& row = GetParam();
    const Verdict verdict = CompletionVerdict(row.report, row.kind, row.combine);
    EXPECT_EQ(verdict.text, QString::fromUtf16(row.text)) << row.name;
    EXPECT_EQ(verdict.colour, row.colour) << row.name;
    EXPECT_EQ(verdict.outcome, row.outcome) << row.name;
}

const char16_t* const kAll = u"操作全部完成！";

INSTANTIATE_TEST_SUITE_P(
    Rows, Verdicts,
    ::testing::Values(
        VerdictRow{"empty folder",
                   OperationKind::Plain,
                   Counts(0, 0, 0, 0, 0),
                   {},
                   kAll,
                   colours::kComplete,
                   RunOutcome::Complete},
        VerdictRow{"empty folder, combine",
                   OperationKind::Combine,
                   Counts(0, 0, 0, 0, 0),
                   {},
                   kAll,
                   colours::kComplete,
                   RunOutcome::Complete},
        VerdictRow{"no images",
                   OperationKind::Plain,
                   Counts(5, 5, 0, 0, 0),
                   {},
                   kAll,
                   colours::kComplete,
                   RunOutcome::Complete},
        VerdictRow{"three images and a text file",
                   OperationKind::Plain,
                   Counts(4, 4, 3, 3, 3),
                   {},
                   kAll,
                   colours::kComplete,
                   RunOutcome::Complete},
        VerdictRow{"every save failed",
                   OperationKind::Plain,
                   Counts(3, 3, 3, 0, 3),
                   {},
                   u"操作失败！文件保存失败！可能原因：待保存图片太大，当前版本不能保存；或者磁盘空"
                   u"间不足等原因；",
                   colours::kRed,
                   RunOutcome::Failed},
        VerdictRow{"one encoder failing",
                   OperationKind::Plain,
                   Counts(3, 3, 3, 3, 6),
                   {},
                   u"操作部分完成！可能原因：待保存的图片太大，当前版本不能保存。",
                   colours::kPartial,
                   RunOutcome::Partial},
        VerdictRow{
            "run cut short",
            OperationKind::Plain,
            Counts(5, 3, 3, 3, 3),
            {},
            u"操作部分完成！可能原因：有些文件的信息没有获取到；合并后图片太大，当前版本不能保存。",
            colours::kPartial,
            RunOutcome::Partial},
        VerdictRow{"nothing at all",
                   OperationKind::Plain,
                   Counts(5, 0, 0, 0, 0),
                   {},
                   u"操作失败！",
                   colours::kRed,
                   RunOutcome::Failed},
        VerdictRow{"tiles lost",
                   OperationKind::CutCountCombine,
                   Counts(2, 2, 2, 1, 1),
                   {3, 0, 4, false},
                   u"操作部分完成！保存文件中的部分图像信息已丢失。可能原因：源图过多或过大；\"切割"
                   u"\"/\"合并\"设置中的整数设置过大。",
                   colours::kPartial,
                   RunOutcome::Partial},
        VerdictRow{"tiles all placed",
                   OperationKind::CutCellCombine,
                   Counts(2, 2, 2, 1, 1),
                   {4, 0, 4, true},
                   kAll,
                   colours::kComplete,
                   RunOutcome::Complete},
        VerdictRow{"mosaic complete",
                   OperationKind::Combine,
                   Counts(5, 5, 5, 3, 3),
                   {5, 5, 0, false},
                   kAll,
                   colours::kComplete,
                   RunOutcome::Complete},
        VerdictRow{"canvas could not grow",
                   OperationKind::Combine,
                   Counts(5, 3, 3, 1, 1),
                   {2, 3, 0, false},
                   u"操作部分完成！因为内存不足，不能合并更多图片。",
                   colours::kPartial,
                   RunOutcome::Partial},
        VerdictRow{"combine could not begin",
                   OperationKind::Combine,
                   Counts(5, 0, 0, 0, 0),
                   {},
                   u"操作失败！",
                   colours::kRed,
                   RunOutcome::Failed},
        VerdictRow{"mosaic not saved",
                   OperationKind::Combine,
                   Counts(5, 5, 5, 0, 3),
                   {5, 5, 0, false},
                   u"操作失败！",
                   colours::kRed,
                   RunOutcome::Failed}),
    test::kRowName);

}  // namespace
}  // namespace corvane
