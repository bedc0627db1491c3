// The window applies the rules between its controls on every click and text change (the rules
// themselves are tested over a Form in form_rules_tests), locks its options during a run, and
// keeps its examples, counts, tooltips and child dialogs in step.
#include "engine/report.h"
#include "form_rules/dialog_texts.h"
#include "support/test_names.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <functional>
#include <vector>

namespace corvane::test {
namespace {

using enum ControlId;

struct RuleRow {
    const char* name;
    std::vector<ControlId> clicks;
    std::vector<ControlId> enabled;
    std::vector<ControlId> disabled;
    std::vector<ControlId> ticked = {};
    std::vector<ControlId> unticked = {};
};

const RuleRow kRules[] = {
    {"rotate", {Rotate}, {Rotate90, Rotate180, Rotate270, RotateCustom}, {RotateAngle}},
    {"custom angle", {Rotate, RotateCustom}, {RotateAngle, RotateAngleUnit, RotateBackground}, {}},
    {"custom angle needs rotate",
     {RotateCustom, Rotate, RotateCustom, Rotate},
     {},
     {RotateCustom, RotateAngle, RotateBackground}},
    {"resize by ratio", {Resize}, {ResizeByRatio, ResizeRatio}, {ResizeWidth, LongEdgeLimit}},
    {"resize to a size",
     {Resize, ResizeBySize},
     {ResizeWidth, ResizeHeight, ResizeSizeSeparator},
     {ResizeRatio, LongEdgeLimit}},
    {"resize by the long side",
     {Resize, ResizeByLongEdge},
     {LongEdgeLimit},
     {ResizeRatio, ResizeWidth}},
    {"cut by count", {Cut}, {CutByCount, CutByCellSize, CutColumns, CutRows}, {CellWidth}},
    {"cut by cell", {Cut, CutByCellSize}, {CellWidth, CellHeight, CellSeparator}, {CutColumns}},
    {"combine", {Combine}, {CombineColumns, CombineRows, CombineNote}, {}},
    {"cut and combine together", {Cut, Combine}, {CutColumns, CombineColumns}, {}},
    {"text watermark",
     {Watermark},
     {WatermarkByText, WatermarkText},
     {WatermarkImagePath, BrowseWatermarkImage}},
    {"picture watermark",
     {Watermark, WatermarkByImage},
     {WatermarkImagePath, BrowseWatermarkImage},
     {WatermarkText}},
    {"direct copy",
     {DirectCopy},
     {},
     {FormatPng, FormatAll, SameAsSource},
     {FormatPng},
     {SameAsSource}},
    {"direct copy off again", {DirectCopy, DirectCopy}, {FormatPng, SameAsSource}, {}, {FormatPng}},
    {"same as source", {SameAsSource}, {}, {FormatPng, DirectCopy}, {SameAsSource}},
    {"all formats", {FormatAll}, {}, {}, {FormatBmp, FormatGif, FormatWmf, FormatAll}},
    {"one format off unticks all",
     {FormatAll, FormatGif},
     {},
     {},
     {FormatBmp},
     {FormatGif, FormatAll}},
    {"the seventh format ticks all", {FormatAll, FormatGif, FormatGif}, {}, {}, {FormatAll}},
    {"overwrite",
     {ClashOverwrite},
     {},
     {NameLengthLimit, NameLimitLabel, NameLimitRange, LongNameLabel, LongNameFoldPrefix,
      LongNameFoldSuffix, LongNameAbandon}},
    {"prefix again",
     {ClashOverwrite, ClashPrefix},
     {NameLengthLimit, ClashPrefixText},
     {ClashSuffixText}},
    {"suffix", {ClashSuffix}, {ClashSuffixText}, {ClashPrefixText}},
    {"multi path without a selection",
     {MultiPathRadio},
     {AddSelection, MultiIncludeSubfolders, SelectionCounts},
     {SourcePath, BrowseSource, IncludeSubfolders, ClearSelection, ViewSelection}},
    {"single path again",
     {MultiPathRadio, SinglePathRadio},
     {SourcePath, BrowseSource},
     {AddSelection, ClearSelection}},
};

class WindowRule : public WindowTest, public ::testing::WithParamInterface<RuleRow> {};

TEST_P(WindowRule, AppliedOnClick) {
    const RuleRow& row = GetParam();
    Open();
    for (const ControlId id : row.clicks) {
        Click(id);
    }
    for (const ControlId id : row.enabled) {
        EXPECT_TRUE(dialog->IsEnabled(id)) << static_cast<int>(id);
    }
    for (const ControlId id : row.disabled) {
        EXPECT_FALSE(dialog->IsEnabled(id)) << static_cast<int>(id);
    }
    for (const ControlId id : row.ticked) {
        EXPECT_TRUE(dialog->IsChecked(id)) << static_cast<int>(id);
    }
    for (const ControlId id : row.unticked) {
        EXPECT_FALSE(dialog->IsChecked(id)) << static_cast<int>(id);
    }
}

INSTANTIATE_TEST_SUITE_P(Click, WindowRule, ::testing::ValuesIn(kRules), kRowName);

TEST_F(WindowTest, AToggleByAssistiveTechnologyAppliesTheRuleToo) {
    Open();
    QAccessibleActionInterface* actions =
        QAccessible::queryAccessibleInterface(Widget(Rotate))->actionInterface();
    ASSERT_NE(actions, nullptr);
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(dialog->IsChecked(Rotate));
    EXPECT_TRUE(dialog->IsEnabled(Rotate90));
    QAccessible::queryAccessibleInterface(Widget(MultiPathRadio))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(dialog->IsEnabled(AddSelection));
    EXPECT_FALSE(dialog->IsEnabled(SourcePath));
}

TEST_F(WindowTest, StartsWithTheDefaults) {
    Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Corvane 2.2.1"));
    EXPECT_TRUE(dialog->IsChecked(SinglePathRadio));
    EXPECT_TRUE(dialog->IsChecked(IncludeSubfolders));
    EXPECT_TRUE(dialog->IsChecked(FormatPng));
    EXPECT_EQ(dialog->Text(RotateAngle), QStringLiteral("61.80"));
    EXPECT_EQ(dialog->ColourValue(RotateBackground), 0x00FFFFFFu);
    EXPECT_EQ(dialog->Text(ProgressText),
              QStringLiteral("回车键，开始/暂停操作；\nESC键，停止操作。"));
    EXPECT_EQ(dialog->Text(StatusLine), texts::kStartTip);
    EXPECT_EQ(dialog->StatusColour(), 0xFF0080u);
    EXPECT_EQ(dialog->Text(SelectionCounts),
              QStringLiteral("已选文件数：  0  ， 已选文件夹数：  0"));
    EXPECT_TRUE(dialog->IsEnabled(StartButton));
    EXPECT_FALSE(dialog->IsEnabled(StopButton));
    EXPECT_FALSE(dialog->Control(ProgressBar)->isVisible());
    EXPECT_TRUE(Edit(SourcePath)->hasFocus());
}

TEST_F(WindowTest, TypingKeepsTheExamplesOpenButtonsAndTooltipsInStep) {
    Open();
    Click(ClashSuffix);
    Type(ClashSuffixText, " ab ");
    EXPECT_EQ(dialog->Text(ClashSuffixExample),
              QStringLiteral("( 比如, \"某文件.PNG\" 会被存成 \"某文件ab.PNG\" )"));
    Click(ClashPrefix);
    Type(ClashPrefixText, "   ");
    EXPECT_EQ(dialog->Text(ClashPrefixExample),
              QStringLiteral("( 比如, \"某文件.PNG\" 会被存成 \"某文件.PNG\" )"));
    Type(SavePath, tree.Path("nowhere"));
    EXPECT_FALSE(dialog->IsEnabled(OpenSaveCurrent));
    EXPECT_TRUE(dialog->IsEnabled(OpenSaveParent));
    EXPECT_EQ(Widget(SavePath)->toolTip(), tree.Path("nowhere"));
    Type(SavePath, save);
    EXPECT_TRUE(dialog->IsEnabled(OpenSaveCurrent));
    EXPECT_FALSE(Widget(ResizeWidth)->toolTip().isEmpty());
}

// The tip window Qt shows, while it shows.
QWidget* ShownTip() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->inherits("QTipLabel") && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

void AskForTip(QWidget* widget) {
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), widget->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(widget, &help);
}

// The dialog's own tips wake at once and show in its green and blue; the contact link's tip, like
// every tip outside the dialog's own, keeps the program's colours, also when it follows one of
// the dialog's tips at once.
TEST_F(WindowTest, TheDialogsOwnTipsShowAtOnceInTheirOwnColours) {
    Open();
    QWidget* width = Widget(ResizeWidth);
    QWidget* link = Widget(ContactLink);
    EXPECT_EQ(width->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, width), 0);
    EXPECT_GT(link->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, link), 0);

    const QColor dialogGreen(0x36, 0xFF, 0x65);
    const QColor programTip = QToolTip::palette().color(QPalette::ToolTipBase);
    EXPECT_NE(programTip, dialogGreen) << "the program's tip colours are never changed";
    AskForTip(width);
    QWidget* tip = ShownTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(QToolTip::text(), width->toolTip());
    EXPECT_EQ(tip->palette().color(QPalette::ToolTipBase), dialogGreen);
    EXPECT_EQ(tip->palette().color(QPalette::ToolTipText), QColor(0x52, 0x08, 0xF5));

    AskForTip(link);
    tip = ShownTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(QToolTip::text(), link->toolTip());
    EXPECT_EQ(tip->palette().color(QPalette::ToolTipBase), programTip);
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), programTip);
    QToolTip::hideText();
}

