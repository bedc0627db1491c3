// The device context shared by the EMF and WMF players.

#include "dc.h"

#include <algorithm>
#include <cmath>

namespace corvane::metafile {
namespace {

// Saved device contexts and object slots kept at most; further ones are ignored.
constexpr size_t kMaxSavedStates = 1024;
constexpr quint32 kMaxObjects = 65536;
// Combining clip paths costs this much work per element.
constexpr qint64 kWorkPerElement = 4;
// Polygon vertex types of PolyDraw.
constexpr quint8 kPtCloseFigure = 0x01;
constexpr quint8 kPtLineTo = 0x02;
constexpr quint8 kPtBezierTo = 0x04;
constexpr quint8 kPtMoveTo = 0x06;

// Millimetres per logical unit of the fixed map modes; 0 for the others.
double MillimetresPerUnit(int mapMode) {
    switch (mapMode) {
        case kMapModeLoMetric:
            return 0.1;
        case kMapModeHiMetric:
            return 0.01;
        case kMapModeLoEnglish:
            return 0.254;
        case kMapModeHiEnglish:
            return 0.0254;
        case kMapModeTwips:
            return 25.4 / 1440;
        default:
            return 0;
    }
}

Qt::BrushStyle HatchStyle(quint32 hatch) {
    switch (hatch) {
        case gdi::kHsHorizontal:
            return Qt::HorPattern;
        case gdi::kHsVertical:
            return Qt::VerPattern;
        case gdi::kHsFDiagonal:
            return Qt::FDiagPattern;
        case gdi::kHsBDiagonal:
            return Qt::BDiagPattern;
        case gdi::kHsCross:
            return Qt::CrossPattern;
        case gdi::kHsDiagCross:
            return Qt::DiagCrossPattern;
        default:
            return Qt::SolidPattern;
    }
}

QPainterPath PolygonPath(const QPolygonF& points, bool close) {
    QPainterPath path;
    if (points.isEmpty()) {
        return path;
    }
    path.addPolygon(points);
    if (close) {
        path.closeSubpath();
    }
    return path;
}

// Parametric angle, anticlockwise from the x axis with y growing downwards, of the point of the
// ellipse in `box` on the ray from its centre through `point`.
double EllipseAngle(const QRectF& box, QPointF point) {
    const QPointF centre = box.center();
    const double rx = std::max(std::abs(box.width()) / 2, 1e-9);
    const double ry = std::max(std::abs(box.height()) / 2, 1e-9);
    return std::atan2(-(point.y() - centre.y()) / ry, (point.x() - centre.x()) / rx) * 180 / M_PI;
}

// Continues the figure of `to` with `from`, which starts at or near its current point. Unlike
// QPainterPath::connectPath this keeps the start of the figure, which CloseFigure returns to.
void Continue(QPainterPath& to, const QPainterPath& from) {
    for (int i = 0; i < from.elementCount(); ++i) {
        const QPainterPath::Element e = from.elementAt(i);
        if (e.isMoveTo() && i == 0 && !to.isEmpty()) {
            if (to.currentPosition() != QPointF(e)) {
                to.lineTo(e);
            }
        } else if (e.isMoveTo()) {
            to.moveTo(e);
        } else if (e.isLineTo()) {
            to.lineTo(e);
        } else if (e.isCurveTo() && i + 2 < from.elementCount()) {
            to.cubicTo(e, from.elementAt(i + 1), from.elementAt(i + 2));
            i += 2;
        }
    }
}

}  // namespace

QColor ColourRef(quint32 value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

DeviceContext::DeviceContext(Canvas& canvas, const QTransform& deviceToCanvas, QPointF pixelsPerMm)
    : canvas_(canvas), deviceToCanvas_(deviceToCanvas), pixelsPerMm_(pixelsPerMm) {}

void DeviceContext::Save() {
    if (saved_.size() < kMaxSavedStates) {
        saved_.push_back(dc_);
    }
}

void DeviceContext::Restore(qint32 which) {
    const qint64 index = which < 0 ? qint64(saved_.size()) + which : qint64(which) - 1;
    if (which == 0 || index < 0 || index >= qint64(saved_.size())) {
        return;
    }
    dc_ = saved_[size_t(index)];
    saved_.resize(size_t(index));
}

void DeviceContext::SetWorld(const QTransform& matrix, quint32 mode) {
    switch (mode) {
        case kMwtIdentity:
            dc_.world.reset();
            break;
        case kMwtLeftMultiply:
            dc_.world = matrix * dc_.world;
            break;
        case kMwtRightMultiply:
            dc_.world = dc_.world * matrix;
            break;
        case kMwtSet:
            dc_.world = matrix;
            break;
        default:
            break;
    }
}

QTransform DeviceContext::PageTransform() const {
    double sx = 1;
    double sy = 1;
    if (dc_.mapMode == kMapModeAnisotropic || dc_.mapMode == kMapModeIsotropic) {
        sx = dc_.viewportExt.x() / dc_.windowExt.x();
        sy = dc_.viewportExt.y() / dc_.windowExt.y();
        if (dc_.mapMode == kMapModeIsotropic) {
            const double scale = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(scale, sx);
            sy = std::copysign(scale, sy);
        }
    } else if (const double mm = MillimetresPerUnit(dc_.mapMode); mm > 0) {
        sx = mm * pixelsPerMm_.x();
        sy = -mm * pixelsPerMm_.y();
    }
    return QTransform::fromTranslate(-dc_.windowOrg.x(), -dc_.windowOrg.y()) *
           QTransform::fromScale(sx, sy) *
           QTransform::fromTranslate(dc_.viewportOrg.x(), dc_.viewportOrg.y());
}

QTransform DeviceContext::LogicalToCanvas() const {
    return dc_.world * PageTransform() * deviceToCanvas_;
}

QPainterPath DeviceContext::ToCanvas(const QPainterPath& logical) const {
    const QTransform toCanvas = LogicalToCanvas();
    if (!Usable(toCanvas)) {
        return {};
    }
    return toCanvas.map(logical);
}

// --- objects -----------------------------------------------------------------------------------

void DeviceContext::CreateObject(quint32 index, GdiObject object) {
    if (index >= kMaxObjects) {
        return;
    }
    if (index >= objects_.size()) {
        objects_.resize(index + 1);
    }
    objects_[index] = std::move(object);
}

void DeviceContext::AddObject(GdiObject object) {
    const auto free = std::find_if(objects_.begin(), objects_.end(), [](const GdiObject& o) {
        return std::holds_alternative<std::monostate>(o);
    });
    CreateObject(quint32(free - objects_.begin()), std::move(object));
}

void DeviceContext::SelectObject(quint32 index) {
    if (index & gdi::kStockObject) {
        SelectStock(index & ~gdi::kStockObject);
        return;
    }
    if (index >= objects_.size()) {
        return;
    }
    const GdiObject& object = objects_[index];
    if (const auto* pen = std::get_if<Pen>(&object)) {
        dc_.pen = *pen;
    } else if (const auto* brush = std::get_if<Brush>(&object)) {
        dc_.brush = *brush;
    } else if (const auto* font = std::get_if<Font>(&object)) {
        dc_.font = *font;
    }
}

// WHITE_BRUSH 0 to NULL_BRUSH 5, WHITE_PEN 6 to NULL_PEN 8, the fonts 10 to 17.
void DeviceContext::SelectStock(quint32 number) {
    static const int kGreys[] = {255, 192, 128, 64, 0};
    if (number <= 4) {
        dc_.brush = SolidBrush(QColor(kGreys[number], kGreys[number], kGreys[number]));
    } else if (number == 5) {
        dc_.brush = Brush{};
        dc_.brush.style = gdi::kBsNull;
    } else if (number == 6 || number == 7) {
        dc_.pen = Pen{};
        dc_.pen.colour = number == 6 ? Qt::white : Qt::black;
    } else if (number == 8) {
        dc_.pen = Pen{};
        dc_.pen.style = gdi::kPsNull;
    } else if (number >= 10 && number <= 17) {
        dc_.font = Font{};
    }
}

void DeviceContext::DeleteObject(quint32 index) {
    if (index < objects_.size()) {
        objects_[index] = std::monostate{};
    }
}

const Brush* DeviceContext::BrushAt(quint32 index) const {
    return index < objects_.size() ? std::get_if<Brush>(&objects_[index]) : nullptr;
}

// --- drawing -----------------------------------------------------------------------------------

bool DeviceContext::PaintsWith(QColor& colour, QPainter::CompositionMode& mode) const {
    mode = QPainter::CompositionMode_SourceOver;
    switch (dc_.rop2) {
        case gdi::kR2Nop:
            return false;
        case gdi::kR2Black:
            colour = Qt::black;
            break;
        case gdi::kR2White:
            colour = Qt::white;
            break;
        case gdi::kR2NotMergePen:
            mode = QPainter::RasterOp_NotSourceAndNotDestination;
            break;
        case gdi::kR2MaskNotPen:
            mode = QPainter::RasterOp_NotSourceAndDestination;
            break;
        case gdi::kR2NotCopyPen:
            mode = QPainter::RasterOp_NotSource;
            break;
        case gdi::kR2MaskPenNot:
            mode = QPainter::RasterOp_SourceAndNotDestination;
            break;
        case gdi::kR2Not:
            mode = QPainter::RasterOp_NotDestination;
            break;
        case gdi::kR2XorPen:
            mode = QPainter::RasterOp_SourceXorDestination;
            break;
        case gdi::kR2NotMaskPen:
            mode = QPainter::RasterOp_NotSourceOrNotDestination;
            break;
        case gdi::kR2MaskPen:
            mode = QPainter::RasterOp_SourceAndDestination;
            break;
        case gdi::kR2NotXorPen:
            mode = QPainter::RasterOp_NotSourceXorDestination;
            break;
        case gdi::kR2MergeNotPen:
            mode = QPainter::RasterOp_NotSourceOrDestination;
            break;
        case gdi::kR2MergePenNot:
            mode = QPainter::RasterOp_SourceOrNotDestination;
            break;
        case gdi::kR2MergePen:
            mode = QPainter::RasterOp_SourceOrDestination;
            break;
        default:  // R2_COPYPEN and unknown values
            break;
    }
    return true;
}

void DeviceContext::Fill(const QPainterPath& canvasPath, const Brush& brush) {
    if (brush.style == gdi::kBsNull) {
        return;
    }
    QColor colour = brush.colour;
    QPainter::CompositionMode mode;
    if (!PaintsWith(colour, mode)) {
        return;
    }
    QPainter* painter = canvas_.Begin(FillWork(canvasPath, canvas_.Rect()), dc_.clip, mode);
    if (painter == nullptr) {
        return;
    }
    QPainterPath path = canvasPath;
    path.setFillRule(dc_.fillMode == gdi::kWinding ? Qt::WindingFill : Qt::OddEvenFill);
    path = CutToCanvas(path, canvas_.Rect(), false, 0);
    if (brush.style == gdi::kBsHatched) {
        if (dc_.backgroundMode == gdi::kOpaque) {
            painter->fillPath(path, dc_.backgroundColour);
        }
        painter->fillPath(path, QBrush(colour, HatchStyle(brush.hatch)));
    } else if ((brush.style == gdi::kBsPattern || brush.style == gdi::kBsDibPattern ||
                brush.style == gdi::kBsDibPatternPt) &&
               !brush.pattern.isNull()) {
        painter->fillPath(path, QBrush(brush.pattern));
    } else {
        painter->fillPath(path, colour);
    }
}

void DeviceContext::Stroke(const QPainterPath& canvasPath) {
    const Pen& pen = dc_.pen;
    const quint32 style = pen.style & gdi::kPenStyleMask;
    if (style == gdi::kPsNull) {
        return;
    }
    QColor colour = pen.colour;
    QPainter::CompositionMode mode;
    if (!PaintsWith(colour, mode)) {
        return;
    }
    const double scale = LengthScale(LogicalToCanvas());
    const double width = pen.width * scale;
    QPen qpen(colour, width < 1 ? 0 : width);
    switch (pen.style & gdi::kPsEndCapMask) {
        case gdi::kPsEndCapSquare:
            qpen.setCapStyle(Qt::SquareCap);
            break;
        case gdi::kPsEndCapFlat:
            qpen.setCapStyle(Qt::FlatCap);
            break;
        default:
            qpen.setCapStyle(Qt::RoundCap);
            break;
    }
    switch (pen.style & gdi::kPsJoinMask) {
        case gdi::kPsJoinBevel:
            qpen.setJoinStyle(Qt::BevelJoin);
            break;
        case gdi::kPsJoinMiter:
            qpen.setJoinStyle(Qt::MiterJoin);
            qpen.setMiterLimit(std::clamp(dc_.miterLimit, 1.0, 100.0));
            break;
        default:
            qpen.setJoinStyle(Qt::RoundJoin);
            break;
    }
    static const Qt::PenStyle kDashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                           Qt::DashDotLine, Qt::DashDotDotLine};
    if (style <= gdi::kPsDashDotDot) {
        qpen.setStyle(kDashes[style]);
    } else if (style == gdi::kPsUserStyle && !pen.dashes.empty() && pen.width > 0) {
        QList<qreal> pattern;
        for (double dash : pen.dashes) {
            pattern << std::clamp(dash / pen.width, 0.01, 1000.0);
        }
        if (pattern.size() % 2 != 0) {
            pattern << pattern.back();
        }
        qpen.setDashPattern(pattern);
    }
    const double margin = std::max(1.0, width) * std::max(1.0, dc_.miterLimit);
    QPainter* painter = canvas_.Begin(StrokeWork(canvasPath, width), dc_.clip, mode);
    if (painter != nullptr) {
        // Hairlines are one crisp pixel wide, as GDI draws them.
        if (qpen.widthF() == 0) {
            painter->setRenderHint(QPainter::Antialiasing, false);
        }
        StrokeInPieces(*painter, CutToCanvas(canvasPath, canvas_.Rect(), true, margin), qpen);
    }
}

void DeviceContext::Shape(const QPainterPath& canvasPath, bool fill, bool stroke, bool connect) {
    if (canvasPath.isEmpty()) {
        return;
    }
    if (inPath_) {
        if (connect) {
            Continue(path_, canvasPath);
        } else {
            path_.addPath(canvasPath);
        }
        return;
    }
    if (fill) {
        Fill(canvasPath, dc_.brush);
    }
    if (stroke) {
        Stroke(canvasPath);
    }
}

void DeviceContext::MoveTo(QPointF point) {
    dc_.position = point;
    if (inPath_) {
        path_.moveTo(LogicalToCanvas().map(point));
    }
}

void DeviceContext::LineTo(QPointF point) {
    QPainterPath line(dc_.position);
    line.lineTo(point);
    dc_.position = point;
    Shape(ToCanvas(line), false, true, true);
}

void DeviceContext::Polyline(const QPolygonF& points) {
    Shape(ToCanvas(PolygonPath(points, false)), false, true);
}

void DeviceContext::Polygon(const QPolygonF& points) {
    Shape(ToCanvas(PolygonPath(points, true)), true, true);
}

void DeviceContext::PolyPolygon(const std::vector<QPolygonF>& polygons) {
    QPainterPath path;
    for (const QPolygonF& polygon : polygons) {
        path.addPath(PolygonPath(polygon, true));
    }
    Shape(ToCanvas(path), true, true);
}

void DeviceContext::PolyPolyline(const std::vector<QPolygonF>& polylines) {
    QPainterPath path;
    for (const QPolygonF& polyline : polylines) {
        path.addPath(PolygonPath(polyline, false));
    }
    Shape(ToCanvas(path), false, true);
}

void DeviceContext::PolylineTo(const QPolygonF& points) {
    if (points.isEmpty()) {
        return;
    }
    QPainterPath path(dc_.position);
    for (const QPointF& point : points) {
        path.lineTo(point);
    }
    dc_.position = points.back();
    Shape(ToCanvas(path), false, true, true);
}

void DeviceContext::PolyBezier(const QPolygonF& points) {
    if (points.isEmpty()) {
        return;
    }
    dc_.position = points.front();
    PolyBezierTo(points.mid(1));
}

void DeviceContext::PolyBezierTo(const QPolygonF& points) {
    QPainterPath path(dc_.position);
    for (qsizetype i = 0; i + 2 < points.size(); i += 3) {
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
        dc_.position = points[i + 2];
    }
    Shape(ToCanvas(path), false, true, true);
}

void DeviceContext::PolyDraw(const QPolygonF& points, const QByteArray& types) {
    QPainterPath path(dc_.position);
    for (qsizetype i = 0; i < points.size() && i < types.size(); ++i) {
        const quint8 type = quint8(types[i]);
        if ((type & ~kPtCloseFigure) == kPtMoveTo) {
            path.moveTo(points[i]);
        } else if ((type & ~kPtCloseFigure) == kPtBezierTo && i + 2 < points.size()) {
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        } else if ((type & ~kPtCloseFigure) == kPtLineTo) {
            path.lineTo(points[i]);
        }
        if (type & kPtCloseFigure) {
            path.closeSubpath();
        }
        dc_.position = points[std::min(i, points.size() - 1)];
    }
    Shape(ToCanvas(path), false, true, true);
}

void DeviceContext::Rectangle(const QRectF& box) {
    QPainterPath path;
    path.addRect(box.normalized());
    Shape(ToCanvas(path), true, true);
}

void DeviceContext::RoundRect(const QRectF& box, QSizeF corner) {
    QPainterPath path;
    path.addRoundedRect(box.normalized(), std::abs(corner.width()) / 2,
                        std::abs(corner.height()) / 2);
    Shape(ToCanvas(path), true, true);
}

void DeviceContext::Ellipse(const QRectF& box) {
    QPainterPath path;
    path.addEllipse(box.normalized());
    Shape(ToCanvas(path), true, true);
}

QPainterPath DeviceContext::ArcPath(const QRectF& box, QPointF start, QPointF end,
                                    ArcKind kind) const {
    const QRectF normal = box.normalized();
    const double from = EllipseAngle(normal, start);
    double sweep = EllipseAngle(normal, end) - from;
    // Anticlockwise on the page: mirrored logical axes turn the other way.
    const bool mirrored = LogicalToCanvas().determinant() < 0;
    const bool clockwise = (dc_.arcDirection == gdi::kClockwise) != mirrored;
    if (clockwise) {
        sweep = sweep >= 0 ? sweep - 360 : sweep;
    } else {
        sweep = sweep <= 0 ? sweep + 360 : sweep;
    }
    QPainterPath path;
    if (kind == ArcKind::Pie) {
        path.moveTo(normal.center());
    } else {
        path.arcMoveTo(normal, from);
    }
    path.arcTo(normal, from, sweep);
    if (kind != ArcKind::Arc) {
        path.closeSubpath();
    }
    return path;
}

void DeviceContext::Arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind,
                        bool fromPosition) {
    QPainterPath arc = ArcPath(box, start, end, kind);
    if (fromPosition) {
        QPainterPath path(dc_.position);
        Continue(path, arc);
        arc = path;
        dc_.position = arc.currentPosition();
    }
    Shape(ToCanvas(arc), kind != ArcKind::Arc, true, fromPosition);
}

