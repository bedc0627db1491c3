#pragma once
// Private to the metafile writer and reader: the record numbers and constants of EMF, EMF+ and
// WMF that we use, a bounds-checked little-endian reader, little-endian record building, and
// DIB (device-independent bitmap) encoding and decoding.
//
// Every number in a metafile is little-endian whatever the host; records are written field by
// field through QDataStream in little-endian order and read through LeReader, never by casting
// bytes to structs.

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QImage>
#include <QtGlobal>

namespace corvane::metafile {

// --- EMF (record types and constants) ----------------------------------------------------------
namespace emr {
constexpr quint32 kHeader = 1;
constexpr quint32 kSetWindowExtEx = 9;
constexpr quint32 kSetWindowOrgEx = 10;
constexpr quint32 kSetViewportExtEx = 11;
constexpr quint32 kSetViewportOrgEx = 12;
constexpr quint32 kEof = 14;
constexpr quint32 kSetMapMode = 17;
constexpr quint32 kSetStretchBltMode = 21;
constexpr quint32 kSaveDc = 33;
constexpr quint32 kRestoreDc = 34;
constexpr quint32 kSetWorldTransform = 35;
constexpr quint32 kModifyWorldTransform = 36;
constexpr quint32 kComment = 70;
constexpr quint32 kBitBlt = 76;
constexpr quint32 kStretchBlt = 77;
constexpr quint32 kSetDiBitsToDevice = 80;
constexpr quint32 kStretchDiBits = 81;
constexpr quint32 kAlphaBlend = 114;
}  // namespace emr

constexpr quint32 kEmfSignature = 0x464D4520;  // " EMF"
constexpr quint32 kEmfVersion = 0x00010000;
constexpr quint32 kEmfPlusCommentId = 0x2B464D45;  // "EMF+"
constexpr qint64 kEmfHeaderMinSize = 88;           // up to szlMillimeters
constexpr qint64 kEmfHeaderFullSize = 108;         // with both header extensions

// --- EMF+ --------------------------------------------------------------------------------------
namespace emfplus {
constexpr quint16 kHeader = 0x4001;
constexpr quint16 kEndOfFile = 0x4002;
constexpr quint16 kGetDc = 0x4004;
constexpr quint16 kObject = 0x4008;
constexpr quint16 kDrawImage = 0x401A;
constexpr quint16 kDrawImagePoints = 0x401B;
constexpr quint16 kSetInterpolationMode = 0x4021;
constexpr quint16 kSetWorldTransform = 0x402A;
constexpr quint16 kResetWorldTransform = 0x402B;
constexpr quint16 kMultiplyWorldTransform = 0x402C;
constexpr quint16 kTranslateWorldTransform = 0x402D;
constexpr quint16 kScaleWorldTransform = 0x402E;
constexpr quint16 kSetPageTransform = 0x4030;

constexpr quint32 kGraphicsVersion = 0xDBC01002;  // metafile signature 0xDBC01, GDI+ 1.1
constexpr quint16 kHeaderDual = 0x0001;           // EMF records equivalent to the EMF+ ones follow
constexpr quint32 kReferenceVideo = 0x00000001;   // recorded against a video display
constexpr quint16 kObjectContinued = 0x8000;
constexpr quint16 kObjectTypeImage = 5;
constexpr quint32 kImageBitmap = 1;
constexpr quint32 kBitmapPixels = 0;
constexpr quint32 kBitmapCompressed = 1;
constexpr quint16 kCompressedRect = 0x4000;  // DrawImage(Points): 16-bit coordinates
constexpr quint16 kRelativePoints = 0x0800;
constexpr qint32 kUnitPixel = 2;
constexpr quint16 kInterpolationHighQualityBicubic = 7;
// GDI+ does not process object records longer than this; larger objects are continued.
constexpr quint32 kObjectChunk = 65020;

constexpr quint32 kPixelFormat32bppRgb = 0x00022009;
constexpr quint32 kPixelFormat32bppArgb = 0x0026200A;
constexpr quint32 kPixelFormat32bppPargb = 0x000E200B;
constexpr quint32 kPixelFormat24bppRgb = 0x00021808;
}  // namespace emfplus

// --- WMF ---------------------------------------------------------------------------------------
namespace wmr {
constexpr quint16 kEof = 0x0000;
constexpr quint16 kSaveDc = 0x001E;
constexpr quint16 kSetMapMode = 0x0103;
constexpr quint16 kSetStretchBltMode = 0x0107;
constexpr quint16 kRestoreDc = 0x0127;
constexpr quint16 kSetWindowOrg = 0x020B;
constexpr quint16 kSetWindowExt = 0x020C;
constexpr quint16 kEscape = 0x0626;
constexpr quint16 kBitBlt = 0x0922;
constexpr quint16 kDibBitBlt = 0x0940;
constexpr quint16 kStretchBlt = 0x0B23;
constexpr quint16 kDibStretchBlt = 0x0B41;
constexpr quint16 kSetDibToDev = 0x0D33;
constexpr quint16 kStretchDib = 0x0F43;
}  // namespace wmr

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr qint64 kPlaceableSize = 22;
constexpr qint64 kWmfHeaderSize = 18;  // 9 words
constexpr quint16 kWmfMemoryType = 1;
constexpr quint16 kWmfDiskType = 2;
constexpr quint16 kWmfVersion1 = 0x0100;
constexpr quint16 kWmfVersion3 = 0x0300;  // with DIB records
constexpr quint16 kEscapeMfComment = 0x000F;
constexpr quint32 kWmfcCommentId = 0x43464D57;  // "WMFC": a piece of an embedded EMF
constexpr quint32 kWmfcCommentType = 1;
constexpr quint32 kWmfcVersion = 0x00010000;
constexpr qint64 kWmfcHeaderSize = 34;  // escape data before the EMF bytes
constexpr quint32 kWmfcChunk = 8192;    // largest EMF piece per comment

// --- GDI values --------------------------------------------------------------------------------
constexpr quint32 kSrcCopy = 0x00CC0020;
constexpr quint32 kDibRgbColors = 0;
constexpr quint32 kStretchHalftone = 4;
constexpr int kMapModeText = 1;
constexpr int kMapModeIsotropic = 7;
constexpr int kMapModeAnisotropic = 8;

// --- little-endian reading ---------------------------------------------------------------------

// A cursor over bytes that never reads outside them. A read past the end returns 0 and marks the
// reader failed; it stays failed, so a parse can read all its fields and test Ok() once.
class LeReader {
public:
    LeReader() = default;
    LeReader(const char* data, qint64 size) : data_(data), size_(data ? size : 0) {}
    explicit LeReader(const QByteArray& bytes) : LeReader(bytes.constData(), bytes.size()) {}

