#include "controls/shaded_progress_bar.h"

#include "bevel.h"
#include "controls/colour_ramp.h"

#include <QPainter>

#include <algorithm>

namespace corvane {

CShadedProgressBar::CShadedProgressBar(QWidget* parent)
    : QProgressBar(parent), background_(palette().color(QPalette::Button)) {
    // The paint covers every pixel; Qt's backing store already composes it off screen and
    // shows it in one step, so frequent updates do not flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setTextVisible(false);
    SetRange(0, 100);
    // Keeps the position in step when a caller uses the QProgressBar interface directly.
    connect(this, &QProgressBar::valueChanged, this, [this](int value) {
        position_ = value;
        update();
    });
}

void CShadedProgressBar::SetRange(int lower, int upper) {
    setRange(lower, upper);
    SetPos(lower);
}

void CShadedProgressBar::SetPos(int position) {
    setValue(std::clamp(position, minimum(), maximum()));
    position_ = position;  // after setValue, whose signal stores the clamped value
    update();
}

void CShadedProgressBar::SetStartColour(QColor colour) {
    start_ = colour;
    update();
}

void CShadedProgressBar::SetEndColour(QColor colour) {
    end_ = colour;
    update();
}

void CShadedProgressBar::SetBackgroundColour(QColor colour) {
    background_ = colour;
    update();
}

void CShadedProgressBar::SetTextColour(QColor colour) {
    text_ = colour;
    update();
}

void CShadedProgressBar::SetShowPercentage(bool show) {
    showPercentage_ = show;
    update();
}

void CShadedProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // A one-pixel static edge, as the platform's progress bar has; the client area is inside it.
    DrawBevel(painter, rect(), palette().color(QPalette::Dark), palette().color(QPalette::Light));
    const QRect area = rect().adjusted(1, 1, -1, -1);
    const bool vertical = orientation() == Qt::Vertical;
    const int length = vertical ? area.height() : area.width();
    const auto filled = FilledLength(position_, minimum(), maximum(), length);
    if (!filled) {
        painter.fillRect(area, palette().color(QPalette::Button));
        return;
    }
    painter.fillRect(area, background_);
    for (const RampBand& band : ColourRamp(start_, end_, length, *filled)) {
        const int size = band.end - band.begin;
        const QRect r = vertical ? QRect(area.left(), area.top() + band.begin, area.width(), size)
                                 : QRect(area.left() + band.begin, area.top(), size, area.height());
        painter.fillRect(r, QColor(band.colour));
    }
    if (showPercentage_) {
        painter.setPen(text_);
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine,
                         PercentageText(position_, minimum(), maximum()));
    }
}

}  // namespace corvane
