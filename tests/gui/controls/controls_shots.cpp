// Screenshots of the custom controls in their states and of the introduction dialog, for docs/.
// Run under a real (virtual) X server: scripts/shoot-controls.
#include "controls/colour_button.h"
#include "controls/icon_push_button.h"
#include "controls/shaded_progress_bar.h"
#include "controls/url_label.h"
#include "gui/shots.h"
#include "ui/dialog_introduction.h"
#include "ui/introduction_text.h"
#include "ui/resources.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

#include <cstdio>

namespace corvane {
namespace {

using shots::Save;
using shots::ShowAndSettle;

bool ShootLinks() {
    QWidget panel;
    auto* form = new QFormLayout(&panel);
    const auto link = [&](const QString& caption) {
        auto* label = new CUrlLabel(ContactAddress(), ContactMailTarget());
        label->SetUnderline(CUrlLabel::Underline::WhileHovering);
        form->addRow(caption, label);
        return label;
    };
    link(QStringLiteral("link"));
    CUrlLabel* hovered = link(QStringLiteral("hover"));
    link(QStringLiteral("visited"))->SetVisited(true);
    CUrlLabel* never = link(QStringLiteral("hover, never underlined"));
    never->SetUnderline(CUrlLabel::Underline::Never);
    ShowAndSettle(panel);
    // Both hovered at once: the pointer's move over each is told to it directly, and the picture
    // is taken before the poll that ends a hover can run.
    bool ok = true;
    for (CUrlLabel* label : {hovered, never}) {
        const QPointF centre = label->rect().center();
        QMouseEvent move(QEvent::MouseMove, centre, label->mapToGlobal(centre), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(label, &move);
        ok &= label->IsHovering();
    }
    return ok && Save(panel.grab(), QStringLiteral("controls-link.png"));
}

bool ShootProgress() {
    QWidget panel;
    auto* form = new QFormLayout(&panel);
    const auto bar = [&](const QString& caption, int position, bool text, bool gold) {
        auto* b = new CShadedProgressBar;
        b->setFixedSize(320, 18);
        if (gold) {
            b->SetStartColour(QColor(255, 215, 0));
            b->SetEndColour(QColor(128, 0, 128));
        }
        b->SetShowPercentage(text);
        b->SetPos(position);
        form->addRow(caption, b);
    };
    for (int position : {0, 25, 50, 100}) {
        bar(QStringLiteral("%1").arg(position), position, false, true);
    }
    bar(QStringLiteral("33, text"), 33, true, true);
    bar(QStringLiteral("75, text, default colours"), 75, true, false);
    ShowAndSettle(panel);
    return Save(panel.grab(), QStringLiteral("controls-progress.png"));
}

bool ShootIconButtons() {
    QWidget panel;
    auto* form = new QFormLayout(&panel);
    QList<CIconPushButton*> buttons;
    for (const char* caption : {"normal", "pressed", "disabled", "focused"}) {
        auto* b = new CIconPushButton(QStringLiteral("详细介绍"));
        b->SetIcon(IntroductionIcon());
        b->setFlat(false);
        b->setFixedSize(110, 32);
        b->setFocusPolicy(Qt::StrongFocus);
        form->addRow(QString::fromLatin1(caption), b);
        buttons.append(b);
    }
    buttons[1]->setDown(true);
    buttons[2]->setEnabled(false);
    ShowAndSettle(panel);
    buttons[3]->setFocus();
    QTest::qWait(100);
    return Save(panel.grab(), QStringLiteral("controls-icon-button.png"));
}

bool ShootColourButton() {
    QWidget panel;
    auto* form = new QFormLayout(&panel);
    const auto picker = [&](const QString& caption, ColourRef colour) {
        auto* p = new CColourButton(QStringLiteral("背景色"));
        p->setFixedWidth(90);
        p->SetColour(colour);
        form->addRow(caption, p);
        return p;
    };
    picker(QStringLiteral("white"), Rgb(255, 255, 255));
    picker(QStringLiteral("automatic"), kAutomaticColour);
    picker(QStringLiteral("disabled"), Rgb(255, 104, 32))->setEnabled(false);
    CColourButton* open = picker(QStringLiteral("open"), Rgb(255, 215, 0));
    panel.move(40, 40);
    ShowAndSettle(panel);
    bool ok = Save(panel.grab(), QStringLiteral("controls-colour-button.png"));

    open->OpenPopup();
    CColourButtonPopup* popup = open->Popup();
    if (!popup || !QTest::qWaitForWindowExposed(popup)) {
        return false;
    }
    QCursor::setPos(popup->mapToGlobal(popup->Layout().Cell(18).center()));
    ok &= QTest::qWaitFor([&] { return popup->HoveredBox() == 18; }, 3000);
    const QRect area = panel.frameGeometry().united(popup->frameGeometry()).adjusted(-4, -4, 4, 4);
    ok &=
        Save(shots::GrabScreen(panel.screen(), area), QStringLiteral("controls-colour-popup.png"));
    QTest::keyClick(popup, Qt::Key_Escape);
    return ok;
}

bool ShootIntroduction() {
    CDialogIntroduction dialog;
    dialog.move(40, 40);
    ShowAndSettle(dialog);
    return Save(dialog.grab(), QStringLiteral("introduction-dialog.png"));
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(corvane::ApplicationIcon());
    corvane::shots::SetFolderFromArguments(argc, argv);
    bool ok = corvane::ShootLinks();
    ok &= corvane::ShootProgress();
    ok &= corvane::ShootIconButtons();
    ok &= corvane::ShootColourButton();
    ok &= corvane::ShootIntroduction();
    return ok ? 0 : 1;
}
