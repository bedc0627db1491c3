// Playing EMF files: the frame from the header, then every record in order. EMF+ records in
// comments are handed to the EMF+ player.

#include "metafile_dc.h"
#include "metafile_emfplus.h"
#include "metafile_players.h"

#include <cmath>

namespace corvane::metafile {
namespace {

struct EmfFrame {
    QSize size;
    QPointF origin;  // device pixels at the frame's top left
    double pixelsPerMmX = kDisplayDpi / 25.4;
    double pixelsPerMmY = kDisplayDpi / 25.4;
};

struct RectL {
    qint64 left = 0, top = 0, right = 0, bottom = 0;
    qint64 Width() const { return right - left + 1; }  // inclusive-inclusive
    qint64 Height() const { return bottom - top + 1; }
};

RectL ReadRectL(LeReader& r) {
    RectL rect;
    rect.left = r.I32();
    rect.top = r.I32();
    rect.right = r.I32();
    rect.bottom = r.I32();
    return rect;
}

bool Near(double exact, double estimate) {
    return std::abs(exact - estimate) <= std::max(2.0, exact / 100);
}

bool ReadEmfFrame(const LeReader& file, qint64 maxPixels, EmfFrame& frame) {
    LeReader r = file;
    const quint32 type = r.U32();
    const quint32 size = r.U32();
    const RectL bounds = ReadRectL(r);
    const RectL mmFrame = ReadRectL(r);
    const quint32 signature = r.U32();
    r.Skip(16);  // version, bytes, records, handles, reserved
    const quint32 descriptionLength = r.U32();
    const quint32 descriptionOffset = r.U32();
    r.U32();  // palette entries
    const qint32 devicePixelsX = r.I32();
    const qint32 devicePixelsY = r.I32();
    const qint32 deviceMmX = r.I32();
    const qint32 deviceMmY = r.I32();
    if (!r.Ok() || type != emr::kHeader || signature != kEmfSignature || size < kEmfHeaderMinSize ||
        size > file.Size()) {
        return false;
    }
    if (devicePixelsX > 0 && devicePixelsY > 0 && deviceMmX > 0 && deviceMmY > 0) {
        frame.pixelsPerMmX = double(devicePixelsX) / deviceMmX;
        frame.pixelsPerMmY = double(devicePixelsY) / deviceMmY;
    }
    // The micrometre extension, present when the header is long enough and no description or
    // pixel format sits where it would be.
    const quint32 pixelFormatSize = r.U32();
    const quint32 pixelFormatOffset = r.U32();
    r.U32();  // OpenGL
    const quint32 micrometresX = r.U32();
    const quint32 micrometresY = r.U32();
    const bool extended = r.Ok() && size >= kEmfHeaderFullSize &&
                          (descriptionLength == 0 || descriptionOffset >= kEmfHeaderFullSize) &&
                          (pixelFormatSize == 0 || pixelFormatOffset >= kEmfHeaderFullSize);
    if (extended && micrometresX > 0 && micrometresY > 0 && devicePixelsX > 0 &&
        devicePixelsY > 0) {
        frame.pixelsPerMmX = double(devicePixelsX) * 1000 / micrometresX;
        frame.pixelsPerMmY = double(devicePixelsY) * 1000 / micrometresY;
    }
    const double frameWidth = mmFrame.Width() / 100.0 * frame.pixelsPerMmX;
    const double frameHeight = mmFrame.Height() / 100.0 * frame.pixelsPerMmY;
    const bool boundsUsable = ValidSize(double(bounds.Width()), double(bounds.Height()), maxPixels);
    const bool frameUsable =
        ValidSize(std::round(frameWidth), std::round(frameHeight), qint64(1) << 62);
    if (boundsUsable && (!frameUsable || (Near(double(bounds.Width()), frameWidth) &&
                                          Near(double(bounds.Height()), frameHeight)))) {
        frame.size = QSize(int(bounds.Width()), int(bounds.Height()));
        frame.origin = QPointF(double(bounds.left), double(bounds.top));
        return true;
    }
    if (!frameUsable || !ValidSize(std::round(frameWidth), std::round(frameHeight), maxPixels)) {
        return false;
    }
    frame.size = QSize(int(std::round(frameWidth)), int(std::round(frameHeight)));
    frame.origin = QPointF(mmFrame.left / 100.0 * frame.pixelsPerMmX,
                           mmFrame.top / 100.0 * frame.pixelsPerMmY);
    return true;
}

QPointF ReadPointL(LeReader& r) {
    const qint32 x = r.I32();
    const qint32 y = r.I32();
    return QPointF(x, y);
}

QTransform DeviceToCanvas(const EmfFrame& frame) {
    return QTransform::fromTranslate(-frame.origin.x(), -frame.origin.y());
}

class EmfPlayer {
public:
    // `plusAware`: read EMF+ records and draw EMF records only where an EMF+ reader would.
    EmfPlayer(const LeReader& file, const EmfFrame& frame, Canvas& canvas, bool plusAware)
        : file_(file),
          plusAware_(plusAware),
          dc_(canvas, DeviceToCanvas(frame), QPointF(frame.pixelsPerMmX, frame.pixelsPerMmY)),
          plus_(canvas, DeviceToCanvas(frame), file.Size()) {}