    bool Ok() const { return ok_; }
    qint64 Size() const { return size_; }
    qint64 Pos() const { return pos_; }
    qint64 Remaining() const { return size_ - pos_; }
    const char* Data() const { return data_; }
    const char* Here() const { return data_ + pos_; }

    quint8 U8();
    quint16 U16();
    qint16 I16() { return qint16(U16()); }
    quint32 U32();
    qint32 I32() { return qint32(U32()); }
    float F32();
    void Skip(qint64 count);
    void Seek(qint64 pos);
    // The bytes [offset, offset + length) of this reader as a new reader at its start; a failed,
    // empty reader when they are not all inside.
    LeReader Slice(qint64 offset, qint64 length) const;
    // The rest of the bytes from the cursor.
    LeReader Rest() const { return Slice(pos_, Remaining()); }

private:
    bool Has(qint64 count);

    const char* data_ = nullptr;
    qint64 size_ = 0;
    qint64 pos_ = 0;
    bool ok_ = true;
};

// --- little-endian writing ---------------------------------------------------------------------

// Makes a stream write little-endian integers and 32-bit floats, as every metafile field is.
void SetUpStream(QDataStream& stream);
// Overwrites four bytes of `bytes` at `offset` with `value`, little-endian (record sizes that are
// known only after the body is written).
void PutU32(QByteArray& bytes, qint64 offset, quint32 value);
void PutU16(QByteArray& bytes, qint64 offset, quint16 value);

// Builds a record in memory: `body` writes its fields into a little-endian stream; the caller
// fixes up the size field.
template <typename Body>
QByteArray BuildBytes(Body&& body) {
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        SetUpStream(stream);
        body(stream);
    }
    return bytes;
}

// --- DIBs --------------------------------------------------------------------------------------

constexpr qint64 kInfoHeaderSize = 40;  // BITMAPINFOHEADER

// Bytes per row of a DIB: rows are padded to 32 bits. -1 when it does not fit in 31 bits.
qint64 DibStride(qint64 width, int bitCount);

// The DIB the writer stores for GDI readers: a bottom-up 24-bit BI_RGB DIB. GDI's raster calls
// ignore alpha, so the picture is composited over white, which is how a viewer shows it on a page.
qint64 Dib24BitsSize(const QImage& image);
void WriteDib24Header(QDataStream& out, const QImage& image);
// Writes the rows of `image` (Format_ARGB32) bottom-up. False when the stream failed.
bool WriteDib24RowsOnWhite(QDataStream& out, const QImage& image);

// How a decoded DIB's fourth byte is taken: GDI's copying calls ignore it; AlphaBlend with
// AC_SRC_ALPHA takes it as premultiplied alpha.
enum class DibAlpha { Ignore, Premultiplied };

struct DecodedDib {
    QImage image;          // RGB32, or ARGB32_Premultiplied for RLE (skipped pixels stay clear)
                           // and alpha DIBs; null when the DIB was refused
    bool bottomUp = true;  // rows were stored bottom-up (the origin of DIB source rectangles)
};

// Decodes a DIB whose header and colour table (`info`) and pixel bits (`bits`) are given
// separately, as EMF records give them. Header sizes 12, 40, 52, 56, 108 and 124; 1, 4, 8, 16, 24
// and 32 bits; BI_RGB, BI_BITFIELDS, BI_RLE8, BI_RLE4 and embedded JPEG or PNG. Refused (null
// image): a colour-index table (DIB_PAL_COLORS), anything inconsistent or outside the bytes, and
// more than `maxPixels` pixels.
DecodedDib DecodeDib(LeReader info, LeReader bits, quint32 usage, qint64 maxPixels,
                     DibAlpha alpha = DibAlpha::Ignore);
// Decodes a packed DIB (header, colour table and bits in one block, as in WMF records).
DecodedDib DecodePackedDib(LeReader packed, quint32 usage, qint64 maxPixels);
// Splits a packed DIB into its header with colour table and its bits. False when the header is
// not one DecodeDib reads.
bool SplitPackedDib(LeReader packed, LeReader& info, LeReader& bits);
// Decodes the first `scans` scan lines of a DIB as a DIB of that height (SetDIBitsToDevice
// stores only the scan lines it draws); all of it when `scans` covers its height.
DecodedDib DecodeDibScans(LeReader info, LeReader bits, quint32 usage, qint64 scans,
                          qint64 maxPixels);

// Decodes a PNG, JPEG or other Qt-readable picture held in memory, refusing one that declares more
// than `maxPixels` pixels before any pixel is decoded.
QImage DecodeCompressed(LeReader bytes, qint64 maxPixels);

}  // namespace corvane::metafile
