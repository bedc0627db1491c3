// The EMF+ records of an EMF file.

#include "metafile_emfplus.h"

#include "metafile_dib.h"

#include <array>
#include <cmath>

namespace corvane::metafile {
namespace {

// A continued EMF+ object being gathered.
struct PendingObject {
    int id = -1;
    int type = 0;
    qint64 total = 0;
    QByteArray bytes;
};

struct PlusObject {
    int type = 0;
    QByteArray bytes;
    QImage image;  // decoded on first use
    bool decoded = false;
};

struct PlusState {
    bool seen = false;   // an EmfPlusHeader was read
    bool getDc = false;  // EmfPlusGetDC: EMF records are drawn until the next EMF+ record
    bool drew = false;
    double dpiX = kDisplayDpi;
    double dpiY = kDisplayDpi;
    QTransform world;
    int pageUnit = emfplus::kUnitDisplay;  // pixels on a screen
    double pageScale = 1.0;
    std::array<PlusObject, 64> objects;
    PendingObject pending;
};

// Decodes the pixel data of an EmfPlusBitmap: 32-bit ARGB, PARGB and RGB, 24-bit RGB, rows
// top-down.
QImage DecodePlusPixels(LeReader r, qint32 width, qint32 height, qint32 stride, quint32 pixelFormat,
                        qint64 maxPixels) {
    int bytesPerPixel = 4;
    QImage::Format format = QImage::Format_ARGB32;
    switch (pixelFormat) {
        case emfplus::kPixelFormat32bppArgb:
            break;
        case emfplus::kPixelFormat32bppPargb:
            format = QImage::Format_ARGB32_Premultiplied;
            break;
        case emfplus::kPixelFormat32bppRgb:
            format = QImage::Format_RGB32;
            break;
        case emfplus::kPixelFormat24bppRgb:
            bytesPerPixel = 3;
            format = QImage::Format_RGB32;
            break;
        default:
            return {};
    }
    if (width <= 0 || height <= 0 || qint64(width) > maxPixels / height ||
        qint64(stride) < qint64(width) * bytesPerPixel ||
        qint64(stride) * (height - 1) + qint64(width) * bytesPerPixel > r.Size()) {
        return {};
    }
    QImage image(width, height, format);
    if (image.isNull()) {
        return {};
    }
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const uchar*>(r.Data() + qint64(y) * stride);
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, src += bytesPerPixel) {
            const int alpha = bytesPerPixel == 4 && format != QImage::Format_RGB32 ? src[3] : 255;
            if (format == QImage::Format_ARGB32_Premultiplied) {
                dst[x] = qRgba(std::min<int>(src[2], alpha), std::min<int>(src[1], alpha),
                               std::min<int>(src[0], alpha), alpha);
            } else {
                dst[x] = qRgba(src[2], src[1], src[0], alpha);
            }
        }
    }
    return image;
}

// An EmfPlusImage object holding a bitmap; null for a metafile image or anything unreadable.
QImage DecodePlusImage(const QByteArray& bytes, qint64 maxPixels) {
    LeReader r(bytes);
    r.U32();  // graphics version
    const quint32 type = r.U32();
    const qint32 width = r.I32();
    const qint32 height = r.I32();
    const qint32 stride = r.I32();
    const quint32 pixelFormat = r.U32();
    const quint32 bitmapType = r.U32();
    if (!r.Ok() || type != emfplus::kImageBitmap) {
        return {};
    }
    if (bitmapType == emfplus::kBitmapCompressed) {
        return DecodeCompressed(r.Rest(), maxPixels);
    }
    if (bitmapType == emfplus::kBitmapPixels) {
        return DecodePlusPixels(r.Rest(), width, height, stride, pixelFormat, maxPixels);
    }
    return {};
}

}  // namespace

class EmfPlusPlayer::Impl {
public:
    Impl(Canvas& canvas, const QTransform& deviceToCanvas, qint64 fileSize)
        : canvas_(canvas), deviceToCanvas_(deviceToCanvas), fileSize_(fileSize) {}

    // Plays the EMF+ records of one comment.
    void Records(LeReader r) {
        while (r.Ok() && r.Remaining() >= 12) {
            const qint64 start = r.Pos();
            const quint16 type = r.U16();
            const quint16 flags = r.U16();
            const quint32 size = r.U32();
            const quint32 dataSize = r.U32();
            if (size < 12 || size > r.Size() - start || dataSize > size - 12) {
                return;
            }
            Record(type, flags, r.Slice(start + 12, dataSize));
            r.Seek(start + size);
        }
    }

