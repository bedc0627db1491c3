// The icon push button: generated second icons, and the painted layout, pressed shift, border,
// focus mark and disabled look, checked by pixels.
#include "controls/icon_push_button.h"
#include "controls/generated_icons.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QPainter>
#include <QTest>

namespace corvane {
namespace {

TEST(GeneratedIcons, GreyAndDarkenedKeepBlackAndTransparency) {
    QImage icon(4, 1, QImage::Format_ARGB32);
    icon.setPixel(0, 0, qRgba(0, 0, 0, 255));
    icon.setPixel(1, 0, qRgba(200, 100, 50, 255));
    icon.setPixel(2, 0, qRgba(255, 255, 255, 128));
    icon.setPixel(3, 0, qRgba(1, 0, 0, 0));

    const QImage grey = GreyIcon(icon);
    EXPECT_EQ(grey.pixel(0, 0), qRgba(0, 0, 0, 255));
    // 0.299 * 200 + 0.587 * 100 + 0.114 * 50 = 124.2
    EXPECT_EQ(grey.pixel(1, 0), qRgba(124, 124, 124, 255));
    EXPECT_EQ(grey.pixel(2, 0), qRgba(255, 255, 255, 128));
    EXPECT_EQ(qAlpha(grey.pixel(3, 0)), 0);

    const QImage dark = DarkenedIcon(icon);
    EXPECT_EQ(dark.pixel(0, 0), qRgba(0, 0, 0, 255));
    EXPECT_EQ(dark.pixel(1, 0), qRgba(150, 75, 37, 255));
    EXPECT_EQ(dark.pixel(2, 0), qRgba(191, 191, 191, 128));
}

// A window with the button and a second button to take the focus.
class IconPushButton : public ::testing::Test {
protected:
    IconPushButton() {
        QPixmap icon(16, 16);
        icon.fill(kIconColour);
        button = new CIconPushButton(QStringLiteral("详细介绍"), &window);
        button->SetIcon(icon);
        button->setFlat(false);
        button->setGeometry(10, 10, 120, 32);
        other = new QPushButton(QStringLiteral("other"), &window);
        other->setGeometry(10, 60, 120, 32);
        window.resize(200, 120);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        other->setFocus();
    }
    QImage Grab() const { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRgb At(const QImage& image, int x, int y) const { return image.pixel(x, y); }
    QRgb Role(QPalette::ColorRole role) const { return button->palette().color(role).rgb(); }

    static constexpr QRgb kIconColour = qRgb(220, 40, 40);
    QWidget window;
    CIconPushButton* button = nullptr;
    QPushButton* other = nullptr;
};

TEST_F(IconPushButton, IconSitsAtTheMarginCentredVertically) {
    const QImage image = Grab();
    // 3-pixel margin from the left edge; (32 - 16) / 2 = 8 from the top.
    EXPECT_EQ(image.pixel(3, 8), kIconColour);
    EXPECT_EQ(image.pixel(18, 23), kIconColour);
    EXPECT_NE(image.pixel(2, 8), kIconColour);
    EXPECT_NE(image.pixel(3, 7), kIconColour);
    EXPECT_NE(image.pixel(19, 8), kIconColour);
}

TEST_F(IconPushButton, RaisedBorderHasFourLines) {
    const QImage image = Grab();
    EXPECT_EQ(At(image, 0, 10), Role(QPalette::Light));
    EXPECT_EQ(At(image, 1, 10), Role(QPalette::Midlight));
    EXPECT_EQ(At(image, 119, 10), Role(QPalette::Shadow));
    EXPECT_EQ(At(image, 118, 10), Role(QPalette::Dark));
    EXPECT_EQ(At(image, 60, 31), Role(QPalette::Shadow));
}

TEST_F(IconPushButton, PressingShiftsIconAndCaptionByOnePixel) {
    const QImage normal = Grab();
    button->setDown(true);
    const QImage pressed = Grab();
    button->setDown(false);
    EXPECT_EQ(pressed.pixel(4, 9), kIconColour);
    EXPECT_NE(pressed.pixel(3, 8), kIconColour);
    // The content inside the border moves by (1, 1); the border is a single shadow line.
    const QRect inner(4, 4, 110, 22);
    EXPECT_EQ(normal.copy(inner), pressed.copy(inner.translated(1, 1)));
    EXPECT_EQ(At(pressed, 0, 10), Role(QPalette::Dark));
    EXPECT_EQ(At(pressed, 1, 10), Role(QPalette::Button));
}

TEST_F(IconPushButton, FocusAddsABlackFrameAndADottedMarkThreePixelsIn) {
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    const QImage image = Grab();
    EXPECT_EQ(At(image, 0, 10), qRgb(0, 0, 0));
    EXPECT_EQ(At(image, 60, 0), qRgb(0, 0, 0));
    const QRgb text = Role(QPalette::ButtonText);
    int marked = 0;
    for (int x = 3; x <= 116; ++x) {
        marked += At(image, x, 3) == text;
    }
    EXPECT_GE(marked, 50) << "a dotted line: about every other pixel";
    EXPECT_LE(marked, 60);
}

TEST_F(IconPushButton, DisabledShowsAGreyedIconAndEmbossedCaption) {
    button->setEnabled(false);
    const QImage image = Grab();
    const QColor icon(At(image, 10, 15));
    EXPECT_NE(icon.rgb(), kIconColour);
    EXPECT_LT(std::abs(icon.red() - icon.green()), 60) << "greyed, not red";
    bool highlight = false;
    bool shadow = false;
    for (int y = 4; y < 28; ++y) {
        for (int x = 22; x < 116; ++x) {
            highlight |= At(image, x, y) == Role(QPalette::Light);
            shadow |= At(image, x, y) == Role(QPalette::Dark);
        }
    }
    EXPECT_TRUE(highlight);
    EXPECT_TRUE(shadow);
}

TEST_F(IconPushButton, DisablingMovesTheFocusOn) {
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    button->setEnabled(false);
    EXPECT_FALSE(button->hasFocus());
    EXPECT_TRUE(other->hasFocus());
}

TEST_F(IconPushButton, SecondIconShowsUntilPressed) {
    QPixmap icon(16, 16);
    icon.fill(kIconColour);
    button->SetIcon(icon, {}, CIconPushButton::SecondIcon::Grey);
    const QRgb grey = GreyIcon(icon.toImage()).pixel(0, 0);
    EXPECT_EQ(Grab().pixel(3, 8), grey);
    button->setDown(true);
    EXPECT_EQ(Grab().pixel(4, 9), kIconColour);
}

TEST_F(IconPushButton, ClicksByMouseAndKeyboardAndIsAnAccessibleButton) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("详细介绍"));
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(clicks, 2);
}

}  // namespace
}  // namespace corvane
