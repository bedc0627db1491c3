// Playing WMF files: an intact embedded EMF when there is one, else the WMF records.

#include "dc.h"
#include "players.h"
#include "text.h"

#include <algorithm>

#include <cmath>
#include <optional>

namespace corvane::metafile {
namespace {

struct WmfHeader {
    qint64 recordsStart = 0;
    bool placeable = false;
    QRectF box;  // placeable bounding box, logical units
    int unitsPerInch = 0;
};

bool ReadWmfHeader(const LeReader& file, WmfHeader& header) {
    LeReader r = file;
    qint64 start = 0;
    if (r.U32() == kPlaceableKey) {
        r.Skip(2);  // handle
        const qint16 left = r.I16();
        const qint16 top = r.I16();
        const qint16 right = r.I16();
        const qint16 bottom = r.I16();
        header.unitsPerInch = r.U16();
        header.placeable = true;
        header.box = QRectF(left, top, right - left, bottom - top);
        start = kPlaceableSize;
    }
    header.recordsStart = start + kWmfHeaderSize;
    return r.Ok() && IsStandardWmfHeader(file.Slice(start, kWmfHeaderSize));
}

// Calls visit(function, record) with each whole record until META_EOF, a record that does not
// fit, or visit returning false. Gives the offset of a record that does not fit, else -1.
template <typename Visit>
qint64 ForEachWmfRecord(const LeReader& file, qint64 start, Visit&& visit) {
    qint64 offset = start;
    while (offset <= file.Size() - 6) {
        LeReader head = file.Slice(offset, 6);
        const qint64 bytes = qint64(head.U32()) * 2;
        const quint16 function = head.U16();
        if (function == wmr::kEof) {
            return -1;
        }
        if (bytes < 6 || bytes > file.Size() - offset) {
            return offset;
        }
        if (!visit(function, file.Slice(offset, bytes))) {
            return -1;
        }
        offset += bytes;
    }
    return -1;
}

bool IsWmfDrawing(quint16 function) {
    static const quint16 kDrawing[] = {
        wmr::kStretchDib, wmr::kDibStretchBlt, wmr::kDibBitBlt, wmr::kSetDibToDev,
        wmr::kStretchBlt, wmr::kBitBlt,        wmr::kLineTo,    wmr::kPolygon,
        wmr::kPolyline,   wmr::kPolyPolygon,   wmr::kRectangle, wmr::kEllipse,
        wmr::kRoundRect,  wmr::kArc,           wmr::kPie,       wmr::kChord,
        wmr::kSetPixel,   wmr::kPatBlt,        wmr::kTextOut,   wmr::kExtTextOut};
    return std::find(std::begin(kDrawing), std::end(kDrawing), function) != std::end(kDrawing);
}

// The EMF that a converted WMF carries in META_ESCAPE comments, gathered piece by piece. Any piece
// out of sequence, or a checksum that does not match, discards it.
class EmbeddedEmf {
public:
    void Add(LeReader r) {
        r.Skip(6);
        if (r.U16() != kEscapeMfComment) {
            return;
        }
        const quint16 byteCount = r.U16();
        const quint32 identifier = r.U32();
        const quint32 commentType = r.U32();
        r.U32();  // version
        const quint16 checksum = r.U16();
        r.U32();  // flags
        r.U32();  // number of pieces
        const quint32 pieceSize = r.U32();
        const quint32 remaining = r.U32();
        const quint32 total = r.U32();
        if (!r.Ok() || identifier != kWmfcCommentId || commentType != kWmfcCommentType) {
            return;
        }
        const LeReader piece = r.Slice(r.Pos(), pieceSize);
        if (bytes_.isEmpty() && !broken_) {
            total_ = total;
            checksum_ = checksum;
        }
        if (!piece.Ok() || byteCount < kWmfcHeaderSize + qint64(pieceSize) || total != total_ ||
            checksum != checksum_ || qint64(pieceSize) + remaining + bytes_.size() != total) {
            broken_ = true;
            return;
        }
        bytes_.append(piece.Data(), piece.Size());
    }

