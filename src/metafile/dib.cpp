// DIB (device-independent bitmap) encoding for the writer and decoding for the reader.

#include "dib.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>

namespace corvane::metafile {

qint64 DibStride(qint64 width, int bitCount) {
    if (width <= 0 || bitCount <= 0 || width > (qint64(1) << 28)) {
        return -1;
    }
    return (width * bitCount + 31) / 32 * 4;
}

qint64 Dib24BitsSize(const QImage& image) {
    return DibStride(image.width(), 24) * image.height();
}

void WriteDib24Header(QDataStream& out, const QImage& image) {
    constexpr qint32 kPixelsPerMetre96Dpi = 3780;
    out << quint32(kInfoHeaderSize) << qint32(image.width()) << qint32(image.height()) << quint16(1)
        << quint16(24) << quint32(0)  // one plane, 24 bits, BI_RGB
        << quint32(Dib24BitsSize(image)) << kPixelsPerMetre96Dpi << kPixelsPerMetre96Dpi
        << quint32(0) << quint32(0);  // no colour table
}

namespace {

// Straight alpha over white, rounded.
uchar OverWhite(int channel, int alpha) {
    return uchar((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace

bool WriteDib24RowsOnWhite(QDataStream& out, const QImage& image) {
    Q_ASSERT(image.format() == QImage::Format_ARGB32);
    const qint64 stride = DibStride(image.width(), 24);
    QByteArray row(stride, '\0');
    for (int y = image.height() - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* dst = reinterpret_cast<uchar*>(row.data());
        for (int x = 0; x < image.width(); ++x, dst += 3) {
            const QRgb pixel = line[x];
            const int alpha = qAlpha(pixel);
            dst[0] = OverWhite(qBlue(pixel), alpha);
            dst[1] = OverWhite(qGreen(pixel), alpha);
            dst[2] = OverWhite(qRed(pixel), alpha);
        }
        if (out.writeRawData(row.constData(), int(stride)) != stride) {
            return false;
        }
    }
    return out.status() == QDataStream::Ok;
}

// --- DIB decoding ------------------------------------------------------------------------------

namespace {

constexpr quint32 kBiRgb = 0;
constexpr quint32 kBiRle8 = 1;
constexpr quint32 kBiRle4 = 2;
constexpr quint32 kBiBitfields = 3;
constexpr quint32 kBiJpeg = 4;
constexpr quint32 kBiPng = 5;
constexpr quint32 kBiAlphaBitfields = 6;
constexpr qint64 kCoreHeaderSize = 12;
constexpr qint64 kMaxTableEntries = 1 << 16;

struct DibHeader {
    qint64 headerSize = 0;
    qint64 width = 0;
    qint64 height = 0;  // always positive; see bottomUp
    bool bottomUp = true;
    int bitCount = 0;
    quint32 compression = kBiRgb;
    std::array<quint32, 4> masks{};  // red, green, blue, alpha
    qint64 maskBytes = 0;            // masks stored after a 40-byte header
    qint64 tableEntries = 0;         // colour table entries stored
    int entrySize = 4;               // RGBQUAD; RGBTRIPLE after a core header
};

bool IsCompressedPicture(quint32 compression) {
    return compression == kBiJpeg || compression == kBiPng;
}

bool BitCountFits(const DibHeader& h) {
    switch (h.compression) {
        case kBiRgb:
            return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
                   h.bitCount == 24 || h.bitCount == 32;
        case kBiRle8:
            return h.bitCount == 8 && h.bottomUp;
        case kBiRle4:
            return h.bitCount == 4 && h.bottomUp;
        case kBiBitfields:
        case kBiAlphaBitfields:
            return h.bitCount == 16 || h.bitCount == 32;
        case kBiJpeg:
        case kBiPng:
            return true;
        default:
            return false;
    }
}

bool ReadCoreHeader(LeReader& r, DibHeader& h) {
    h.width = r.U16();
    h.height = r.U16();
    r.U16();  // planes
    h.bitCount = r.U16();
    h.entrySize = 3;
    if (h.bitCount <= 8) {
        h.tableEntries = qint64(1) << h.bitCount;
    }
    return r.Ok() && h.bitCount != 16 && h.bitCount != 32;
}

bool ReadInfoHeader(LeReader& r, DibHeader& h) {
    const qint32 width = r.I32();
    const qint32 height = r.I32();
    r.U16();  // planes
    h.bitCount = r.U16();
    h.compression = r.U32();
    r.Skip(12);  // image size, resolution
    const quint32 coloursUsed = r.U32();
    r.U32();  // colours important
    if (h.headerSize >= 52) {
        for (int i = 0; i < 3; ++i) {
            h.masks[i] = r.U32();
        }
    }
    if (h.headerSize >= 56) {
        h.masks[3] = r.U32();
    }
    if (!r.Ok() || height == 0 || height == INT32_MIN) {
        return false;
    }
    h.width = width;
    h.bottomUp = height > 0;
    h.height = height > 0 ? height : -qint64(height);
    if (h.headerSize == kInfoHeaderSize && h.compression == kBiBitfields) {
        h.maskBytes = 12;
    } else if (h.headerSize == kInfoHeaderSize && h.compression == kBiAlphaBitfields) {
        h.maskBytes = 16;
    }
    if (coloursUsed > kMaxTableEntries) {
        return false;
    }
    h.tableEntries = coloursUsed;
    if (coloursUsed == 0 && h.bitCount <= 8 && !IsCompressedPicture(h.compression)) {
        h.tableEntries = qint64(1) << h.bitCount;
    }
    return true;
}

// Reads the header at the start of `r`, leaving the cursor after it.
bool ReadHeader(LeReader& r, DibHeader& h) {
    const qint64 start = r.Pos();
    h.headerSize = r.U32();
    bool read = false;
    if (h.headerSize == kCoreHeaderSize) {
        read = ReadCoreHeader(r, h);
    } else if (h.headerSize == kInfoHeaderSize || h.headerSize == 52 || h.headerSize == 56 ||
               h.headerSize == 108 || h.headerSize == 124) {
        read = ReadInfoHeader(r, h);
        r.Seek(start + h.headerSize);
    }
    constexpr qint64 kMaxSide = qint64(1) << 28;
    return read && r.Ok() && h.width > 0 && h.height > 0 && h.width <= kMaxSide &&
           h.height <= kMaxSide && BitCountFits(h);
}

// One colour channel of a BI_BITFIELDS pixel.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;

    // A mask must be one run of set bits.
    bool Set(quint32 value) {
        mask = value;
        if (value == 0) {
            return true;
        }
        shift = std::countr_zero(value);
        const quint32 run = value >> shift;
        bits = std::popcount(run);
        return (run & (run + 1)) == 0;
    }
    int Value(quint32 pixel, int absent) const {
        if (bits == 0) {
            return absent;
        }
        const quint32 raw = (pixel & mask) >> shift;
        if (bits >= 8) {
            return int(raw >> (bits - 8));
        }
        return int(raw * 255 / ((quint32(1) << bits) - 1));
    }
};

struct PixelLayout {
    std::array<QRgb, 256> palette{};
    std::array<Channel, 4> channels;  // red, green, blue, alpha
    bool alpha = false;               // the fourth byte or the alpha mask is premultiplied alpha
};

bool ReadMasksAndTable(LeReader& r, const DibHeader& h, PixelLayout& layout) {
    std::array<quint32, 4> masks = h.masks;
    for (qint64 i = 0; i < h.maskBytes / 4; ++i) {
        masks[size_t(i)] = r.U32();
    }
    if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
        for (size_t i = 0; i < masks.size(); ++i) {
            if (!layout.channels[i].Set(masks[i])) {
                return false;
            }
        }
        if (masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
            return false;
        }
    } else if (h.bitCount == 16) {
        layout.channels[0].Set(0x7C00);
        layout.channels[1].Set(0x03E0);
        layout.channels[2].Set(0x001F);
    }
    layout.palette.fill(qRgb(0, 0, 0));
    const qint64 used = h.bitCount <= 8 ? std::min<qint64>(h.tableEntries, 256) : 0;
    for (qint64 i = 0; i < used; ++i) {
        const int blue = r.U8();
        const int green = r.U8();
        const int red = r.U8();
        r.Skip(h.entrySize - 3);
        layout.palette[size_t(i)] = qRgb(red, green, blue);
    }
    return r.Ok();
}

QRgb Premultiplied(int red, int green, int blue, int alpha) {
    return qRgba(std::min(red, alpha), std::min(green, alpha), std::min(blue, alpha), alpha);
}

void DecodeRow(const uchar* src, QRgb* dst, const DibHeader& h, const PixelLayout& layout) {
    const qint64 width = h.width;
    const auto& c = layout.channels;
    switch (h.bitCount) {
        case 1:
            for (qint64 x = 0; x < width; ++x) {
                dst[x] = layout.palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
            }
            break;
        case 4:
            for (qint64 x = 0; x < width; ++x) {
                dst[x] = layout.palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
            }
            break;
        case 8:
            for (qint64 x = 0; x < width; ++x) {
                dst[x] = layout.palette[src[x]];
            }
            break;
        case 16:
            for (qint64 x = 0; x < width; ++x) {
                const quint32 v = quint32(src[2 * x]) | quint32(src[2 * x + 1]) << 8;
                dst[x] = qRgb(c[0].Value(v, 0), c[1].Value(v, 0), c[2].Value(v, 0));
            }
            break;
        case 24:
            for (qint64 x = 0; x < width; ++x, src += 3) {
                dst[x] = qRgb(src[2], src[1], src[0]);
            }
            break;
        case 32:
            for (qint64 x = 0; x < width; ++x, src += 4) {
                const quint32 v = qFromLittleEndian<quint32>(src);
                if (h.compression == kBiRgb) {
                    dst[x] = layout.alpha ? Premultiplied(src[2], src[1], src[0], src[3])
                                          : qRgb(src[2], src[1], src[0]);
                } else if (layout.alpha && c[3].bits > 0) {
                    dst[x] = Premultiplied(c[0].Value(v, 0), c[1].Value(v, 0), c[2].Value(v, 0),
                                           c[3].Value(v, 255));
                } else {
                    dst[x] = qRgb(c[0].Value(v, 0), c[1].Value(v, 0), c[2].Value(v, 0));
                }
            }
            break;
        default:
            break;
    }
}

QImage DecodeUncompressed(LeReader bits, const DibHeader& h, const PixelLayout& layout) {
    const qint64 stride = DibStride(h.width, h.bitCount);
    const qint64 lastRow = (h.width * h.bitCount + 7) / 8;  // writers may drop the last padding
    if (stride < 0 || (h.height - 1) * stride + lastRow > bits.Size()) {
        return {};
    }
    QImage image(int(h.width), int(h.height),
                 layout.alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const auto* data = reinterpret_cast<const uchar*>(bits.Data());
    for (qint64 row = 0; row < h.height; ++row) {
        const qint64 y = h.bottomUp ? h.height - 1 - row : row;
        DecodeRow(data + row * stride, reinterpret_cast<QRgb*>(image.scanLine(int(y))), h, layout);
    }
    return image;
}

// BI_RLE8 and BI_RLE4: runs, absolute runs, end of line, delta and end of bitmap. Pixels that the
// runs skip stay transparent, as GDI leaves the destination there.
QImage DecodeRle(LeReader bits, const DibHeader& h, const PixelLayout& layout) {
    QImage image(int(h.width), int(h.height), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return {};
    }
    image.fill(Qt::transparent);
    const bool four = h.compression == kBiRle4;
    qint64 x = 0;
    qint64 y = 0;  // counted from the bottom row
    auto put = [&](int index) {
        if (x < h.width && y < h.height) {
            reinterpret_cast<QRgb*>(image.scanLine(int(h.height - 1 - y)))[x] =
                layout.palette[size_t(index)];
        }
        ++x;
    };
    while (bits.Remaining() >= 2 && y < h.height) {
        const int count = bits.U8();
        const int value = bits.U8();
        if (count > 0) {
            for (int i = 0; i < count && x < h.width; ++i) {
                put(four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            }
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            x += bits.U8();
            y += bits.U8();
        } else {
            const qint64 bytes = four ? (value + 1) / 2 : value;
            LeReader run = bits.Slice(bits.Pos(), bytes);
            bits.Skip(bytes + (bytes & 1));  // absolute runs end on a 16-bit boundary
            if (!run.Ok()) {
                break;
            }
            for (int i = 0; i < value; ++i) {
                const int byte = quint8(run.Data()[four ? i / 2 : i]);
                put(four ? ((i & 1) ? byte & 0x0F : byte >> 4) : byte);
            }
        }
    }
    return image;
}

}  // namespace

QImage DecodeCompressed(LeReader bytes, qint64 maxPixels) {
    if (!bytes.Ok() || bytes.Size() <= 0) {
        return {};
    }
    QByteArray data = QByteArray::fromRawData(bytes.Data(), bytes.Size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    // The picture formats GDI+ records; no other decoder is exposed to metafile contents.
    static const QByteArray kAllowed[] = {"png", "jpeg", "gif", "bmp"};
    const QByteArray format = reader.format();
    if (std::find(std::begin(kAllowed), std::end(kAllowed), format) == std::end(kAllowed)) {
        return {};
    }
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > maxPixels) {
        return {};
    }
    QImage image;
    if (!reader.read(&image) || image.isNull() ||
        qint64(image.width()) * image.height() > maxPixels) {
        return {};
    }
    return image;
}

DecodedDib DecodeDib(LeReader info, LeReader bits, quint32 usage, qint64 maxPixels,
                     DibAlpha alpha) {
    DibHeader h;
    if (!info.Ok() || !bits.Ok() || !ReadHeader(info, h)) {
        return {};
    }
    if (h.width > maxPixels / h.height) {
        return {};
    }
    DecodedDib result;
    result.bottomUp = h.bottomUp;
    if (IsCompressedPicture(h.compression)) {
        result.image = DecodeCompressed(bits, maxPixels).convertToFormat(QImage::Format_RGB32);
        return result;
    }
    // A table of indices into the logical palette: the palette is not in the DIB.
    if (usage != kDibRgbColors && h.bitCount <= 8) {
        return {};
    }
    PixelLayout layout;
    layout.alpha = alpha == DibAlpha::Premultiplied && h.bitCount == 32;
    if (!ReadMasksAndTable(info, h, layout)) {
        return {};
    }
    if (h.compression == kBiRle8 || h.compression == kBiRle4) {
        result.image = DecodeRle(bits, h, layout);
    } else {
        result.image = DecodeUncompressed(bits, h, layout);
    }
    return result;
}

bool SplitPackedDib(LeReader packed, LeReader& info, LeReader& bits) {
    LeReader header = packed;
    DibHeader h;
    if (!ReadHeader(header, h)) {
        return false;
    }
    const qint64 bitsOffset = h.headerSize + h.maskBytes + h.tableEntries * h.entrySize;
    info = packed.Slice(0, bitsOffset);
    bits = packed.Slice(bitsOffset, packed.Size() - bitsOffset);
    return info.Ok() && bits.Ok();
}

DecodedDib DecodePackedDib(LeReader packed, quint32 usage, qint64 maxPixels) {
    LeReader info;
    LeReader bits;
    if (!SplitPackedDib(packed, info, bits)) {
        return {};
    }
    return DecodeDib(info, bits, usage, maxPixels);
}

DecodedDib DecodeDibScans(LeReader info, LeReader bits, quint32 usage, qint64 scans,
                          qint64 maxPixels) {
    LeReader header = info;
    DibHeader h;
    if (!ReadHeader(header, h) || scans <= 0) {
        return {};
    }
    if (scans >= h.height) {
        return DecodeDib(info, bits, usage, maxPixels);
    }
    if (h.compression != kBiRgb && h.compression != kBiBitfields &&
        h.compression != kBiAlphaBitfields) {
        return {};  // compressed bits cannot be cut into scan lines
    }
    QByteArray patched(info.Data(), info.Size());
    if (h.headerSize == kCoreHeaderSize) {
        PutU16(patched, 6, quint16(scans));
    } else {
        PutU32(patched, 8, quint32(h.bottomUp ? qint32(scans) : -qint32(scans)));
    }
    return DecodeDib(LeReader(patched), bits, usage, maxPixels);
}

}  // namespace corvane::metafile
