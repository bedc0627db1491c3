#include "quarter_turn.h"

#include "allocation.h"

#include <QColorSpace>
#include <QTransform>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace corvane {
namespace {

// Source rows and columns of one tile: 64 x 64 pixels of up to 4 bytes read down the columns and
// written along the rows stay within the first-level cache.
constexpr int kTile = 64;

template <int Bytes>
struct Pixel {
    std::uint8_t bytes[Bytes];
};

// Rows of a picture by number, without a call per pixel.
template <typename P>
class Rows {
public:
    explicit Rows(const QImage& image)
        : bits_(image.constBits()), bytesPerLine_(image.bytesPerLine()) {}
    explicit Rows(QImage& image) : bits_(image.bits()), bytesPerLine_(image.bytesPerLine()) {}
    P* operator[](int y) const {
        return reinterpret_cast<P*>(const_cast<uchar*>(bits_) + y * bytesPerLine_);
    }

private:
    const uchar* bits_;
    qsizetype bytesPerLine_;
};

// Rows [first, first + source.height()) of a picture `height` rows tall, turned by 90 (clockwise)
// or 270 degrees: pixel (x, y) goes to row x, column height-1-y (90) or to row w-1-x, column y
// (270).
template <int Bytes>
void TurnSideways(const QImage& source, int first, int height, QImage& target, bool clockwise) {
    using P = Pixel<Bytes>;
    const int width = source.width();
    const int rows = source.height();
    const Rows<const P> in(source);
    const Rows<P> out(target);
    for (int y0 = 0; y0 < rows; y0 += kTile) {
        const int y1 = std::min(rows, y0 + kTile);
        for (int x0 = 0; x0 < width; x0 += kTile) {
            const int x1 = std::min(width, x0 + kTile);
            for (int x = x0; x < x1; ++x) {
                P* row = out[clockwise ? x : width - 1 - x];
                for (int y = y0; y < y1; ++y) {
                    row[clockwise ? height - 1 - (first + y) : first + y] = in[y][x];
                }
            }
        }
    }
}

template <int Bytes>
void TurnOver(const QImage& source, int first, int height, QImage& target) {
    using P = Pixel<Bytes>;
    const int width = source.width();
    const Rows<const P> in(source);
    const Rows<P> out(target);
    for (int y = 0; y < source.height(); ++y) {
        std::reverse_copy(in[y], in[y] + width, out[height - 1 - (first + y)]);
    }
}

template <int Bytes>
void Turn(const QImage& source, int first, int height, QImage& target, int degrees) {
    if (degrees == 180) {
        TurnOver<Bytes>(source, first, height, target);
    } else {
        TurnSideways<Bytes>(source, first, height, target, degrees == 90);
    }
}

void CopyPictureInfo(const QImage& source, QImage& target) {
    target.setColorSpace(source.colorSpace());
    target.setDotsPerMeterX(source.dotsPerMeterX());
    target.setDotsPerMeterY(source.dotsPerMeterY());
    target.setOffset(source.offset());
    target.setDevicePixelRatio(source.devicePixelRatio());
    for (const QString& key : source.textKeys()) {
        target.setText(key, source.text(key));
    }
}

}  // namespace

QImage TurnQuarter(const QImage& source, int degrees) {
    const int depth = source.depth();
    if (depth != 16 && depth != 24 && depth != 32) {
        QImage turned = source.transformed(QTransform().rotate(degrees));
        turned.setColorSpace(source.colorSpace());  // Qt's turn leaves it behind
        return turned;
    }
    const bool sideways = degrees != 180;
    QImage target = AllocateImage(sideways ? source.height() : source.width(),
                                  sideways ? source.width() : source.height(), source.format());
    if (target.isNull()) {
        return {};
    }
    TurnRowsInto(source, 0, source.height(), target, degrees);
    CopyPictureInfo(source, target);
    return target;
}

void TurnRowsInto(const QImage& rows, int first, int height, QImage& target, int degrees) {
    switch (rows.depth()) {
        case 8:
            Turn<1>(rows, first, height, target, degrees);
            break;
        case 16:
            Turn<2>(rows, first, height, target, degrees);
            break;
        case 24:
            Turn<3>(rows, first, height, target, degrees);
            break;
        default:
            Turn<4>(rows, first, height, target, degrees);
            break;
    }
}

}  // namespace corvane