    // The whole EMF, or nothing.
    QByteArray Take() const {
        if (broken_ || bytes_.isEmpty() || bytes_.size() != total_) {
            return {};
        }
        quint16 sum = 0;
        const auto* data = reinterpret_cast<const uchar*>(bytes_.constData());
        for (qint64 i = 0; i + 1 < bytes_.size(); i += 2) {
            sum ^= quint16(data[i] | data[i + 1] << 8);
        }
        return quint16(~sum) == checksum_ ? bytes_ : QByteArray();
    }

private:
    QByteArray bytes_;
    qint64 total_ = 0;
    quint16 checksum_ = 0;
    bool broken_ = false;
};

// What one pass over a WMF tells before it is drawn.
struct WmfScan {
    QByteArray emf;            // an intact embedded EMF
    bool windowKnown = false;  // the window in force at the first drawing record
    QRectF window;
    qint64 truncatedAt = -1;  // a record that does not fit in the file
};

WmfScan ScanWmf(const LeReader& file, const WmfHeader& header) {
    WmfScan scan;
    EmbeddedEmf embedded;
    QPointF origin(0, 0);
    std::optional<QPointF> extent;
    bool drawingSeen = false;
    scan.truncatedAt =
        ForEachWmfRecord(file, header.recordsStart, [&](quint16 function, LeReader r) {
            LeReader fields = r;
            fields.Skip(6);
            if (function == wmr::kEscape) {
                embedded.Add(r);
            } else if (drawingSeen) {
                return true;
            } else if (function == wmr::kSetWindowOrg || function == wmr::kSetWindowExt) {
                const qint16 y = fields.I16();
                const qint16 x = fields.I16();
                if (fields.Ok() && function == wmr::kSetWindowOrg) {
                    origin = QPointF(x, y);
                } else if (fields.Ok()) {
                    extent = QPointF(x, y);
                }
            } else if (IsWmfDrawing(function)) {
                drawingSeen = true;
                if (extent && extent->x() != 0 && extent->y() != 0) {
                    scan.windowKnown = true;
                    scan.window = QRectF(origin, QSizeF(extent->x(), extent->y()));
                }
            }
            return true;
        });
    scan.emf = embedded.Take();
    return scan;
}

class WmfPlayer {
public:
    // The window `frameWindow` is mapped onto the whole canvas: the viewport belongs to the player.
    WmfPlayer(const LeReader& file, QRectF frameWindow, Canvas& canvas)
        : file_(file), canvas_(canvas), dc_(canvas, QTransform(), QPointF(1, 1)) {
        DcState& state = dc_.State();
        state.mapMode = kMapModeAnisotropic;
        state.windowOrg = frameWindow.topLeft();
        state.windowExt = QPointF(frameWindow.width(), frameWindow.height());
        state.viewportExt = QPointF(canvas.Size().width(), canvas.Size().height());
    }

    void Play(qint64 start) {
        ForEachWmfRecord(file_, start, [this](quint16 function, const LeReader& record) {
            Record(function, record);
            return !dc_.Target().Spent();
        });
    }

private:
    void Record(quint16 function, const LeReader& record) {
        LeReader r = record;
        r.Skip(6);
        if (!StateRecord(function, r) && !ObjectRecord(function, r) && !Shapes(function, r) &&
            !Text(function, r)) {
            Raster(function, record, r);
        }
    }

