#pragma once
// CColourButton: a push button showing a colour swatch under its caption and a drop-down arrow.
// A click opens CColourButtonPopup, a window with "自动", 40 named colours and "更多颜色..."
// (which opens QColorDialog), operable by mouse and keyboard; each box is an accessible child
// named after its colour.
//
// Colours are Windows colour values (colour_table.h); kAutomaticColour is "自动" and draws the
// face in the button-face colour.
//
// Signals, each with the colour:
// - colourChanged: the hovered or keyed selection in the popup changed;
// - popupOpened / popupClosed: the popup opened or closed;
// - colourAccepted: a colour was chosen (the picker now holds it);
// - colourCancelled: the choice was abandoned (the picker holds the colour it had).
// popupClosed comes just before colourAccepted or colourCancelled.

#include "controls/colour_popup_layout.h"
#include "controls/colour_table.h"

#include <QAbstractButton>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace corvane {

class CColourButtonPopup;

class CColourButton : public QPushButton {
    Q_OBJECT
public:
    // Runs the platform colour dialog from a starting colour; nothing when it is cancelled.
    using ColourDialog = std::function<std::optional<ColourRef>(ColourRef initial, QWidget*)>;

    explicit CColourButton(const QString& text = {}, QWidget* parent = nullptr);
    ~CColourButton() override;

    void SetColour(ColourRef colour);
    ColourRef Colour() const { return colour_; }
    // When on, hovering in the popup changes the picker's colour at once.
    void SetTrackSelection(bool track) { trackSelection_ = track; }
    void SetDefaultText(const QString& text) { defaultText_ = text; }
    void SetCustomText(const QString& text) { customText_ = text; }
    // Replaces the QColorDialog behind "更多颜色..." (tests, embedding).
    void SetColourDialog(ColourDialog dialog) { colourDialog_ = std::move(dialog); }
    const ColourDialog& ColourDialogRunner() const { return colourDialog_; }

    bool IsPopupActive() const { return popup_ != nullptr; }
    CColourButtonPopup* Popup() const { return popup_; }
    // Opens the popup as a click does.
    void OpenPopup();

    // Side of the drop-down arrow; the button is this plus two edges high.
    int ArrowSize() const;
    QRect ArrowRect() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void colourChanged(corvane::ColourRef colour);
    void popupOpened(corvane::ColourRef colour);
    void popupClosed(corvane::ColourRef colour);
    void colourAccepted(corvane::ColourRef colour);
    void colourCancelled(corvane::ColourRef colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PopupEnded(ColourRef colour, bool accepted);

    ColourRef colour_ = kAutomaticColour;
    bool trackSelection_ = false;
    QString defaultText_;
    QString customText_;
    ColourDialog colourDialog_;
    QPointer<CColourButtonPopup> popup_;
};

class CColourButtonPopup : public QWidget {
    Q_OBJECT
public:
    // Opens at `position` (screen coordinates, the picker's lower-left corner), kept on the
    // screen. Deletes itself when it ends.
    CColourButtonPopup(QPoint position, ColourRef initial, CColourButton* owner,
                       const QString& defaultText, const QString& customText);

    int HoveredBox() const { return hovered_; }
    int MarkedBox() const { return marked_; }
    const ColourPopupLayout& Layout() const { return layout_; }
    // The accessible child for a box index.
    QAbstractButton* BoxWidget(int index) const;

    void Select(int index);
    // Accepts the hovered box (opening the colour dialog for "更多颜色...") or cancels.
    void End(bool accept);

signals:
    void colourChanged(corvane::ColourRef colour);
    void colourAccepted(corvane::ColourRef colour);
    void colourCancelled(corvane::ColourRef colour);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void AddBox(int index, const QString& text, const QString& tip);

    CColourButton* owner_;
    ColourRef initial_;
    ColourRef chosen_;
    bool hasDefault_;
    bool hasCustom_;
    int hovered_ = kNoBox;
    int marked_ = kNoBox;
    bool ended_ = false;
    bool inColourDialog_ = false;
    ColourPopupLayout layout_;
    std::vector<std::pair<int, QAbstractButton*>> boxes_;
};

}  // namespace corvane
