#pragma once
// Dialog units, the layout unit of the dialog templates: a horizontal unit is a quarter of the
// font's average character width, a vertical unit an eighth of its height.

#include <QFont>
#include <QFontMetrics>
#include <QRect>

namespace corvane {

struct DialogUnits {
    int baseX = 0;  // average width of the Latin letters, in pixels
    int baseY = 0;  // font height, in pixels

    QRect ToPixels(const QRect& units) const;
    QSize ToPixels(QSize units) const;
};

DialogUnits DialogUnitsOf(const QFontMetrics& metrics);

// A bold font of `base`'s family whose cell (ascent plus descent) is at most `cellHeight` pixels,
// as large as that allows: how the platform makes a font asked for by its cell height.
QFont BoldFontOfCellHeight(const QFont& base, int cellHeight);

}  // namespace corvane
