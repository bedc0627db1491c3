// The device context shared by the EMF and WMF players.

#include "metafile_dc.h"

#include <cmath>

namespace corvane::metafile {
namespace {

// Saved device contexts kept at most; further saves are ignored.
constexpr size_t kMaxSavedStates = 1024;

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

}  // namespace

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

void DeviceContext::DrawBitmap(const QImage& image, const QRectF& source, const QRectF& dest,
                               quint32 rop, double opacity) {
    if (image.isNull() || source.width() == 0 || source.height() == 0) {
        return;
    }
    canvas_.Draw(image, source, RectToRect(source, dest) * LogicalToCanvas(), rop, opacity);
}

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
