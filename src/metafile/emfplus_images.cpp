// EMF+ images: EmfPlusImage objects holding a bitmap (compressed, or pixel data), drawn by
// EmfPlusDrawImage and EmfPlusDrawImagePoints.

#include "dib.h"
#include "emfplus_player.h"

#include <algorithm>

namespace corvane::metafile {
namespace {

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

}  // namespace

const QImage& EmfPlusPlayer::Impl::PlusImage(int id) {
    PlusObject& object = plus_.objects[size_t(id)];
    if (object.type == emfplus::kObjectTypeImage && !object.decoded) {
        object.decoded = true;
        object.image = DecodePlusImage(object.bytes, canvas_.DecodeLimit());
        canvas_.SpendDecode(object.image);
        object.bytes.clear();
    }
    return object.image;
}

void EmfPlusPlayer::Impl::DrawPlusImage(quint16 flags, LeReader& r) {
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

void EmfPlusPlayer::Impl::DrawPlusImagePoints(quint16 flags, LeReader& r) {
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

void EmfPlusPlayer::Impl::DrawPlusParallelogram(int id, const QRectF& source, QPointF p0,
                                                QPointF p1, QPointF p2) {
    if (id >= int(plus_.objects.size()) || source.width() == 0 || source.height() == 0) {
        return;
    }
    const QImage& image = PlusImage(id);
    const QTransform toCanvas =
        RectToParallelogram(source, p0, p1, p2) * plus_.world * PageScale() * deviceToCanvas_;
    if (canvas_.Draw(image, source, toCanvas, kSrcCopy, plus_.clip)) {
        plus_.drew = true;
    } else if (image.isNull()) {
        plus_.failed = true;
    }
}

}  // namespace corvane::metafile
