// Writing EMF and WMF files that hold one raster image.
//
// The EMF is what a GDI+ recording in EmfPlusDual mode gives for one DrawImage of the whole image
// at (0, 0) and its own size, against a 96 DPI screen:
//
//   EMR_HEADER                       bounds in device pixels, frame in 0.01 mm, both extensions
//   EMR_COMMENT  EmfPlusHeader       dual: the EMF records that follow draw the same
//   EMR_COMMENT  EmfPlusObject ...   the image, PNG-compressed (exact, alpha kept), in pieces
//   EMR_COMMENT  EmfPlusSetInterpolationMode, EmfPlusDrawImage
//   EMR_SAVEDC, EMR_SETSTRETCHBLTMODE, EMR_STRETCHDIBITS, EMR_RESTOREDC
//                                    the same drawing for readers without EMF+: a 24-bit DIB of
//                                    the image over white (GDI's raster calls have no alpha)
//   EMR_COMMENT  EmfPlusEndOfFile
//   EMR_EOF
//
// The WMF is what converting that EMF with the EMF embedded gives: the standard header (no
// placeable header), the EMF in META_ESCAPE comment pieces, MM_ANISOTROPIC with the window at the
// image's pixel size, META_STRETCHDIB with the same 24-bit DIB, META_EOF.
//
// Records are built field by field through little-endian streams. Small records are built in
// memory first so that the header can state the file's size and record count; the DIB rows are
// streamed to the device.

#include "dib.h"
#include "metafile/metafile.h"
#include "records.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <limits>

namespace corvane {
namespace {

using namespace metafile;

// The reference device: a 96 DPI screen whose size in millimetres is exact (1920 px = 20 in =
// 508 mm, 1440 px = 15 in = 381 mm), so that readers that convert through millimetres and readers
// that use the micrometre extension agree to the pixel.
constexpr int kDpi = 96;
constexpr qint32 kDeviceWidth = 1920;
constexpr qint32 kDeviceHeight = 1440;
constexpr qint32 kDeviceWidthMm = 508;
constexpr qint32 kDeviceHeightMm = 381;
constexpr quint16 kImageObjectId = 0;
constexpr qint64 kMaxU32 = std::numeric_limits<quint32>::max();
// WMF coordinates and extents are signed 16-bit.
constexpr int kMaxWmfSide = 32767;

// Records in file order, with their count and the largest one.
struct RecordList {
    QByteArray bytes;
    quint32 count = 0;
    qint64 largest = 0;

    void Add(const QByteArray& record) {
        bytes += record;
        ++count;
        largest = std::max<qint64>(largest, record.size());
    }
};

// 0.01 mm of a length in pixels at 96 DPI, rounded.
qint64 HundredthsOfMm(qint64 pixels) {
    return (pixels * 2540 + kDpi / 2) / kDpi;
}

template <typename Body>
QByteArray EmfRecord(quint32 type, Body&& body) {
    QByteArray bytes = BuildBytes([&](QDataStream& s) {
        s << type << quint32(0);
        body(s);
    });
    PutU32(bytes, 4, quint32(bytes.size()));
    return bytes;
}

template <typename Body>
QByteArray EmfPlusRecord(quint16 type, quint16 flags, Body&& body) {
    QByteArray bytes = BuildBytes([&](QDataStream& s) {
        s << type << flags << quint32(0) << quint32(0);
        body(s);
    });
    PutU32(bytes, 4, quint32(bytes.size()));
    PutU32(bytes, 8, quint32(bytes.size() - 12));
    return bytes;
}

template <typename Body>
QByteArray WmfRecord(quint16 function, Body&& body) {
    QByteArray bytes = BuildBytes([&](QDataStream& s) {
        s << quint32(0) << function;
        body(s);
    });
    if (bytes.size() % 2 != 0) {
        bytes.append('\0');
    }
    PutU32(bytes, 0, quint32(bytes.size() / 2));
    return bytes;
}

void NoFields(QDataStream&) {}

// QDataStream takes int lengths; record lists of a huge image can be longer.
void WriteRaw(QDataStream& s, const char* data, qint64 size) {
    constexpr qint64 kPiece = qint64(1) << 30;
    for (qint64 done = 0; done < size; done += kPiece) {
        s.writeRawData(data + done, int(std::min(kPiece, size - done)));
    }
}

// EMF+ records travel in EMR_COMMENT records marked "EMF+".
QByteArray EmfPlusComment(const QByteArray& plusRecords) {
    return EmfRecord(emr::kComment, [&](QDataStream& s) {
        s << quint32(4 + plusRecords.size()) << kEmfPlusCommentId;
        WriteRaw(s, plusRecords.constData(), plusRecords.size());
    });
}

bool IsOpaque(const QImage& argb) {
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 255) {
                return false;
            }
        }
    }
    return true;
}