    bool Seen() const { return plus_.seen; }
    bool GetDc() const { return plus_.getDc; }
    bool Drew() const { return plus_.drew; }

private:
    void Record(quint16 type, quint16 flags, LeReader r) {
        if (type != emfplus::kObject) {
            FinishObject();
        }
        plus_.getDc = type == emfplus::kGetDc;
        switch (type) {
            case emfplus::kHeader:
                PlusHeader(r);
                break;
            case emfplus::kObject:
                PlusObjectRecord(flags, r);
                break;
            case emfplus::kDrawImage:
                DrawPlusImage(flags, r);
                break;
            case emfplus::kDrawImagePoints:
                DrawPlusImagePoints(flags, r);
                break;
            case emfplus::kSetWorldTransform: {
                const QTransform matrix = ReadMatrix(r);
                if (r.Ok()) {
                    plus_.world = matrix;
                }
                break;
            }
            case emfplus::kResetWorldTransform:
                plus_.world.reset();
                break;
            case emfplus::kMultiplyWorldTransform: {
                const QTransform matrix = ReadMatrix(r);
                MultiplyWorld(flags, matrix, r.Ok());
                break;
            }
            case emfplus::kTranslateWorldTransform: {
                const float dx = r.F32();
                const float dy = r.F32();
                MultiplyWorld(flags, QTransform::fromTranslate(dx, dy), r.Ok());
                break;
            }
            case emfplus::kScaleWorldTransform: {
                const float sx = r.F32();
                const float sy = r.F32();
                MultiplyWorld(flags, QTransform::fromScale(sx, sy), r.Ok());
                break;
            }
            case emfplus::kSetPageTransform: {
                const float scale = r.F32();
                if (r.Ok() && std::isfinite(scale) && scale > 0) {
                    plus_.pageUnit = flags & 0xFF;
                    plus_.pageScale = scale;
                }
                break;
            }
            default:
                break;
        }
    }

    void PlusHeader(LeReader& r) {
        plus_.seen = true;
        r.Skip(8);  // version, flags
        const qint32 dpiX = r.I32();
        const qint32 dpiY = r.I32();
        if (r.Ok() && dpiX > 0 && dpiY > 0 && dpiX <= 100000 && dpiY <= 100000) {
            plus_.dpiX = dpiX;
            plus_.dpiY = dpiY;
        }
    }

    void MultiplyWorld(quint16 flags, const QTransform& matrix, bool ok) {
                if (ok) {
            plus_.world = (flags & emfplus::kPostMultiply) ? plus_.world * matrix : matrix * plus_.world;
        }
    }

    // Page units to device pixels.
    QTransform PageScale() const {
        double perUnitX = 1;
        double perUnitY = 1;
        switch (plus_.pageUnit) {
            case emfplus::kUnitPoint:
                perUnitX = plus_.dpiX / 72;
                perUnitY = plus_.dpiY / 72;
                break;
            case emfplus::kUnitInch:
                perUnitX = plus_.dpiX;
                perUnitY = plus_.dpiY;
                break;
            case emfplus::kUnitDocument:
                perUnitX = plus_.dpiX / 300;
                perUnitY = plus_.dpiY / 300;
                break;
            case emfplus::kUnitMillimeter:
                perUnitX = plus_.dpiX / 25.4;
                perUnitY = plus_.dpiY / 25.4;
                break;
            default:  // world, display and pixel: device pixels
                break;
        }
        return QTransform::fromScale(perUnitX * plus_.pageScale, perUnitY * plus_.pageScale);
    }

    // EmfPlusObject: images are kept by id; continued objects are gathered piece by piece. Both
    // ways of ending a continued object are read: GDI+ sets the continue flag and the total size
    // on every piece; the published description clears the flag, and the total size with it, on
    // the last.
    void PlusObjectRecord(quint16 flags, LeReader r) {
        const int id = flags & 0xFF;
        const int type = (flags >> 8) & 0x7F;
        const bool continued = (flags & emfplus::kObjectContinued) != 0;
        if (id >= int(plus_.objects.size())) {
            return;
        }
        PendingObject& pending = plus_.pending;
        if (pending.id == id && pending.type == type) {
            const qint64 missing = pending.total - pending.bytes.size();
            if (continued || r.Size() - 4 == missing) {
                r.Skip(4);
            }
            AppendPiece(r.Rest());
            if (!continued || pending.bytes.size() == pending.total) {
                FinishObject();
            }
            return;
        }
        FinishObject();
        if (!continued) {
            StoreObject(id, type, QByteArray(r.Data(), r.Size()));
            return;
        }
        const quint32 total = r.U32();
        if (!r.Ok() || total > fileSize_) {
            return;  // cannot be gathered from this file
        }
        pending = PendingObject{id, type, total, {}};
        AppendPiece(r.Rest());
        if (pending.bytes.size() == pending.total) {
            FinishObject();
        }
    }

