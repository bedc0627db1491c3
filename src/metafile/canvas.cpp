// The bitmap a metafile is rendered into and the transforms the players share.

#include "canvas.h"
#include "records.h"

#include <algorithm>
#include <cmath>

namespace corvane::metafile {

std::optional<QPainter::CompositionMode> CompositionOf(quint32 rop) {
    const quint32 index = (rop >> 16) & 0xFF;
    if (((index >> 2) & 0x33) == (index & 0x33)) {
        return std::nullopt;
    }
    switch (rop) {
        case kSrcPaint:
            return QPainter::RasterOp_SourceOrDestination;
        case kSrcAnd:
            return QPainter::RasterOp_SourceAndDestination;
        case kSrcInvert:
            return QPainter::RasterOp_SourceXorDestination;
        case kSrcErase:
            return QPainter::RasterOp_SourceAndNotDestination;
        case kNotSrcCopy:
            return QPainter::RasterOp_NotSource;
        case kNotSrcErase:
            return QPainter::RasterOp_NotSourceAndNotDestination;
        case kMergePaint:
            return QPainter::RasterOp_NotSourceOrDestination;
        default:  // SRCCOPY, and the picture itself for the rest
            return QPainter::CompositionMode_SourceOver;
    }
}

qint64 Work(double amount) {
    // Beyond any budget; also keeps the conversion defined for huge and NaN amounts.
    constexpr double kEndless = 1e15;
    if (!(amount > 0)) {
        return 0;
    }
    return qint64(std::ceil(std::min(amount, kEndless)));
}

qint64 Area(const QRectF& rect) {
    if (!(rect.width() > 0) || !(rect.height() > 0)) {
        return 0;
    }
    return Work(std::ceil(rect.width()) * std::ceil(rect.height()));
}

bool Usable(const QTransform& t) {
    const double values[] = {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(),
                             t.m23(), t.m31(), t.m32(), t.m33()};
    for (double value : values) {
        if (!std::isfinite(value) || std::abs(value) > 1e7) {
            return false;
        }
    }
    const double determinant = t.determinant();
    return std::isfinite(determinant) && std::abs(determinant) > 1e-12;
}

bool IsIntegerTranslation(const QTransform& t) {
    return t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) &&
           t.dy() == std::floor(t.dy());
}

QTransform RectToRect(const QRectF& source, const QRectF& dest) {
    return QTransform::fromTranslate(-source.x(), -source.y()) *
           QTransform::fromScale(dest.width() / source.width(), dest.height() / source.height()) *
           QTransform::fromTranslate(dest.x(), dest.y());
}

QTransform RectToParallelogram(const QRectF& source, QPointF p0, QPointF p1, QPointF p2) {
    const QPointF across = (p1 - p0) / source.width();
    const QPointF down = (p2 - p0) / source.height();
    return QTransform::fromTranslate(-source.x(), -source.y()) *
           QTransform(across.x(), across.y(), down.x(), down.y(), p0.x(), p0.y());
}

bool ValidSize(double width, double height, qint64 maxPixels) {
    return std::isfinite(width) && std::isfinite(height) && width >= 1 && height >= 1 &&
           width <= kMaxSide && height <= kMaxSide && qint64(width) <= maxPixels / qint64(height);
}

double LengthScale(const QTransform& t) {
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

namespace {

constexpr qint64 kWorkPerElement = 4;

// The part of the segment a-b inside `box` (Liang-Barsky); false when none is.
bool ClipSegment(QPointF& a, QPointF& b, const QRectF& box) {
    double t0 = 0;
    double t1 = 1;
    const QPointF d = b - a;
    const double p[] = {-d.x(), d.x(), -d.y(), d.y()};
    const double q[] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(),
                        box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return false;
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return false;
        }
    }
    const QPointF start = a + d * t0;
    b = a + d * t1;
    a = start;
    return true;
}

}  // namespace

qint64 FillWork(const QPainterPath& path, const QRectF& canvas) {
    // Shapes are cut to within a canvas size of the canvas before they are filled.
    const double tallest = 3 * canvas.height();
    double scanlines = 0;
    for (int i = 1; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (!e.isMoveTo()) {
            scanlines += std::min(std::abs(e.y - path.elementAt(i - 1).y), tallest);
        }
    }
    return kWorkPerCall + path.elementCount() * kWorkPerElement +
           Area(path.controlPointRect().adjusted(-1, -1, 1, 1) & canvas) + Work(scanlines);
}

qint64 StrokeWork(const QPainterPath& path, double width) {
    // The length of the control polygon, which a curve never exceeds. QPainterPath::length()
    // subdivides curves until they are flat, which takes minutes for curves millions of pixels
    // long.
    double length = 0;
    for (int i = 1; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (!e.isMoveTo()) {
            length += QLineF(path.elementAt(i - 1), e).length();
        }
    }
    return kWorkPerCall + path.elementCount() * kWorkPerElement +
           Work(length * std::max(1.0, width));
}