TEST_F(WindowTest, ARunLocksEveryOptionAndUnlocksItAfter) {
    Open();
    Click(Rotate);
    Click(MultiPathRadio);
    Click(SinglePathRadio);
    bool checked = false;
    dialog->onProgress = [&](const QString& text) {
        if (checked || !text.contains(QStringLiteral("已处理文件数"))) {
            return;
        }
        checked = true;
        for (const ControlId id : {SourcePath,
                                   SavePath,
                                   Rotate,
                                   Rotate90,
                                   Resize,
                                   Cut,
                                   Combine,
                                   Watermark,
                                   FormatPng,
                                   FormatAll,
                                   SameAsSource,
                                   DirectCopy,
                                   ClashPrefix,
                                   ClashPrefixText,
                                   NameLengthLimit,
                                   BrowseSource,
                                   SinglePathRadio,
                                   MultiPathRadio,
                                   IncludeSubfolders,
                                   CopyFolderStructure}) {
            EXPECT_FALSE(dialog->IsEnabled(id)) << static_cast<int>(id);
        }
        EXPECT_TRUE(dialog->IsEnabled(StopButton));
        EXPECT_TRUE(dialog->IsEnabled(IntroductionButton));
        EXPECT_TRUE(dialog->Control(ProgressBar)->isVisible());
    };
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(checked);
    for (const ControlId id : {SourcePath, Rotate90, FormatPng, ClashPrefixText, NameLengthLimit}) {
        EXPECT_TRUE(dialog->IsEnabled(id)) << static_cast<int>(id);
    }
    EXPECT_FALSE(dialog->IsEnabled(RotateAngle)) << "the rules hold again";
}

