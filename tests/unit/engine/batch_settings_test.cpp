#include "engine/batch_settings.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using enum ControlId;

class CaptureTest : public ::testing::Test {
protected:
    CaptureTest() {
        form.SetText(SourcePath, QStringLiteral("/data//photos"));
        form.SetText(SavePath, QStringLiteral(" /out "));
        form.SetText(NameLengthLimit, QStringLiteral("218"));
        SelectRadio(form, SinglePathRadio);
    }
    FormState form;
    BatchSettings settings;
};

TEST_F(CaptureTest, FolderPathsAreNormalised) {
    CaptureAtStart(form, settings);
    EXPECT_EQ(settings.sourcePath, QStringLiteral("/data/photos/"));
    EXPECT_EQ(settings.savePath, QStringLiteral("/out/"));
}

TEST_F(CaptureTest, NumbersAreCleanedWrittenBackAndRead) {
    form.SetText(NameLengthLimit, QStringLiteral("  2 5 "));
    form.SetChecked(Resize, true);
    SelectRadio(form, ResizeByRatio);
    form.SetText(ResizeRatio, QStringLiteral(" 0 .5"));
    CaptureAtStart(form, settings);
    EXPECT_EQ(settings.nameLengthLimit, 25);
    EXPECT_EQ(form.Text(NameLengthLimit), QStringLiteral("25"));
    EXPECT_DOUBLE_EQ(settings.resizeRatio, 0.5);
    EXPECT_EQ(form.Text(ResizeRatio), QStringLiteral("0.5"));
}

TEST_F(CaptureTest, MultiPathNeverCopiesTheFolderStructure) {
    form.SetChecked(CopyFolderStructure, true);
    CaptureAtStart(form, settings);
    EXPECT_TRUE(settings.copyFolderStructure);
    SelectRadio(form, MultiPathRadio);
    CaptureAtStart(form, settings);
    EXPECT_TRUE(settings.multiPath);
    EXPECT_FALSE(settings.copyFolderStructure);
}

TEST_F(CaptureTest, QuarterTurnsIgnoreTheColourButton) {
    form.SetChecked(Rotate, true);
    SelectRadio(form, Rotate90);
    form.SetColourValue(RotateBackground, 0x00123456);
    CaptureAtStart(form, settings);
    EXPECT_DOUBLE_EQ(settings.rotateAngle, 90.0);
    EXPECT_EQ(settings.rotateBackground, 0xFFFFFFu);

    SelectRadio(form, RotateCustom);
    form.SetText(RotateAngle, QStringLiteral(" 61 .80 "));
    CaptureAtStart(form, settings);
    EXPECT_DOUBLE_EQ(settings.rotateAngle, 61.8);
    EXPECT_EQ(settings.rotateBackground, 0x00123456u);

    form.SetChecked(Rotate, false);
    CaptureAtStart(form, settings);
    EXPECT_FALSE(settings.rotate);
    EXPECT_DOUBLE_EQ(settings.rotateAngle, 0.0);
}

struct KindRow {
    const char* name;
    bool cut;
    bool byCount;
    bool combine;
    bool directCopy;
    bool directCopyEnabled;
    OperationKind expected;
};

class OperationKindDerivation : public ::testing::TestWithParam<KindRow> {};

TEST_P(OperationKindDerivation, FollowsTheBoxes) {
    const KindRow& row = GetParam();
    FormState form;
    form.SetChecked(Cut, row.cut);
    SelectRadio(form, row.byCount ? CutByCount : CutByCellSize);
    form.SetChecked(Combine, row.combine);
    form.SetChecked(DirectCopy, row.directCopy);
    form.SetEnabled(DirectCopy, row.directCopyEnabled);
    EXPECT_EQ(DeriveOperationKind(form), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OperationKindDerivation,
    ::testing::Values(KindRow{"Plain", false, true, false, false, true, OperationKind::Plain},
                      KindRow{"CutByCount", true, true, false, false, true,
                              OperationKind::CutCount},
                      KindRow{"CutByCell", true, false, false, false, true, OperationKind::CutCell},
                      KindRow{"Combine", false, true, true, false, true, OperationKind::Combine},
                      KindRow{"CutByCountThenCombine", true, true, true, false, true,
                              OperationKind::CutCountCombine},
                      KindRow{"CutByCellThenCombine", true, false, true, false, true,
                              OperationKind::CutCellCombine},
                      KindRow{"DirectCopyOverrulesTheRest", true, false, true, true, true,
                              OperationKind::DirectCopy},
                      // A disabled direct-copy box counts as off.
                      KindRow{"DisabledDirectCopyCountsAsOff", false, true, true, true, false,
                              OperationKind::Combine}),
    test::kRowName);

TEST_F(CaptureTest, NamingRulesAreReadWhenProcessingStarts) {
    SelectRadio(form, ClashSuffix);
    form.SetText(ClashSuffixText, QStringLiteral("  _v2 "));
    SelectRadio(form, LongNameAbandon);
    form.SetChecked(FormatGif, true);
    form.SetChecked(FormatPng, true);
    CaptureAtProcessingStart(form, settings);
    EXPECT_EQ(settings.clashStrategy, ClashStrategy::Suffix);
    EXPECT_EQ(settings.clashSuffix, QStringLiteral("_v2"));
    EXPECT_EQ(settings.longNameStrategy, LongNameStrategy::Abandon);
    ASSERT_EQ(settings.formats.size(), 2u);
    EXPECT_EQ(settings.formats[0].kind, FormatKind::Png);
    EXPECT_EQ(settings.formats[1].kind, FormatKind::Gif);

    // With no radio of a group selected, the earlier choice stays.
    form.SetChecked(ClashSuffix, false);
    form.SetChecked(LongNameAbandon, false);
    CaptureAtProcessingStart(form, settings);
    EXPECT_EQ(settings.clashStrategy, ClashStrategy::Suffix);
    EXPECT_EQ(settings.longNameStrategy, LongNameStrategy::Abandon);
}

}  // namespace
}  // namespace corvane
