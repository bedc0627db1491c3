// The dialog's rules over a Form: enable rules, defaults and the checks before a run.
#include "form_rules/dialog_defaults.h"
#include "form_rules/enable_rules.h"
#include "form_rules/validation.h"
#include "imaging/image_processor.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using enum ControlId;

class FormRules : public ::testing::Test {
protected:
    FormRules() {
        ApplyDialogDefaults(form, {tree.Root(), {}, {}});
        form.SetText(SavePath, tree.MakeFolder("out"));
    }
    QString Validate() {
        QString message;
        return ValidateInputs(form, processor, watermark, &message) ? QStringLiteral("accepted")
                                                                    : message;
    }
    test::TempTree tree;
    FormState form;
    ImageProcessor processor;
    WatermarkSettings watermark;
};

TEST_F(FormRules, DefaultsAreTheDialogsOwn) {
    EXPECT_TRUE(form.IsChecked(FormatPng));
    EXPECT_TRUE(form.IsChecked(SinglePathRadio));
    EXPECT_TRUE(form.IsChecked(ClashPrefix));
    EXPECT_TRUE(form.IsChecked(LongNameFoldPrefix));
    EXPECT_EQ(form.Text(NameLengthLimit), QStringLiteral("218"));
    EXPECT_EQ(form.Text(NameLimitRange), QStringLiteral("个字符( 自定义数字应在 20 到 218 之间 )"));
    EXPECT_EQ(form.Text(WatermarkText), QStringLiteral("Corvane"));
    EXPECT_FALSE(form.IsEnabled(RotateAngle));
    EXPECT_FALSE(form.IsEnabled(ClashSuffixText));
    EXPECT_FALSE(form.IsEnabled(AddSelection));
    EXPECT_EQ(Validate(), QStringLiteral("accepted"));
}

TEST_F(FormRules, DirectCopyDisablesTheFormatsButKeepsTheirTicks) {
    form.SetChecked(DirectCopy, true);
    UpdateSaveModeControls(form);
    EXPECT_TRUE(form.IsChecked(FormatPng));
    EXPECT_FALSE(form.IsEnabled(FormatPng));
    EXPECT_FALSE(form.IsEnabled(SameAsSource));
    form.SetChecked(DirectCopy, false);
    UpdateSaveModeControls(form);
    EXPECT_TRUE(form.IsEnabled(FormatPng));
    EXPECT_TRUE(form.IsChecked(FormatPng));
    EXPECT_TRUE(form.IsEnabled(SameAsSource));
}

TEST_F(FormRules, AllFormatsFollowsTheSevenBoxes) {
    form.SetChecked(FormatAll, true);
    ApplyAllFormatsRule(form);
    EXPECT_TRUE(form.IsChecked(FormatWmf));
    form.SetChecked(FormatGif, false);
    ApplySingleFormatRule(form);
    EXPECT_FALSE(form.IsChecked(FormatAll));
    form.SetChecked(FormatGif, true);
    ApplySingleFormatRule(form);
    EXPECT_TRUE(form.IsChecked(FormatAll));
}

TEST_F(FormRules, OverwriteSwitchesTheNameLengthGroupOff) {
    SelectRadio(form, ClashOverwrite);
    UpdateNameClashControls(form);
    for (const ControlId id :
         {NameLengthLimit, LongNameFoldPrefix, LongNameFoldSuffix, LongNameAbandon}) {
        EXPECT_FALSE(form.IsEnabled(id));
    }
    form.SetText(NameLengthLimit, "5");  // not examined while disabled
    EXPECT_EQ(Validate(), QStringLiteral("accepted"));
    SelectRadio(form, ClashPrefix);
    UpdateNameClashControls(form);
    EXPECT_TRUE(form.IsEnabled(NameLengthLimit));
    EXPECT_EQ(Validate(), QStringLiteral("文件名长度限制数字应该在 20 到 218 之间。"));
}

TEST_F(FormRules, ACustomAngleNeedsRotateTicked) {
    SelectRadio(form, RotateCustom);
    UpdateOperationControls(form);
    EXPECT_FALSE(form.IsEnabled(RotateAngle));
    EXPECT_FALSE(form.IsEnabled(RotateBackground));
    form.SetChecked(Rotate, true);
    UpdateOperationControls(form);
    EXPECT_TRUE(form.IsEnabled(RotateAngle));
}

TEST_F(FormRules, NumbersAreCleanedInPlace) {
    form.SetChecked(Resize, true);
    SelectRadio(form, ResizeBySize);
    UpdateOperationControls(form);
    form.SetText(ResizeWidth, " 1 000 ");
    form.SetText(ResizeHeight, "0");
    EXPECT_EQ(Validate(), QStringLiteral("accepted"));
    EXPECT_EQ(form.Text(ResizeWidth), QStringLiteral("1000"));
}

TEST_F(FormRules, AClashStrategyMustBeChosen) {
    form.SetChecked(ClashPrefix, false);
    EXPECT_EQ(Validate(), QStringLiteral("请选择 文件重名时 的操作策略。"));
}

TEST_F(FormRules, MultiPathStillChecksTheSourceField) {
    SelectRadio(form, MultiPathRadio);
    SetSourceMode(form, false, false);
    EXPECT_FALSE(form.IsEnabled(ClearSelection));
    form.SetText(SourcePath, "");
    EXPECT_EQ(Validate(), QStringLiteral("请填写或选择正确的  打开路径。"));
}

TEST_F(FormRules, TheWatermarkIsPreparedOnAcceptanceOnly) {
    form.SetChecked(Watermark, true);
    UpdateOperationControls(form);
    EXPECT_EQ(Validate(), QStringLiteral("accepted"));
    EXPECT_TRUE(watermark.on);
    EXPECT_EQ(watermark.text, QStringLiteral("Corvane"));
    SelectRadio(form, WatermarkByImage);
    UpdateOperationControls(form);
    form.SetText(WatermarkImagePath, tree.WriteFile("fake.png", "not a picture"));
    EXPECT_EQ(Validate(), QStringLiteral("水印图片不是有效的图片，或者水印图片的图像格式目前不能识"
                                         "别。请重新指定水印图片的路径。"));
    EXPECT_FALSE(watermark.on);
    EXPECT_EQ(watermark.picture, nullptr);
}

}  // namespace
}  // namespace corvane