QByteArray EncodePng(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    return writer.write(image) ? png : QByteArray();
}

// EmfPlusImage holding an EmfPlusBitmap with PNG data: exact, alpha included, and the form of
// bitmap that EMF+ readers support most widely.
QByteArray ImageObjectData(const QImage& argb) {
    const bool opaque = IsOpaque(argb);
    const QByteArray png = EncodePng(opaque ? argb.convertToFormat(QImage::Format_RGB32) : argb);
    if (png.isEmpty()) {
        return {};
    }
    QByteArray data = BuildBytes([&](QDataStream& s) {
        s << emfplus::kGraphicsVersion << emfplus::kImageBitmap << qint32(argb.width())
          << qint32(argb.height()) << qint32(0)  // no stride: the data is compressed
          << (opaque ? emfplus::kPixelFormat32bppRgb : emfplus::kPixelFormat32bppArgb)
          << emfplus::kBitmapCompressed;
        WriteRaw(s, png.constData(), png.size());
    });
    data.append(QByteArray((4 - data.size() % 4) % 4, '\0'));  // EMF+ records are 32-bit aligned
    return data;
}

// An object larger than GDI+ processes in one record is continued over several. Every piece
// carries the continue flag and the object's total size, as GDI+ itself writes them (the
// published description says the last piece has no flag; readers that follow GDI+ expect this).
void AddImageObject(RecordList& list, const QByteArray& data) {
    const quint16 flags = quint16(emfplus::kObjectTypeImage << 8) | kImageObjectId;
    if (data.size() <= qint64(emfplus::kObjectChunk)) {
        list.Add(EmfPlusComment(EmfPlusRecord(emfplus::kObject, flags, [&](QDataStream& s) {
            WriteRaw(s, data.constData(), data.size());
        })));
        return;
    }
    for (qint64 offset = 0; offset < data.size(); offset += emfplus::kObjectChunk) {
        const qint64 piece = std::min<qint64>(emfplus::kObjectChunk, data.size() - offset);
        list.Add(EmfPlusComment(
            EmfPlusRecord(emfplus::kObject, flags | emfplus::kObjectContinued, [&](QDataStream& s) {
                s << quint32(data.size());
                WriteRaw(s, data.constData() + offset, piece);
            })));
    }
}

QByteArray EmfPlusHeaderComment() {
    return EmfPlusComment(EmfPlusRecord(emfplus::kHeader, emfplus::kHeaderDual, [](QDataStream& s) {
        s << emfplus::kGraphicsVersion << emfplus::kReferenceVideo << qint32(kDpi) << qint32(kDpi);
    }));
}

// The interpolation setting of the recording, then the whole image drawn at (0, 0) at its size.
QByteArray EmfPlusDrawingComment(const QImage& image) {
    const float width = float(image.width());
    const float height = float(image.height());
    return EmfPlusComment(
        EmfPlusRecord(emfplus::kSetInterpolationMode, emfplus::kInterpolationHighQualityBicubic,
                      NoFields) +
        EmfPlusRecord(emfplus::kDrawImage, kImageObjectId, [&](QDataStream& s) {
            s << quint32(0)  // image attributes: the image object itself, so none apply
              << emfplus::kUnitPixel << 0.0f << 0.0f << width << height  // source rectangle
              << 0.0f << 0.0f << width << height;                        // destination
        }));
}

void WriteEmfHeader(QDataStream& s, const QImage& image, quint32 bytes, quint32 records) {
    const qint32 right = image.width() - 1;
    const qint32 bottom = image.height() - 1;
    s << emr::kHeader << quint32(kEmfHeaderFullSize) << qint32(0) << qint32(0) << right
      << bottom  // bounds: device pixels, inclusive
      << qint32(0) << qint32(0) << qint32(HundredthsOfMm(image.width()) - 1)
      << qint32(HundredthsOfMm(image.height()) - 1)  // frame: 0.01 mm, inclusive
      << kEmfSignature << kEmfVersion << bytes << records << quint16(1)
      << quint16(0)                              // handles: only the reserved index 0; reserved
      << quint32(0) << quint32(0) << quint32(0)  // no description, no palette
      << kDeviceWidth << kDeviceHeight << kDeviceWidthMm << kDeviceHeightMm << quint32(0)
      << quint32(0) << quint32(0)  // no pixel format, not OpenGL
      << quint32(kDeviceWidthMm * 1000) << quint32(kDeviceHeightMm * 1000);
}