    void AppendPiece(const LeReader& piece) {
        PendingObject& pending = plus_.pending;
        if (!piece.Ok() || piece.Size() > pending.total - pending.bytes.size()) {
            pending = PendingObject{};  // more than the object's size: not this object
            return;
        }
        pending.bytes.append(piece.Data(), piece.Size());
    }

    // Keeps a gathered object when all of it arrived; drops it otherwise.
    void FinishObject() {
        PendingObject& pending = plus_.pending;
        if (pending.id >= 0 && pending.bytes.size() == pending.total) {
            StoreObject(pending.id, pending.type, std::move(pending.bytes));
        }
        pending = PendingObject{};
    }

    void StoreObject(int id, int type, QByteArray bytes) {
        PlusObject& object = plus_.objects[size_t(id)];
        object = PlusObject{};
        if (type == emfplus::kObjectTypeImage) {
            object.type = type;
            object.bytes = std::move(bytes);
        }
    }

    const QImage& PlusImage(int id) {
        PlusObject& object = plus_.objects[size_t(id)];
        if (object.type == emfplus::kObjectTypeImage && !object.decoded) {
            object.decoded = true;
            object.image = DecodePlusImage(object.bytes, canvas_.DecodeLimit());
            canvas_.SpendDecode(object.image);
            object.bytes.clear();
        }
        return object.image;
    }

    QRectF ReadRectF(LeReader& r) {
        const float x = r.F32();
        const float y = r.F32();
        const float width = r.F32();
        const float height = r.F32();
        return QRectF(x, y, width, height);
    }

    QPointF ReadPoint(LeReader& r, bool compressed) {
        if (compressed) {
            const qint16 x = r.I16();
            const qint16 y = r.I16();
            return QPointF(x, y);
        }
        const float x = r.F32();
        const float y = r.F32();
        return QPointF(x, y);
    }

    void DrawPlusImage(quint16 flags, LeReader& r) {
        r.Skip(8);  // image attributes, source unit (taken as pixels)
        const QRectF source = ReadRectF(r);
        const bool compressed = (flags & emfplus::kCompressedRect) != 0;
        const QPointF topLeft = ReadPoint(r, compressed);
        const QPointF size = ReadPoint(r, compressed);
        if (r.Ok()) {
            DrawPlusParallelogram(flags & 0xFF, source, topLeft, topLeft + QPointF(size.x(), 0),
                                  topLeft + QPointF(0, size.y()));
        }
    }

    void DrawPlusImagePoints(quint16 flags, LeReader& r) {
        r.Skip(8);  // image attributes, source unit
        const QRectF source = ReadRectF(r);
        const quint32 count = r.U32();
        if ((flags & emfplus::kRelativePoints) != 0 || count != 3) {
            return;
        }
        const bool compressed = (flags & emfplus::kCompressedRect) != 0;
        const QPointF p0 = ReadPoint(r, compressed);
        const QPointF p1 = ReadPoint(r, compressed);
        const QPointF p2 = ReadPoint(r, compressed);
        if (r.Ok()) {
            DrawPlusParallelogram(flags & 0xFF, source, p0, p1, p2);
        }
    }

    void DrawPlusParallelogram(int id, const QRectF& source, QPointF p0, QPointF p1, QPointF p2) {
        if (id >= int(plus_.objects.size()) || source.width() == 0 || source.height() == 0) {
            return;
        }
        const QImage& image = PlusImage(id);
        const QTransform toCanvas =
            RectToParallelogram(source, p0, p1, p2) * plus_.world * PageScale() * deviceToCanvas_;
        if (canvas_.Draw(image, source, toCanvas, kSrcCopy)) {
            plus_.drew = true;
        }
    }

    Canvas& canvas_;
    const QTransform deviceToCanvas_;
    const qint64 fileSize_;
    PlusState plus_;
};

EmfPlusPlayer::EmfPlusPlayer(Canvas& canvas, const QTransform& deviceToCanvas, qint64 fileSize)
    : impl_(std::make_unique<Impl>(canvas, deviceToCanvas, fileSize)) {}

EmfPlusPlayer::~EmfPlusPlayer() = default;

void EmfPlusPlayer::Records(LeReader r) {
    impl_->Records(r);
}

bool EmfPlusPlayer::Seen() const {
    return impl_->Seen();
}

bool EmfPlusPlayer::GetDc() const {
    return impl_->GetDc();
}

bool EmfPlusPlayer::Drew() const {
    return impl_->Drew();
}

QTransform ReadMatrix(LeReader& r) {

    const float m11 = r.F32();
    const float m12 = r.F32();
    const float m21 = r.F32();
    const float m22 = r.F32();
    const float dx = r.F32();
    const float dy = r.F32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

}  // namespace corvane::metafile
