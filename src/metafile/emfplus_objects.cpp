// The EMF+ objects that drawing records use.

#include "emfplus_objects.h"

#include <QLinearGradient>

#include <algorithm>
#include <cmath>

namespace corvane::metafile {
namespace {

// Brush types, brush data flags and pen data flags of the EMF+ format document.
constexpr quint32 kBrushSolidColour = 0;
constexpr quint32 kBrushHatchFill = 1;
constexpr quint32 kBrushLinearGradient = 4;
constexpr quint32 kBrushDataTransform = 0x02;
constexpr quint32 kBrushDataPresetColours = 0x04;
constexpr quint32 kPenDataTransform = 0x0001;
constexpr quint32 kPenDataStartCap = 0x0002;
constexpr quint32 kPenDataEndCap = 0x0004;
constexpr quint32 kPenDataJoin = 0x0008;
constexpr quint32 kPenDataMiterLimit = 0x0010;
constexpr quint32 kPenDataLineStyle = 0x0020;
constexpr quint32 kPenDataDashedLineCap = 0x0040;
constexpr quint32 kPenDataDashedLineOffset = 0x0080;
constexpr quint32 kPenDataDashedLine = 0x0100;
constexpr quint32 kPenDataNonCenter = 0x0200;
constexpr quint32 kPenDataCompoundLine = 0x0400;
constexpr quint32 kPenDataCustomStartCap = 0x0800;
constexpr quint32 kPenDataCustomEndCap = 0x1000;
// Path point types and flags.
constexpr quint32 kPathCompressed = 0x4000;
constexpr quint32 kPathRle = 0x1000;
constexpr quint32 kPathRelative = 0x0800;
constexpr quint8 kPointTypeMask = 0x07;
constexpr quint8 kPointStart = 0;
constexpr quint8 kPointBezier = 3;
constexpr quint8 kPointCloseSubpath = 0x80;
// Region node types.
constexpr quint32 kNodeAnd = 1;
constexpr quint32 kNodeOr = 2;
constexpr quint32 kNodeXor = 3;
constexpr quint32 kNodeExclude = 4;
constexpr quint32 kNodeComplement = 5;
constexpr quint32 kNodeRect = 0x10000000;
constexpr quint32 kNodePath = 0x10000001;
constexpr quint32 kNodeEmpty = 0x10000002;
constexpr quint32 kNodeInfinite = 0x10000003;
constexpr int kMaxRegionDepth = 32;
// Longest dash pattern kept.
constexpr quint32 kMaxDashes = 64;

Qt::BrushStyle HatchOf(quint32 style) {
    switch (style) {
        case 0:
            return Qt::HorPattern;
        case 1:
            return Qt::VerPattern;
        case 2:
            return Qt::FDiagPattern;
        case 3:
            return Qt::BDiagPattern;
        case 4:
            return Qt::CrossPattern;
        case 5:
            return Qt::DiagCrossPattern;
        default:
            return Qt::Dense4Pattern;  // the many other hatches, as a mid-tone
    }
}

QBrush LinearGradient(LeReader& r) {
    const quint32 flags = r.U32();
    r.I32();  // wrap mode
    const float x = r.F32();
    const float y = r.F32();
    const float width = r.F32();
    r.F32();  // height: the ramp runs along x
    const QColor start = PlusColour(r.U32());
    const QColor end = PlusColour(r.U32());
    r.Skip(8);  // reserved
    QTransform transform;
    if (flags & kBrushDataTransform) {
        const float m[6] = {r.F32(), r.F32(), r.F32(), r.F32(), r.F32(), r.F32()};
        transform = QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
    }
    QLinearGradient gradient(QPointF(x, y), QPointF(x + width, y));
    gradient.setColorAt(0, start);
    gradient.setColorAt(1, end);
    if (flags & kBrushDataPresetColours) {
        const quint32 count = r.U32();
        if (count >= 2 && qint64(count) * 8 <= r.Remaining()) {
            std::vector<float> positions;
            for (quint32 i = 0; i < count; ++i) {
                positions.push_back(r.F32());
            }
            QGradientStops stops;
            for (quint32 i = 0; i < count; ++i) {
                stops << QGradientStop(std::clamp<double>(positions[i], 0, 1), PlusColour(r.U32()));
            }
            gradient.setStops(stops);
        }
    }
    // Blend factors would shape the ramp; it is drawn linear.
    gradient.setSpread(QGradient::RepeatSpread);
    QBrush brush(gradient);
    brush.setTransform(transform);
    return brush;
}

// Reads the optional pen data that comes before the pen's brush.
bool SkipPenData(LeReader& r, quint32 flags, PlusPen& pen) {
    if (flags & kPenDataTransform) {
        r.Skip(24);
    }
    static const Qt::PenCapStyle kCaps[] = {Qt::FlatCap, Qt::SquareCap, Qt::RoundCap, Qt::FlatCap};
    if (flags & kPenDataStartCap) {
        pen.cap = kCaps[r.U32() & 3];
    }
    if (flags & kPenDataEndCap) {
        r.U32();
    }
    if (flags & kPenDataJoin) {
        static const Qt::PenJoinStyle kJoins[] = {Qt::MiterJoin, Qt::BevelJoin, Qt::RoundJoin,
                                                  Qt::MiterJoin};
        pen.join = kJoins[r.U32() & 3];
    }
    if (flags & kPenDataMiterLimit) {
        pen.miterLimit = std::clamp<double>(r.F32(), 1, 100);
    }
    if (flags & kPenDataLineStyle) {
        static const QList<qreal> kStyles[] = {{}, {3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1},
                                               {}};
        pen.dashes = kStyles[std::min<quint32>(r.U32(), 5)];
    }
    if (flags & kPenDataDashedLineCap) {
        r.U32();
    }
    if (flags & kPenDataDashedLineOffset) {
        r.U32();
    }
    if (flags & kPenDataDashedLine) {
        const quint32 count = r.U32();
        if (count > kMaxDashes || qint64(count) * 4 > r.Remaining()) {
            return false;
        }
        pen.dashes.clear();
        for (quint32 i = 0; i < count; ++i) {
            pen.dashes << std::clamp<double>(r.F32(), 0.01, 1000);
        }
        if (pen.dashes.size() % 2 != 0) {
            pen.dashes << pen.dashes.back();
        }
    }
    if (flags & kPenDataNonCenter) {
        r.U32();
    }
    if (flags & kPenDataCompoundLine) {
        const quint32 count = r.U32();
        r.Skip(qint64(count) * 4);
    }
    if (flags & kPenDataCustomStartCap) {
        r.Skip(r.U32());
    }
    if (flags & kPenDataCustomEndCap) {
        r.Skip(r.U32());
    }
    return r.Ok();
}

std::optional<QPainterPath> RegionNode(LeReader& r, const QRectF& bounds, int depth) {
    const quint32 type = r.U32();
    if (!r.Ok() || depth > kMaxRegionDepth) {
        return std::nullopt;
    }
    QPainterPath path;
    switch (type) {
        case kNodeRect: {
            const float x = r.F32();
            const float y = r.F32();
            const float width = r.F32();
            const float height = r.F32();
            path.addRect(QRectF(x, y, width, height).normalized());
            return r.Ok() ? std::optional(path) : std::nullopt;
        }
        case kNodePath: {
            const quint32 size = r.U32();
            const LeReader data = r.Slice(r.Pos(), size);
            r.Skip(size);
            return data.Ok() ? ReadPlusPath(data) : std::nullopt;
        }
        case kNodeEmpty:
            return path;
        case kNodeInfinite:
            path.addRect(bounds);
            return path;
        default:
            break;
    }
    const auto left = RegionNode(r, bounds, depth + 1);
    const auto right = left ? RegionNode(r, bounds, depth + 1) : std::nullopt;
    if (!right) {
        return std::nullopt;
    }
    switch (type) {
        case kNodeAnd:
            return left->intersected(*right);
        case kNodeOr:
            return left->united(*right);
        case kNodeXor:
            return left->subtracted(*right).united(right->subtracted(*left));
        case kNodeExclude:
            return left->subtracted(*right);
        case kNodeComplement:
            return right->subtracted(*left);
        default:
            return std::nullopt;
    }
}

}  // namespace

QColor PlusColour(quint32 argb) {
    return QColor::fromRgba(argb);
}

std::optional<QBrush> ReadPlusBrush(LeReader r) {
    r.U32();  // version
    const quint32 type = r.U32();
    QBrush brush;
    switch (type) {
        case kBrushSolidColour:
            brush = QBrush(PlusColour(r.U32()));
            break;
        case kBrushHatchFill: {
            const quint32 style = r.U32();
            brush = QBrush(PlusColour(r.U32()), HatchOf(style));
            r.U32();  // background colour: drawn transparent
            break;
        }
        case kBrushLinearGradient:
            brush = LinearGradient(r);
            break;
        default:
            return std::nullopt;
    }
    return r.Ok() ? std::optional(brush) : std::nullopt;
}

std::optional<PlusPen> ReadPlusPen(LeReader r) {
    r.U32();  // version
    r.U32();  // type
    PlusPen pen;
    const quint32 flags = r.U32();
    pen.unit = int(r.U32());
    pen.width = r.F32();
    if (!r.Ok() || !std::isfinite(pen.width) || !SkipPenData(r, flags, pen)) {
        return std::nullopt;
    }
    const auto brush = ReadPlusBrush(r.Rest());
    if (!brush) {
        return std::nullopt;
    }
    pen.brush = *brush;
    return pen;
}

std::optional<QPainterPath> ReadPlusPath(LeReader r) {
    r.U32();  // version
    const quint32 count = r.U32();
    const quint32 flags = r.U32();
    if (!r.Ok() || (flags & kPathRelative)) {
        return std::nullopt;
    }
    const bool compressed = (flags & kPathCompressed) != 0;
    if (qint64(count) * (compressed ? 4 : 8) > r.Remaining()) {
        return std::nullopt;
    }
    QPolygonF points;
    points.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        if (compressed) {
            const qint16 x = r.I16();
            const qint16 y = r.I16();
            points << QPointF(x, y);
        } else {
            const float x = r.F32();
            const float y = r.F32();
            points << QPointF(x, y);
        }
    }
    QByteArray types;
    while (types.size() < qsizetype(count) && r.Remaining() > 0) {
        if (flags & kPathRle) {
            const quint8 run = r.U8() & 0x3F;
            const quint8 type = r.U8();
            types.append(std::min<qsizetype>(run, count - types.size()), char(type));
        } else {
            types.append(char(r.U8()));
        }
    }
    if (!r.Ok() || types.size() != qsizetype(count)) {
        return std::nullopt;
    }
    QPainterPath path;
    for (quint32 i = 0; i < count; ++i) {
        const quint8 type = quint8(types[i]);
        if ((type & kPointTypeMask) == kPointStart) {
            path.moveTo(points[i]);
        } else if ((type & kPointTypeMask) == kPointBezier && i + 2 < count) {
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        } else {
            path.lineTo(points[i]);
        }
        if (quint8(types[i]) & kPointCloseSubpath) {
            path.closeSubpath();
        }
    }
    return path;
}