    // Records that change the device context without drawing.
    bool StateRecord(quint16 function, LeReader& r) {
        DcState& dc = dc_.State();
        switch (function) {
            case wmr::kSetWindowOrg:
            case wmr::kSetWindowExt: {
                const QPointF point = ReadPoint(r);
                if (r.Ok()) {
                    (function == wmr::kSetWindowOrg ? dc.windowOrg : dc.windowExt) = point;
                }
                return true;
            }
            case wmr::kOffsetWindowOrg: {
                const QPointF offset = ReadPoint(r);
                if (r.Ok()) {
                    dc.windowOrg += offset;
                }
                return true;
            }
            case wmr::kScaleWindowExt: {
                const qint16 yDenom = r.I16();
                const qint16 yNum = r.I16();
                const qint16 xDenom = r.I16();
                const qint16 xNum = r.I16();
                if (r.Ok() && xDenom != 0 && yDenom != 0) {
                    dc.windowExt =
                        QPointF(dc.windowExt.x() * xNum / xDenom, dc.windowExt.y() * yNum / yDenom);
                }
                return true;
            }
            case wmr::kSaveDc:
                dc_.Save();
                return true;
            case wmr::kRestoreDc:
                dc_.Restore(r.I16());
                return true;
            case wmr::kSetBkMode:
                dc.backgroundMode = r.U16();
                return true;
            case wmr::kSetRop2:
                dc.rop2 = r.U16();
                return true;
            case wmr::kSetPolyFillMode:
                dc.fillMode = r.U16();
                return true;
            case wmr::kSetTextAlign:
                dc.textAlign = r.U16();
                return true;
            case wmr::kSetTextColor:
                dc.textColour = ColourRef(r.U32());
                return true;
            case wmr::kSetBkColor:
                dc.backgroundColour = ColourRef(r.U32());
                return true;
            case wmr::kMoveTo:
                dc_.MoveTo(ReadPoint(r));
                return true;
            case wmr::kIntersectClipRect:
            case wmr::kExcludeClipRect: {
                const QRectF box = ReadBox(r);
                if (r.Ok()) {
                    function == wmr::kIntersectClipRect ? dc_.IntersectClipRect(box)
                                                        : dc_.ExcludeClipRect(box);
                }
                return true;
            }
            case wmr::kOffsetClipRgn: {
                const QPointF offset = ReadPoint(r);
                if (r.Ok()) {
                    dc_.OffsetClip(offset);
                }
                return true;
            }
            default:
                // The viewport and the map mode belong to the player, which maps the window onto
                // the frame, as GDI+ does for a placeable file.
                return function == wmr::kSetMapMode || function == wmr::kSetViewportOrg ||
                       function == wmr::kSetViewportExt || function == wmr::kOffsetViewportOrg;
        }
    }

    // Records that create, select and delete objects. Every creating record takes a slot, also
    // those whose objects are not drawn, so that the slots of the others stay right.
    bool ObjectRecord(quint16 function, LeReader& r) {
        switch (function) {
            case wmr::kSelectObject:
                dc_.SelectObject(r.U16());
                return true;
            case wmr::kDeleteObject:
                dc_.DeleteObject(r.U16());
                return true;
            case wmr::kCreatePenIndirect: {
                Pen pen;
                pen.style = r.U16();
                pen.width = r.I16();
                r.I16();  // height, unused
                pen.colour = ColourRef(r.U32());
                dc_.AddObject(pen);
                return true;
            }
            case wmr::kCreateBrushIndirect: {
                Brush brush;
                brush.style = r.U16();
                brush.colour = ColourRef(r.U32());
                brush.hatch = r.U16();
                dc_.AddObject(brush);
                return true;
            }
            case wmr::kCreateFontIndirect:
                dc_.AddObject(ReadFont(r));
                return true;
            case wmr::kDibCreatePatternBrush: {
                Brush brush;
                brush.style = r.U16();
                const quint16 usage = r.U16();
                brush.pattern = dc_.PackedDib(r.Rest(), usage).image;
                brush.colour = Qt::black;
                if (brush.style != gdi::kBsPattern) {
                    brush.style = gdi::kBsDibPatternPt;
                }
                dc_.AddObject(brush);
                return true;
            }
            case wmr::kCreatePalette:
            case wmr::kCreatePatternBrush:
            case wmr::kCreateRegion:
                dc_.AddObject(OtherObject{});
                return true;
            default:
                return false;
        }
    }

    bool Shapes(quint16 function, LeReader& r) {
        switch (function) {
            case wmr::kLineTo: {
                const QPointF point = ReadPoint(r);
                if (r.Ok()) {
                    dc_.LineTo(point);
                }
                return true;
            }
            case wmr::kPolygon:
            case wmr::kPolyline: {
                const QPolygonF points = ReadPoints(r, r.U16());
                if (r.Ok()) {
                    function == wmr::kPolygon ? dc_.Polygon(points) : dc_.Polyline(points);
                }
                return true;
            }
            case wmr::kPolyPolygon:
                PolyPolygon(r);
                return true;
            case wmr::kRectangle:
            case wmr::kEllipse: {
                const QRectF box = ReadBox(r);
                if (r.Ok()) {
                    function == wmr::kRectangle ? dc_.Rectangle(box) : dc_.Ellipse(box);
                }
                return true;
            }
            case wmr::kRoundRect: {
                const qint16 height = r.I16();
                const qint16 width = r.I16();
                const QRectF box = ReadBox(r);
                if (r.Ok()) {
                    dc_.RoundRect(box, QSizeF(width, height));
                }
                return true;
            }
            case wmr::kArc:
            case wmr::kPie:
            case wmr::kChord: {
                const QPointF end = ReadPoint(r);
                const QPointF start = ReadPoint(r);
                const QRectF box = ReadBox(r);
                const ArcKind kind = function == wmr::kPie     ? ArcKind::Pie
                                     : function == wmr::kChord ? ArcKind::Chord
                                                               : ArcKind::Arc;
                if (r.Ok()) {
                    dc_.Arc(box, start, end, kind, false);
                }
                return true;
            }
            case wmr::kSetPixel: {
                const quint32 colour = r.U32();
                const QPointF point = ReadPoint(r);
                if (r.Ok()) {
                    dc_.SetPixel(point, ColourRef(colour));
                }
                return true;
            }
            case wmr::kPatBlt: {
                const quint32 rop = r.U32();
                const QRectF box = ReadWmfRect(r);
                if (r.Ok()) {
                    dc_.PatternBlt(box, rop);
                }
                return true;
            }
            default:
                return false;
        }
    }

