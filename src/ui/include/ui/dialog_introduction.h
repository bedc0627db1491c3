#pragma once
// CDialogIntroduction: the modeless introduction window shown under the "详细介绍" button. No
// title bar; a read-only text with the features, usage notes and version history, shown scrolled
// to the top with the caret in it; OK, Enter and Esc hide it (it is never destroyed before its
// owner).

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace corvane {

class CDialogIntroduction : public QDialog {
public:
    // Control ids of the template.
    static constexpr int kOkId = 1;
    static constexpr int kTextId = 1043;

    explicit CDialogIntroduction(QWidget* parent = nullptr);

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