class WindowSelection : public WindowTest {
public:
    WindowSelection() {
        MainDialogOptions options = Options();
        options.choosers.chooseFilesAndFolders = [this](PathList& files, PathList& folders,
                                                        const QString&, QWidget*) {
            files.insert(files.end(), picked.files.begin(), picked.files.end());
            folders.insert(folders.end(), picked.folders.begin(), picked.folders.end());
        };
        Open(std::move(options));
        Click(MultiPathRadio);
    }
    struct {
        PathList files;
        PathList folders;
    } picked;
};

TEST_F(WindowSelection, AddCountsViewListsAndClearEmpties) {
    EXPECT_FALSE(dialog->IsEnabled(ClearSelection));
    Click(AddSelection);  // nothing picked
    EXPECT_FALSE(dialog->IsEnabled(ClearSelection));
    EXPECT_FALSE(dialog->IsEnabled(ViewSelection));

    picked.files = {source + "a.png", source + "a.png"};
    picked.folders = {source};
    Click(AddSelection);
    EXPECT_EQ(dialog->Text(SelectionCounts),
              QStringLiteral("已选文件数：  2  ， 已选文件夹数：  1"));
    ASSERT_TRUE(dialog->IsEnabled(ViewSelection));
    Click(ViewSelection);
    CDialogViewMultiSelect* view = dialog->SelectionDialog();
    ASSERT_TRUE(WaitFor([&] { return view->isVisible(); }));
    EXPECT_EQ(view->Text()->toPlainText(),
              QStringLiteral(
                  "花式选择，已选文件数：  2  ，已选文件夹数：  1  \n\n\n文件列表：\n        ") +
                  source + "a.png\n        " + source + "a.png\n\n\n文件夹列表：\n        " +
                  source);

    picked.files = {source + "b.png"};
    picked.folders.clear();
    Click(AddSelection);
    EXPECT_TRUE(view->Text()->toPlainText().contains(QStringLiteral("已选文件数：  3")))
        << "a visible listing follows at once";

    Click(ClearSelection);
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(dialog->IsEnabled(ClearSelection));
    EXPECT_FALSE(dialog->IsEnabled(ViewSelection));
    EXPECT_EQ(dialog->Text(SelectionCounts),
              QStringLiteral("已选文件数：  0  ， 已选文件夹数：  0"));
    EXPECT_EQ(dialog->Run().MultiSelectFiles(), nullptr);
}