void DeviceContext::AngleArc(QPointF centre, double radius, double startDegrees,
                             double sweepDegrees) {
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(dc_.position);
    QPainterPath arc;
    arc.arcMoveTo(box, startDegrees);
    arc.arcTo(box, startDegrees, std::clamp(sweepDegrees, -3600.0, 3600.0));
    Continue(path, arc);
    dc_.position = path.currentPosition();
    Shape(ToCanvas(path), false, true, true);
}

void DeviceContext::SetPixel(QPointF point, const QColor& colour) {
    const QPointF at = LogicalToCanvas().map(point);
    QPainter* painter = canvas_.Begin(kWorkPerCall, dc_.clip);
    if (painter != nullptr) {
        painter->fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), colour);
    }
}

void DeviceContext::PatternBlt(const QRectF& box, quint32 rop) {
    QPainterPath path;
    path.addRect(box.normalized());
    const QPainterPath canvasPath = ToCanvas(path);
    switch (rop) {
        case kPatCopy:
            Fill(canvasPath, dc_.brush);
            break;
        case kBlackness:
            Fill(canvasPath, SolidBrush(Qt::black));
            break;
        case kWhiteness:
            Fill(canvasPath, SolidBrush(Qt::white));
            break;
        default:  // operations that mix with what is there are not drawn
            break;
    }
}

