// The colour picker: its table, the popup's layout, placement and keys as pure functions, and
// the picker and popup driven as widgets (mouse, keys, the colour dialog through a seam).
#include "controls/colour_button.h"
#include "controls/colour_popup_layout.h"
#include "controls/colour_table.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

namespace corvane {
namespace {

TEST(ColourTable, FortyNamedColoursInRowMajorOrder) {
    ASSERT_EQ(ColourTable().size(), 40u);
    EXPECT_EQ(kColourRows, 5);
    struct Row {
        int index;
        const char* name;
        ColourRef colour;
    };
    const Row rows[] = {
        {0, "黑色", Rgb(0, 0, 0)},        {1, "棕色", Rgb(165, 42, 0)},
        {9, "橙色", Rgb(255, 104, 32)},   {22, "紫罗兰", Rgb(128, 0, 128)},
        {25, "金黄", Rgb(255, 215, 0)},   {31, "淡淡灰", Rgb(192, 192, 192)},
        {37, "淡蓝", Rgb(104, 131, 139)}, {39, "白色", Rgb(255, 255, 255)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ColourName(row.index), QString::fromUtf8(row.name)) << row.index;
        EXPECT_EQ(ColourTable()[std::size_t(row.index)].colour, row.colour) << row.index;
    }
    EXPECT_EQ(Rgb(255, 0, 128), 0x008000FFu) << "Windows colour values are 0x00BBGGRR";
    EXPECT_EQ(ToQColor(kAutomaticColour), QColor(Qt::black));
    EXPECT_EQ(FromQColor(QColor(1, 2, 3)), Rgb(1, 2, 3));
}

TEST(ColourPopupLayout, MarkedBoxFollowsTheInitialColour) {
    EXPECT_EQ(MarkedBox(kAutomaticColour, true, true), kDefaultBox);
    EXPECT_EQ(MarkedBox(Rgb(255, 255, 255), true, true), 39);
    EXPECT_EQ(MarkedBox(Rgb(1, 2, 3), true, true), kCustomBox);
    EXPECT_EQ(MarkedBox(Rgb(1, 2, 3), true, false), kNoBox);
    EXPECT_EQ(MarkedBox(kAutomaticColour, false, true), kCustomBox);
}

TEST(ColourPopupLayout, BoxesStackAboveAndBelowTheGrid) {
    EXPECT_EQ(ColourBoxSize(2), 18);
    EXPECT_EQ(ColourBoxSize(6), 19) << "raised when the swatch would drop below 5 pixels";
    const ColourPopupLayout layout = LayoutColourPopup(2, QSize(30, 14), QSize(70, 14));
    // Grid 8 x 18 + 2 x 2 wide; text boxes 14 + 4 x 2 + 2 = 24 high, each with 2 x 2 around it.
    EXPECT_EQ(layout.window, QSize(148, 94 + 28 + 28));
    EXPECT_EQ(layout.defaultBox, QRect(2, 2, 144, 24));
    EXPECT_EQ(layout.Cell(0), QRect(2, 30, 18, 18));
    EXPECT_EQ(layout.Cell(39), QRect(128, 102, 18, 18));
    EXPECT_EQ(layout.customBox, QRect(2, 124, 144, 24));
    EXPECT_EQ(layout.HitTest(QPoint(5, 5)), kDefaultBox);
    EXPECT_EQ(layout.HitTest(QPoint(21, 48)), 9);
    EXPECT_EQ(layout.HitTest(QPoint(5, 130)), kCustomBox);
    EXPECT_EQ(layout.HitTest(QPoint(0, 0)), kNoBox);

    const ColourPopupLayout wide = LayoutColourPopup(2, {}, QSize(200, 14));
    EXPECT_EQ(wide.window.width(), 204) << "a long text widens the window";
    EXPECT_TRUE(wide.defaultBox.isEmpty());
    EXPECT_EQ(wide.Cell(0).top(), 2);
}

TEST(ColourPopupLayout, PlacementKeepsThePopupOnTheScreen) {
    const QRect screen(0, 0, 1000, 800);
    const QSize popup(150, 150);
    struct Row {
        const char* name;
        QPoint pickerBottomLeft;
        QPoint expected;
    };
    const Row rows[] = {
        {"below the picker", {100, 200}, {100, 200}},
        {"shifted left at the right edge", {900, 200}, {850, 200}},
        {"shifted right at the left edge", {-20, 200}, {0, 200}},
        {"above the picker near the bottom", {100, 700}, {100, 700 - 150 - 21}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PlaceColourPopup(row.pickerBottomLeft, 21, popup, screen), row.expected)
            << row.name;
    }
}

TEST(ColourPopupKeys, EveryKeyOfTheTable) {
    using enum ArrowKey;
    struct Row {
        const char* name;
        ArrowKey key;
        int from;
        bool hasDefault, hasCustom;
        int to;
    };
    const Row rows[] = {
        {"down from default to first cell", Down, kDefaultBox, true, true, 0},
        {"down from custom to default", Down, kCustomBox, true, true, kDefaultBox},
        {"down from custom without default", Down, kCustomBox, false, true, 0},
        {"down one row", Down, 3, true, true, 11},
        {"down past last row to custom", Down, 35, true, true, kCustomBox},
        {"down past last row to default", Down, 35, true, false, kDefaultBox},
        {"down past last row to first cell", Down, 35, false, false, 0},
        {"up from default to custom", Up, kDefaultBox, true, true, kCustomBox},
        {"up from default without custom", Up, kDefaultBox, true, false, 39},
        {"up from custom to last cell", Up, kCustomBox, true, true, 39},
        {"up one row", Up, 11, true, true, 3},
        {"up above first row to default", Up, 3, true, true, kDefaultBox},
        {"up above first row to custom", Up, 3, false, true, kCustomBox},
        {"up above first row to last cell", Up, 3, false, false, 39},
        {"right from default to first cell", Right, kDefaultBox, true, true, 0},
        {"right from custom to default", Right, kCustomBox, true, true, kDefaultBox},
        {"right from custom without default", Right, kCustomBox, false, true, 0},
        {"right wraps to next row", Right, 7, true, true, 8},
        {"right past last cell to custom", Right, 39, true, true, kCustomBox},
        {"right past last cell to default", Right, 39, true, false, kDefaultBox},
        {"right past last cell to first", Right, 39, false, false, 0},
        {"left from default to custom", Left, kDefaultBox, true, true, kCustomBox},
        {"left from custom to last cell", Left, kCustomBox, true, true, 39},
        {"left wraps to row above", Left, 8, true, true, 7},
        {"left before first cell to default", Left, 0, true, true, kDefaultBox},
        {"left before first cell to custom", Left, 0, false, true, kCustomBox},
        {"left before first cell to last", Left, 0, false, false, 39},
        {"down from nothing to first cell", Down, kNoBox, true, true, 0},
        {"up from nothing to last cell", Up, kNoBox, true, true, 39},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(NavigateColourBoxes(row.key, row.from, row.hasDefault, row.hasCustom), row.to)
            << row.name;
    }
}

// A picker in a window, with every notification recorded in order.
class ColourButton : public ::testing::Test {
protected:
    ColourButton() {
        picker = new CColourButton(QStringLiteral("背景色"), &window);
        picker->setGeometry(20, 20, 90, picker->height());
        picker->SetColour(Rgb(255, 255, 255));
        window.resize(300, 200);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        const auto record = [this](const char* name) {
            return [this, name](ColourRef colour) {
                events.append(QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(colour, 0, 16));
            };
        };
        QObject::connect(picker, &CColourButton::colourChanged, record("changed"));
        QObject::connect(picker, &CColourButton::popupOpened, record("opened"));
        QObject::connect(picker, &CColourButton::popupClosed, record("closed"));
        QObject::connect(picker, &CColourButton::colourAccepted, record("accepted"));
        QObject::connect(picker, &CColourButton::colourCancelled, record("cancelled"));
    }
    CColourButtonPopup* Open() {
        QTest::mouseClick(picker, Qt::LeftButton);
        CColourButtonPopup* popup = picker->Popup();
        EXPECT_NE(popup, nullptr);
        if (popup) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(popup));
        }
        return popup;
    }
    void Key(CColourButtonPopup* popup, Qt::Key key) { QTest::keyClick(popup, key); }

