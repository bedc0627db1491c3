#include "controls/generated_icons.h"

namespace corvane {

namespace {

template <typename PixelFn>
QImage MapColouredPixels(const QImage& icon, PixelFn fn) {
    QImage out = icon.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            if ((p & 0x00FFFFFF) != 0) {
                line[x] = fn(p);
            }
        }
    }
    return out;
}

}  // namespace

QImage GreyIcon(const QImage& icon) {
    return MapColouredPixels(icon, [](QRgb p) {
        const int grey = int(0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p));
        return qRgba(grey, grey, grey, qAlpha(p));
    });
}

QImage DarkenedIcon(const QImage& icon) {
    return MapColouredPixels(icon, [](QRgb p) {
        const auto dim = [](int c) { return int(c - 0.25 * c); };
        return qRgba(dim(qRed(p)), dim(qGreen(p)), dim(qBlue(p)), qAlpha(p));
    });
}

}  // namespace corvane
