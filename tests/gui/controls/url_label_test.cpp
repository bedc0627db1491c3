// The link label: colours and underline by state, the hover that ends by polling, opening the
// target through QDesktopServices (a handler of the test's own, never a real browser or mail
// program) and the report of a failed open.
#include "controls/url_label.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace corvane {
namespace {

// Receives the URLs that QDesktopServices would hand to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

class UrlLabel : public ::testing::Test {
protected:
    UrlLabel() {
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &recorder, "Open");
        label = new CUrlLabel(QStringLiteral("corvane@example.org"),
                              QStringLiteral("mailto:corvane@example.org"), &window);
        label->move(20, 20);
        label->SetFailureReporter(
            [this](QWidget*, const QString& message) { failures.append(message); });
        window.resize(300, 100);
        window.show();
        QCursor::setPos(window.mapToGlobal(QPoint(250, 90)));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    ~UrlLabel() override { QDesktopServices::unsetUrlHandler(QStringLiteral("mailto")); }

    QColor TextColour() const { return label->palette().color(QPalette::WindowText); }
    void Hover() {
        QCursor::setPos(label->mapToGlobal(label->rect().center()));
        QMouseEvent move(QEvent::MouseMove, label->rect().center(),
                         label->mapToGlobal(label->rect().center()), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(label, &move);
    }

    UrlRecorder recorder;
    QWidget window;
    CUrlLabel* label = nullptr;
    QStringList failures;
};

TEST_F(UrlLabel, StartsInTheLinkColourWithTheTargetAsTooltip) {
    EXPECT_EQ(TextColour(), CUrlLabel::kLinkColour);
    EXPECT_EQ(label->toolTip(), QStringLiteral("mailto:corvane@example.org"));
    EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(label->font().underline());
    // Its look sets only colour and underline: a font given to the window later still reaches it.
    QFont big = window.font();
    big.setPointSize(30);
    window.setFont(big);
    EXPECT_EQ(label->font().pointSize(), 30);
}

TEST_F(UrlLabel, FitsItsTextKeepingTheLeftEdge) {
    QFont underlined = label->font();
    underlined.setUnderline(true);
    const QSize text =
        QFontMetrics(underlined).size(Qt::TextSingleLine, QStringLiteral("corvane@example.org"));
    EXPECT_EQ(label->size(), text);
    EXPECT_EQ(label->x(), 20);
}

TEST(UrlLabelGeometry, FitKeepsTheAnchorOfTheAlignment) {
    const QRect old(100, 50, 200, 40);
    const QSize text(80, 20);
    const QMargins borders(1, 1, 1, 1);
    EXPECT_EQ(FittedLabelGeometry(old, text, borders, Qt::AlignLeft | Qt::AlignTop),
              QRect(100, 50, 82, 22));
    EXPECT_EQ(FittedLabelGeometry(old, text, borders, Qt::AlignRight | Qt::AlignTop),
              QRect(218, 50, 82, 22));
    EXPECT_EQ(FittedLabelGeometry(old, text, borders, Qt::AlignCenter), QRect(159, 59, 82, 22));
}

TEST_F(UrlLabel, HoverColoursAndUnderlinesUntilThePointerLeaves) {
    struct Row {
        const char* name;
        CUrlLabel::Underline mode;
        bool underlinedWhileHovering;
        bool underlinedAfter;
    };
    const Row rows[] = {
        {"while hovering", CUrlLabel::Underline::WhileHovering, true, false},
        {"never, as the main window has it", CUrlLabel::Underline::Never, false, false},
        {"always", CUrlLabel::Underline::Always, true, true},
    };
    for (const Row& row : rows) {
        label->SetUnderline(row.mode);
        Hover();
        EXPECT_TRUE(label->IsHovering()) << row.name;
        EXPECT_EQ(TextColour(), CUrlLabel::kHoverColour) << row.name;
        EXPECT_EQ(label->font().underline(), row.underlinedWhileHovering) << row.name;

        QCursor::setPos(window.mapToGlobal(QPoint(250, 90)));
        // Noticed by the 100 ms poll, not at once.
        EXPECT_TRUE(label->IsHovering()) << row.name;
        QTRY_VERIFY_WITH_TIMEOUT(!label->IsHovering(), 60000);
        EXPECT_EQ(TextColour(), CUrlLabel::kLinkColour) << row.name;
        EXPECT_EQ(label->font().underline(), row.underlinedAfter) << row.name;
    }
}

TEST_F(UrlLabel, ALeaveEventEndsTheHoverAtOnce) {
    Hover();
    ASSERT_TRUE(label->IsHovering());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(label, &leave);
    EXPECT_FALSE(label->IsHovering());
    EXPECT_EQ(TextColour(), CUrlLabel::kLinkColour);
}

TEST_F(UrlLabel, TabReachesItAndSpaceOpensIt) {
    auto* before = new QPushButton(QStringLiteral("before"), &window);
    before->move(20, 60);
    before->show();
    QWidget::setTabOrder(before, label);
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_TRUE(label->hasFocus());
    QTest::keyClick(label, Qt::Key_Space);
    EXPECT_EQ(recorder.urls, QList<QUrl>{QUrl(QStringLiteral("mailto:corvane@example.org"))});
}

TEST_F(UrlLabel, PaintsInTheColourOfItsState) {
    label->SetColours(Qt::blue, Qt::darkMagenta, Qt::red);
    const auto hasPixelOf = [this](QColor colour) {
        const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) == colour.rgb()) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(hasPixelOf(Qt::blue));
    label->SetVisited(true);
    EXPECT_TRUE(hasPixelOf(Qt::darkMagenta));
    EXPECT_FALSE(hasPixelOf(Qt::blue));
}

TEST_F(UrlLabel, ClickOpensTheTargetAndMarksItVisited) {
    QSignalSpy opened(label, &CUrlLabel::opened);
    QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls.front(), QUrl(QStringLiteral("mailto:corvane@example.org")));
    EXPECT_TRUE(label->IsVisited());
    EXPECT_FALSE(label->IsHovering());
    EXPECT_EQ(TextColour(), CUrlLabel::kVisitedColour);
    EXPECT_TRUE(failures.isEmpty());
    ASSERT_EQ(opened.count(), 1);
    EXPECT_TRUE(opened.front().front().toBool());
}

