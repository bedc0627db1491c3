#pragma once
// Private to the metafile reader: the EMF+ objects that drawing records use (brushes, pens, paths,
// regions, fonts and string formats), read from their serialised form.

#include "records.h"

#include <QBrush>
#include <QPainterPath>
#include <QString>

#include <optional>

namespace corvane::metafile {

// An EMF+ ARGB colour.
QColor PlusColour(quint32 argb);

// EmfPlusBrush: solid colours, hatches and linear gradients; none for the other kinds.
std::optional<QBrush> ReadPlusBrush(LeReader r);

struct PlusPen {
    QBrush brush;
    double width = 1;  // in `unit`
    int unit = emfplus::kUnitWorld;
    Qt::PenCapStyle cap = Qt::FlatCap;
    Qt::PenJoinStyle join = Qt::MiterJoin;
    double miterLimit = 10;
    QList<qreal> dashes;  // in pen widths; empty for a solid line
};
std::optional<PlusPen> ReadPlusPen(LeReader r);

// EmfPlusPath, in world units; none when it does not fit its bytes.
std::optional<QPainterPath> ReadPlusPath(LeReader r);

// EmfPlusRegion, in world units; `bounds` stands for the infinite region.
std::optional<QPainterPath> ReadPlusRegion(LeReader r, const QRectF& bounds);

struct PlusFont {
    double emSize = 0;
    int unit = emfplus::kUnitWorld;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    QString family;
};
std::optional<PlusFont> ReadPlusFont(LeReader r);

// EmfPlusStringFormat: how a string sits in its layout rectangle.
struct PlusStringFormat {
    int alignment = 0;      // StringAlignmentNear, Center, Far
    int lineAlignment = 0;  // the same, across lines
    bool noWrap = false;
};
PlusStringFormat ReadPlusStringFormat(LeReader r);

// Points of a drawing record: 16-bit with kCompressedRect, relative with kRelativePoints, else
// 32-bit floats. None when they do not fit.
std::optional<QPolygonF> ReadPlusPoints(LeReader& r, quint32 count, quint16 flags);
// Rectangles: 16-bit with kCompressedRect, else 32-bit floats.
std::optional<std::vector<QRectF>> ReadPlusRects(LeReader& r, quint32 count, quint16 flags);

}  // namespace corvane::metafile
