// Watermarks in the lower-right corner: a text drawn twice (light, then dark 2 px up and left,
// both translucent), or a picture drawn unscaled at a fixed opacity.

#include "imaging/image_processor.h"
#include "painting.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>

#include <algorithm>

namespace corvane {
namespace {

constexpr QRgb kLightText = 0x76FFFDFC;
constexpr QRgb kDarkText = 0x76080506;
constexpr qreal kShadowOffset = -2.0;
constexpr float kPictureOpacity = 0.481f;

// The platform's generic sans-serif family, looked up once per process.
const QString& SansSerifFamily() {
    static const QString family = [] {
        QFont probe(QStringLiteral("sans-serif"));
        probe.setStyleHint(QFont::SansSerif);
        return QFontInfo(probe).family();
    }();
    return family;
}

QFont WatermarkFont(int pixelSize) {
    QFont font(SansSerifFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}

// The picture's upper-left width x height, its alpha scaled by the opacity as a colour matrix
// would (rounded per pixel), ready to be blended on as it is.
QImage Faded(const QImage& picture, int width, int height) {
    QImage faded = picture.copy(0, 0, width, height).convertToFormat(QImage::Format_ARGB32);
    faded.setDevicePixelRatio(1.0);
    for (int y = 0; y < faded.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(faded.scanLine(y));
        for (int x = 0; x < faded.width(); ++x) {
            const int alpha = static_cast<int>(qAlpha(line[x]) * kPictureOpacity + 0.5f);
            line[x] = (line[x] & 0x00FFFFFF) | (static_cast<QRgb>(alpha) << 24);
        }
    }
    return faded;
}

}  // namespace

int ImageProcessor::WatermarkFontSize(int width) {
    if (width >= 300) {
        return static_cast<int>(16 * static_cast<qint64>(width) / 300);
    }
    if (width >= 136) {
        return 15;
    }
    if (width >= 50) {
        return 10;
    }
    if (width >= 22) {
        return 6;
    }
    return 2;
}

bool ImageProcessor::DrawTextWatermark(ImageSlot slot, const QString& text) const {
    if (!IsUsable(slot.get())) {
        return false;
    }
    NormalizePixelFormat(slot);
    if (!IsUsable(slot.get())) {
        return false;
    }
    QImage& image = slot->Image();
    const int w = image.width();
    const int h = image.height();
    const QFont font = WatermarkFont(WatermarkFontSize(w));
    // Measured as laid out in the whole image (wrapping at its width, like a default string
    // format), then drawn centred in a box flush with the lower-right corner.
    const QSizeF size =
        QFontMetricsF(font, &image).boundingRect(QRectF(0, 0, w, h), Qt::TextWordWrap, text).size();
    const QRectF box(w - size.width(), h - size.height(), size.width(), size.height());
    QPainter painter;
    if (!BeginPainting(painter, image)) {
        return false;
    }
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    constexpr int kFlags = Qt::AlignCenter | Qt::TextWordWrap;
    painter.setPen(QColor::fromRgba(kLightText));
    painter.drawText(box, kFlags, text);
    painter.setPen(QColor::fromRgba(kDarkText));
    painter.drawText(box.translated(kShadowOffset, kShadowOffset), kFlags, text);
    return true;
}

bool ImageProcessor::DrawImageWatermark(ImageSlot slot, const Bitmap* picture) const {
    // The picture is shared by every thread that saves: it is only read.
    if (!IsUsable(slot.get()) || !IsUsable(picture)) {
        return false;
    }
    NormalizePixelFormat(slot);
    if (!IsUsable(slot.get())) {
        return false;
    }
    QImage& image = slot->Image();
    // Never scaled: a picture larger than the image gives only its upper-left part.
    const int width = std::min(image.width(), picture->Width());
    const int height = std::min(image.height(), picture->Height());
    const QImage faded = Faded(picture->Image(), width, height);
    QPainter painter;
    if (faded.isNull() || !BeginPainting(painter, image)) {
        return false;
    }
    painter.drawImage(QPoint(image.width() - width, image.height() - height), faded);
    return true;
}

}  // namespace corvane