    void PolyPolygon(LeReader& r) {
        const quint16 polygons = r.U16();
        std::vector<quint16> counts;
        for (quint16 i = 0; i < polygons && r.Ok(); ++i) {
            counts.push_back(r.U16());
        }
        std::vector<QPolygonF> shapes;
        for (quint16 count : counts) {
            shapes.push_back(ReadPoints(r, count));
        }
        if (r.Ok()) {
            dc_.PolyPolygon(shapes);
        }
    }

    // META_TEXTOUT and META_EXTTEXTOUT.
    bool Text(quint16 function, LeReader& r) {
        TextRun run;
        QByteArray bytes;
        if (function == wmr::kTextOut) {
            const quint16 length = r.U16();
            bytes = ReadBytes(r, length);
            r.Skip(length & 1);
            run.reference = ReadPoint(r);
        } else if (function == wmr::kExtTextOut) {
            run.reference = ReadPoint(r);
            const quint16 length = r.U16();
            run.options = r.U16();
            if (run.options & (gdi::kEtoOpaque | gdi::kEtoClipped)) {
                const qint16 left = r.I16();
                const qint16 top = r.I16();
                const qint16 right = r.I16();
                const qint16 bottom = r.I16();
                run.rect = QRectF(QPointF(left, top), QPointF(right, bottom));
            }
            bytes = ReadBytes(r, length);
            r.Skip(length & 1);
            if (r.Remaining() >= qint64(length) * 2) {
                for (quint16 i = 0; i < length; ++i) {
                    run.advances.push_back(r.I16());
                }
            }
        } else {
            return false;
        }
        if (!r.Ok()) {
            return true;
        }
        run.text = DecodeCharset(bytes, dc_.State().font.charset);
        if (run.advances.size() != size_t(run.text.size())) {
            run.advances.clear();  // spacing per byte of a multi-byte code page
        }
        dc_.Text(run);
        return true;
    }

    void Raster(quint16 function, const LeReader& record, LeReader& r) {
        // Records of the forms without a bitmap are exactly this long.
        const bool bitmapless = record.Size() / 2 == (function >> 8) + 3;
        switch (function) {
            case wmr::kStretchDib:
                StretchDib(record, r);
                break;
            case wmr::kDibStretchBlt:
            case wmr::kStretchBlt:
                StretchBlt(function, record, r, bitmapless);
                break;
            case wmr::kDibBitBlt:
            case wmr::kBitBlt:
                BitBlt(function, record, r, bitmapless);
                break;
            case wmr::kSetDibToDev:
                SetDibToDev(record, r);
                break;
            default:
                break;
        }
    }

    // WMF points are stored y first.
    static QPointF ReadPoint(LeReader& r) {
        const qint16 y = r.I16();
        const qint16 x = r.I16();
        return QPointF(x, y);
    }

    // Rectangles of shapes and clips: bottom, right, top, left.
    static QRectF ReadBox(LeReader& r) {
        const qint16 bottom = r.I16();
        const qint16 right = r.I16();
        const qint16 top = r.I16();
        const qint16 left = r.I16();
        return QRectF(QPointF(left, top), QPointF(right, bottom));
    }

