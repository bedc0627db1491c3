#pragma once
// Private to the metafile writer and reader: the record numbers and constants of EMF, EMF+ and
// WMF, named as their format documents name them, a bounds-checked little-endian reader and
// little-endian record building.
//
// Every number in a metafile is little-endian whatever the host; records are written field by
// field through QDataStream in little-endian order and read through LeReader, never by casting
// bytes to structs.

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QtGlobal>

namespace corvane::metafile {

// --- EMF (record types and constants) ----------------------------------------------------------
// Record types as the EMF format document numbers them (EMR_POLYBEZIER is kPolyBezier, ...).
namespace emr {
constexpr quint32 kHeader = 1;
constexpr quint32 kPolyBezier = 2;
constexpr quint32 kPolygon = 3;
constexpr quint32 kPolyline = 4;
constexpr quint32 kPolyBezierTo = 5;
constexpr quint32 kPolylineTo = 6;
constexpr quint32 kPolyPolyline = 7;
constexpr quint32 kPolyPolygon = 8;
constexpr quint32 kSetWindowExtEx = 9;
constexpr quint32 kSetWindowOrgEx = 10;
constexpr quint32 kSetViewportExtEx = 11;
constexpr quint32 kSetViewportOrgEx = 12;
constexpr quint32 kEof = 14;
constexpr quint32 kSetPixelV = 15;
constexpr quint32 kSetMapMode = 17;
constexpr quint32 kSetBkMode = 18;
constexpr quint32 kSetPolyFillMode = 19;
constexpr quint32 kSetRop2 = 20;
constexpr quint32 kSetStretchBltMode = 21;
constexpr quint32 kSetTextAlign = 22;
constexpr quint32 kSetTextColor = 24;
constexpr quint32 kSetBkColor = 25;
constexpr quint32 kOffsetClipRgn = 26;
constexpr quint32 kMoveToEx = 27;
constexpr quint32 kExcludeClipRect = 29;
constexpr quint32 kIntersectClipRect = 30;
constexpr quint32 kScaleViewportExtEx = 31;
constexpr quint32 kScaleWindowExtEx = 32;
constexpr quint32 kSaveDc = 33;
constexpr quint32 kRestoreDc = 34;
constexpr quint32 kSetWorldTransform = 35;
constexpr quint32 kModifyWorldTransform = 36;
constexpr quint32 kSelectObject = 37;
constexpr quint32 kCreatePen = 38;
constexpr quint32 kCreateBrushIndirect = 39;
constexpr quint32 kDeleteObject = 40;
constexpr quint32 kAngleArc = 41;
constexpr quint32 kEllipse = 42;
constexpr quint32 kRectangle = 43;
constexpr quint32 kRoundRect = 44;
constexpr quint32 kArc = 45;
constexpr quint32 kChord = 46;
constexpr quint32 kPie = 47;
constexpr quint32 kCreatePalette = 49;
constexpr quint32 kLineTo = 54;
constexpr quint32 kArcTo = 55;
constexpr quint32 kPolyDraw = 56;
constexpr quint32 kSetArcDirection = 57;
constexpr quint32 kSetMiterLimit = 58;
constexpr quint32 kBeginPath = 59;
constexpr quint32 kEndPath = 60;
constexpr quint32 kCloseFigure = 61;
constexpr quint32 kFillPath = 62;
constexpr quint32 kStrokeAndFillPath = 63;
constexpr quint32 kStrokePath = 64;
constexpr quint32 kFlattenPath = 65;
constexpr quint32 kWidenPath = 66;
constexpr quint32 kSelectClipPath = 67;
constexpr quint32 kAbortPath = 68;
constexpr quint32 kComment = 70;
constexpr quint32 kFillRgn = 71;
constexpr quint32 kFrameRgn = 72;
constexpr quint32 kInvertRgn = 73;
constexpr quint32 kPaintRgn = 74;
constexpr quint32 kExtSelectClipRgn = 75;
constexpr quint32 kBitBlt = 76;
constexpr quint32 kStretchBlt = 77;
constexpr quint32 kSetDiBitsToDevice = 80;
constexpr quint32 kStretchDiBits = 81;
constexpr quint32 kExtCreateFontIndirectW = 82;
constexpr quint32 kExtTextOutA = 83;
constexpr quint32 kExtTextOutW = 84;
constexpr quint32 kPolyBezier16 = 85;
constexpr quint32 kPolygon16 = 86;
constexpr quint32 kPolyline16 = 87;
constexpr quint32 kPolyBezierTo16 = 88;
constexpr quint32 kPolylineTo16 = 89;
constexpr quint32 kPolyPolyline16 = 90;
constexpr quint32 kPolyPolygon16 = 91;
constexpr quint32 kPolyDraw16 = 92;
constexpr quint32 kCreateMonoBrush = 93;
constexpr quint32 kCreateDibPatternBrushPt = 94;
constexpr quint32 kExtCreatePen = 95;
constexpr quint32 kAlphaBlend = 114;
}  // namespace emr

constexpr quint32 kEmfSignature = 0x464D4520;  // " EMF"
constexpr quint32 kEmfVersion = 0x00010000;
constexpr quint32 kEmfPlusCommentId = 0x2B464D45;  // "EMF+"
constexpr qint64 kEmfHeaderMinSize = 88;           // up to szlMillimeters
constexpr qint64 kEmfHeaderFullSize = 108;         // with both header extensions

// --- EMF+ --------------------------------------------------------------------------------------
// Record types as the EMF+ format document numbers them (EmfPlusHeader is kHeader, ...).
namespace emfplus {
constexpr quint16 kHeader = 0x4001;
constexpr quint16 kEndOfFile = 0x4002;
constexpr quint16 kGetDc = 0x4004;
constexpr quint16 kObject = 0x4008;
constexpr quint16 kClear = 0x4009;
constexpr quint16 kFillRects = 0x400A;
constexpr quint16 kDrawRects = 0x400B;
constexpr quint16 kFillPolygon = 0x400C;
constexpr quint16 kDrawLines = 0x400D;
constexpr quint16 kFillEllipse = 0x400E;
constexpr quint16 kDrawEllipse = 0x400F;
constexpr quint16 kFillPie = 0x4010;
constexpr quint16 kDrawPie = 0x4011;
constexpr quint16 kDrawArc = 0x4012;
constexpr quint16 kFillRegion = 0x4013;
constexpr quint16 kFillPath = 0x4014;
constexpr quint16 kDrawPath = 0x4015;
constexpr quint16 kDrawBeziers = 0x4019;
constexpr quint16 kDrawImage = 0x401A;
constexpr quint16 kDrawImagePoints = 0x401B;
constexpr quint16 kDrawString = 0x401C;
constexpr quint16 kSetAntiAliasMode = 0x401E;
constexpr quint16 kSetInterpolationMode = 0x4021;
constexpr quint16 kSave = 0x4025;
constexpr quint16 kRestore = 0x4026;
constexpr quint16 kBeginContainer = 0x4027;
constexpr quint16 kBeginContainerNoParams = 0x4028;
constexpr quint16 kEndContainer = 0x4029;
constexpr quint16 kSetWorldTransform = 0x402A;
constexpr quint16 kResetWorldTransform = 0x402B;
constexpr quint16 kMultiplyWorldTransform = 0x402C;
constexpr quint16 kTranslateWorldTransform = 0x402D;
constexpr quint16 kScaleWorldTransform = 0x402E;
constexpr quint16 kRotateWorldTransform = 0x402F;
constexpr quint16 kSetPageTransform = 0x4030;
constexpr quint16 kResetClip = 0x4031;
constexpr quint16 kSetClipRect = 0x4032;
constexpr quint16 kSetClipPath = 0x4033;
constexpr quint16 kSetClipRegion = 0x4034;
constexpr quint16 kOffsetClip = 0x4035;
constexpr quint16 kDrawDriverString = 0x4036;

constexpr quint32 kGraphicsVersion = 0xDBC01002;  // metafile signature 0xDBC01, GDI+ 1.1
constexpr quint16 kHeaderDual = 0x0001;           // EMF records equivalent to the EMF+ ones follow
constexpr quint32 kReferenceVideo = 0x00000001;   // recorded against a video display
constexpr quint16 kObjectContinued = 0x8000;
constexpr quint16 kCompressedRect = 0x4000;  // DrawImage(Points), Fill/DrawRects, ...: 16-bit
constexpr quint16 kRelativePoints = 0x0800;
constexpr quint16 kSolidColour = 0x8000;   // Fill* records: the brush is an ARGB colour
constexpr quint16 kPostMultiply = 0x2000;  // transform records: the matrix applies after
// The object types.
constexpr quint16 kObjectTypeBrush = 1;
constexpr quint16 kObjectTypePen = 2;
constexpr quint16 kObjectTypePath = 3;
constexpr quint16 kObjectTypeRegion = 4;
constexpr quint16 kObjectTypeImage = 5;
constexpr quint16 kObjectTypeFont = 6;
constexpr quint16 kObjectTypeStringFormat = 7;
constexpr quint32 kImageBitmap = 1;
constexpr quint32 kBitmapPixels = 0;
constexpr quint32 kBitmapCompressed = 1;
// UnitType: what page units and font sizes are measured in.
constexpr int kUnitWorld = 0;
constexpr int kUnitDisplay = 1;
constexpr int kUnitPixel = 2;
constexpr int kUnitPoint = 3;
constexpr int kUnitInch = 4;
constexpr int kUnitDocument = 5;  // 1/300 inch
constexpr int kUnitMillimeter = 6;
constexpr quint16 kInterpolationHighQualityBicubic = 7;
// GDI+ does not process object records longer than this; larger objects are continued.
constexpr quint32 kObjectChunk = 65020;

constexpr quint32 kPixelFormat32bppRgb = 0x00022009;
constexpr quint32 kPixelFormat32bppArgb = 0x0026200A;
constexpr quint32 kPixelFormat32bppPargb = 0x000E200B;
constexpr quint32 kPixelFormat24bppRgb = 0x00021808;
}  // namespace emfplus

// --- WMF ---------------------------------------------------------------------------------------
// Record functions as the WMF format document numbers them (META_POLYGON is kPolygon, ...).
namespace wmr {
constexpr quint16 kEof = 0x0000;
constexpr quint16 kSaveDc = 0x001E;
constexpr quint16 kSetBkMode = 0x0102;
constexpr quint16 kSetMapMode = 0x0103;
constexpr quint16 kSetRop2 = 0x0104;
constexpr quint16 kSetPolyFillMode = 0x0106;
constexpr quint16 kSetStretchBltMode = 0x0107;
constexpr quint16 kRestoreDc = 0x0127;
constexpr quint16 kSelectClipRegion = 0x012C;
constexpr quint16 kSelectObject = 0x012D;
constexpr quint16 kSetTextAlign = 0x012E;
constexpr quint16 kDibCreatePatternBrush = 0x0142;
constexpr quint16 kDeleteObject = 0x01F0;
constexpr quint16 kCreatePalette = 0x00F7;
constexpr quint16 kCreatePatternBrush = 0x01F9;
constexpr quint16 kSetBkColor = 0x0201;
constexpr quint16 kSetTextColor = 0x0209;
constexpr quint16 kSetWindowOrg = 0x020B;
constexpr quint16 kSetWindowExt = 0x020C;
constexpr quint16 kSetViewportOrg = 0x020D;
constexpr quint16 kSetViewportExt = 0x020E;
constexpr quint16 kOffsetWindowOrg = 0x020F;
constexpr quint16 kOffsetViewportOrg = 0x0211;
constexpr quint16 kLineTo = 0x0213;
constexpr quint16 kMoveTo = 0x0214;
constexpr quint16 kOffsetClipRgn = 0x0220;
constexpr quint16 kFillRegion = 0x0228;
constexpr quint16 kCreatePenIndirect = 0x02FA;
constexpr quint16 kCreateFontIndirect = 0x02FB;
constexpr quint16 kCreateBrushIndirect = 0x02FC;
constexpr quint16 kPolygon = 0x0324;
constexpr quint16 kPolyline = 0x0325;
constexpr quint16 kScaleWindowExt = 0x0410;
constexpr quint16 kScaleViewportExt = 0x0412;
constexpr quint16 kExcludeClipRect = 0x0415;
constexpr quint16 kIntersectClipRect = 0x0416;
constexpr quint16 kEllipse = 0x0418;
constexpr quint16 kRectangle = 0x041B;
constexpr quint16 kSetPixel = 0x041F;
constexpr quint16 kFrameRegion = 0x0429;
constexpr quint16 kTextOut = 0x0521;
constexpr quint16 kPolyPolygon = 0x0538;
constexpr quint16 kEscape = 0x0626;
constexpr quint16 kRoundRect = 0x061C;
constexpr quint16 kPatBlt = 0x061D;
constexpr quint16 kCreateRegion = 0x06FF;
constexpr quint16 kArc = 0x0817;
constexpr quint16 kPie = 0x081A;
constexpr quint16 kChord = 0x0830;
constexpr quint16 kBitBlt = 0x0922;
constexpr quint16 kDibBitBlt = 0x0940;
constexpr quint16 kExtTextOut = 0x0A32;
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
// Ternary raster operations.
constexpr quint32 kSrcCopy = 0x00CC0020;
constexpr quint32 kSrcPaint = 0x00EE0086;
constexpr quint32 kSrcAnd = 0x008800C6;
constexpr quint32 kSrcInvert = 0x00660046;
constexpr quint32 kSrcErase = 0x00440328;
constexpr quint32 kNotSrcCopy = 0x00330008;
constexpr quint32 kNotSrcErase = 0x001100A6;
constexpr quint32 kMergePaint = 0x00BB0226;
constexpr quint32 kPatCopy = 0x00F00021;
constexpr quint32 kPatInvert = 0x005A0049;
constexpr quint32 kDstInvert = 0x00550009;
constexpr quint32 kBlackness = 0x00000042;
constexpr quint32 kWhiteness = 0x00FF0062;
constexpr quint32 kDibRgbColors = 0;
constexpr quint32 kStretchHalftone = 4;
// Map modes (MM_TEXT ... MM_ANISOTROPIC).
constexpr int kMapModeText = 1;
constexpr int kMapModeLoMetric = 2;
constexpr int kMapModeHiMetric = 3;
constexpr int kMapModeLoEnglish = 4;
constexpr int kMapModeHiEnglish = 5;
constexpr int kMapModeTwips = 6;
constexpr int kMapModeIsotropic = 7;
constexpr int kMapModeAnisotropic = 8;
// EMR_MODIFYWORLDTRANSFORM modes (MWT_IDENTITY, MWT_LEFTMULTIPLY, MWT_RIGHTMULTIPLY, and
// MWT_SET, which EMR_SETWORLDTRANSFORM means).
constexpr quint32 kMwtIdentity = 1;
constexpr quint32 kMwtLeftMultiply = 2;
constexpr quint32 kMwtRightMultiply = 3;
constexpr quint32 kMwtSet = 4;

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

}  // namespace corvane::metafile