void DeviceContext::DrawBitmap(const QImage& image, const QRectF& source, const QRectF& dest,
                               quint32 rop, double opacity) {
    if (image.isNull() || source.width() == 0 || source.height() == 0) {
        return;
    }
    if (canvas_.Draw(image, source, RectToRect(source, dest) * LogicalToCanvas(), rop, dc_.clip,
                     opacity)) {
    }
}

// --- paths -------------------------------------------------------------------------------------

void DeviceContext::BeginPath() {
    inPath_ = true;
    path_ = QPainterPath();
    path_.moveTo(LogicalToCanvas().map(dc_.position));
}

void DeviceContext::EndPath() {
    inPath_ = false;
}

void DeviceContext::AbortPath() {
    inPath_ = false;
    path_ = QPainterPath();
}

void DeviceContext::CloseFigure() {
    if (inPath_) {
        path_.closeSubpath();
    }
}

void DeviceContext::FillPath() {
    inPath_ = false;
    Fill(path_, dc_.brush);
    path_ = QPainterPath();
}

void DeviceContext::StrokePath() {
    inPath_ = false;
    Stroke(path_);
    path_ = QPainterPath();
}

void DeviceContext::StrokeAndFillPath() {
    inPath_ = false;
    Fill(path_, dc_.brush);
    Stroke(path_);
    path_ = QPainterPath();
}