    QWidget window;
    CColourButton* picker = nullptr;
    QStringList events;
};

TEST_F(ColourButton, HeightFollowsTheArrowAndTheSwatchShowsTheColour) {
    EXPECT_EQ(picker->height(), picker->ArrowSize() + 2 * kEdge);
    picker->SetColour(Rgb(255, 104, 32));
    QImage image = picker->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(5, 4)), QColor(255, 104, 32));
    EXPECT_EQ(image.pixel(0, 4), picker->palette().color(QPalette::Dark).rgb()) << "sunken edge";
    picker->SetColour(kAutomaticColour);
    image = picker->grab().toImage();
    EXPECT_EQ(image.pixel(5, 4), picker->palette().color(QPalette::Button).rgb());
    picker->SetColour(Rgb(255, 104, 32));
    picker->setEnabled(false);
    image = picker->grab().toImage();
    EXPECT_EQ(image.pixel(5, 4), picker->palette().color(QPalette::Button).rgb())
        << "a disabled picker shows no colour";
}

TEST_F(ColourButton, EnterAtOnceAcceptsTheInitialColour) {
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(picker->IsPopupActive());
    EXPECT_EQ(popup->MarkedBox(), 39);
    Key(popup, Qt::Key_Return);
    EXPECT_FALSE(picker->IsPopupActive());
    EXPECT_EQ(picker->Colour(), Rgb(255, 255, 255));
    EXPECT_EQ(events, QStringList({"opened ffffff", "closed ffffff", "accepted ffffff"}));
}