std::optional<QPainterPath> ReadPlusRegion(LeReader r, const QRectF& bounds) {
    r.U32();  // version
    r.U32();  // node count
    return RegionNode(r, bounds, 0);
}

std::optional<PlusFont> ReadPlusFont(LeReader r) {
    r.U32();  // version
    PlusFont font;
    font.emSize = r.F32();
    font.unit = int(r.U32());
    const qint32 style = r.I32();
    r.U32();  // reserved
    const quint32 length = r.U32();
    const LeReader name = r.Slice(r.Pos(), qint64(length) * 2);
    if (!r.Ok() || !name.Ok() || !std::isfinite(font.emSize) || font.emSize <= 0) {
        return std::nullopt;
    }
    LeReader units = name;
    for (quint32 i = 0; i < length; ++i) {
        font.family += QChar(units.U16());
    }
    font.bold = style & 1;
    font.italic = style & 2;
    font.underline = style & 4;
    font.strikeout = style & 8;
    return font;
}

PlusStringFormat ReadPlusStringFormat(LeReader r) {
    constexpr quint32 kNoWrap = 0x00001000;
    r.U32();  // version
    const quint32 flags = r.U32();
    r.U32();  // language
    PlusStringFormat format;
    format.alignment = int(r.U32());
    format.lineAlignment = int(r.U32());
    format.noWrap = (flags & kNoWrap) != 0;
    if (!r.Ok()) {
        return {};
    }
    return format;
}

