// Writes the seed corpus of the metafile reader fuzzer: small EMF and WMF files from our writer,
// the same files reduced to their plain EMF records or their own WMF records, and two hand-built
// files with the raster records our writer never uses, so that the fuzzer starts on every path
// through the reader.
//
//   metafile_seeds <folder>

#include "imaging/metafile.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QtEndian>

#include <cstdio>

namespace {

using Writer = bool (*)(const QImage&, QIODevice*);

QImage Picture(int width, int height, bool alpha) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgba(x * 50, y * 60, 128, alpha ? 40 + x * 30 : 255));
        }
    }
    return image;
}

QByteArray Written(Writer write, const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    write(image, &buffer);
    return bytes;
}

quint32 U32(const QByteArray& b, qint64 at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// The EMF without its comment records (the EMF+ records), header counts left as they were.
QByteArray WithoutComments(const QByteArray& emf) {
    QByteArray out;
    for (qint64 at = 0; at + 8 <= emf.size() && U32(emf, at + 4) >= 8;) {
        const quint32 size = U32(emf, at + 4);
        if (U32(emf, at) != 70) {
            out += emf.mid(at, size);
        }
        at += size;
    }
    return out;
}

// The WMF without its escape records (the embedded EMF).
QByteArray WithoutEscapes(const QByteArray& wmf) {
    QByteArray out = wmf.left(18);
    for (qint64 at = 18; at + 6 <= wmf.size() && U32(wmf, at) >= 3;) {
        const qint64 size = qint64(U32(wmf, at)) * 2;
        if (qFromLittleEndian<quint16>(wmf.constData() + at + 4) != 0x0626) {
            out += wmf.mid(at, size);
        }
        at += size;
    }
    return out;
}

template <typename Body>
QByteArray Bytes(Body&& body) {
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    body(s);
    return bytes;
}

// A 4 x 4 DIB, header with colour table, then bits: 8-bit with four colours (RLE8 when `rle`), or
// 32-bit.
struct Dib {
    QByteArray info;
    QByteArray bits;
};

Dib MakeDib(int bitCount, bool rle) {
    Dib dib;
    dib.bits = rle ? QByteArray::fromHex("0401000200010203000000000401000004020001")
                   : QByteArray(4 * 4 * bitCount / 8, '\x5a');
    dib.info = Bytes([&](QDataStream& s) {
        s << quint32(40) << qint32(4) << qint32(4) << quint16(1) << quint16(bitCount)
          << quint32(rle ? 1 : 0) << quint32(dib.bits.size()) << qint32(0) << qint32(0)
          << quint32(bitCount == 8 ? 4 : 0) << quint32(0);
        if (bitCount == 8) {
            s << quint32(0xFF0000) << quint32(0x00FF00) << quint32(0x0000FF) << quint32(0);
        }
    });
    return dib;
}

QByteArray EmfRecord(quint32 type, const QByteArray& fields) {
    return Bytes([&](QDataStream& s) { s << type << quint32(8 + fields.size()); }) + fields;
}

// EMR_BITBLT (100 bytes of fields) or EMR_ALPHABLEND (108), with the bitmap after the fields.
QByteArray EmfBlt(quint32 type, quint32 rop, const Dib& dib) {
    const quint32 fields = type == 114 ? 108 : 100;
    return EmfRecord(type, Bytes([&](QDataStream& s) {
                               s << qint32(0) << qint32(0) << qint32(3) << qint32(3)  // bounds
                                 << qint32(0) << qint32(0) << qint32(4) << qint32(4) << rop
                                 << qint32(0) << qint32(0);
                               for (int i = 0; i < 6; ++i) {
                                   s << quint32(i == 0 || i == 3 ? 0x3F800000 : 0);  // identity
                               }
                               s << quint32(0) << quint32(0) << fields << quint32(dib.info.size())
                                 << quint32(fields + dib.info.size()) << quint32(dib.bits.size());
                               if (type == 114) {
                                   s << qint32(4) << qint32(4);
                               }
                           }) + dib.info +
                               dib.bits);
}

// EMR_SETDIBITSTODEVICE of two scan lines.
QByteArray EmfScanLines(const Dib& dib) {
    return EmfRecord(80, Bytes([&](QDataStream& s) {
                             s << qint32(0) << qint32(0) << qint32(3) << qint32(3) << qint32(0)
                               << qint32(0) << qint32(0) << qint32(0) << qint32(4) << qint32(2)
                               << quint32(76) << quint32(dib.info.size())
                               << quint32(76 + dib.info.size()) << quint32(8) << quint32(0)
                               << quint32(1) << quint32(2);
                         }) + dib.info +
                             dib.bits.left(8));
}

QByteArray EmfBlts() {
    const QByteArray header = Written(corvane::WriteEmf, Picture(4, 4, false)).left(108);
    return header + EmfBlt(76, 0x00CC0020, MakeDib(8, false)) +
           EmfBlt(114, 0x01FF0000, MakeDib(32, false)) + EmfScanLines(MakeDib(8, false)) +
           EmfRecord(14, QByteArray::fromHex("000000001000000014000000"));
}

QByteArray WmfRecord(quint16 function, const QByteArray& fields) {
    return Bytes([&](QDataStream& s) { s << quint32(3 + fields.size() / 2) << function; }) + fields;
}

// A placeable WMF with META_DIBSTRETCHBLT (RLE8), META_BITBLT (monochrome Bitmap16) and
// META_SETDIBTODEV.
QByteArray WmfBlts() {
    const QByteArray placeable =
        QByteArray::fromHex("d7cdc69a000000000000080008006000000000000000");
    const Dib rle = MakeDib(8, true);
    const Dib plain = MakeDib(8, false);
    const QByteArray body =
        WmfRecord(0x020C, Bytes([](QDataStream& s) { s << qint16(8) << qint16(8); })) +
        WmfRecord(0x0B41, Bytes([](QDataStream& s) {
                              s << quint32(0x00CC0020) << qint16(4) << qint16(4) << qint16(0)
                                << qint16(0) << qint16(8) << qint16(8) << qint16(0) << qint16(0);
                          }) + rle.info +
                              rle.bits) +
        WmfRecord(0x0922, Bytes([](QDataStream& s) {
                      s << quint32(0x008800C6) << qint16(0) << qint16(0) << qint16(4) << qint16(4)
                        << qint16(2) << qint16(2)                             // source, size, dest
                        << quint16(0) << qint16(4) << qint16(4) << qint16(2)  // Bitmap16
                        << quint8(1) << quint8(1) << quint64(0x000A000500090006);
                  })) +
        WmfRecord(0x0D33, Bytes([](QDataStream& s) {
                              s << quint16(0) << quint16(4) << quint16(0) << qint16(0) << qint16(0)
                                << qint16(4) << qint16(4) << qint16(4) << qint16(4);
                          }) + plain.info +
                              plain.bits) +
        WmfRecord(0x0000, {});
    const QByteArray header = Bytes([&](QDataStream& s) {
        s << quint16(1) << quint16(9) << quint16(0x300) << quint32(9 + body.size() / 2)
          << quint16(0) << quint32(64) << quint16(0);
    });
    return placeable + header + body;
}

bool Save(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: metafile_seeds <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + "/";
    const QByteArray emf = Written(corvane::WriteEmf, Picture(4, 3, false));
    const QByteArray wmf = Written(corvane::WriteWmf, Picture(3, 2, true));
    const bool saved =
        Save(folder + "emf_opaque.emf", emf) &&
        Save(folder + "emf_alpha.emf", Written(corvane::WriteEmf, Picture(5, 4, true))) &&
        Save(folder + "emf_plain.emf", WithoutComments(emf)) &&
        Save(folder + "emf_blts.emf", EmfBlts()) && Save(folder + "wmf_alpha.wmf", wmf) &&
        Save(folder + "wmf_plain.wmf", WithoutEscapes(wmf)) &&
        Save(folder + "wmf_blts.wmf", WmfBlts());
    return saved ? 0 : 1;
}