void DeviceContext::SelectClipPath(int mode) {
    inPath_ = false;
    QPainterPath path = path_;
    path.setFillRule(dc_.fillMode == gdi::kWinding ? Qt::WindingFill : Qt::OddEvenFill);
    CombineClip(path, mode);
    path_ = QPainterPath();
}

// --- clipping ----------------------------------------------------------------------------------

void DeviceContext::CombineClip(const QPainterPath& canvasPath, int mode) {
    // Combining paths costs time in their size; charge it like drawing them.
    const qint64 existing = dc_.clip ? dc_.clip->elementCount() : 4;
    if (!canvas_.Spend(kWorkPerCall + (existing + canvasPath.elementCount()) * kWorkPerElement)) {
        return;
    }
    QPainterPath current;
    if (dc_.clip) {
        current = *dc_.clip;
    } else {
        current.addRect(canvas_.Rect());
    }
    QPainterPath result;
    switch (mode) {
        case gdi::kRgnAnd:
            result = current.intersected(canvasPath);
            break;
        case gdi::kRgnOr:
            result = dc_.clip ? current.united(canvasPath) : current;
            break;
        case gdi::kRgnXor:
            result = current.subtracted(canvasPath).united(canvasPath.subtracted(current));
            break;
        case gdi::kRgnDiff:
            result = current.subtracted(canvasPath);
            break;
        case gdi::kRgnCopy:
            result = canvasPath;
            break;
        default:
            return;
    }
    dc_.clip = std::make_shared<const QPainterPath>(CutToCanvas(result, canvas_.Rect(), false, 0));
}

