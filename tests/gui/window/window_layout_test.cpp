// The template's geometry, and the window built from it at the fonts we ship: frames and run
// buttons at their fixed places, nothing overlapping, no caption or default value cut off.
#include "form_rules/language.h"
#include "ui/dialog_units.h"
#include "ui/main_template.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>

namespace corvane::test {
namespace {

using enum ControlId;

const std::vector<QRect> kGroupFrames = {
    {12, 35, 421, 45}, {12, 82, 421, 69}, {12, 154, 421, 149}, {12, 306, 421, 56}};

TEST(MainTemplate, ControlsStayInsideOneFrameAndNeverOverlap) {
    const auto& controls = MainDialogTemplate();
    std::vector<const ControlTemplate*> placed;
    for (const ControlTemplate& control : controls) {
        SCOPED_TRACE(static_cast<int>(control.id));
        if (control.kind == ControlKind::Group) {
            continue;
        }
        const bool inGroup = std::any_of(kGroupFrames.begin(), kGroupFrames.end(),
                                         [&](const QRect& g) { return g.contains(control.units); });
        const bool inHeader = kHeaderStripUnits.contains(control.units);
        const bool runButton = control.id == StartButton || control.id == StopButton;
        EXPECT_TRUE(inGroup || inHeader || runButton);
        EXPECT_TRUE(kBodyFrameUnits.contains(control.units) || inHeader);
        if (!SharesMessagesRect(control.id)) {
            for (const ControlTemplate* other : placed) {
                EXPECT_FALSE(control.units.intersects(other->units))
                    << "overlaps " << static_cast<int>(other->id);
            }
            placed.push_back(&control);
        }
    }
}

TEST(MainTemplate, FramesAndRunButtonsKeepTheirFixedPlaces) {
    std::map<ControlId, QRect> rects;
    for (const ControlTemplate& control : MainDialogTemplate()) {
        EXPECT_TRUE(rects.emplace(control.id, control.units).second) << "ids are unique";
    }
    EXPECT_EQ(rects[SourceGroup], kGroupFrames[0]);
    EXPECT_EQ(rects[OperationsGroup], kGroupFrames[1]);
    EXPECT_EQ(rects[SaveGroup], kGroupFrames[2]);
    EXPECT_EQ(rects[MessagesGroup], kGroupFrames[3]);
    EXPECT_EQ(rects[StartButton], QRect(146, 364, 71, 20));
    EXPECT_EQ(rects[StopButton], QRect(226, 364, 71, 20));
    // The five operations side by side, left to right.
    const std::vector<ControlId> operations = {Rotate, Resize, Cut, Combine, Watermark};
    for (std::size_t i = 1; i < operations.size(); ++i) {
        EXPECT_EQ(rects[operations[i]].top(), rects[operations[0]].top());
        EXPECT_GT(rects[operations[i]].left(), rects[operations[i - 1]].right());
    }
}

// The rectangle the style leaves for a button's caption.
QRect CaptionRect(const QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(button) != nullptr) {
        element = QStyle::SE_CheckBoxContents;
    } else if (qobject_cast<const QRadioButton*>(button) != nullptr) {
        element = QStyle::SE_RadioButtonContents;
    }
    return button->style()->subElementRect(element, &option, button);
}

// The ink of a single-line text: what would be cut off if it did not fit.
QSize InkSize(const QFontMetrics& metrics, const QString& text) {
    return {metrics.horizontalAdvance(text), metrics.tightBoundingRect(text).height()};
}

void ExpectNothingCutOff(WindowTest& window) {
    for (const ControlTemplate& control : MainDialogTemplate()) {
        SCOPED_TRACE(static_cast<int>(control.id));
        QWidget* widget = window.Widget(control.id);
        const QFontMetrics metrics = widget->fontMetrics();
        if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            if (control.id != SourcePath && control.id != SavePath &&
                control.id != WatermarkImagePath) {
                const int frame = 2 * widget->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
                EXPECT_LE(metrics.horizontalAdvance(edit->text()) + frame + 4, edit->width())
                    << edit->text().toStdString();
            }
            continue;
        }
        QString text;
        QRect room;
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            if (control.kind == ControlKind::ColourButton ||
                control.kind == ControlKind::IconButton) {  // they lay out their own captions
                EXPECT_LE(widget->sizeHint().width(), widget->width());
                continue;
            }
            text = button->text();
            room = CaptionRect(button);
        } else if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(label->width()), label->parentWidget()->height());
                continue;
            }
            for (const QString& line : label->text().split(u'\n')) {
                text = text.size() > line.size() ? text : line;
            }
            room = label->contentsRect();
            if (control.id == CombineNote) {
                EXPECT_LE(3 * metrics.lineSpacing(), room.height());
            }
        } else {
            continue;
        }
        const QSize ink = InkSize(metrics, text);
        EXPECT_LE(ink.width(), room.width()) << text.toStdString();
        EXPECT_LE(ink.height(), room.height()) << text.toStdString();
    }
}

TEST_F(WindowTest, NoCaptionOrDefaultValueIsCutOff) {
    Open();
    ExpectNothingCutOff(*this);
}

// English words are longer than the Chinese ones the rows were laid out for: the English captions
// are worded to fit the same rectangles.
TEST_F(WindowTest, NoEnglishCaptionOrDefaultValueIsCutOff) {
    const Translations english(Language::English);
    ASSERT_TRUE(english.HasOwnTexts());
    Open();
    ASSERT_EQ(Button(StartButton)->text(), QStringLiteral("Start"));
    ExpectNothingCutOff(*this);
}

TEST_F(WindowTest, GroupFramesAndRunButtonsStandInDialogUnitsOfTheDialogFont) {
    Open();
    const DialogUnits units = DialogUnitsOf(dialog->fontMetrics());
    EXPECT_EQ(dialog->size(), units.ToPixels(kMainDialogUnits));
    EXPECT_EQ(Widget(SaveGroup)->geometry(), units.ToPixels(kGroupFrames[2]));
    EXPECT_EQ(Widget(StopButton)->geometry(), units.ToPixels(QRect(226, 364, 71, 20)));
    EXPECT_TRUE(Widget(StartButton)->font().bold());
    EXPECT_GT(Widget(StartButton)->font().pixelSize(), Widget(SaveGroup)->font().pixelSize());
}

// The contact link is fitted to its address after it is placed, so the blank part of its template
// rectangle is no link; it stays at the rectangle's right edge, and Tab reaches it.
TEST_F(WindowTest, TheContactLinkCoversOnlyItsTextAtTheRightOfItsRectangle) {
    Open();
    auto* link = static_cast<QLabel*>(Widget(ContactLink));
    QFont underlined = link->font();
    underlined.setUnderline(true);
    const int textWidth = QFontMetrics(underlined).size(Qt::TextSingleLine, link->text()).width();
    EXPECT_EQ(link->contentsRect().width(), textWidth);
    const DialogUnits units = DialogUnitsOf(dialog->fontMetrics());
    const QRect placed = units.ToPixels(QRect(300, 11, 133, 11));
    EXPECT_EQ(link->geometry().right(), placed.right());
    EXPECT_GT(link->geometry().left(), placed.left() + placed.width() / 4);

    Button(IntroductionButton)->setFocus();
    QTest::keyClick(Button(IntroductionButton), Qt::Key_Tab);
    EXPECT_TRUE(link->hasFocus());
}

}  // namespace
}  // namespace corvane::test