TEST_F(UrlLabel, FailedOpenIsReportedAndLeavesItUnvisited) {
    label->SetVisited(true);
    label->SetTarget(QStringLiteral("http://[::1"));  // not a valid URL: nothing can open it
    EXPECT_FALSE(label->Open());
    EXPECT_FALSE(label->IsVisited());
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures.front(), QStringLiteral("Unable to open hyperlink:\n\nThere is no "
                                               "application associated\nwith the given filename "
                                               "extension."));
}

TEST_F(UrlLabel, DefaultReportIsAWarningMessageBox) {
    label->SetFailureReporter({});
    CUrlLabel plain(QStringLiteral("x"), QStringLiteral("http://[::1"));
    QString shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // Answers the message box as soon as it is up, so the test never blocks on it.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            icon = box->icon();
            box->accept();
        }
    });
    answer.start(10);
    plain.Open();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Unable to open hyperlink:\n\n")));
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST(HyperlinkErrors, TextsFollowTheShellResult) {
    EXPECT_EQ(HyperlinkErrorText(0),
              QStringLiteral("The operating system is out\nof memory or resources."));
    EXPECT_EQ(HyperlinkErrorText(26), QStringLiteral("A sharing violation occurred. "));
    EXPECT_EQ(HyperlinkErrorText(32),
              QStringLiteral("The specified dynamic-link library was not found."));
    EXPECT_EQ(HyperlinkErrorText(1), QStringLiteral("Unknown Error (1) occurred."));
    EXPECT_EQ(HyperlinkErrorText(-7), QStringLiteral("Unknown Error (-7) occurred."));
}

TEST_F(UrlLabel, IsALinkForAssistiveTechnology) {
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(label);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(link->text(QAccessible::Name), QStringLiteral("corvane@example.org"));
    EXPECT_EQ(link->text(QAccessible::Description), QStringLiteral("mailto:corvane@example.org"));
    ASSERT_NE(link->actionInterface(), nullptr);
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(recorder.urls.size(), 1);
}

}  // namespace
}  // namespace corvane

#include "url_label_test.moc"