QPainterPath CutToCanvas(const QPainterPath& path, const QRectF& canvas, bool forStroke,
                         double reach) {
    const double margin = std::max(canvas.width(), canvas.height()) + reach;
    const QRectF within = canvas.adjusted(-margin, -margin, margin, margin);
    if (within.contains(path.controlPointRect())) {
        return path;
    }
    if (!forStroke) {
        QPainterPath box;
        box.addRect(within);
        return path.intersected(box);
    }
    QPainterPath pieces;
    for (const QPolygonF& polygon : path.toSubpathPolygons()) {
        for (qsizetype i = 0; i + 1 < polygon.size(); ++i) {
            QPointF a = polygon[i];
            QPointF b = polygon[i + 1];
            if (!ClipSegment(a, b, within)) {
                continue;
            }
            if (pieces.isEmpty() || pieces.currentPosition() != a) {
                pieces.moveTo(a);
            }
            pieces.lineTo(b);
        }
    }
    return pieces;
}

void StrokeInPieces(QPainter& painter, const QPainterPath& path, const QPen& pen) {
    constexpr qsizetype kPiece = 4096;
    if (path.elementCount() <= kPiece || pen.widthF() <= 1) {
        painter.strokePath(path, pen);
        return;
    }
    for (const QPolygonF& polygon : path.toSubpathPolygons()) {
        // Pieces overlap by a point so that the line stays whole.
        for (qsizetype start = 0; start + 1 < polygon.size(); start += kPiece - 1) {
            QPainterPath piece;
            piece.addPolygon(polygon.mid(start, kPiece));
            painter.strokePath(piece, pen);
        }
    }
}

Canvas::Canvas(QSize size, qint64 maxPixels)
    : size_(size),
      maxPixels_(maxPixels),
      work_(kWorkPerFramePixel * std::max(Area(QRectF(QPointF(), size)), kWorkFloor)) {}

void Canvas::SpendDecode(const QImage& image) {
    work_ = std::max<qint64>(0, work_ - qint64(image.width()) * image.height());
}

bool Canvas::Spend(qint64 cost) {
    if (cost > work_) {
        work_ = 0;  // spent: nothing more is drawn from this file
        return false;
    }
    work_ -= cost;
    return true;
}

bool Canvas::Draw(const QImage& image, QRectF source, const QTransform& toCanvas, quint32 rop,
                  const ClipPath& clip, double opacity) {
    const auto mode = CompositionOf(rop);
    source = source.normalized() & QRectF(image.rect());
    if (!mode || image.isNull() || source.isEmpty() || !Usable(toCanvas) || opacity <= 0) {
        return false;
    }
    const QRectF target = toCanvas.mapRect(source) & Rect();
    if (target.isEmpty()) {
        return false;
    }
    const qint64 cost = Area(source) + Area(target);
    if (!drawn_ && !clip && *mode == QPainter::CompositionMode_SourceOver && opacity >= 1.0 &&
        toCanvas.isIdentity() && source == QRectF(image.rect()) && image.size() == size_) {
        // The picture is the whole frame at 1:1: keep its pixels exactly.
        if (!Spend(cost)) {
            return false;
        }
        image_ = image.convertToFormat(QImage::Format_ARGB32);
        drawn_ = !image_.isNull();
        return drawn_;
    }
    QPainter* painter = Begin(cost, clip, *mode);
    if (painter == nullptr) {
        return false;
    }
    painter->setOpacity(opacity);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, !IsIntegerTranslation(toCanvas));
    painter->setTransform(toCanvas);
    painter->drawImage(source, image, source);
    painter->resetTransform();
    painter->setOpacity(1.0);
    return true;
}

bool Canvas::Prepare() {
    if (painter_.isActive()) {
        return true;
    }
    if (image_.isNull()) {
        image_ = QImage(size_, QImage::Format_ARGB32_Premultiplied);
        if (image_.isNull()) {
            return false;
        }
        image_.fill(Qt::transparent);
    } else if (image_.format() != QImage::Format_ARGB32_Premultiplied) {
        image_ = std::move(image_).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    // Font sizes in points become pixels at 96 DPI.
    constexpr int kDotsPerMetre = 3780;
    image_.setDotsPerMeterX(kDotsPerMetre);
    image_.setDotsPerMeterY(kDotsPerMetre);
    if (!painter_.begin(&image_)) {
        return false;
    }
    appliedClip_.reset();
    return true;
}

QPainter* Canvas::Begin(qint64 cost, const ClipPath& clip, QPainter::CompositionMode mode) {
    if (!Spend(cost) || !Prepare()) {
        return nullptr;
    }
    if (clip != appliedClip_) {
        if (clip) {
            painter_.setClipPath(*clip);
        } else {
            painter_.setClipping(false);
        }
        appliedClip_ = clip;
    }
    painter_.setCompositionMode(mode);
    painter_.setRenderHint(QPainter::Antialiasing, mode == QPainter::CompositionMode_SourceOver);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    drawn_ = true;
    return &painter_;
}

void Canvas::Clear() {
    if (painter_.isActive()) {
        painter_.end();
    }
    image_ = QImage();
    drawn_ = false;
}

QImage Canvas::Take() {
    if (painter_.isActive()) {
        painter_.end();
    }
    if (!drawn_) {
        return {};
    }
    return std::move(image_).convertToFormat(QImage::Format_ARGB32);
}

}  // namespace corvane::metafile
