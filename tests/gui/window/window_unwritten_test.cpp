// After a run the window tells which files gave no output and why: a link below the status line,
// reachable with the mouse, the keyboard and assistive technology, opens the list.
#include "engine/report.h"
#include "ui/dialog_unwritten_files.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace corvane::test {
namespace {

using enum ControlId;

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        << path.toStdString();
}

// A PNG cut off in the middle of its picture data.
QByteArray DamagedPng() {
    QImage picture(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            picture.setPixel(x, y, qRgb(x * 4, y * 5, (x * y) % 256));
        }
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return buffer.data().left(buffer.data().size() / 2);
}

class WindowUnwritten : public WindowTest {
protected:
    WindowUnwritten() {
        WriteBytes(source + "damaged.png", DamagedPng());
        WriteBytes(source + "notes.png", "this is not a picture\n");
        WritePicture(source + "a-name-longer-than-twenty.png");
        Open();
        // Names are limited to 20 characters, and a longer one gives its file up.
        Type(NameLengthLimit, "20");
        Click(LongNameAbandon);
    }
    QPushButton* Link() const { return dialog->UnwrittenLink(); }
};

TEST_F(WindowUnwritten, TheListNamesEachFileWithItsReason) {
    EXPECT_FALSE(Link()->isVisible()) << "nothing to list before a run";
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(dialog->Text(StatusLine), QStringLiteral("操作部分完成！可能原因：待保存的图片太大，"
                                                       "当前版本不能保存。"))
        << "the verdict keeps its fixed words";
    EXPECT_EQ(Outputs(), (QStringList{"a.PNG", "b.PNG", "c.PNG"}));
    ASSERT_TRUE(Link()->isVisible());
    EXPECT_EQ(Link()->text(), QStringLiteral("查看未产生输出的文件（3）"));

    QTest::mouseClick(Link(), Qt::LeftButton);
    CDialogUnwrittenFiles* list = dialog->UnwrittenList();
    ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));
    const QStringList lines = list->Text()->toPlainText().split(u'\n');
    const auto lineOf = [&](const QString& name) {
        const QStringList found = lines.filter(source + name);
        return found.size() == 1 ? found.front() : QString();
    };
    EXPECT_EQ(lines.front(), QStringLiteral("未产生输出的文件数：  3"));
    EXPECT_TRUE(lineOf("damaged.png").contains(QStringLiteral("图片已损坏，无法解码")));
    EXPECT_TRUE(lineOf("notes.png").contains(QStringLiteral("不是可以识别的图片")));
    EXPECT_TRUE(lineOf("a-name-longer-than-twenty.png")
                    .contains(QStringLiteral("输出文件名超长，按设置放弃存储")));
    EXPECT_TRUE(lineOf("a.png").isEmpty()) << "files that gave output are not listed";

    Key(Qt::Key_Escape);
    EXPECT_FALSE(list->isVisible()) << "Esc hides it like the other child dialogs";
}

TEST_F(WindowUnwritten, TheLinkIsReachedByTabAndPressedByAssistiveTechnology) {
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_TRUE(Link()->isVisible());
    Button(StartButton)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // Stop is disabled: the link
    EXPECT_EQ(QApplication::focusWidget(), Link());

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(Link());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("查看未产生输出的文件（3）"));
    ASSERT_NE(accessible->actionInterface(), nullptr);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(WaitFor([&] { return dialog->UnwrittenList()->isVisible(); }));
}

TEST_F(WindowUnwritten, TheNextRunStartsWithoutTheLink) {
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_TRUE(Link()->isVisible());
    QFile::remove(source + "damaged.png");
    QFile::remove(source + "notes.png");
    QFile::remove(source + "a-name-longer-than-twenty.png");
    bool hiddenDuringTheRun = false;
    dialog->onProgress = [&](const QString&) { hiddenDuringTheRun = !Link()->isVisible(); };
    Click(ClashOverwrite);
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(hiddenDuringTheRun);
    EXPECT_EQ(dialog->Text(StatusLine), QStringLiteral("操作全部完成！"));
    EXPECT_FALSE(Link()->isVisible());
}

}  // namespace
}  // namespace corvane::test