constexpr qint64 kStretchDiBitsFields = 80;

qint64 StretchDiBitsSize(const QImage& image) {
    return kStretchDiBitsFields + kInfoHeaderSize + Dib24BitsSize(image);
}

bool WriteStretchDiBits(QDataStream& s, const QImage& argb) {
    const qint32 width = argb.width();
    const qint32 height = argb.height();
    s << emr::kStretchDiBits << quint32(StretchDiBitsSize(argb)) << qint32(0) << qint32(0)
      << width - 1 << height - 1                                    // bounds
      << qint32(0) << qint32(0)                                     // destination origin
      << qint32(0) << qint32(0) << width << height                  // source rectangle
      << quint32(kStretchDiBitsFields) << quint32(kInfoHeaderSize)  // BITMAPINFO
      << quint32(kStretchDiBitsFields + kInfoHeaderSize) << quint32(Dib24BitsSize(argb))  // bits
      << kDibRgbColors << kSrcCopy << width << height;  // usage, raster operation, dest size
    WriteDib24Header(s, argb);
    return WriteDib24RowsOnWhite(s, argb);
}

// The small records on either side of EMR_STRETCHDIBITS.
struct EmfLayout {
    RecordList before;
    RecordList after;
    qint64 bytes = 0;
    qint64 records = 0;
};

bool PlanEmf(const QImage& argb, EmfLayout& layout) {
    if (HundredthsOfMm(argb.width()) > std::numeric_limits<qint32>::max() ||
        HundredthsOfMm(argb.height()) > std::numeric_limits<qint32>::max()) {
        return false;
    }
    const QByteArray object = ImageObjectData(argb);
    if (object.isEmpty()) {
        return false;
    }
    layout.before.Add(EmfPlusHeaderComment());
    AddImageObject(layout.before, object);
    layout.before.Add(EmfPlusDrawingComment(argb));
    layout.before.Add(EmfRecord(emr::kSaveDc, NoFields));
    layout.before.Add(
        EmfRecord(emr::kSetStretchBltMode, [](QDataStream& s) { s << kStretchHalftone; }));
    layout.after.Add(EmfRecord(emr::kRestoreDc, [](QDataStream& s) { s << qint32(-1); }));
    layout.after.Add(EmfPlusComment(EmfPlusRecord(emfplus::kEndOfFile, 0, NoFields)));
    layout.after.Add(EmfRecord(emr::kEof, [](QDataStream& s) {
        s << quint32(0) << quint32(16) << quint32(20);  // no palette; this record's size again
    }));
    layout.bytes = kEmfHeaderFullSize + layout.before.bytes.size() + StretchDiBitsSize(argb) +
                   layout.after.bytes.size();
    layout.records = 1 + layout.before.count + 1 + layout.after.count;
    return layout.bytes <= kMaxU32;
}

bool WriteEmfOf(const QImage& argb, QIODevice* device) {
    EmfLayout layout;
    if (!PlanEmf(argb, layout)) {
        return false;
    }
    QDataStream s(device);
    SetUpStream(s);
    WriteEmfHeader(s, argb, quint32(layout.bytes), quint32(layout.records));
    WriteRaw(s, layout.before.bytes.constData(), layout.before.bytes.size());
    if (!WriteStretchDiBits(s, argb)) {
        return false;
    }
    WriteRaw(s, layout.after.bytes.constData(), layout.after.bytes.size());
    return s.status() == QDataStream::Ok;
}

// One's complement of the XOR of all 16-bit words of the EMF.
quint16 EmbeddedEmfChecksum(const QByteArray& emf) {
    quint16 sum = 0;
    const auto* data = reinterpret_cast<const uchar*>(emf.constData());
    for (qint64 i = 0; i + 1 < emf.size(); i += 2) {
        sum ^= quint16(data[i] | data[i + 1] << 8);
    }
    return quint16(~sum);
}

