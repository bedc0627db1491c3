// The window on a screen lower than its template (a netbook's 1024 x 600, like a 1920 x 1080
// screen at a scale of 200 %): it fits the screen and scrolls, and every control can be reached.
// Runs on an offscreen screen of that size (small-screen.json).
#include "ui/dialog_units.h"
#include "ui/main_template.h"
#include "window_fixture.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

namespace corvane::test {
namespace {

using enum ControlId;

bool InView(const QScrollArea* scroll, const QWidget* widget) {
    const QRect shown(widget->mapTo(scroll->viewport(), QPoint()), widget->size());
    return scroll->viewport()->rect().contains(shown);
}

TEST_F(WindowTest, OnAScreenTooLowTheWindowFitsAndScrollsToEachControl) {
    Open();
    const QRect available = dialog->screen()->availableGeometry();
    const QSize surface = DialogUnitsOf(dialog->fontMetrics()).ToPixels(kMainDialogUnits);
    ASSERT_LT(available.height(), surface.height()) << "the screen of small-screen.json";
    ASSERT_TRUE(WaitFor([&] { return available.contains(dialog->frameGeometry()); }));
    QScrollArea* scroll = dialog->ScrollArea();
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible()) << "wide enough for the surface";
    EXPECT_EQ(scroll->viewport()->width(), surface.width());

    // Start and the verdict lie below what shows at first; the keyboard brings Start into view.
    QWidget* start = Widget(StartButton);
    EXPECT_FALSE(InView(scroll, start));
    start->setFocus();
    ASSERT_TRUE(WaitFor([&] { return InView(scroll, start); }));
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(dialog->Text(StatusLine), QStringLiteral("操作全部完成！"));
    EXPECT_TRUE(InView(scroll, Widget(StatusLine)));

    // And back up to the first control.
    Widget(SourcePath)->setFocus();
    EXPECT_TRUE(WaitFor([&] { return InView(scroll, Widget(SourcePath)); }));
}

}  // namespace
}  // namespace corvane::test