std::optional<QPolygonF> ReadPlusPoints(LeReader& r, quint32 count, quint16 flags) {
    const bool relative = (flags & emfplus::kRelativePoints) != 0;
    const bool compressed = (flags & emfplus::kCompressedRect) != 0;
    const qint64 least = relative ? count : qint64(count) * (compressed ? 4 : 8);
    if (least > r.Remaining()) {
        return std::nullopt;
    }
    QPolygonF points;
    points.reserve(qsizetype(count));
    QPointF last(0, 0);
    for (quint32 i = 0; i < count; ++i) {
        QPointF point;
        if (relative) {
            // Each coordinate: 7 bits signed in one byte, or 15 bits in two with the high bit set.
            auto next = [&r]() {
                const quint8 first = r.U8();
                if (first & 0x80) {
                    const int value = ((first & 0x7F) << 8) | r.U8();
                    return double(value >= 0x4000 ? value - 0x8000 : value);
                }
                return double(first >= 0x40 ? int(first) - 0x80 : int(first));
            };
            const double dx = next();
            const double dy = next();
            point = last + QPointF(dx, dy);
        } else if (compressed) {
            const qint16 x = r.I16();
            const qint16 y = r.I16();
            point = QPointF(x, y);
        } else {
            const float x = r.F32();
            const float y = r.F32();
            point = QPointF(x, y);
        }
        points << point;
        last = point;
    }
    return r.Ok() ? std::optional(points) : std::nullopt;
}

std::optional<std::vector<QRectF>> ReadPlusRects(LeReader& r, quint32 count, quint16 flags) {
    const bool compressed = (flags & emfplus::kCompressedRect) != 0;
    if (qint64(count) * (compressed ? 8 : 16) > r.Remaining()) {
        return std::nullopt;
    }
    std::vector<QRectF> rects;
    rects.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        if (compressed) {
            const qint16 x = r.I16();
            const qint16 y = r.I16();
            const qint16 width = r.I16();
            const qint16 height = r.I16();
            rects.emplace_back(x, y, width, height);
        } else {
            const float x = r.F32();
            const float y = r.F32();
            const float width = r.F32();
            const float height = r.F32();
            rects.emplace_back(x, y, width, height);
        }
    }
    return r.Ok() ? std::optional(rects) : std::nullopt;
}

}  // namespace corvane::metafile