    void Play() {
        const quint32 headerSize = file_.Slice(4, 4).U32();
        qint64 offset = headerSize;
        while (offset <= file_.Size() - 8) {
            LeReader head = file_.Slice(offset, 8);
            const quint32 type = head.U32();
            const quint32 size = head.U32();
            if (size < 8 || size > file_.Size() - offset || type == emr::kEof) {
                break;
            }
            Record(type, file_.Slice(offset, size));
            offset += size;
        }
    }

    bool SawPlus() const { return plus_.Seen(); }
    bool PlusDrew() const { return plus_.Drew(); }

private:
    bool DrawsEmfRecords() const { return !plusAware_ || !plus_.Seen() || plus_.GetDc(); }

    // `record` holds the whole record; its cursor is after the type and size.
    void Record(quint32 type, LeReader record) {
        LeReader r = record;
        r.Skip(8);
        switch (type) {
            case emr::kSetMapMode:
                dc_.State().mapMode = r.I32();
                break;
            case emr::kSetWindowExtEx:
                dc_.State().windowExt = ReadPointL(r);
                break;
            case emr::kSetWindowOrgEx:
                dc_.State().windowOrg = ReadPointL(r);
                break;
            case emr::kSetViewportExtEx:
                dc_.State().viewportExt = ReadPointL(r);
                break;
            case emr::kSetViewportOrgEx:
                dc_.State().viewportOrg = ReadPointL(r);
                break;
            case emr::kSaveDc:
                dc_.Save();
                break;
            case emr::kRestoreDc:
                dc_.Restore(r.I32());
                break;
            case emr::kSetWorldTransform:
            case emr::kModifyWorldTransform: {
                const QTransform matrix = ReadMatrix(r);
                const quint32 mode = type == emr::kSetWorldTransform ? kMwtSet : r.U32();
                if (r.Ok()) {
                    dc_.SetWorld(matrix, mode);
                }
                break;
            }
            case emr::kComment:
                Comment(record, r);
                break;
            case emr::kStretchDiBits:
            case emr::kBitBlt:
            case emr::kStretchBlt:
            case emr::kSetDiBitsToDevice:
            case emr::kAlphaBlend:
                if (DrawsEmfRecords()) {
                    Raster(type, record, r);
                }
                break;
            default:
                break;
        }
    }

    DecodedDib Dib(const LeReader& record, quint32 infoOffset, quint32 infoSize, quint32 bitsOffset,
                   quint32 bitsSize, quint32 usage, DibAlpha alpha = DibAlpha::Ignore) {
        if (infoSize == 0) {
            return {};  // a blt without a bitmap fills with the brush: not drawn here
        }
        return dc_.Dib(record.Slice(infoOffset, infoSize), record.Slice(bitsOffset, bitsSize),
                       usage, alpha);
    }

    // `r` is after the record's type and size.
    void Raster(quint32 type, const LeReader& record, LeReader r) {
        r.Skip(16);  // bounds
        if (type == emr::kStretchDiBits) {
            StretchDiBits(record, r);
        } else if (type == emr::kSetDiBitsToDevice) {
            SetDiBitsToDevice(record, r);
        } else {
            Blt(type, record, r);
        }
    }

    void StretchDiBits(const LeReader& record, LeReader& r) {
        const qint32 xDest = r.I32();
        const qint32 yDest = r.I32();
        const qint32 xSrc = r.I32();
        const qint32 ySrc = r.I32();
        const qint32 cxSrc = r.I32();
        const qint32 cySrc = r.I32();
        const quint32 offBmi = r.U32();
        const quint32 cbBmi = r.U32();
        const quint32 offBits = r.U32();
        const quint32 cbBits = r.U32();
        const quint32 usage = r.U32();
        const quint32 rop = r.U32();
        const qint32 cxDest = r.I32();
        const qint32 cyDest = r.I32();
        if (!r.Ok()) {
            return;
        }
        const DecodedDib dib = Dib(record, offBmi, cbBmi, offBits, cbBits, usage);
        dc_.DrawBitmap(dib.image, DibSourceRect(dib, xSrc, ySrc, cxSrc, cySrc),
                   QRectF(xDest, yDest, cxDest, cyDest), rop);
    }

