#include "ui/text_panel_dialog.h"

#include "ui/dialog_units.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace corvane {

namespace {

constexpr int kPointSize = 9;

}  // namespace

CTextPanelDialog::CTextPanelDialog(const QString& title, const Template& units, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      text_(new QPlainTextEdit(this)),
      ok_(new QPushButton(QCoreApplication::translate("corvane", "确    定"), this)) {
    setWindowTitle(title);
    QFont f = font();
    f.setPointSize(kPointSize);
    setFont(f);
    const DialogUnits du = DialogUnitsOf(QFontMetrics(f));
    setFixedSize(du.ToPixels(units.dialog));
    ok_->setGeometry(du.ToPixels(units.ok));
    ok_->setDefault(true);
    ok_->setProperty("controlId", kOkId);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    text_->setGeometry(du.ToPixels(units.text));
    text_->setProperty("controlId", kTextId);
    text_->setAccessibleName(title);
    text_->setReadOnly(true);
    // Read-only, yet with a caret: the text can be read and selected from the keyboard.
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setTabChangesFocus(true);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Lines keep their breaks (one path or one note to a line) and scroll sideways.
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->installEventFilter(this);
    setTabOrder(text_, ok_);
}

void CTextPanelDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    text_->moveCursor(QTextCursor::Start);
    text_->verticalScrollBar()->setValue(0);
    text_->setFocus();
}

// Without a title bar nothing marks the window's edge; a raised line does.
void CTextPanelDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

// Enter and Esc hide the dialog also while the text has the focus.
bool CTextPanelDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                accept();
                return true;
            case Qt::Key_Escape:
                reject();
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace corvane