// The EMF in META_ESCAPE MFCOMMENT records of at most 8192 EMF bytes each.
void AddEmbeddedEmf(RecordList& list, const QByteArray& emf) {
    const quint16 checksum = EmbeddedEmfChecksum(emf);
    const quint32 pieces = quint32((emf.size() + kWmfcChunk - 1) / kWmfcChunk);
    for (qint64 offset = 0; offset < emf.size(); offset += kWmfcChunk) {
        const qint64 piece = std::min<qint64>(kWmfcChunk, emf.size() - offset);
        list.Add(WmfRecord(wmr::kEscape, [&](QDataStream& s) {
            s << kEscapeMfComment << quint16(kWmfcHeaderSize + piece) << kWmfcCommentId
              << kWmfcCommentType << kWmfcVersion << checksum << quint32(0)  // flags
              << pieces << quint32(piece) << quint32(emf.size() - offset - piece)
              << quint32(emf.size());
            WriteRaw(s, emf.constData() + offset, piece);
        }));
    }
}

constexpr qint64 kStretchDibFields = 28;

qint64 StretchDibWords(const QImage& image) {
    return (kStretchDibFields + kInfoHeaderSize + Dib24BitsSize(image)) / 2;
}

bool WriteStretchDib(QDataStream& s, const QImage& argb) {
    const qint16 width = qint16(argb.width());
    const qint16 height = qint16(argb.height());
    s << quint32(StretchDibWords(argb)) << wmr::kStretchDib << kSrcCopy << quint16(kDibRgbColors)
      << height << width << qint16(0) << qint16(0)   // source rectangle, y before x
      << height << width << qint16(0) << qint16(0);  // destination rectangle
    WriteDib24Header(s, argb);
    return WriteDib24RowsOnWhite(s, argb);
}

}  // namespace

bool WriteEmf(const QImage& image, QIODevice* device) {
    if (image.isNull() || device == nullptr) {
        return false;
    }
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    return !argb.isNull() && WriteEmfOf(argb, device);
}

bool WriteWmf(const QImage& image, QIODevice* device) {
    if (image.isNull() || device == nullptr || image.width() > kMaxWmfSide ||
        image.height() > kMaxWmfSide) {
        return false;
    }
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray emf;
    QBuffer emfBuffer(&emf);
    if (argb.isNull() || !emfBuffer.open(QIODevice::WriteOnly) || !WriteEmfOf(argb, &emfBuffer)) {
        return false;
    }
    RecordList before;
    AddEmbeddedEmf(before, emf);
    emf.clear();
    before.Add(
        WmfRecord(wmr::kSetMapMode, [](QDataStream& s) { s << quint16(kMapModeAnisotropic); }));
    before.Add(WmfRecord(wmr::kSetWindowOrg, [](QDataStream& s) { s << qint16(0) << qint16(0); }));
    before.Add(WmfRecord(wmr::kSetWindowExt, [&](QDataStream& s) {
        s << qint16(argb.height()) << qint16(argb.width());
    }));
    before.Add(
        WmfRecord(wmr::kSetStretchBltMode, [](QDataStream& s) { s << quint16(kStretchHalftone); }));
    const QByteArray eof = WmfRecord(wmr::kEof, NoFields);

    // Sizes are counted in 16-bit words in 32-bit fields.
    const qint64 dibWords = StretchDibWords(argb);
    const qint64 totalWords =
        kWmfHeaderSize / 2 + before.bytes.size() / 2 + dibWords + eof.size() / 2;
    const qint64 largestWords = std::max(dibWords, before.largest / 2);
    if (totalWords > kMaxU32) {
        return false;
    }
    QDataStream s(device);
    SetUpStream(s);
    // mtType 1: readers recognise standard WMF files by their first bytes 01 00 09 00 (with type
    // 2, LibreOffice does not take the file for a WMF), and GDI writes WMF files so.
    s << kWmfMemoryType << quint16(kWmfHeaderSize / 2) << kWmfVersion3 << quint32(totalWords)
      << quint16(0)  // no objects are created
      << quint32(largestWords) << quint16(0);
    WriteRaw(s, before.bytes.constData(), before.bytes.size());
    if (!WriteStretchDib(s, argb)) {
        return false;
    }
    WriteRaw(s, eof.constData(), eof.size());
    return s.status() == QDataStream::Ok;
}

}  // namespace corvane
