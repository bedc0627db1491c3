#include "high_bit_depth.h"

#include "imaging/picture_memory.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace corvane {
namespace {

constexpr double kReferenceWhite = 203.0;  // cd/m², ITU-R BT.2408
constexpr double kPeak = 1000.0;           // cd/m², the usual mastering peak

// SMPTE ST 2084 EOTF: signal 0-1 to cd/m².
double PqToNits(double signal) {
    constexpr double m1 = 2610.0 / 16384.0;
    constexpr double m2 = 2523.0 / 4096.0 * 128.0;
    constexpr double c1 = 3424.0 / 4096.0;
    constexpr double c2 = 2413.0 / 4096.0 * 32.0;
    constexpr double c3 = 2392.0 / 4096.0 * 32.0;
    const double p = std::pow(signal, 1.0 / m2);
    return 10000.0 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1.0 / m1);
}

// BT.2100 HLG inverse OETF to scene light 0-1, then the display gamma of a 1000 cd/m² display.
double HlgToNits(double signal) {
    constexpr double a = 0.17883277;
    constexpr double b = 1.0 - 4.0 * a;
    const double c = 0.5 - a * std::log(4.0 * a);
    const double scene =
        signal <= 0.5 ? signal * signal / 3.0 : (std::exp((signal - c) / a) + b) / 12.0;
    return kPeak * std::pow(scene, 1.2);
}

double SrgbEncode(double linear) {
    linear = std::clamp(linear, 0.0, 1.0);
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

// Code value to 8 bits for every code value of `bits` bits.
std::vector<std::uint8_t> ChannelTable(int bits, HdrTransfer transfer) {
    const int top = (1 << bits) - 1;
    std::vector<std::uint8_t> table(static_cast<std::size_t>(top) + 1);
    const double white = kPeak / kReferenceWhite;
    for (int code = 0; code <= top; ++code) {
        const double signal = double(code) / top;
        double out = signal;
        if (transfer != HdrTransfer::None) {
            const double nits = transfer == HdrTransfer::Pq ? PqToNits(signal) : HlgToNits(signal);
            const double light = nits / kReferenceWhite;
            out = SrgbEncode(light * (1.0 + light / (white * white)) / (1.0 + light));
        }
        table[static_cast<std::size_t>(code)] = static_cast<std::uint8_t>(std::lround(out * 255.0));
    }
    return table;
}

}  // namespace

HdrTransfer HdrTransferOf(int code) {
    return code == 16 ? HdrTransfer::Pq : code == 18 ? HdrTransfer::Hlg : HdrTransfer::None;
}

QImage EightBitPicture(const std::uint16_t* samples, qsizetype rowSamples, int width, int height,
                       int channels, int bits, HdrTransfer transfer) {
    const bool alpha = channels == 4;
    QImage image = NewPicture(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    if (image.isNull() || bits < 1 || bits > 16) {
        return {};
    }
    const std::vector<std::uint8_t> colour = ChannelTable(bits, transfer);
    const std::vector<std::uint8_t> plain = ChannelTable(bits, HdrTransfer::None);
    const std::uint16_t mask = static_cast<std::uint16_t>((1u << bits) - 1);
    const auto at = [&](const std::vector<std::uint8_t>& table, std::uint16_t v) {
        return table[v & mask];
    };
    for (int y = 0; y < height; ++y) {
        const std::uint16_t* in = samples + qsizetype(y) * rowSamples;
        uchar* out = image.scanLine(y);
        if (alpha) {
            auto* pixels = reinterpret_cast<QRgb*>(out);
            for (int x = 0; x < width; ++x, in += 4) {
                pixels[x] = qRgba(at(colour, in[0]), at(colour, in[1]), at(colour, in[2]),
                                  at(plain, in[3]));
            }
        } else {
            for (int x = 0; x < width * 3; ++x) {
                out[x] = at(colour, in[x]);
            }
        }
    }
    return image;
}

QString HdrNote(HdrTransfer transfer) {
    switch (transfer) {
        case HdrTransfer::Pq:
            return QStringLiteral("an HDR picture (PQ) was mapped to SDR");
        case HdrTransfer::Hlg:
            return QStringLiteral("an HDR picture (HLG) was mapped to SDR");
        case HdrTransfer::None:
            break;
    }
    return {};
}

QColorSpace AfterHdrMapping(const QColorSpace& space) {
    return space.isValid() ? space.withTransferFunction(QColorSpace::TransferFunction::SRgb)
                           : QColorSpace(QColorSpace::SRgb);
}

}  // namespace corvane
