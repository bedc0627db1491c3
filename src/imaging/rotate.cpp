// Rotation: quarter turns by exact pixel moves, other angles drawn onto a canvas that just
// holds the turned picture, with the uncovered corners in the background colour.

#include "allocation.h"
#include "imaging/image_processor.h"
#include "imaging/rotate_geometry.h"
#include "painting.h"
#include "quarter_turn.h"

#include <QColorSpace>
#include <QTransform>

#include <cmath>

namespace corvane {
namespace {

// Within 0.001 degrees, tested the way the angle is held: in single precision.
bool IsNear(float angle, float target) {
    return std::fabs(angle - target) * 10000.0f < 10.0f;
}

// The affine map that takes the source rectangle onto the parallelogram of the three corners.
QTransform MapOntoCorners(int width, int height, const TurnCanvas& canvas) {
    const QPointF across = (canvas.upperRight - canvas.upperLeft) / width;
    const QPointF down = (canvas.lowerLeft - canvas.upperLeft) / height;
    return QTransform(across.x(), across.y(), down.x(), down.y(), canvas.upperLeft.x(),
                      canvas.upperLeft.y());
}

// Draws `source` turned by `rest` degrees onto a new canvas filled with the background.
BitmapPtr DrawTurned(const QImage& source, float rest, Colour background) {
    const TurnCanvas geometry = CanvasForTurn(source.width(), source.height(), rest);
    // Painting is fastest on premultiplied pixels; the canvas ends fully opaque, so converting
    // it to straight ARGB afterwards changes no colour.
    QImage canvas =
        AllocateImage(geometry.width, geometry.height, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) {
        return FailedBitmap();
    }
    canvas.fill(OpaqueArgb(background));
    QPainter painter;
    if (!BeginPainting(painter, canvas)) {
        return FailedBitmap(ImageStatus::DrawFailed);
    }
    painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
    painter.setTransform(MapOntoCorners(source.width(), source.height(), geometry));
    painter.drawImage(QPointF(0.0, 0.0), PixelView(source));
    painter.end();
    canvas.convertTo(QImage::Format_ARGB32);
    return std::make_unique<Bitmap>(std::move(canvas));
}

}  // namespace

TurnPlan PlanTurn(float angle) {
    if (!std::isfinite(angle)) {
        return {};
    }
    // Whole turns come off the integer part only, so the fraction is kept exactly.
    const double whole = std::trunc(angle);
    float a = angle - static_cast<float>(whole) + static_cast<float>(std::fmod(whole, 360.0));
    if (a < 0.0f) {
        a += 360.0f;
    }
    // A tiny negative angle lands just below 360, or on it: still no turn at all.
    if (IsNear(a, 0.0f) || IsNear(a, 360.0f)) {
        return {TurnKind::Unchanged};
    }
    for (const int quarter : {90, 180, 270}) {
        if (IsNear(a, static_cast<float>(quarter))) {
            return {TurnKind::Quarter, quarter};
        }
    }
    for (const int quarter : {270, 180, 90}) {
        if (a > static_cast<float>(quarter)) {
            return {TurnKind::General, quarter, a - static_cast<float>(quarter)};
        }
    }
    return {TurnKind::General, 0, a};
}

TurnCanvas CanvasForTurn(int width, int height, float rest) {
    constexpr float kPi = 3.1415925f;
    constexpr double kPerDegree = 0.005555555555555556;
    const double alpha = static_cast<double>(rest * kPi) * kPerDegree;
    const double w = width;
    const double h = height;
    const double diagonal = std::sqrt(w * w + h * h);
    const double corner = std::atan(h / w);
    TurnCanvas canvas;
    canvas.width = static_cast<qint64>(std::fabs(std::ceil(diagonal * std::cos(corner - alpha))));
    canvas.height = static_cast<qint64>(std::fabs(std::ceil(diagonal * std::sin(corner + alpha))));
    const auto single = [](double value) { return static_cast<double>(static_cast<float>(value)); };
    canvas.upperLeft = QPointF(single(h * std::sin(alpha)), 0.0);
    canvas.upperRight =
        QPointF(single(static_cast<double>(canvas.width)), single(w * std::sin(alpha)));
    canvas.lowerLeft = QPointF(0.0, single(h * std::cos(alpha)));
    return canvas;
}

int ImageProcessor::QuarterTurnOf(float angle) {
    const TurnPlan plan = PlanTurn(angle);
    return plan.kind == TurnKind::Quarter ? plan.quarter : 0;
}

void ImageProcessor::RotateQuarter(ImageSlot out, Bitmap* source, int degrees) const {
    if ((degrees != 90 && degrees != 180 && degrees != 270) || !IsUsable(source)) {
        return;
    }
    QImage turned = TurnQuarter(source->Image(), degrees);
    if (out.get() == source) {
        source->Image() = std::move(turned);
        if (source->Image().isNull()) {
            source->SetStatus(ImageStatus::OutOfMemory);
        }
        return;
    }
    out = DerivedBitmap(std::move(turned), *source);
}

void ImageProcessor::RotateByAngle(ImageSlot slot, float angle, Colour background) const {
    if (!IsUsable(slot.get())) {
        return;
    }
    const TurnPlan plan = PlanTurn(angle);
    BitmapPtr result;
    switch (plan.kind) {
        case TurnKind::Invalid:
            return;
        case TurnKind::Unchanged:
            CopyRegion(result, slot.get(), 0, 0, 0, 0, 0, 0);
            break;
        case TurnKind::Quarter:
            RotateQuarter(result, slot.get(), plan.quarter);
            break;
        case TurnKind::General: {
            BitmapPtr preTurned;
            Bitmap* source = slot.get();
            if (plan.quarter != 0) {
                RotateQuarter(preTurned, source, plan.quarter);
                source = preTurned.get();
            }
            result = IsUsable(source) ? DrawTurned(source->Image(), plan.rest, background)
                                      : FailedBitmap();
            break;
        }
    }
    if (result) {
        result->KeepPictureInfoOf(*slot);
    }
    slot = std::move(result);
}

}  // namespace corvane
