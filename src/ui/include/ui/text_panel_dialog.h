#pragma once
// The look and keys the main dialog's modeless child dialogs share: no title bar, an OK button
// above a read-only text with a caret whose lines are never wrapped (it scrolls sideways), hidden
// (never destroyed) by OK, Enter and Esc. The window
// title is not shown but names the window for assistive technology.

#include <QDialog>
#include <QRect>
#include <QSize>

class QPlainTextEdit;
class QPushButton;

namespace corvane {

class CTextPanelDialog : public QDialog {
public:
    // Control ids of the templates.
    static constexpr int kOkId = 1;
    static constexpr int kTextId = 1043;

    // The template's rectangles, in dialog units of the dialog's 9-point font.
    struct Template {
        QSize dialog;
        QRect ok;
        QRect text;
    };

    CTextPanelDialog(const QString& title, const Template& units, QWidget* parent);

    QPlainTextEdit* Text() const { return text_; }
    QPushButton* OkButton() const { return ok_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* text_;
    QPushButton* ok_;
};

}  // namespace corvane
