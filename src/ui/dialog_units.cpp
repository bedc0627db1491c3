#include "ui/dialog_units.h"

#include <cmath>

namespace corvane {

namespace {

// Multiplies then divides, rounded to the nearest pixel.
int Scale(int value, int base, int divisor) {
    return int(std::lround(double(value) * base / divisor));
}

}  // namespace

QRect DialogUnits::ToPixels(const QRect& units) const {
    return QRect(Scale(units.x(), baseX, 4), Scale(units.y(), baseY, 8),
                 Scale(units.width(), baseX, 4), Scale(units.height(), baseY, 8));
}

QSize DialogUnits::ToPixels(QSize units) const {
    return QSize(Scale(units.width(), baseX, 4), Scale(units.height(), baseY, 8));
}

DialogUnits DialogUnitsOf(const QFontMetrics& metrics) {
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = metrics.horizontalAdvance(letters);
    return {(width / 26 + 1) / 2, metrics.height()};
}

QFont BoldFontOfCellHeight(const QFont& base, int cellHeight) {
    QFont font = base;
    font.setBold(true);
    font.setStyleStrategy(QFont::PreferAntialias);
    for (int size = cellHeight; size > 1; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() <= cellHeight) {
            break;
        }
    }
    return font;
}

}  // namespace corvane
