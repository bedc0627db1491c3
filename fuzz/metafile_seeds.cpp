// Writes the seed corpus of the metafile reader fuzzer: small EMF and WMF files from our writer,
// the same files reduced to their plain EMF records or their own WMF records, hand-built files
// with the raster records our writer never uses, and hand-built files with the vector and
// text records of EMF, EMF+ and WMF, so that the fuzzer starts on every path through the reader.
//
//   metafile_seeds <folder>

#include "metafile/metafile.h"
#include "support/metafile_records.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QtEndian>

#include <cstdio>
#include <initializer_list>

namespace {

using namespace corvane::metafile_test;

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

// A LOGFONTW of `height` naming DejaVu Sans.
QByteArray LogFont(qint32 height) {
    QByteArray font = Ints({height, 0, 300, 0, 700}) + QByteArray::fromHex("0000008600000000");
    const QString face = "DejaVu Sans";
    for (int i = 0; i < 32; ++i) {
        font +=
            Bytes([&](QDataStream& s) { s << quint16(i < face.size() ? face[i].unicode() : 0); });
    }
    return font;
}

// An EMF with the vector and text records: objects, shapes, a path with a clip, text.
QByteArray EmfShapes() {
    const QByteArray header = Written(corvane::WriteEmf, Picture(64, 48, false)).left(108);
    const QByteArray text = Bytes([](QDataStream& s) {
        for (QChar c : QString("Ab\u6279")) {
            s << quint16(c.unicode());
        }
        s << quint16(0);
    });
    const QByteArray records =
        EmfRecord(17, Ints({8})) + EmfRecord(9, Ints({640, 480})) + EmfRecord(11, Ints({64, 48})) +
        EmfRecord(38, Ints({1, 1, 20, 0, 0x0000FF})) + EmfRecord(37, Ints({1})) +
        EmfRecord(39, Ints({2, 2, 0x00FF00, 4})) + EmfRecord(37, Ints({2})) +
        EmfRecord(95, Ints({3, 0, 0, 0, 0, 0x12007, 30, 0, 0xFF0000, 0, 2, 40, 20})) +
        EmfRecord(43, Ints({0, 0, 300, 200})) + EmfRecord(42, Ints({300, 0, 600, 200})) +
        EmfRecord(44, Ints({0, 250, 200, 450, 40, 40})) +
        EmfRecord(47, Ints({300, 250, 500, 450, 500, 350, 400, 250})) + EmfRecord(37, Ints({3})) +
        EmfRecord(59, {}) + EmfRecord(27, Ints({10, 10})) +
        EmfRecord(5, Ints({0, 0, 0, 0, 3, 100, 0, 200, 100, 300, 10})) +
        EmfRecord(6, Ints({0, 0, 0, 0, 1, 300, 300})) + EmfRecord(61, {}) + EmfRecord(60, {}) +
        EmfRecord(63, {}) + EmfRecord(30, Ints({50, 50, 500, 400})) +
        EmfRecord(86, Ints({0, 0, 0, 0, 3}) + Shorts({10, 400, 100, 300, 200, 400})) +
        EmfRecord(91, Ints({0, 0, 0, 0, 2, 6, 3, 3}) +
                          Shorts({400, 10, 450, 60, 400, 60, 500, 10, 550, 60, 500, 60})) +
        EmfRecord(82, Ints({4}) + LogFont(-60)) + EmfRecord(37, Ints({4})) +
        EmfRecord(22, Ints({24})) + EmfRecord(24, Ints({0x804020})) + EmfRecord(18, Ints({1})) +
        EmfRecord(84, Ints({0, 0, 0, 0, 1, 0, 0, 100, 300, 3, 76, 0, 0, 0, 0, 0, 0}) + text) +
        EmfRecord(40, Ints({1})) + EmfRecord(14, Ints({0, 0x10, 0x14}));
    return header + records;
}

// An EMF+ file with brushes, a pen, a path, a font and the drawing records.
QByteArray EmfPlusShapes() {
    const QByteArray header = Written(corvane::WriteEmf, Picture(64, 48, false)).left(108);
    const QByteArray version = Ints({qint32(0xDBC01002)});
    const QByteArray family = Bytes([](QDataStream& s) {
        for (QChar c : QString("DejaVu Sans")) {
            s << quint16(c.unicode());
        }
    });
    const QByteArray records =
        PlusRecord(0x4001, 1, version + Ints({1, 96, 96})) +
        PlusRecord(0x4008, 0x0100, version + Ints({0, qint32(0xFF2040C0)})) +
        PlusRecord(0x4008, 0x0101,
                   version + Ints({4, 0, 0}) + Floats({0, 0, 64, 48}) +
                       Ints({qint32(0xFFFF0000), qint32(0xFF0000FF), 0, 0})) +
        PlusRecord(0x4008, 0x0202,
                   version + Ints({0, 0x20, 0}) + Floats({2}) + Ints({1}) + version +
                       Ints({0, qint32(0xFF000000)})) +
        PlusRecord(0x4008, 0x0303,
                   version + Ints({4, 0}) + Floats({5, 5, 30, 5, 30, 30, 5, 30}) +
                       QByteArray::fromHex("00010181")) +
        PlusRecord(0x4008, 0x0604, version + Floats({12}) + Ints({2, 1, 0, 11}) + family) +
        PlusRecord(0x4009, 0, Ints({qint32(0xFFFFFFFF)})) +
        PlusRecord(0x400A, 0, Ints({0, 1}) + Floats({2, 2, 20, 10})) +
        PlusRecord(0x400E, 0x8000, Ints({qint32(0xFF00FF00)}) + Floats({30, 2, 20, 10})) +
        PlusRecord(0x4014, 0x0003, Ints({1})) + PlusRecord(0x4015, 0x0003, Ints({2})) +
        PlusRecord(0x400D, 0x4002, Ints({3}) + Shorts({0, 40, 30, 45, 60, 40})) +
        PlusRecord(0x4032, 0x0100, Floats({0, 0, 50, 40})) +
        PlusRecord(0x4010, 0x8000, Ints({qint32(0xFF804000)}) + Floats({0, 90, 40, 20, 20, 20})) +
        PlusRecord(0x401C, 0x8004,
                   Ints({qint32(0xFF000000), -1, 2}) + Floats({2, 30, 0, 0}) + family.left(4)) +
        PlusRecord(0x4002, 0, {}) + EmfRecord(14, Ints({0, 0x10, 0x14}));
    return header + records;
}

// A placeable WMF with objects, shapes and text.
QByteArray WmfShapes() {
    const QByteArray placeable =
        QByteArray::fromHex("d7cdc69a000000000000400030006000000000000000");
    const QByteArray body =
        WmfRecord(0x020C, Shorts({48, 64})) + WmfRecord(0x02FA, Shorts({0, 2, 0}) + Ints({0xFF})) +
        WmfRecord(0x012D, Shorts({0})) +
        WmfRecord(0x02FC, Shorts({2}) + Ints({0xFF00}) + Shorts({3})) +
        WmfRecord(0x012D, Shorts({1})) + WmfRecord(0x041B, Shorts({20, 30, 2, 2})) +
        WmfRecord(0x0418, Shorts({40, 60, 20, 30})) +
        WmfRecord(0x0324, Shorts({3, 2, 46, 20, 30, 38, 46})) +
        WmfRecord(0x0538, Shorts({2, 3, 3, 40, 2, 50, 12, 40, 12, 52, 2, 62, 12, 52, 12})) +
        WmfRecord(0x081A, Shorts({40, 62, 30, 62, 45, 62, 30, 50})) +
        WmfRecord(0x0214, Shorts({0, 0})) + WmfRecord(0x0213, Shorts({47, 63})) +
        WmfRecord(0x02FB, Shorts({-12, 0, 0, 0, 400}) +
                              QByteArray::fromHex("00000086000000004172") + QByteArray(22, '\0')) +
        WmfRecord(0x012D, Shorts({2})) +
        WmfRecord(0x0521, Shorts({2}) + QByteArray("Hi") + Shorts({30, 4})) +
        WmfRecord(0x0A32, Shorts({40, 4, 2, 0}) + QByteArray("\xc5\xfa") + Shorts({12, 12})) +
        WmfRecord(0x01F0, Shorts({0})) + WmfRecord(0x0000, {});
    const QByteArray header = Bytes([&](QDataStream& s) {
        s << quint16(1) << quint16(9) << quint16(0x300) << quint32(9 + body.size() / 2)
          << quint16(3) << quint32(64) << quint16(0);
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
        Save(folder + "wmf_blts.wmf", WmfBlts()) && Save(folder + "emf_shapes.emf", EmfShapes()) &&
        Save(folder + "emfplus_shapes.emf", EmfPlusShapes()) &&
        Save(folder + "wmf_shapes.wmf", WmfShapes());
    return saved ? 0 : 1;
}
