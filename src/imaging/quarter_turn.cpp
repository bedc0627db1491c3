#include "quarter_turn.h"

#include "allocation.h"

#include <QColorSpace>
#include <QTransform>

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define CORVANE_TURN_WITH_SSE2 1
#endif

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

// Where rows [first, first + rows) of a picture `height` rows tall and `width` wide go when it is
// turned by 90 (clockwise) or 270 degrees: pixel (x, y) goes to row x, column height-1-y (90) or
// to row width-1-x, column y (270), y counted in the whole picture.
struct Sideways {
    int first;
    int height;
    int width;
    bool clockwise;

    int Row(int x) const { return clockwise ? x : width - 1 - x; }
    int Column(int y) const { return clockwise ? height - 1 - (first + y) : first + y; }
};

#ifdef CORVANE_TURN_WITH_SSE2
// Four rows of four 32-bit pixels turned over their diagonal: afterwards `a` holds the first pixel
// of each row, in the order the rows were given, `b` the second, and so on.
inline void Transpose(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
    const __m128i ab01 = _mm_unpacklo_epi32(a, b);
    const __m128i cd01 = _mm_unpacklo_epi32(c, d);
    const __m128i ab23 = _mm_unpackhi_epi32(a, b);
    const __m128i cd23 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(ab01, cd01);
    b = _mm_unpackhi_epi64(ab01, cd01);
    c = _mm_unpacklo_epi64(ab23, cd23);
    d = _mm_unpackhi_epi64(ab23, cd23);
}

// The four by four pixels from (x, y) on, 32 bits each. Turning clockwise, a target row takes a
// column of the rows from the bottom up, so the rows go into the transpose bottom first.
template <typename P>
void TurnBlock(const Rows<const P>& in, const Rows<P>& out, const Sideways& turn, int x, int y) {
    const auto load = [&](int row) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in[row] + x));
    };
    __m128i top = load(y);
    __m128i second = load(y + 1);
    __m128i third = load(y + 2);
    __m128i bottom = load(y + 3);
    const auto store = [&](int i, __m128i pixels, int firstColumn) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out[turn.Row(x + i)] + firstColumn), pixels);
    };
    if (turn.clockwise) {
        Transpose(bottom, third, second, top);
        const int column = turn.Column(y + 3);
        store(0, bottom, column);
        store(1, third, column);
        store(2, second, column);
        store(3, top, column);
    } else {
        Transpose(top, second, third, bottom);
        const int column = turn.Column(y);
        store(0, top, column);
        store(1, second, column);
        store(2, third, column);
        store(3, bottom, column);
    }
}
#endif

// The pixels x0 <= x < x1, y0 <= y < y1 of the rows, one at a time.
template <typename P>
void TurnSpan(const Rows<const P>& in, const Rows<P>& out, const Sideways& turn, int x0, int x1,
              int y0, int y1) {
    for (int x = x0; x < x1; ++x) {
        P* row = out[turn.Row(x)];
        for (int y = y0; y < y1; ++y) {
            row[turn.Column(y)] = in[y][x];
        }
    }
}

// A tile of the rows; 32-bit pixels four by four, each block turned in registers.
template <typename P>
void TurnTile(const Rows<const P>& in, const Rows<P>& out, const Sideways& turn, int x0, int x1,
              int y0, int y1) {
#ifdef CORVANE_TURN_WITH_SSE2
    if constexpr (sizeof(P) == 4) {
        const int xBlocks = x0 + ((x1 - x0) & ~3);
        const int yBlocks = y0 + ((y1 - y0) & ~3);
        for (int y = y0; y < yBlocks; y += 4) {
            for (int x = x0; x < xBlocks; x += 4) {
                TurnBlock(in, out, turn, x, y);
            }
        }
        TurnSpan(in, out, turn, xBlocks, x1, y0, y1);
        TurnSpan(in, out, turn, x0, xBlocks, yBlocks, y1);
        return;
    }
#endif
    TurnSpan(in, out, turn, x0, x1, y0, y1);
}

template <int Bytes>
void TurnSideways(const QImage& source, int first, int height, QImage& target, bool clockwise) {
    using P = Pixel<Bytes>;
    const int width = source.width();
    const int rows = source.height();
    const Rows<const P> in(source);
    const Rows<P> out(target);
    const Sideways turn{first, height, width, clockwise};
    for (int y0 = 0; y0 < rows; y0 += kTile) {
        const int y1 = std::min(rows, y0 + kTile);
        for (int x0 = 0; x0 < width; x0 += kTile) {
            TurnTile(in, out, turn, x0, std::min(width, x0 + kTile), y0, y1);
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
