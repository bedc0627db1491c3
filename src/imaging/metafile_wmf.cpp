// Playing WMF files: an intact embedded EMF when there is one, else the WMF records.

#include "metafile_dc.h"
#include "metafile_players.h"

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
// fit, or visit returning false.
template <typename Visit>
void ForEachWmfRecord(const LeReader& file, qint64 start, Visit&& visit) {
    qint64 offset = start;
    while (offset <= file.Size() - 6) {
        LeReader head = file.Slice(offset, 6);
        const qint64 bytes = qint64(head.U32()) * 2;
        const quint16 function = head.U16();
        if (bytes < 6 || bytes > file.Size() - offset || function == wmr::kEof ||
            !visit(function, file.Slice(offset, bytes))) {
            return;
        }
        offset += bytes;
    }
}

bool IsWmfRaster(quint16 function) {
    return function == wmr::kStretchDib || function == wmr::kDibStretchBlt ||
           function == wmr::kDibBitBlt || function == wmr::kSetDibToDev ||
           function == wmr::kStretchBlt || function == wmr::kBitBlt;
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
    bool windowKnown = false;  // the window in force at the first raster record
    QRectF window;
};

WmfScan ScanWmf(const LeReader& file, const WmfHeader& header) {
    WmfScan scan;
    EmbeddedEmf embedded;
    QPointF origin(0, 0);
    std::optional<QPointF> extent;
    bool rasterSeen = false;
    ForEachWmfRecord(file, header.recordsStart, [&](quint16 function, LeReader r) {
        LeReader fields = r;
        fields.Skip(6);
        if (function == wmr::kEscape) {
            embedded.Add(r);
        } else if (rasterSeen) {
            return true;
        } else if (function == wmr::kSetWindowOrg || function == wmr::kSetWindowExt) {
            const qint16 y = fields.I16();
            const qint16 x = fields.I16();
            if (fields.Ok() && function == wmr::kSetWindowOrg) {
                origin = QPointF(x, y);
            } else if (fields.Ok()) {
                extent = QPointF(x, y);
            }
        } else if (IsWmfRaster(function)) {
            rasterSeen = true;
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
            return true;
        });
    }

private:
    void Record(quint16 function, const LeReader& record) {
        LeReader r = record;
        r.Skip(6);
        // Records of the forms without a bitmap are exactly this long.
        const bool bitmapless = record.Size() / 2 == (function >> 8) + 3;
        switch (function) {
            case wmr::kSetWindowOrg:
            case wmr::kSetWindowExt: {
                const qint16 y = r.I16();
                const qint16 x = r.I16();
                if (r.Ok() && function == wmr::kSetWindowOrg) {
                    dc_.State().windowOrg = QPointF(x, y);
                } else if (r.Ok()) {
                    dc_.State().windowExt = QPointF(x, y);
                }
                break;
            }
            case wmr::kSaveDc:
                dc_.Save();
                break;
            case wmr::kRestoreDc:
                dc_.Restore(r.I16());
                break;
            case wmr::kStretchDib:
                StretchDib(record, r);
                break;
            case wmr::kDibStretchBlt:
            case wmr::kStretchBlt:
                if (!bitmapless) {
                    StretchBlt(function, record, r);
                }
                break;
            case wmr::kDibBitBlt:
            case wmr::kBitBlt:
                if (!bitmapless) {
                    BitBlt(function, record, r);
                }
                break;
            case wmr::kSetDibToDev:
                SetDibToDev(record, r);
                break;
            default:
                break;
        }
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
        dc_.DrawBitmap(dib.image, DibSourceRect(dib, source.x(), source.y(), source.width(), source.height()),
             dest, rop);
    }

    void StretchBlt(quint16 function, const LeReader& record, LeReader& r) {
        const quint32 rop = r.U32();
        const QRectF source = ReadWmfRect(r);
        const QRectF dest = ReadWmfRect(r);
        if (r.Ok()) {
            dc_.DrawBitmap(Bitmap(function, Rest(record, r)), source, dest, rop);
        }
    }

    void BitBlt(quint16 function, const LeReader& record, LeReader& r) {
        const quint32 rop = r.U32();
        const qint16 ySrc = r.I16();
        const qint16 xSrc = r.I16();
        const qint16 height = r.I16();
        const qint16 width = r.I16();
        const qint16 yDest = r.I16();
        const qint16 xDest = r.I16();
        if (r.Ok()) {
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

QImage RenderWmf(const QByteArray& bytes, qint64 maxPixels) {
    const LeReader file(bytes);
    WmfHeader header;
    if (!ReadWmfHeader(file, header)) {
        return {};
    }
    const WmfScan scan = ScanWmf(file, header);
    if (!scan.emf.isEmpty()) {
        QImage image = RenderEmf(scan.emf, maxPixels);
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
    }
    if (!ValidSize(width, height, maxPixels)) {
        return {};
    }
    const QSize size{int(width), int(height)};
    Canvas canvas(size, maxPixels);
    WmfPlayer(file, window, canvas).Play(header.recordsStart);
    return canvas.Take();
}

}  // namespace corvane::metafile
