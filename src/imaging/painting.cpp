#include "painting.h"

namespace corvane {

QImage PixelView(const QImage& image) {
    if (image.devicePixelRatio() == 1.0) {
        return image;
    }
    QImage view = image;
    view.setDevicePixelRatio(1.0);
    return view;
}

bool BeginPainting(QPainter& painter, QImage& image) {
    switch (image.format()) {
        case QImage::Format_Invalid:
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
        case QImage::Format_Indexed8:
            return false;
        default:
            break;
    }
    image.setDevicePixelRatio(1.0);
    return painter.begin(&image);
}

QRgb OpaqueArgb(Colour colour) {
    return qRgb(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

}  // namespace corvane
