// The dialog lock of a run and the open buttons over a Form, and the texts the dialog builds from
// its state.
#include "form_rules/dialog_defaults.h"
#include "form_rules/dialog_texts.h"
#include "form_rules/enable_rules.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using enum ControlId;

class DialogLock : public ::testing::Test {
protected:
    DialogLock() {
        ApplyDialogDefaults(form, {tree.Root(), {}, {}});
        form.SetText(SavePath, tree.MakeFolder("out"));
        form.SetChecked(Rotate, true);
        form.SetChecked(Watermark, true);
        UpdateOperationControls(form);
    }
    test::TempTree tree;
    FormState form;
};

TEST_F(DialogLock, LockingDisablesEveryOptionButLeavesStopAndTheOpenButtons) {
    form.SetEnabled(StopButton, true);
    SetControlsEnabled(form, false, false, true);
    for (const ControlId id :
         {SourcePath,      SavePath,        IncludeSubfolders,   BrowseSource,   BrowseSave,
          SinglePathRadio, MultiPathRadio,  AddSelection,        ClearSelection, ViewSelection,
          Rotate,          Rotate90,        RotateCustom,        Resize,         Cut,
          Combine,         Watermark,       WatermarkText,       FormatAll,      FormatPng,
          SameAsSource,    DirectCopy,      CopyFolderStructure, ClashPrefix,    ClashPrefixText,
          ClashOverwrite,  NameLengthLimit, LongNameAbandon,     StartButton,    FormatLabel}) {
        EXPECT_FALSE(form.IsEnabled(id)) << static_cast<int>(id);
    }
    EXPECT_TRUE(form.IsEnabled(StopButton));
    EXPECT_TRUE(form.IsEnabled(OpenSourceCurrent));
    EXPECT_TRUE(form.IsEnabled(OpenSaveParent));
    EXPECT_TRUE(form.IsChecked(Rotate)) << "ticks stay";
}

TEST_F(DialogLock, UnlockingBringsTheRulesBack) {
    SetControlsEnabled(form, false, false, false);
    SetControlsEnabled(form, true, true, false);
    EXPECT_TRUE(form.IsEnabled(Rotate90));
    EXPECT_FALSE(form.IsEnabled(RotateAngle)) << "90 degrees is selected";
    EXPECT_TRUE(form.IsEnabled(WatermarkText));
    EXPECT_FALSE(form.IsEnabled(WatermarkImagePath));
    EXPECT_TRUE(form.IsEnabled(ClashPrefixText));
    EXPECT_FALSE(form.IsEnabled(ClashSuffixText));
    EXPECT_TRUE(form.IsEnabled(SourcePath));
    EXPECT_FALSE(form.IsEnabled(AddSelection)) << "single-path mode";
    EXPECT_TRUE(form.IsEnabled(StartButton));
}

TEST_F(DialogLock, UnlockingInMultiPathModeFollowsTheSelection) {
    SelectRadio(form, MultiPathRadio);
    SetControlsEnabled(form, true, true, false);
    EXPECT_FALSE(form.IsEnabled(SourcePath));
    EXPECT_TRUE(form.IsEnabled(AddSelection));
    EXPECT_FALSE(form.IsEnabled(ClearSelection));
    SetControlsEnabled(form, true, true, true);
    EXPECT_TRUE(form.IsEnabled(ViewSelection));
}

TEST_F(DialogLock, DirectCopyKeepsTheFormatsOffAfterAnUnlock) {
    form.SetChecked(DirectCopy, true);
    SetControlsEnabled(form, false, false, false);
    SetControlsEnabled(form, true, true, false);
    EXPECT_FALSE(form.IsEnabled(FormatPng));
    EXPECT_FALSE(form.IsEnabled(SameAsSource));
}

TEST_F(DialogLock, OpenCurrentNeedsSomethingAtThePath) {
    struct Row {
        const char* name;
        QString text;
        bool current;
    };
    const Row rows[] = {
        {"folder", tree.Root(), true},
        {"folder without its separator, with blanks", " " + tree.Root().chopped(1) + " ", true},
        {"doubled separators", tree.Root() + "/", true},
        {"missing", tree.Path("gone"), false},
        {"empty text normalises to the root", "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form.SetText(SavePath, row.text);
        form.SetEnabled(OpenSaveParent, false);
        UpdateOpenButtons(form);
        EXPECT_EQ(form.IsEnabled(OpenSaveCurrent), row.current);
        EXPECT_TRUE(form.IsEnabled(OpenSaveParent));
    }
}

TEST(DialogTexts, ClashExamplesUseTheTrimmedField) {
    EXPECT_EQ(PrefixExample("_CVN_"),
              QStringLiteral("( 比如, \"某文件.PNG\" 会被存成 \"_CVN_某文件.PNG\" )"));
    EXPECT_EQ(SuffixExample("_CVN"),
              QStringLiteral("( 比如, \"某文件.PNG\" 会被存成 \"某文件_CVN.PNG\" )"));
    EXPECT_EQ(SuffixExample("   "),
              QStringLiteral("( 比如, \"某文件.PNG\" 会被存成 \"某文件.PNG\" )"));
    EXPECT_EQ(PrefixExample(" %1 "),
              QStringLiteral("( 比如, \"某文件.PNG\" 会被存成 \"%1某文件.PNG\" )"))
        << "the field's text is taken literally";
}

TEST(DialogTexts, ListingShowsBothListsAsHeld) {
    EXPECT_EQ(
        SelectionListing(nullptr, nullptr),
        QStringLiteral(
            "花式选择，已选文件数：  0  ，已选文件夹数：  0  \r\n\r\n\r\n文件列表：\r\n\r\n\r\n"
            "文件夹列表："));
    const PathList files = {"/a/x.png", "/a/x.png"};
    const PathList folders = {"/b/"};
    EXPECT_EQ(
        SelectionListing(&files, &folders),
        QStringLiteral("花式选择，已选文件数：  2  ，已选文件夹数：  1  \r\n\r\n\r\n文件列表："
                       "\r\n        /a/x.png\r\n        /a/x.png\r\n\r\n\r\n文件夹列表："
                       "\r\n        /b/"));
    EXPECT_EQ(SelectionCountsText(2, 1), QStringLiteral("已选文件数：  2  ， 已选文件夹数：  1"));
}

TEST(DialogTexts, PathFieldsShowTheirOwnTextAsTooltip) {
    FormState form;
    form.SetText(SourcePath, "/a/very/long/path/");
    std::map<ControlId, QString> tips;
    for (const auto& [id, tip] : Tooltips(form)) {
        tips[id] = tip;
    }
    EXPECT_EQ(tips[SourcePath], QStringLiteral("/a/very/long/path/"));
    EXPECT_EQ(tips[ResizeBySize], tips[ResizeWidth]);
    EXPECT_EQ(tips[DirectCopy], QStringLiteral("直接拷贝原图，不做任何修改。"));
    EXPECT_EQ(tips.size(), 11u);
}

}  // namespace
}  // namespace corvane
