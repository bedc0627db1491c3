#include "controls/icon_push_button.h"

#include "bevel.h"
#include "controls/generated_icons.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOption>

namespace corvane {

CIconPushButton::CIconPushButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setFlat(true);
}

void CIconPushButton::SetIcon(const QPixmap& icon, QSize size, SecondIcon second) {
    const QSize target = size.isEmpty() ? icon.size() : size;
    icon_ = icon.size() == target
                ? icon
                : icon.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage image = icon_.toImage();
    switch (second) {
        case SecondIcon::None:
            second_ = {};
            break;
        case SecondIcon::Grey:
            second_ = QPixmap::fromImage(GreyIcon(image));
            break;
        case SecondIcon::Darkened:
            second_ = QPixmap::fromImage(DarkenedIcon(image));
            break;
    }
    // The base class keeps the icon too, for its size hint and for assistive technology.
    setIcon(QIcon(icon_));
    setIconSize(target);
    update();
}

QPixmap CIconPushButton::CurrentIcon(bool pressed) const {
    const QPixmap& pixmap = (!second_.isNull() && !hovering_ && !pressed) ? second_ : icon_;
    if (isEnabled() || pixmap.isNull()) {
        return pixmap;
    }
    QStyleOption option;
    option.initFrom(this);
    return style()->generatedIconPixmap(QIcon::Disabled, pixmap, &option);
}

void CIconPushButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool pressed = isDown() || (isCheckable() && isChecked());
    DrawBackgroundAndBorder(painter, pressed, hasFocus());
    DrawContent(painter, pressed);
    if (hasFocus() && !isFlat()) {
        DrawFocusMark(painter,
                      rect().adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset),
                      palette().color(QPalette::ButtonText));
    }
}

void CIconPushButton::DrawBackgroundAndBorder(QPainter& painter, bool pressed, bool focused) const {
    const QPalette& pal = palette();
    QRect area = rect();
    if (!isFlat() && (focused || isDefault())) {
        DrawFrame(painter, area, Qt::black);
        area.adjust(1, 1, -1, -1);
    }
    painter.fillRect(area, pal.color(QPalette::Button));
    if (!isFlat()) {
        if (pressed) {
            DrawFrame(painter, area, pal.color(QPalette::Dark));
        } else {
            DrawBevel(painter, area, pal.color(QPalette::Light), pal.color(QPalette::Shadow));
            DrawBevel(painter, area.adjusted(1, 1, -1, -1), pal.color(QPalette::Midlight),
                      pal.color(QPalette::Dark));
        }
    } else if (pressed) {
        DrawBevel(painter, area, pal.color(QPalette::Dark), pal.color(QPalette::Light));
    } else if (hovering_) {
        DrawBevel(painter, area, pal.color(QPalette::Light), pal.color(QPalette::Dark));
    }
}

void CIconPushButton::DrawContent(QPainter& painter, bool pressed) const {
    const QPoint shift = pressed ? kPressedOffset : QPoint();
    const QPixmap pixmap = CurrentIcon(pressed);
    const QSize iconSize = pixmap.isNull() ? QSize() : pixmap.deviceIndependentSize().toSize();
    QRect textArea = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (!pixmap.isNull()) {
        const int y = (height() - iconSize.height()) / 2;
        const int x = text().isEmpty() ? (width() - iconSize.width()) / 2 : kMargin;
        painter.drawPixmap(QPoint(x, y) + shift, pixmap);
        textArea.setLeft(kMargin + iconSize.width() + kMargin);
    }
    if (text().isEmpty()) {
        return;
    }
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    const QRect r = textArea.translated(shift);
    painter.setFont(font());
    if (!isEnabled()) {
        DrawEmbossedText(painter, r, flags, text(), palette());
        return;
    }
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(r, flags, text());
}

void CIconPushButton::enterEvent(QEnterEvent* event) {
    // Hover changes the look only when flat; the raised look ignores it.
    if (isFlat() && isEnabled()) {
        hovering_ = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void CIconPushButton::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QPushButton::leaveEvent(event);
}

void CIconPushButton::changeEvent(QEvent* event) {
    // Qt has already moved the focus on to the next control when this arrives.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        hovering_ = false;
    }
    QPushButton::changeEvent(event);
}

}  // namespace corvane