    void SetDiBitsToDevice(const LeReader& record, LeReader& r) {
        const qint32 xDest = r.I32();
        const qint32 yDest = r.I32();
        const qint32 xSrc = r.I32();
        const qint32 ySrc = r.I32();
        const qint32 cxSrc = r.I32();
        const qint32 cySrc = r.I32();
        const quint32 offBmi = r.U32();
        const quint32 cbBmi = r.U32();
        const quint32 offBits = r.U32();
        const quint32 cbBits = r.U32();
        const quint32 usage = r.U32();
        const quint32 startScan = r.U32();
        const quint32 scans = r.U32();
        if (!r.Ok() || cbBmi == 0) {
            return;
        }
        const DecodedDib dib =
            dc_.DibScans(record.Slice(offBmi, cbBmi), record.Slice(offBits, cbBits), usage, scans);
        dc_.DrawBitmap(dib.image, DibSourceRect(dib, xSrc, double(ySrc) - startScan, cxSrc, cySrc),
                   QRectF(xDest, yDest, cxSrc, cySrc), kSrcCopy);
    }

    // EMR_BITBLT, EMR_STRETCHBLT and EMR_ALPHABLEND: the source is a bitmap selected into a
    // device context, so its rectangle is measured from the top left.
    void Blt(quint32 type, const LeReader& record, LeReader& r) {
        const qint32 xDest = r.I32();
        const qint32 yDest = r.I32();
        const qint32 cxDest = r.I32();
        const qint32 cyDest = r.I32();
        const quint32 rop = r.U32();  // BLENDFUNCTION for EMR_ALPHABLEND
        const qint32 xSrc = r.I32();
        const qint32 ySrc = r.I32();
        r.Skip(24 + 4);  // source world transform, background colour
        const quint32 usage = r.U32();
        const quint32 offBmi = r.U32();
        const quint32 cbBmi = r.U32();
        const quint32 offBits = r.U32();
        const quint32 cbBits = r.U32();
        qint32 cxSrc = cxDest;
        qint32 cySrc = cyDest;
        if (type != emr::kBitBlt) {
            cxSrc = r.I32();
            cySrc = r.I32();
        }
        if (!r.Ok()) {
            return;
        }
        if (type == emr::kAlphaBlend) {
            constexpr quint32 kSourceAlpha = 0x01;
            const double opacity = ((rop >> 16) & 0xFF) / 255.0;
            const bool perPixel = ((rop >> 24) & kSourceAlpha) != 0;
            const DecodedDib dib = Dib(record, offBmi, cbBmi, offBits, cbBits, usage,
                                       perPixel ? DibAlpha::Premultiplied : DibAlpha::Ignore);
            dc_.DrawBitmap(dib.image, QRectF(xSrc, ySrc, cxSrc, cySrc),
                       QRectF(xDest, yDest, cxDest, cyDest), kSrcCopy, opacity);
            return;
        }
        const DecodedDib dib = Dib(record, offBmi, cbBmi, offBits, cbBits, usage);
        dc_.DrawBitmap(dib.image, QRectF(xSrc, ySrc, cxSrc, cySrc),
                   QRectF(xDest, yDest, cxDest, cyDest), rop);
    }

    void Comment(const LeReader& record, LeReader& r) {
        const quint32 dataSize = r.U32();
        const quint32 identifier = r.U32();
        if (!plusAware_ || !r.Ok() || identifier != kEmfPlusCommentId || dataSize < 4) {
            return;
        }
        plus_.Records(record.Slice(16, qint64(dataSize) - 4));
    }

    const LeReader& file_;
    const bool plusAware_;
    DeviceContext dc_;
    EmfPlusPlayer plus_;
};

}  // namespace

QImage RenderEmf(const QByteArray& bytes, qint64 maxPixels) {
    const LeReader file(bytes);
    EmfFrame frame;
    if (!ReadEmfFrame(file, maxPixels, frame)) {
        return {};
    }
    Canvas canvas(frame.size, maxPixels);
    EmfPlayer plusAware(file, frame, canvas, true);
    plusAware.Play();
    if (plusAware.SawPlus() && !plusAware.PlusDrew()) {
        canvas.Clear();
        EmfPlayer(file, frame, canvas, false).Play();
    }
    return canvas.Take();
}

}  // namespace corvane::metafile