    // Points x first, as polygons store them; none when they are not all in the record.
    static QPolygonF ReadPoints(LeReader& r, quint16 count) {
        if (qint64(count) * 4 > r.Remaining()) {
            r.Skip(qint64(count) * 4);  // fails the reader
            return {};
        }
        QPolygonF points;
        points.reserve(count);
        for (quint16 i = 0; i < count; ++i) {
            const qint16 x = r.I16();
            const qint16 y = r.I16();
            points << QPointF(x, y);
        }
        return points;
    }

    static QByteArray ReadBytes(LeReader& r, quint16 length) {
        const LeReader bytes = r.Slice(r.Pos(), length);
        r.Skip(length);
        return bytes.Ok() ? QByteArray(bytes.Data(), bytes.Size()) : QByteArray();
    }

    static Font ReadFont(LeReader& r) {
        Font font;
        font.height = r.I16();
        font.width = r.I16();
        font.escapement = r.I16();
        r.I16();  // orientation
        font.weight = r.I16();
        font.italic = r.U8() != 0;
        font.underline = r.U8() != 0;
        font.strikeout = r.U8() != 0;
        font.charset = r.U8();
        r.Skip(4);  // precisions, quality, pitch and family
        QByteArray face;
        for (int i = 0; i < 32 && r.Remaining() > 0; ++i) {
            const char c = char(r.U8());
            if (c == '\0') {
                break;
            }
            face += c;
        }
        font.face = DecodeCharset(face, font.charset);
        return font;
    }

    LeReader Rest(const LeReader& record, const LeReader& r) const {
        return record.Slice(r.Pos(), record.Size() - r.Pos());
    }

    // A WMF rectangle as the stretch records store it: height, width, y, x.
    static QRectF ReadWmfRect(LeReader& r) {
        const qint16 height = r.I16();
        const qint16 width = r.I16();
        const qint16 y = r.I16();
        const qint16 x = r.I16();
        return QRectF(x, y, width, height);
    }

    void StretchDib(const LeReader& record, LeReader& r) {
        const quint32 rop = r.U32();
        const quint16 usage = r.U16();
        const QRectF source = ReadWmfRect(r);
        const QRectF dest = ReadWmfRect(r);
        if (!r.Ok()) {
            return;
        }
        const DecodedDib dib = dc_.PackedDib(Rest(record, r), usage);
        dc_.DrawBitmap(dib.image,
                       DibSourceRect(dib, source.x(), source.y(), source.width(), source.height()),
                       dest, rop);
    }

    void StretchBlt(quint16 function, const LeReader& record, LeReader& r, bool bitmapless) {
        const quint32 rop = r.U32();
        r.Skip(bitmapless ? 2 : 0);  // reserved
        const QRectF source = ReadWmfRect(r);
        const QRectF dest = ReadWmfRect(r);
        if (r.Ok() && bitmapless) {
            dc_.PatternBlt(dest, rop);
        } else if (r.Ok()) {
            dc_.DrawBitmap(Bitmap(function, Rest(record, r)), source, dest, rop);
        }
    }

    void BitBlt(quint16 function, const LeReader& record, LeReader& r, bool bitmapless) {
        const quint32 rop = r.U32();
        r.Skip(bitmapless ? 2 : 0);  // reserved
        const qint16 ySrc = r.I16();
        const qint16 xSrc = r.I16();
        const qint16 height = r.I16();
        const qint16 width = r.I16();
        const qint16 yDest = r.I16();
        const qint16 xDest = r.I16();
        if (r.Ok() && bitmapless) {
            dc_.PatternBlt(QRectF(xDest, yDest, width, height), rop);
        } else if (r.Ok()) {
            dc_.DrawBitmap(Bitmap(function, Rest(record, r)), QRectF(xSrc, ySrc, width, height),
                           QRectF(xDest, yDest, width, height), rop);
        }
    }

    void SetDibToDev(const LeReader& record, LeReader& r) {
        const quint16 usage = r.U16();
        const quint16 scans = r.U16();
        const quint16 startScan = r.U16();
        const qint16 ySrc = r.I16();
        const qint16 xSrc = r.I16();
        const qint16 height = r.I16();
        const qint16 width = r.I16();
        const qint16 yDest = r.I16();
        const qint16 xDest = r.I16();
        LeReader info;
        LeReader bits;
        if (!r.Ok() || !SplitPackedDib(Rest(record, r), info, bits)) {
            return;
        }
        const DecodedDib dib = dc_.DibScans(info, bits, usage, scans);
        dc_.DrawBitmap(dib.image, DibSourceRect(dib, xSrc, double(ySrc) - startScan, width, height),
                       QRectF(xDest, yDest, width, height), kSrcCopy);
    }