TEST_F(ColourButton, ArrowKeysChangeTheSelectionAndEscapeRestoresIt) {
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    Key(popup, Qt::Key_Down);   // from nothing to the first cell
    Key(popup, Qt::Key_Right);  // 棕色
    EXPECT_EQ(popup->HoveredBox(), 1);
    EXPECT_EQ(picker->Colour(), Rgb(255, 255, 255)) << "no tracking: the picker keeps its colour";
    Key(popup, Qt::Key_Escape);
    EXPECT_EQ(picker->Colour(), Rgb(255, 255, 255));
    EXPECT_EQ(events, QStringList({"opened ffffff", "changed 0", "changed 2aa5", "closed ffffff",
                                   "cancelled ffffff"}));
}

TEST_F(ColourButton, KeyedColourIsAcceptedWithEnter) {
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    Key(popup, Qt::Key_Up);  // from nothing to the last cell
    Key(popup, Qt::Key_Up);  // one row up: 淡淡灰
    Key(popup, Qt::Key_Space);
    EXPECT_EQ(picker->Colour(), Rgb(192, 192, 192));
    EXPECT_EQ(events.last(), QStringLiteral("accepted c0c0c0"));
}

TEST_F(ColourButton, AutomaticGivesTheDefaultColourValue) {
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->Layout().defaultBox.center());
    EXPECT_EQ(picker->Colour(), kAutomaticColour);
}

TEST_F(ColourButton, MouseChoosesACellAndTrackingFollowsTheHover) {
    picker->SetTrackSelection(true);
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    QTest::mouseMove(popup, popup->Layout().Cell(13).center());
    QTRY_COMPARE(popup->HoveredBox(), 13);
    EXPECT_EQ(picker->Colour(), Rgb(0, 0, 255)) << "tracking changes the picker at once";
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->Layout().Cell(16).center());
    EXPECT_EQ(picker->Colour(), Rgb(255, 0, 0));
    EXPECT_EQ(events.last(), QStringLiteral("accepted ff"));
}

TEST_F(ColourButton, ReleaseOutsideThePopupCancels) {
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    QTest::keyClick(popup, Qt::Key_Right);
    QTest::mouseRelease(popup, Qt::LeftButton, {}, QPoint(-10, -10));
    EXPECT_FALSE(picker->IsPopupActive());
    EXPECT_EQ(picker->Colour(), Rgb(255, 255, 255));
    EXPECT_EQ(events.last(), QStringLiteral("cancelled ffffff"));
}

TEST_F(ColourButton, ColourNotInTheTableMarksMoreColours) {
    picker->SetColour(Rgb(1, 2, 3));
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->MarkedBox(), kCustomBox);
    Key(popup, Qt::Key_Return);
    EXPECT_EQ(picker->Colour(), Rgb(1, 2, 3)) << "Enter at once does not open the dialog";
}

TEST_F(ColourButton, WithoutTextsThePopupIsTheGridAlone) {
    picker->SetDefaultText({});
    picker->SetCustomText({});
    picker->SetColour(Rgb(1, 2, 3));
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->MarkedBox(), kNoBox);
    EXPECT_EQ(popup->BoxWidget(kDefaultBox), nullptr);
    EXPECT_EQ(popup->findChildren<QAbstractButton*>().size(), 40);
    EXPECT_EQ(popup->height(), popup->Layout().grid.height() + 2 * kEdge);
    Key(popup, Qt::Key_Left);   // from nothing to the last cell
    Key(popup, Qt::Key_Right);  // past the last cell, with no box to go to: the first
    Key(popup, Qt::Key_Return);
    EXPECT_EQ(picker->Colour(), Rgb(0, 0, 0));
}

