// The introduction dialog: its text, its look without a title bar, and that OK, Enter and Esc
// hide it without destroying it.
#include "ui/dialog_introduction.h"
#include "ui/dialog_units.h"
#include "ui/introduction_text.h"
#include "ui/resources.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

namespace corvane {
namespace {

TEST(IntroductionText, HeaderNamesVersionAndTheProjectsContact) {
    const QStringList lines = IntroductionText().split(u'\n');
    ASSERT_GT(lines.size(), 60);
    EXPECT_EQ(lines[0], QStringLiteral("当前版本：Corvane 2.2.1"));
    EXPECT_EQ(lines[1], QStringLiteral("联系邮箱：corvane@example.org"));
    EXPECT_EQ(lines[2], QString());
    EXPECT_TRUE(lines.contains(
        QStringLiteral(" 支持多种操作组合，各种操作的优先次序为：旋转->缩放->切割->合并。")));
    EXPECT_TRUE(lines.contains(QStringLiteral("最近更新：")));
    EXPECT_EQ(lines.last(), QStringLiteral(" 批量格式转化。"));
    EXPECT_FALSE(IntroductionText().contains(u'\r'));
    EXPECT_FALSE(IntroductionText().contains(QChar::ReplacementCharacter));
    EXPECT_EQ(ContactMailTarget(), QStringLiteral("mailto:corvane@example.org"));
}

TEST(IntroductionText, VersionHistoryIsNewestFirst) {
    const QString text = IntroductionText();
    qsizetype previous = -1;
    for (const char* version : {"2.2.1 版：", "2.1.0 版：", "2.0.9 版：", "2.0.8 版：",
                                "2.0.2 版：", "2.0.1 版：", "1.0.3 版：", "1.0 Alpha 版："}) {
        const qsizetype at = text.indexOf(QString::fromUtf8(version));
        EXPECT_GT(at, previous) << version;
        previous = at;
    }
}

TEST(DialogUnits, ScaleByQuarterWidthAndEighthHeight) {
    const DialogUnits units{7, 16};
    EXPECT_EQ(units.ToPixels(QRect(171, 7, 72, 22)), QRect(299, 14, 126, 44));
    EXPECT_EQ(units.ToPixels(QSize(420, 311)), QSize(735, 622));
}

class DialogIntroduction : public ::testing::Test {
protected:
    DialogIntroduction() {
        owner.resize(200, 100);
        owner.show();
        dialog = new CDialogIntroduction(&owner);
    }
    void ShowAndWait() {
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    }
    QWidget owner;
    QPointer<CDialogIntroduction> dialog;
};

TEST_F(DialogIntroduction, ShowsTheReadOnlyTextAtTheTopWithTheCaretInIt) {
    EXPECT_TRUE(dialog->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(dialog->isModal());
    dialog->Text()->verticalScrollBar()->setValue(200);
    ShowAndWait();
    QPlainTextEdit* text = dialog->Text();
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->toPlainText(), IntroductionText());
    EXPECT_EQ(text->verticalScrollBar()->value(), 0);
    EXPECT_EQ(text->textCursor().position(), 0);
    EXPECT_TRUE(text->textInteractionFlags() & Qt::TextSelectableByKeyboard) << "caret shown";
    QTRY_VERIFY(text->hasFocus());
    QTest::keyClicks(text, QStringLiteral("abc"));
    EXPECT_EQ(text->toPlainText(), IntroductionText()) << "typing changes nothing";
    EXPECT_EQ(dialog->OkButton()->text(), QStringLiteral("确    定"));
    EXPECT_TRUE(dialog->OkButton()->geometry().bottom() < text->geometry().top());
}

// Long lines scroll sideways instead of breaking, so the text reads as it was written.
TEST_F(DialogIntroduction, EveryLineKeepsItsBreaksAndLongLinesScrollSideways) {
    ShowAndWait();
    QPlainTextEdit* text = dialog->Text();
    int longest = 0;
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
        ASSERT_NE(block.layout(), nullptr);
        EXPECT_LE(block.layout()->lineCount(), 1) << block.text().toStdString();
        longest = std::max(longest, text->fontMetrics().horizontalAdvance(block.text()));
    }
    if (longest > text->viewport()->width()) {
        EXPECT_GT(text->horizontalScrollBar()->maximum(), 0);
    }
}

TEST_F(DialogIntroduction, OkEnterAndEscapeHideButKeepIt) {
    struct Row {
        const char* name;
        std::function<void(CDialogIntroduction*)> close;
    };
    const Row rows[] = {
        {"OK", [](CDialogIntroduction* d) { QTest::mouseClick(d->OkButton(), Qt::LeftButton); }},
        {"Enter in the text",
         [](CDialogIntroduction* d) { QTest::keyClick(d->Text(), Qt::Key_Return); }},
        {"Esc in the text",
         [](CDialogIntroduction* d) { QTest::keyClick(d->Text(), Qt::Key_Escape); }},
        {"Enter on OK",
         [](CDialogIntroduction* d) { QTest::keyClick(d->OkButton(), Qt::Key_Return); }},
        {"Esc on OK",
         [](CDialogIntroduction* d) { QTest::keyClick(d->OkButton(), Qt::Key_Escape); }},
    };
    for (const Row& row : rows) {
        ShowAndWait();
        row.close(dialog);
        QCoreApplication::processEvents();
        ASSERT_FALSE(dialog.isNull()) << row.name;
        EXPECT_FALSE(dialog->isVisible()) << row.name;
    }
}

TEST_F(DialogIntroduction, ControlsHaveAccessibleNames) {
    ShowAndWait();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog)->text(QAccessible::Name),
              QStringLiteral("详细介绍"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog->Text())->text(QAccessible::Name),
              QStringLiteral("详细介绍"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog->OkButton())->text(QAccessible::Name),
              QStringLiteral("确    定"));
}

TEST(Resources, IconsAreCompiledIn) {
    EXPECT_EQ(IntroductionIcon().size(), QSize(24, 24));
    const QIcon icon = ApplicationIcon();
    EXPECT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(QSize(256, 256)).size(), QSize(256, 256));
    EXPECT_EQ(icon.availableSizes().size(), 7);
}

}  // namespace
}  // namespace corvane