    // The bitmap of a blt record: a packed DIB for the META_DIB* records, a device-dependent
    // Bitmap16 for the old ones.
    QImage Bitmap(quint16 function, const LeReader& data) {
        if (function == wmr::kDibStretchBlt || function == wmr::kDibBitBlt) {
            return dc_.PackedDib(data, kDibRgbColors).image;
        }
        QImage image = DecodeBitmap16(data, canvas_.DecodeLimit());
        canvas_.SpendDecode(image);
        return image;
    }

    // Bitmap16 rows are top-down; 1-bit (0 black, 1 white), 24- and 32-bit pixels need no
    // palette, other depths would need the playing device's and are not drawn.
    static QImage DecodeBitmap16(LeReader r, qint64 maxPixels) {
        r.U16();  // type
        const qint16 width = r.I16();
        const qint16 height = r.I16();
        const qint16 widthBytes = r.I16();
        const quint8 planes = r.U8();
        const quint8 bitsPixel = r.U8();
        if (!r.Ok() || width <= 0 || height <= 0 || planes != 1 ||
            (bitsPixel != 1 && bitsPixel != 24 && bitsPixel != 32) ||
            widthBytes < (qint64(width) * bitsPixel + 7) / 8 ||
            qint64(widthBytes) * height > r.Remaining() || qint64(width) * height > maxPixels) {
            return {};
        }
        QImage image(width, height, QImage::Format_RGB32);
        if (image.isNull()) {
            return {};
        }
        for (int y = 0; y < height; ++y) {
            const auto* src = reinterpret_cast<const uchar*>(r.Here() + qint64(y) * widthBytes);
            auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x) {
                if (bitsPixel == 1) {
                    dst[x] =
                        ((src[x >> 3] >> (7 - (x & 7))) & 1) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                } else {
                    const uchar* p = src + x * (bitsPixel / 8);
                    dst[x] = qRgb(p[2], p[1], p[0]);
                }
            }
        }
        return image;
    }

    const LeReader& file_;
    Canvas& canvas_;
    DeviceContext dc_;
};

}  // namespace

bool IsStandardWmfHeader(LeReader r) {
    const quint16 type = r.U16();
    const quint16 headerWords = r.U16();
    const quint16 version = r.U16();
    return r.Ok() && (type == kWmfMemoryType || type == kWmfDiskType) &&
           headerWords == kWmfHeaderSize / 2 &&
           (version == kWmfVersion1 || version == kWmfVersion3);
}

QImage RenderWmf(const QByteArray& bytes, qint64 maxPixels, MetafileError& why) {
    const LeReader file(bytes);
    WmfHeader header;
    if (!ReadWmfHeader(file, header)) {
        why = {false, QStringLiteral("damaged WMF header")};
        return {};
    }
    const WmfScan scan = ScanWmf(file, header);
    if (!scan.emf.isEmpty()) {
        QImage image = RenderEmf(scan.emf, maxPixels, why);
        if (!image.isNull()) {
            return image;
        }
    }
    QRectF window;
    double width = 0;
    double height = 0;
    if (header.placeable && header.unitsPerInch > 0 && !header.box.isEmpty()) {
        window = header.box;
        width = std::round(header.box.width() * kDisplayDpi / header.unitsPerInch);
        height = std::round(header.box.height() * kDisplayDpi / header.unitsPerInch);
    } else if (scan.windowKnown) {
        window = scan.window;
        width = std::abs(window.width());
        height = std::abs(window.height());
    } else {
        why = {false, QStringLiteral("no frame size: neither a placeable header nor a window")};
        return {};
    }
    if (!ValidSize(width, height, maxPixels)) {
        why = {true, QStringLiteral("frame too large (%1 x %2 pixels)").arg(width).arg(height)};
        return {};
    }
    const QSize size{int(width), int(height)};
    Canvas canvas(size, maxPixels);
    WmfPlayer(file, window, canvas).Play(header.recordsStart);
    QImage image = canvas.Take();
    if (image.isNull()) {
        why = {false, NothingDrawn(canvas, scan.truncatedAt)};
    }
    return image;
}

}  // namespace corvane::metafile