TEST_F(ColourButton, MoreColoursRunsTheColourDialog) {
    struct Row {
        const char* name;
        std::optional<ColourRef> answer;
        ColourRef colour;
        const char* last;
    };
    const Row rows[] = {
        {"OK gives the dialog's colour", Rgb(10, 20, 30), Rgb(10, 20, 30), "accepted 1e140a"},
        {"cancel keeps the initial colour", std::nullopt, Rgb(255, 255, 255), "cancelled ffffff"},
    };
    for (const Row& row : rows) {
        picker->SetColour(Rgb(255, 255, 255));
        ColourRef asked = 0;
        picker->SetColourDialog([&](ColourRef initial, QWidget*) {
            asked = initial;
            EXPECT_TRUE(picker->IsPopupActive()) << "the popup lives on under the dialog";
            return row.answer;
        });
        CColourButtonPopup* popup = Open();
        ASSERT_NE(popup, nullptr);
        Key(popup, Qt::Key_Left);  // from nothing to the last cell
        Key(popup, Qt::Key_Down);  // past the last row to "更多颜色..."
        ASSERT_EQ(popup->HoveredBox(), kCustomBox);
        Key(popup, Qt::Key_Return);
        EXPECT_EQ(asked, Rgb(255, 255, 255)) << row.name;
        EXPECT_EQ(picker->Colour(), row.colour) << row.name;
        EXPECT_EQ(events.last(), QLatin1String(row.last)) << row.name;
    }
}

TEST_F(ColourButton, PopupIsAWindowWithNamedAccessibleBoxes) {
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isWindow());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(popup);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("背景色"));
    ASSERT_EQ(accessible->childCount(), 42);
    EXPECT_EQ(accessible->child(0)->text(QAccessible::Name), QStringLiteral("自动"));
    EXPECT_EQ(accessible->child(26)->text(QAccessible::Name), QStringLiteral("金黄"));
    EXPECT_EQ(accessible->child(41)->text(QAccessible::Name), QStringLiteral("更多颜色..."));
    EXPECT_EQ(accessible->child(26)->role(), QAccessible::Button);
    // Pressing a box through assistive technology chooses it (an animated click).
    accessible->child(26)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(picker->Colour(), Rgb(255, 215, 0));
}

// Where a screen reader finds the cells: the application lists no popup among its windows, so the
// open popup is the picker's child, reached from the application down through the window.
QAccessibleInterface* FindByName(QAccessibleInterface* node, const QString& name, int depth = 0) {
    if (node == nullptr || depth > 12) {
        return nullptr;
    }
    if (node->text(QAccessible::Name) == name) {
        return node;
    }
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface* found = FindByName(node->child(i), name, depth + 1)) {
            return found;
        }
    }
    return nullptr;
}

TEST_F(ColourButton, ThePopupAndItsCellsAreInTheAccessibilityTree) {
    QAccessibleInterface* application = QAccessible::queryAccessibleInterface(qApp);
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(picker);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(QAccessible::Name), QStringLiteral("背景色"));
    EXPECT_TRUE(button->state().hasPopup);
    EXPECT_EQ(button->childCount(), 0);
    EXPECT_EQ(FindByName(application, QStringLiteral("白色")), nullptr) << "closed: no cells";

    ASSERT_NE(button->actionInterface(), nullptr);
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(picker->IsPopupActive());
    EXPECT_TRUE(button->state().expanded);
    ASSERT_EQ(button->childCount(), 1);
    QAccessibleInterface* popup = button->child(0);
    EXPECT_EQ(popup->object(), picker->Popup());
    EXPECT_EQ(popup->parent(), button);
    EXPECT_EQ(button->indexOfChild(popup), 0);

    QAccessibleInterface* blue = FindByName(application, QStringLiteral("浅蓝"));
    ASSERT_NE(blue, nullptr) << "reached from the application";
    EXPECT_EQ(blue->role(), QAccessible::Button);
    EXPECT_EQ(blue->parent(), popup);
    ASSERT_NE(blue->actionInterface(), nullptr);
    EXPECT_TRUE(
        blue->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    blue->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(picker->Colour(), Rgb(125, 158, 192));
    EXPECT_EQ(button->text(QAccessible::Description), QStringLiteral("浅蓝"));
    EXPECT_EQ(button->childCount(), 0);
    EXPECT_FALSE(button->state().expanded);
}

TEST_F(ColourButton, CellsPaintTheirColourAndTheMarkedCellStandsOut) {
    CColourButtonPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    const QImage image = popup->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const ColourPopupLayout& layout = popup->Layout();
    for (int index : {0, 9, 25, 38}) {
        const QPoint centre = layout.Cell(index).center();
        EXPECT_EQ(image.pixel(centre), ToQColor(ColourTable()[std::size_t(index)].colour).rgb())
            << index;
    }
    const QRect marked = layout.Cell(39);
    EXPECT_EQ(image.pixel(marked.topLeft()), popup->palette().color(QPalette::Dark).rgb())
        << "sunken edge round the marked cell";
    EXPECT_EQ(image.pixel(marked.topLeft() + QPoint(1, 1)),
              popup->palette().color(QPalette::Light).rgb());
}

}  // namespace
}  // namespace corvane