TEST_F(WindowSelection, AMultiPathRunProcessesTheSelection) {
    picked.files = {source + "b.png"};
    Click(AddSelection);
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(dialog->Text(StatusLine), QStringLiteral("操作全部完成！"));
    EXPECT_EQ(Outputs(), QStringList{"b.PNG"});
}

TEST_F(WindowTest, ChildDialogsStandUnderTheirButtonsAndFollowTheWindow) {
    Open();
    Click(IntroductionButton);
    CDialogIntroduction* intro = dialog->Introduction();
    ASSERT_TRUE(WaitFor([&] { return intro->isVisible(); }));
    const QWidget* button = Widget(IntroductionButton);
    EXPECT_EQ(intro->pos().y(), button->mapToGlobal(QPoint(0, button->height())).y());
    const QRect frame = dialog->frameGeometry();
    EXPECT_EQ(intro->pos().x(), frame.left() + (frame.width() - intro->width()) / 2);

    const QPoint before = intro->pos();
    dialog->move(dialog->pos() + QPoint(30, 20));
    ASSERT_TRUE(WaitFor([&] { return intro->pos() == before + QPoint(30, 20); }));

    Key(Qt::Key_Escape);  // hides the child dialog, stops nothing, closes nothing
    EXPECT_FALSE(intro->isVisible());
    EXPECT_TRUE(dialog->isVisible());

    Click(IntroductionButton);
    ASSERT_TRUE(WaitFor([&] { return intro->isVisible(); }));
    Click(IntroductionButton);
    EXPECT_FALSE(intro->isVisible()) << "the button toggles";
}

TEST_F(WindowTest, BrowsingPutsTheChoiceIntoItsField) {
    MainDialogOptions options = Options();
    QString started;
    options.choosers.chooseFolder = [&](const QString& start, QWidget*) {
        started = start;
        return source + "chosen/";
    };
    options.choosers.choosePicture = [&](const QString&, QWidget*) { return QString(); };
    Open(std::move(options));
    Type(SourcePath, tree.Path("gone"));
    Click(BrowseSource);
    EXPECT_EQ(started, tree.Root().chopped(1)) << "a missing path starts at the folder above it";
    EXPECT_EQ(dialog->Text(SourcePath), source + "chosen/");
    EXPECT_TRUE(Edit(SourcePath)->hasFocus());
    Click(BrowseSave);
    EXPECT_EQ(started, save);
    Click(Watermark);
    Click(WatermarkByImage);
    const QString picture = dialog->Text(WatermarkImagePath);
    Click(BrowseWatermarkImage);
    EXPECT_EQ(dialog->Text(WatermarkImagePath), picture) << "cancelled: unchanged";
}

// Answers the next modal dialog once it is up, from inside its own event loop.
void WhenModalOpens(std::function<void(QDialog*)> answer, QString* title) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer, title] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            *title = modal->windowTitle();
            answer(modal);
        }
    });
    poll->start();
}

TEST_F(WindowTest, TheButtonsOpenTheSelectionDialogs) {
    MainDialogOptions options = Options();
    options.choosers = SelectionChoosers(tree.Path("config/corvane.ini"));
    Open(std::move(options));
    struct Row {
        ControlId button;
        const char* title;
    };
    Click(MultiPathRadio);
    Click(SinglePathRadio);
    for (const Row& row :
         {Row{BrowseSource, "选择单个文件夹"}, Row{BrowseSave, "选择单个文件夹"}}) {
        QString title;
        WhenModalOpens([](QDialog* d) { d->reject(); }, &title);
        Click(row.button);
        EXPECT_EQ(title, QString::fromUtf8(row.title));
    }
    EXPECT_EQ(dialog->Text(SourcePath), source) << "cancelled: the start folder";
    Click(MultiPathRadio);
    QString title;
    WhenModalOpens([](QDialog* d) { d->reject(); }, &title);
    Click(AddSelection);
    EXPECT_EQ(title, QStringLiteral("选择多个文件和文件夹"));
    EXPECT_EQ(dialog->Text(SelectionCounts),
              QStringLiteral("已选文件数：  0  ， 已选文件夹数：  0"));
    Click(Watermark);
    Click(WatermarkByImage);
    const QString picture = dialog->Text(WatermarkImagePath);
    title.clear();
    WhenModalOpens([](QDialog* d) { d->reject(); }, &title);
    Click(BrowseWatermarkImage);
    EXPECT_EQ(title, QStringLiteral("请选择一个图片"));
    EXPECT_EQ(dialog->Text(WatermarkImagePath), picture);
}

}  // namespace
}  // namespace corvane::test