void DeviceContext::IntersectClipRect(const QRectF& box) {
    QPainterPath path;
    path.addRect(box.normalized());
    CombineClip(ToCanvas(path), gdi::kRgnAnd);
}

void DeviceContext::ExcludeClipRect(const QRectF& box) {
    QPainterPath path;
    path.addRect(box.normalized());
    CombineClip(ToCanvas(path), gdi::kRgnDiff);
}

void DeviceContext::OffsetClip(QPointF logicalOffset) {
    if (!dc_.clip) {
        return;
    }
    const QTransform toCanvas = LogicalToCanvas();
    const QPointF offset = toCanvas.map(logicalOffset) - toCanvas.map(QPointF(0, 0));
    dc_.clip = std::make_shared<const QPainterPath>(dc_.clip->translated(offset));
}

void DeviceContext::SelectClipRegion(const std::vector<QRectF>& deviceRects, int mode) {
    if (deviceRects.empty() && mode == gdi::kRgnCopy) {
        dc_.clip.reset();
        return;
    }
    QPainterPath region;
    for (const QRectF& rect : deviceRects) {
        region.addRect(rect.normalized());
    }
    region.setFillRule(Qt::WindingFill);
    CombineClip(deviceToCanvas_.map(region), mode);
}

void DeviceContext::FillRegion(const std::vector<QRectF>& rects, const Brush* brush) {
    QPainterPath region;
    for (const QRectF& rect : rects) {
        region.addRect(rect.normalized());
    }
    region.setFillRule(Qt::WindingFill);
    Fill(ToCanvas(region), brush != nullptr ? *brush : dc_.brush);
}

// --- bitmaps -----------------------------------------------------------------------------------

DecodedDib DeviceContext::Dib(LeReader info, LeReader bits, quint32 usage, DibAlpha alpha) {
    DecodedDib dib = DecodeDib(info, bits, usage, canvas_.DecodeLimit(), alpha);
    canvas_.SpendDecode(dib.image);
    return dib;
}

DecodedDib DeviceContext::PackedDib(LeReader packed, quint32 usage) {
    DecodedDib dib = DecodePackedDib(packed, usage, canvas_.DecodeLimit());
    canvas_.SpendDecode(dib.image);
    return dib;
}

DecodedDib DeviceContext::DibScans(LeReader info, LeReader bits, quint32 usage, qint64 scans) {
    DecodedDib dib = DecodeDibScans(info, bits, usage, scans, canvas_.DecodeLimit());
    canvas_.SpendDecode(dib.image);
    return dib;
}

QRectF DibSourceRect(const DecodedDib& dib, double x, double y, double width, double height) {
    if (!dib.bottomUp) {
        return QRectF(x, y, width, height);
    }
    return QRectF(x, dib.image.height() - y - height, width, height);
}

}  // namespace corvane::metafile
