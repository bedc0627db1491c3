#include "truncation.h"

#include <QtEndian>

#include <cstring>

namespace corvane {
namespace {

using Bytes = QByteArrayView;

unsigned At(Bytes bytes, qsizetype at) {
    return static_cast<unsigned char>(bytes[at]);
}

// A JPEG is whole when its end-of-image marker follows the image data. The data of a scan never
// holds 0xFF followed by anything but 0x00 or a restart marker, so the walk skips marker segments
// by their lengths and scan data to its next real marker.
bool JpegIsWhole(Bytes bytes) {
    const qsizetype size = bytes.size();
    qsizetype at = 2;
    bool inScan = false;
    while (at + 1 < size) {
        if (inScan) {
            const void* mark = std::memchr(bytes.data() + at, 0xFF, static_cast<size_t>(size - at));
            if (mark == nullptr) {
                return false;
            }
            at = static_cast<const char*>(mark) - bytes.data();
            if (at + 1 >= size) {
                return false;
            }
            const unsigned next = At(bytes, at + 1);
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                at += 2;  // a stuffed 0xFF or a restart marker: still the scan
                continue;
            }
            inScan = false;  // a marker: read as one below
            continue;
        }
        if (At(bytes, at) != 0xFF || At(bytes, at + 1) == 0xFF) {
            ++at;  // stray bytes and fill before a marker, which the decoder skips too
            continue;
        }
        const unsigned marker = At(bytes, at + 1);
        if (marker == 0xD9) {
            return true;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;  // markers without a segment
            continue;
        }
        if (at + 3 >= size) {
            return false;
        }
        const qsizetype length = qFromBigEndian<quint16>(bytes.data() + at + 2);
        at += 2 + length;
        inScan = marker == 0xDA;
    }
    return false;
}

// Skips a GIF's data sub-blocks up to their terminator; false when the file ends first.
bool SkipGifBlocks(Bytes bytes, qsizetype& at) {
    for (;;) {
        if (at >= bytes.size()) {
            return false;
        }
        const unsigned length = At(bytes, at);
        at += 1 + length;
        if (length == 0) {
            return true;
        }
    }
}

qsizetype GifColourTableBytes(unsigned flags) {
    return (flags & 0x80) != 0 ? qsizetype(3) << ((flags & 7) + 1) : 0;
}

// A GIF is presented as its first picture: whole when that picture's data ends in the file.
bool GifIsWhole(Bytes bytes) {
    if (bytes.size() < 13) {
        return true;  // the decoder judges
    }
    qsizetype at = 13 + GifColourTableBytes(At(bytes, 10));
    while (at < bytes.size()) {
        const unsigned introducer = At(bytes, at);
        if (introducer == 0x21) {  // an extension: label, then sub-blocks
            at += 2;
            if (!SkipGifBlocks(bytes, at)) {
                return false;
            }
        } else if (introducer == 0x2C) {  // the picture: descriptor, colours, code size, data
            if (at + 10 > bytes.size()) {
                return false;
            }
            at += 10 + GifColourTableBytes(At(bytes, at + 9)) + 1;
            return SkipGifBlocks(bytes, at);
        } else {
            return true;  // the trailer or bytes the decoder judges
        }
    }
    return false;
}

// Walks run-length coded BMP pixels (4 or 8 bits) to their end-of-picture code.
bool BmpRunsAreWhole(Bytes bytes, qsizetype at, bool fourBits) {
    while (at + 1 < bytes.size()) {
        const unsigned count = At(bytes, at);
        const unsigned code = At(bytes, at + 1);
        at += 2;
        if (count > 0 || code == 0) {
            continue;  // a run, or the end of a line
        }
        if (code == 1) {
            return true;  // the end of the picture
        }
        if (code == 2) {
            at += 2;  // a move
            continue;
        }
        const qsizetype literal = fourBits ? (code + 1) / 2 : code;
        at += literal + (literal & 1);  // literal pixels, padded to a 16-bit boundary
    }
    return false;
}

bool BmpIsWhole(Bytes bytes) {
    if (bytes.size() < 30) {
        return true;
    }
    const qint64 offset = qFromLittleEndian<quint32>(bytes.data() + 10);
    const quint32 header = qFromLittleEndian<quint32>(bytes.data() + 14);
    qint64 width = 0;
    qint64 height = 0;
    qint64 depth = 0;
    quint32 compression = 0;
    if (header == 12) {
        width = qFromLittleEndian<quint16>(bytes.data() + 18);
        height = qFromLittleEndian<quint16>(bytes.data() + 20);
        depth = qFromLittleEndian<quint16>(bytes.data() + 24);
    } else if (header >= 40 && bytes.size() >= 34) {
        width = qFromLittleEndian<qint32>(bytes.data() + 18);
        height = qAbs(qint64(qFromLittleEndian<qint32>(bytes.data() + 22)));  // < 0: top down
        depth = qFromLittleEndian<quint16>(bytes.data() + 28);
        compression = qFromLittleEndian<quint32>(bytes.data() + 30);
    } else {
        return true;
    }
    if (width <= 0 || height <= 0 || depth <= 0 || depth > 64) {
        return true;
    }
    switch (compression) {
        case 0:  // plain pixels, with or without bit fields
        case 3:
        case 6: {
            const qint64 row = (width * depth + 31) / 32 * 4;
            // The last row need not carry its padding.
            return bytes.size() >= offset + row * (height - 1) + (width * depth + 7) / 8;
        }
        case 1:
        case 2:
            return BmpRunsAreWhole(bytes, offset, compression == 2);
        default:
            return true;
    }
}

}  // namespace

QString TruncationOf(QByteArrayView bytes, RawFormat format) {
    bool whole = true;
    switch (format) {
        case RawFormat::Jpeg:
            whole = JpegIsWhole(bytes);
            break;
        case RawFormat::Gif:
            whole = GifIsWhole(bytes);
            break;
        case RawFormat::Bmp:
            whole = BmpIsWhole(bytes);
            break;
        default:
            break;  // the other decoders refuse a file cut short
    }
    return whole ? QString()
                 : QStringLiteral(
                       "the file ends before its picture does: the picture was "
                       "decoded only in part, and its outputs are incomplete");
}

}  // namespace corvane
