#pragma once
// CIconPushButton: a push button that draws an icon left of its centred caption, its own
// borders and focus mark. The raised look has Windows-style border lines; the flat look (the
// default after construction) shows a border only while hovered or pressed. It stays a
// QPushButton, so role, name and press action reach assistive technology.

#include <QPixmap>
#include <QPushButton>

namespace corvane {

class CIconPushButton : public QPushButton {
public:
    // What is shown while the button is neither hovered nor pressed.
    enum class SecondIcon { None, Grey, Darkened };

    static constexpr int kMargin = 3;      // edge to icon, icon to caption
    static constexpr int kFocusInset = 3;  // focus mark inside the edge
    static constexpr QPoint kPressedOffset{1, 1};

    explicit CIconPushButton(const QString& text = {}, QWidget* parent = nullptr);

    // An empty size shows the icon at its own size.
    void SetIcon(const QPixmap& icon, QSize size = {}, SecondIcon second = SecondIcon::None);
    bool IsHovering() const { return hovering_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap CurrentIcon(bool pressed) const;
    void DrawBackgroundAndBorder(QPainter& painter, bool pressed, bool focused) const;
    void DrawContent(QPainter& painter, bool pressed) const;

    QPixmap icon_;
    QPixmap second_;
    bool hovering_ = false;
};

}  // namespace corvane
