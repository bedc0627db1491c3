// EMF+ filled and stroked shapes: clearing, rectangles, polygons, lines and Bézier curves,
// ellipses, pies and arcs, paths and regions, with their brushes and pens. Text records are
// passed on to emfplus_text.cpp.

#include "emfplus_player.h"

#include <algorithm>
#include <cmath>

namespace corvane::metafile {
namespace {

QPainterPath RectsPath(const std::vector<QRectF>& rects) {
    QPainterPath path;
    for (const QRectF& rect : rects) {
        path.addRect(rect);
    }
    return path;
}

// A pie or arc: angles in degrees, clockwise from the x axis.
QPainterPath ArcPath(const QRectF& box, float start, float sweep, bool pie) {
    QPainterPath path;
    if (pie) {
        path.moveTo(box.center());
    } else {
        path.arcMoveTo(box, -start);
    }
    path.arcTo(box, -start, -std::clamp<double>(sweep, -3600, 3600));
    if (pie) {
        path.closeSubpath();
    }
    return path;
}

}  // namespace

QRectF ReadPlusRect(LeReader& r, quint16 flags) {
    const auto rects = ReadPlusRects(r, 1, flags);
    return rects ? rects->front() : QRectF();
}

// The drawing records.
void EmfPlusPlayer::Impl::Drawing(quint16 type, quint16 flags, LeReader& r) {
    switch (type) {
        case emfplus::kClear:
            Clear(r);
            break;
        case emfplus::kFillRects:
        case emfplus::kDrawRects:
            Rects(type, flags, r);
            break;
        case emfplus::kFillPolygon:
            FillPolygon(flags, r);
            break;
        case emfplus::kDrawLines:
        case emfplus::kDrawBeziers:
            Lines(type, flags, r);
            break;
        case emfplus::kFillEllipse:
        case emfplus::kDrawEllipse:
            Ellipse(type, flags, r);
            break;
        case emfplus::kFillPie:
        case emfplus::kDrawPie:
        case emfplus::kDrawArc:
            PieOrArc(type, flags, r);
            break;
        case emfplus::kFillPath:
        case emfplus::kDrawPath:
            PathRecord(type, flags, r);
            break;
        case emfplus::kFillRegion:
            FillRegion(flags, r);
            break;
        case emfplus::kDrawString:
            DrawString(flags, r);
            break;
        case emfplus::kDrawDriverString:
            DrawDriverString(flags, r);
            break;
        default:
            break;
    }
}

void EmfPlusPlayer::Impl::Clear(LeReader& r) {
    const quint32 argb = r.U32();
    if (QPainter* painter = r.Ok() ? canvas_.Begin(Area(canvas_.Rect()), plus_.clip,
                                                   QPainter::CompositionMode_Source)
                                   : nullptr) {
        painter->fillRect(canvas_.Rect(), PlusColour(argb));
        plus_.drew = true;
    }
}

void EmfPlusPlayer::Impl::Rects(quint16 type, quint16 flags, LeReader& r) {
    if (type == emfplus::kFillRects) {
        const quint32 brush = r.U32();
        const auto rects = ReadPlusRects(r, r.U32(), flags);
        if (rects) {
            FillShape(RectsPath(*rects), BrushOf(flags, brush));
        }
        return;
    }
    const auto rects = ReadPlusRects(r, r.U32(), flags);
    if (rects) {
        DrawShape(RectsPath(*rects), flags & 0xFF);
    }
}

void EmfPlusPlayer::Impl::FillPolygon(quint16 flags, LeReader& r) {
    const quint32 brush = r.U32();
    const auto points = ReadPlusPoints(r, r.U32(), flags);
    if (points) {
        QPainterPath path;
        path.addPolygon(*points);
        path.closeSubpath();
        FillShape(path, BrushOf(flags, brush));
    }
}

void EmfPlusPlayer::Impl::Lines(quint16 type, quint16 flags, LeReader& r) {
    constexpr quint16 kClosed = 0x2000;
    const auto points = ReadPlusPoints(r, r.U32(), flags);
    if (!points || points->isEmpty()) {
        return;
    }
    const QPolygonF& p = *points;
    QPainterPath path(p.front());
    for (qsizetype i = 1; i < p.size(); ++i) {
        if (type == emfplus::kDrawLines) {
            path.lineTo(p[i]);
        } else if (i + 2 < p.size()) {
            path.cubicTo(p[i], p[i + 1], p[i + 2]);
            i += 2;
        }
    }
    if (type == emfplus::kDrawLines && (flags & kClosed)) {
        path.closeSubpath();
    }
    DrawShape(path, flags & 0xFF);
}

void EmfPlusPlayer::Impl::Ellipse(quint16 type, quint16 flags, LeReader& r) {
    const quint32 brush = type == emfplus::kFillEllipse ? r.U32() : 0;
    const QRectF box = ReadPlusRect(r, flags);
    if (!r.Ok()) {
        return;
    }
    QPainterPath path;
    path.addEllipse(box);
    type == emfplus::kFillEllipse ? FillShape(path, BrushOf(flags, brush))
                                  : DrawShape(path, flags & 0xFF);
}

void EmfPlusPlayer::Impl::PieOrArc(quint16 type, quint16 flags, LeReader& r) {
    const quint32 brush = type == emfplus::kFillPie ? r.U32() : 0;
    const float start = r.F32();
    const float sweep = r.F32();
    const QRectF box = ReadPlusRect(r, flags);
    if (!r.Ok() || !std::isfinite(start) || !std::isfinite(sweep)) {
        return;
    }
    const QPainterPath path = ArcPath(box, start, sweep, type != emfplus::kDrawArc);
    type == emfplus::kFillPie ? FillShape(path, BrushOf(flags, brush))
                              : DrawShape(path, flags & 0xFF);
}

void EmfPlusPlayer::Impl::PathRecord(quint16 type, quint16 flags, LeReader& r) {
    const quint32 other = r.U32();
    const LeReader object = Object(flags & 0xFF, emfplus::kObjectTypePath);
    const auto path = object.Ok() ? ReadPlusPath(object) : std::nullopt;
    if (!r.Ok()) {
        return;
    }
    if (!path) {
        plus_.failed = true;
    } else if (type == emfplus::kFillPath) {
        FillShape(*path, BrushOf(flags, other));
    } else {
        DrawShape(*path, int(other & 0xFF));
    }
}

void EmfPlusPlayer::Impl::FillRegion(quint16 flags, LeReader& r) {
    const quint32 brush = r.U32();
    const auto region = Region(flags & 0xFF);
    if (r.Ok() && region) {
        FillShape(*region, BrushOf(flags, brush));
    } else {
        plus_.failed = true;
    }
}

std::optional<QBrush> EmfPlusPlayer::Impl::BrushOf(quint16 flags, quint32 brushId) const {
    if (flags & emfplus::kSolidColour) {
        return QBrush(PlusColour(brushId));
    }
    const LeReader object = Object(brushId > 0xFF ? -1 : int(brushId), emfplus::kObjectTypeBrush);
    return object.Ok() ? ReadPlusBrush(object) : std::nullopt;
}

std::optional<QPen> EmfPlusPlayer::Impl::PenOf(int penId) const {
    const LeReader object = Object(penId, emfplus::kObjectTypePen);
    const auto pen = object.Ok() ? ReadPlusPen(object) : std::nullopt;
    if (!pen) {
        return std::nullopt;
    }
    const double width = WorldLength(pen->width, pen->unit) * LengthScale(WorldToCanvas());
    QPen qpen(pen->brush, width < 1 ? 0 : width, Qt::SolidLine, pen->cap, pen->join);
    qpen.setMiterLimit(pen->miterLimit);
    if (!pen->dashes.isEmpty()) {
        qpen.setDashPattern(pen->dashes);
    }
    return qpen;
}

QPainter* EmfPlusPlayer::Impl::Painter(qint64 work) {
    plus_.drew = true;
    return canvas_.Begin(work, plus_.clip);
}

void EmfPlusPlayer::Impl::FillShape(const QPainterPath& world, const std::optional<QBrush>& brush) {
    const QTransform toCanvas = WorldToCanvas();
    if (!brush) {
        plus_.failed = true;
        return;
    }
    if (!Usable(toCanvas)) {
        return;
    }
    const QPainterPath path = toCanvas.map(world);
    if (QPainter* painter = Painter(FillWork(path, canvas_.Rect()))) {
        QBrush mapped = *brush;
        mapped.setTransform(brush->transform() * toCanvas);
        painter->fillPath(CutToCanvas(path, canvas_.Rect(), false, 0), mapped);
    }
}

void EmfPlusPlayer::Impl::DrawShape(const QPainterPath& world, int penId) {
    const QTransform toCanvas = WorldToCanvas();
    const auto pen = PenOf(penId);
    if (!pen) {
        plus_.failed = true;
        return;
    }
    if (!Usable(toCanvas)) {
        return;
    }
    const QPainterPath path = toCanvas.map(world);
    if (QPainter* painter = Painter(StrokeWork(path, pen->widthF()))) {
        QPen mapped = *pen;
        QBrush brush = mapped.brush();
        brush.setTransform(brush.transform() * toCanvas);
        mapped.setBrush(brush);
        StrokeInPieces(*painter,
                       CutToCanvas(path, canvas_.Rect(), true, std::max(1.0, pen->widthF())),
                       mapped);
    }
}

std::optional<QPainterPath> EmfPlusPlayer::Impl::Region(int id) const {
    const LeReader object = Object(id, emfplus::kObjectTypeRegion);
    const QTransform toCanvas = WorldToCanvas();
    if (!object.Ok() || !Usable(toCanvas)) {
        return std::nullopt;
    }
    // The infinite region: the canvas in world units.
    const QRectF everything = toCanvas.inverted().mapRect(canvas_.Rect());
    return ReadPlusRegion(object, everything);
}

}  // namespace corvane::metafile
