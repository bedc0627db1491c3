// EMF+ strings: EmfPlusDrawString in its layout rectangle, and EmfPlusDrawDriverString glyph by
// glyph.

#include "emfplus_player.h"
#include "text.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace corvane::metafile {

std::optional<TextPlacement> EmfPlusPlayer::Impl::PlaceText(QPointF world) const {
    const QTransform toCanvas = WorldToCanvas();
    if (!Usable(toCanvas)) {
        return std::nullopt;
    }
    const QPointF origin = toCanvas.map(world);
    const QPointF across = toCanvas.map(world + QPointF(1, 0)) - origin;
    const QPointF down = toCanvas.map(world + QPointF(0, 1)) - origin;
    TextPlacement placement;
    placement.xScale = std::hypot(across.x(), across.y());
    placement.yScale = std::hypot(down.x(), down.y());
    placement.place.translate(origin.x(), origin.y());
    placement.place.rotate(std::atan2(across.y(), across.x()) * 180 / M_PI);
    return placement;
}

std::optional<QFont> EmfPlusPlayer::Impl::PlusFontOf(int id, double yScale) const {
    const LeReader object = Object(id, emfplus::kObjectTypeFont);
    const auto font = object.Ok() ? ReadPlusFont(object) : std::nullopt;
    if (!font) {
        return std::nullopt;
    }
    const double em = WorldLength(font->emSize, font->unit) * yScale;
    if (!std::isfinite(em) || em < 0.5 ||
        em > 8 * std::max(canvas_.Size().width(), canvas_.Size().height())) {
        return std::nullopt;
    }
    QFont qfont = FontOfFamily(font->family);
    qfont.setPointSizeF(em * 72 / kDisplayDpi);
    qfont.setBold(font->bold);
    qfont.setItalic(font->italic);
    qfont.setUnderline(font->underline);
    qfont.setStrikeOut(font->strikeout);
    return qfont;
}

QPainter* EmfPlusPlayer::Impl::TextPainter(const QFont& font, const QBrush& brush,
                                           const TextPlacement& placement, const QRectF& box,
                                           qsizetype characters) {
    constexpr qint64 kWorkPerCharacter = 16;
    QPainter* painter = canvas_.Begin(kWorkPerCall + characters * kWorkPerCharacter +
                                          Area(placement.place.mapRect(box) & canvas_.Rect()),
                                      plus_.clip);
    if (painter != nullptr) {
        painter->setTransform(placement.place);
        painter->setFont(font);
        painter->setPen(QPen(brush, 0));
    }
    return painter;
}

std::optional<QFont> EmfPlusPlayer::Impl::TextFont(int fontId, const std::optional<QBrush>& brush,
                                                   const std::optional<TextPlacement>& placement) {
    if (!brush) {
        plus_.failed = true;
        return std::nullopt;
    }
    if (!placement) {
        return std::nullopt;
    }
    plus_.drew = true;
    return CanDrawText() ? PlusFontOf(fontId, placement->yScale) : std::nullopt;
}

void EmfPlusPlayer::Impl::DrawString(quint16 flags, LeReader& r) {
    const quint32 brushId = r.U32();
    const quint32 formatId = r.U32();
    const quint32 length = r.U32();
    const QRectF layout = ReadPlusRect(r, 0);
    const LeReader chars = r.Slice(r.Pos(), qint64(length) * 2);
    if (!r.Ok() || !chars.Ok()) {
        return;
    }
    QString text;
    LeReader units = chars;
    for (quint32 i = 0; i < length; ++i) {
        text += QChar(units.U16());
    }
    const auto placement = PlaceText(layout.topLeft());
    const auto brush = BrushOf(flags, brushId);
    const auto font = TextFont(flags & 0xFF, brush, placement);
    if (!font) {
        return;
    }
    const QFontMetricsF metrics(*font);
    const QRectF box(0, 0, layout.width() * placement->xScale, layout.height() * placement->yScale);
    const bool unbounded = !(box.width() > 0) || !(box.height() > 0);
    const QRectF covered =
        unbounded ? QRectF(0, 0, metrics.horizontalAdvance(text), metrics.height()) : box;
    QPainter* painter = TextPainter(*font, *brush, *placement, covered, text.size());
    if (painter == nullptr) {
        return;
    }
    const LeReader formatObject = Object(int(formatId & 0xFF), emfplus::kObjectTypeStringFormat);
    const PlusStringFormat format =
        formatObject.Ok() ? ReadPlusStringFormat(formatObject) : PlusStringFormat{};
    static const int kAlign[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static const int kLineAlign[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    const int alignment = kAlign[std::clamp(format.alignment, 0, 2)] |
                          kLineAlign[std::clamp(format.lineAlignment, 0, 2)] |
                          (format.noWrap ? 0 : int(Qt::TextWordWrap));
    if (unbounded) {
        painter->drawText(QPointF(0, metrics.ascent()), text);
    } else {
        painter->drawText(box, alignment, text);
    }
    painter->resetTransform();
}

void EmfPlusPlayer::Impl::DrawDriverString(quint16 flags, LeReader& r) {
    constexpr quint32 kCmapLookup = 0x1;
    const quint32 brushId = r.U32();
    const quint32 options = r.U32();
    r.U32();  // matrix present: glyphs are drawn upright
    const quint32 count = r.U32();
    if (!r.Ok() || qint64(count) * 10 > r.Remaining()) {
        return;
    }
    if (!(options & kCmapLookup)) {
        plus_.failed = true;  // glyph indices of a font we may not have
        return;
    }
    QString text;
    for (quint32 i = 0; i < count; ++i) {
        text += QChar(r.U16());
    }
    const auto positions = ReadPlusPoints(r, count, 0);
    if (!positions || positions->isEmpty()) {
        return;
    }
    const auto first = PlaceText(positions->front());
    const auto brush = BrushOf(flags, brushId);
    const auto font = TextFont(flags & 0xFF, brush, first);
    if (!font) {
        return;
    }
    const QRectF spread = WorldToCanvas().mapRect(positions->boundingRect());
    QPainter* painter =
        TextPainter(*font, *brush, TextPlacement{},
                    spread.adjusted(-font->pointSizeF() * 2, -font->pointSizeF() * 2,
                                    font->pointSizeF() * 2, font->pointSizeF() * 2),
                    text.size());
    if (painter == nullptr) {
        return;
    }
    for (quint32 i = 0; i < count; ++i) {
        if (const auto at = PlaceText((*positions)[qsizetype(i)])) {
            painter->setTransform(at->place);
            painter->drawText(QPointF(0, 0), QString(text.at(qsizetype(i))));
        }
    }
    painter->resetTransform();
}

}  // namespace corvane::metafile
