#include "bevel.h"

#include <QPainter>

namespace corvane {

void DrawBevel(QPainter& painter, const QRect& r, QColor topLeft, QColor bottomRight) {
    if (r.width() <= 0 || r.height() <= 0) {
        return;
    }
    painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

void DrawRaisedEdge(QPainter& painter, const QRect& r, const QPalette& palette) {
    DrawBevel(painter, r, palette.color(QPalette::Midlight), palette.color(QPalette::Shadow));
    DrawBevel(painter, r.adjusted(1, 1, -1, -1), palette.color(QPalette::Light),
              palette.color(QPalette::Dark));
}

void DrawSunkenEdge(QPainter& painter, const QRect& r, const QPalette& palette) {
    DrawBevel(painter, r, palette.color(QPalette::Dark), palette.color(QPalette::Light));
    DrawBevel(painter, r.adjusted(1, 1, -1, -1), palette.color(QPalette::Shadow),
              palette.color(QPalette::Midlight));
}

void DrawFrame(QPainter& painter, const QRect& r, QColor colour) {
    DrawBevel(painter, r, colour, colour);
}

void DrawFocusMark(QPainter& painter, const QRect& r, QColor colour) {
    const auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0) {
            painter.fillRect(QRect(x, y, 1, 1), colour);
        }
    };
    for (int x = r.left(); x <= r.right(); ++x) {
        dot(x, r.top());
        dot(x, r.bottom());
    }
    for (int y = r.top(); y <= r.bottom(); ++y) {
        dot(r.left(), y);
        dot(r.right(), y);
    }
}

void DrawEmbossedText(QPainter& painter, const QRect& r, int flags, const QString& text,
                      const QPalette& palette) {
    painter.setPen(palette.color(QPalette::Light));
    painter.drawText(r.translated(1, 1), flags, text);
    painter.setPen(palette.color(QPalette::Dark));
    painter.drawText(r, flags, text);
}

}  // namespace corvane
