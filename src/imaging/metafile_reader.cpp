// Recognising metafiles and rendering the raster pictures they hold.
//
// Only raster records are drawn; vector records are skipped. A file in which nothing was drawn
// gives a null image (the loader then counts the file as not recognised) rather than a blank
// frame that would pass for a picture.
//
// EMF: the frame comes from the header (rclFrame in 0.01 mm through the reference device's pixels
// per millimetre, or rclBounds when they agree with it, which gives the exact pixel count).
// Drawn: EMR_STRETCHDIBITS, EMR_BITBLT and EMR_STRETCHBLT with a bitmap, EMR_SETDIBITSTODEVICE,
// EMR_ALPHABLEND; EMF+ EmfPlusDrawImage and EmfPlusDrawImagePoints of bitmap objects (pixel data
// or PNG/JPEG/GIF/BMP). Coordinates go through the world transform, the map mode with window and
// viewport, and from the reference device to the frame. A file with EMF+ records is drawn as an
// EMF+ reader draws it (EMF records only after EmfPlusGetDC); if the EMF+ records drew nothing,
// the file is drawn again from its EMF records alone.
//
// WMF: a complete, intact embedded EMF (META_ESCAPE comments) is rendered in preference to the
// WMF records. Otherwise the frame is the placeable header's box at its units per inch (shown at
// 96 DPI), or the window in force at the first raster record, and the window is mapped onto it.
// Drawn: META_STRETCHDIB, META_DIBSTRETCHBLT, META_DIBBITBLT, META_SETDIBTODEV, and
// META_STRETCHBLT and META_BITBLT with a monochrome or true-colour bitmap.
//
// Input is untrusted: every count, size and offset is checked against the bytes before use, the
// frame and every bitmap must stay within maxPixels, and the pixel work of one file is bounded,
// so that no file can make the renderer allocate or loop beyond those limits.

#include "imaging/metafile.h"
#include "metafile_records.h"

#include <QPainter>
#include <QTransform>

#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace corvane {
namespace {

using namespace metafile;

// Pixel work allowed for one file, decoding and drawing together: 16 times the frame's area, or
// of 4 megapixels for smaller frames, so that a small frame may still show a large bitmap scaled
// down. Legitimate files draw each pixel a few times at most.
constexpr qint64 kWorkPerFramePixel = 16;
constexpr qint64 kWorkFloor = qint64(1) << 22;
// Larger sides than this are refused whatever maxPixels allows.
constexpr double kMaxSide = double(1 << 24);
// Saved device contexts kept at most; further saves are ignored.
constexpr size_t kMaxSavedStates = 1024;
constexpr double kDisplayDpi = 96.0;

// --- drawing -----------------------------------------------------------------------------------

// How a GDI raster operation combines the bitmap with what is there; none for an operation that
// does not use the bitmap (a fill, which this renderer does not draw).
std::optional<QPainter::CompositionMode> CompositionOf(quint32 rop) {
    const quint32 index = (rop >> 16) & 0xFF;
    if (((index >> 2) & 0x33) == (index & 0x33)) {
        return std::nullopt;
    }
    switch (rop) {
        case 0x00EE0086:  // SRCPAINT
            return QPainter::RasterOp_SourceOrDestination;
        case 0x008800C6:  // SRCAND
            return QPainter::RasterOp_SourceAndDestination;
        case 0x00660046:  // SRCINVERT
            return QPainter::RasterOp_SourceXorDestination;
        case 0x00440328:  // SRCERASE
            return QPainter::RasterOp_SourceAndNotDestination;
        case 0x00330008:  // NOTSRCCOPY
            return QPainter::RasterOp_NotSource;
        case 0x001100A6:  // NOTSRCERASE
            return QPainter::RasterOp_NotSourceAndNotDestination;
        case 0x00BB0226:  // MERGEPAINT
            return QPainter::RasterOp_NotSourceOrDestination;
        default:  // SRCCOPY, and the picture itself for the rest
            return QPainter::CompositionMode_SourceOver;
    }
}

qint64 Area(const QRectF& rect) {
    return qint64(std::ceil(rect.width())) * qint64(std::ceil(rect.height()));
}

// A transform QPainter can use safely: finite, invertible, and not throwing the picture
// absurdly far (Qt's raster engine works partly in fixed point).
bool Usable(const QTransform& t) {
    const double values[] = {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(),
                             t.m23(), t.m31(), t.m32(), t.m33()};
    for (double value : values) {
        if (!std::isfinite(value) || std::abs(value) > 1e7) {
            return false;
        }
    }
    const double determinant = t.determinant();
    return std::isfinite(determinant) && std::abs(determinant) > 1e-12;
}

bool IsIntegerTranslation(const QTransform& t) {
    return t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) &&
           t.dy() == std::floor(t.dy());
}

// Maps the rectangle `source` (either extent may be negative, which mirrors) onto `dest`.
QTransform RectToRect(const QRectF& source, const QRectF& dest) {
    return QTransform::fromTranslate(-source.x(), -source.y()) *
           QTransform::fromScale(dest.width() / source.width(), dest.height() / source.height()) *
           QTransform::fromTranslate(dest.x(), dest.y());
}

// Maps the rectangle `source` onto the parallelogram with corners p0 (for its top left), p1 (top
// right) and p2 (bottom left).
QTransform RectToParallelogram(const QRectF& source, QPointF p0, QPointF p1, QPointF p2) {
    const QPointF across = (p1 - p0) / source.width();
    const QPointF down = (p2 - p0) / source.height();
    return QTransform::fromTranslate(-source.x(), -source.y()) *
           QTransform(across.x(), across.y(), down.x(), down.y(), p0.x(), p0.y());
}

// The bitmap being rendered, and the pixel work still allowed.
class Canvas {
public:
    Canvas(QSize size, qint64 maxPixels)
        : size_(size),
          maxPixels_(maxPixels),
          work_(kWorkPerFramePixel * std::max(Area(QRectF(QPointF(), size)), kWorkFloor)) {}

    // Pixels a bitmap decoded now may have.
    qint64 DecodeLimit() const { return std::min(maxPixels_, work_); }
    void SpendDecode(const QImage& image) {
        work_ = std::max<qint64>(0, work_ - qint64(image.width()) * image.height());
    }

    // Draws the `source` rectangle of `image` through `toCanvas`, combined as `rop` says. False
    // when nothing was drawn.
    bool Draw(const QImage& image, QRectF source, const QTransform& toCanvas, quint32 rop,
              double opacity = 1.0) {
        const auto mode = CompositionOf(rop);
        source = source.normalized() & QRectF(image.rect());
        if (!mode || image.isNull() || source.isEmpty() || !Usable(toCanvas) || opacity <= 0) {
            return false;
        }
        const QRectF target = toCanvas.mapRect(source) & QRectF(QPointF(), size_);
        const qint64 cost = Area(source) + Area(target);
        if (target.isEmpty()) {
            return false;
        }
        if (cost > work_) {
            work_ = 0;  // spent: nothing more is drawn from this file
            return false;
        }
        work_ -= cost;
        if (!drawn_ && *mode == QPainter::CompositionMode_SourceOver && opacity >= 1.0 &&
            toCanvas.isIdentity() && source == QRectF(image.rect()) && image.size() == size_) {
            // The picture is the whole frame at 1:1: keep its pixels exactly.
            image_ = image.convertToFormat(QImage::Format_ARGB32);
            drawn_ = !image_.isNull();
            return drawn_;
        }
        if (image_.isNull()) {
            image_ = QImage(size_, QImage::Format_ARGB32_Premultiplied);
            if (image_.isNull()) {
                return false;
            }
            image_.fill(Qt::transparent);
        }
        QPainter painter(&image_);
        painter.setCompositionMode(*mode);
        painter.setOpacity(opacity);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, !IsIntegerTranslation(toCanvas));
        painter.setTransform(toCanvas);
        painter.drawImage(source, image, source);
        drawn_ = true;
        return true;
    }

    // Starts again on an empty frame; the work already spent stays spent.
    void Clear() {
        image_ = QImage();
        drawn_ = false;
    }

    QImage Take() {
        if (!drawn_) {
            return {};
        }
        return std::move(image_).convertToFormat(QImage::Format_ARGB32);
    }

private:
    QSize size_;
    qint64 maxPixels_;
    qint64 work_;
    QImage image_;
    bool drawn_ = false;
};

// The source rectangle of a DIB call in top-down image rows: DIB calls measure it from the
// bottom-left corner of a bottom-up DIB.
QRectF DibSourceRect(const DecodedDib& dib, double x, double y, double width, double height) {
    if (!dib.bottomUp) {
        return QRectF(x, y, width, height);
    }
    return QRectF(x, dib.image.height() - y - height, width, height);
}

bool ValidSize(double width, double height, qint64 maxPixels) {
    return std::isfinite(width) && std::isfinite(height) && width >= 1 && height >= 1 &&
           width <= kMaxSide && height <= kMaxSide && qint64(width) <= maxPixels / qint64(height);
}

// --- EMF ---------------------------------------------------------------------------------------

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

// Millimetres per logical unit of the fixed map modes (MM_LOMETRIC to MM_TWIPS); 0 for others.
double MillimetresPerUnit(int mapMode) {
    switch (mapMode) {
        case 2:
            return 0.1;
        case 3:
            return 0.01;
        case 4:
            return 0.254;
        case 5:
            return 0.0254;
        case 6:
            return 25.4 / 1440;
        default:
            return 0;
    }
}

// EMR_MODIFYWORLDTRANSFORM modes are 1 to 3; EMR_SETWORLDTRANSFORM is taken as mode 4.
constexpr quint32 kWorldSet = 4;

struct EmfDc {
    int mapMode = kMapModeText;
    QPointF windowOrg{0, 0};
    QPointF windowExt{1, 1};
    QPointF viewportOrg{0, 0};
    QPointF viewportExt{1, 1};
    QTransform world;
};

QPointF ReadPointL(LeReader& r) {
    const qint32 x = r.I32();
    const qint32 y = r.I32();
    return QPointF(x, y);
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
    int pageUnit = 1;  // UnitDisplay: pixels on a screen
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

// The EMF+ records of a file, carried in EMR_COMMENT records: images by object id, the world
// and page transforms, and the image drawing records.
class EmfPlusPlayer {
public:
    EmfPlusPlayer(Canvas& canvas, const QTransform& deviceToCanvas, qint64 fileSize)
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
        constexpr quint16 kAfter = 0x2000;
        if (ok) {
            plus_.world = (flags & kAfter) ? plus_.world * matrix : matrix * plus_.world;
        }
    }

    // Page units to device pixels.
    QTransform PageScale() const {
        double perUnitX = 1;
        double perUnitY = 1;
        switch (plus_.pageUnit) {
            case 3:  // point
                perUnitX = plus_.dpiX / 72;
                perUnitY = plus_.dpiY / 72;
                break;
            case 4:  // inch
                perUnitX = plus_.dpiX;
                perUnitY = plus_.dpiY;
                break;
            case 5:  // document, 1/300 inch
                perUnitX = plus_.dpiX / 300;
                perUnitY = plus_.dpiY / 300;
                break;
            case 6:  // millimetre
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

QTransform DeviceToCanvas(const EmfFrame& frame) {
    return QTransform::fromTranslate(-frame.origin.x(), -frame.origin.y());
}

class EmfPlayer {
public:
    // `plusAware`: read EMF+ records and draw EMF records only where an EMF+ reader would.
    EmfPlayer(const LeReader& file, const EmfFrame& frame, Canvas& canvas, bool plusAware)
        : file_(file),
          frame_(frame),
          canvas_(canvas),
          plusAware_(plusAware),
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
                dc_.mapMode = r.I32();
                break;
            case emr::kSetWindowExtEx:
                dc_.windowExt = ReadPointL(r);
                break;
            case emr::kSetWindowOrgEx:
                dc_.windowOrg = ReadPointL(r);
                break;
            case emr::kSetViewportExtEx:
                dc_.viewportExt = ReadPointL(r);
                break;
            case emr::kSetViewportOrgEx:
                dc_.viewportOrg = ReadPointL(r);
                break;
            case emr::kSaveDc:
                if (saved_.size() < kMaxSavedStates) {
                    saved_.push_back(dc_);
                }
                break;
            case emr::kRestoreDc:
                RestoreDc(r.I32());
                break;
            case emr::kSetWorldTransform:
            case emr::kModifyWorldTransform: {
                const QTransform matrix = ReadMatrix(r);
                const quint32 mode = type == emr::kSetWorldTransform ? kWorldSet : r.U32();
                if (r.Ok()) {
                    SetWorld(matrix, mode);
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

    void RestoreDc(qint32 which) {
        const qint64 index = which < 0 ? qint64(saved_.size()) + which : qint64(which) - 1;
        if (which == 0 || index < 0 || index >= qint64(saved_.size())) {
            return;
        }
        dc_ = saved_[size_t(index)];
        saved_.resize(size_t(index));
    }

    // MWT_IDENTITY, MWT_LEFTMULTIPLY, MWT_RIGHTMULTIPLY, or kWorldSet for SetWorldTransform.
    void SetWorld(const QTransform& matrix, quint32 mode) {
        switch (mode) {
            case 1:
                dc_.world.reset();
                break;
            case 2:
                dc_.world = matrix * dc_.world;
                break;
            case 3:
                dc_.world = dc_.world * matrix;
                break;
            case kWorldSet:
                dc_.world = matrix;
                break;
            default:
                break;
        }
    }

    QTransform PageTransform() const {
        double sx = 1;
        double sy = 1;
        if (dc_.mapMode == kMapModeAnisotropic || dc_.mapMode == kMapModeIsotropic) {
            sx = dc_.viewportExt.x() / dc_.windowExt.x();
            sy = dc_.viewportExt.y() / dc_.windowExt.y();
            if (dc_.mapMode == kMapModeIsotropic) {
                const double scale = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(scale, sx);
                sy = std::copysign(scale, sy);
            }
        } else if (const double mm = MillimetresPerUnit(dc_.mapMode); mm > 0) {
            sx = mm * frame_.pixelsPerMmX;
            sy = -mm * frame_.pixelsPerMmY;
        }
        return QTransform::fromTranslate(-dc_.windowOrg.x(), -dc_.windowOrg.y()) *
               QTransform::fromScale(sx, sy) *
               QTransform::fromTranslate(dc_.viewportOrg.x(), dc_.viewportOrg.y());
    }

    QTransform LogicalToCanvas() const {
        return dc_.world * PageTransform() * DeviceToCanvas(frame_);
    }

    void DrawBitmap(const QImage& image, const QRectF& source, const QRectF& dest, quint32 rop,
                    double opacity = 1.0) {
        if (image.isNull() || source.width() == 0 || source.height() == 0) {
            return;
        }
        canvas_.Draw(image, source, RectToRect(source, dest) * LogicalToCanvas(), rop, opacity);
    }

    DecodedDib Dib(const LeReader& record, quint32 infoOffset, quint32 infoSize, quint32 bitsOffset,
                   quint32 bitsSize, quint32 usage, DibAlpha alpha = DibAlpha::Ignore) {
        if (infoSize == 0) {
            return {};  // a blt without a bitmap fills with the brush: not drawn here
        }
        DecodedDib dib =
            DecodeDib(record.Slice(infoOffset, infoSize), record.Slice(bitsOffset, bitsSize), usage,
                      canvas_.DecodeLimit(), alpha);
        canvas_.SpendDecode(dib.image);
        return dib;
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
        DrawBitmap(dib.image, DibSourceRect(dib, xSrc, ySrc, cxSrc, cySrc),
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
            DecodeDibScans(record.Slice(offBmi, cbBmi), record.Slice(offBits, cbBits), usage, scans,
                           canvas_.DecodeLimit());
        canvas_.SpendDecode(dib.image);
        DrawBitmap(dib.image, DibSourceRect(dib, xSrc, double(ySrc) - startScan, cxSrc, cySrc),
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
            DrawBitmap(dib.image, QRectF(xSrc, ySrc, cxSrc, cySrc),
                       QRectF(xDest, yDest, cxDest, cyDest), kSrcCopy, opacity);
            return;
        }
        const DecodedDib dib = Dib(record, offBmi, cbBmi, offBits, cbBits, usage);
        DrawBitmap(dib.image, QRectF(xSrc, ySrc, cxSrc, cySrc),
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
    const EmfFrame& frame_;
    Canvas& canvas_;
    const bool plusAware_;
    EmfDc dc_;
    std::vector<EmfDc> saved_;
    EmfPlusPlayer plus_;
};

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

// --- WMF ---------------------------------------------------------------------------------------

struct WmfHeader {
    qint64 recordsStart = 0;
    bool placeable = false;
    QRectF box;  // placeable bounding box, logical units
    int unitsPerInch = 0;
};

bool IsStandardWmfHeader(LeReader r) {
    const quint16 type = r.U16();
    const quint16 headerWords = r.U16();
    const quint16 version = r.U16();
    return r.Ok() && (type == kWmfMemoryType || type == kWmfDiskType) &&
           headerWords == kWmfHeaderSize / 2 &&
           (version == kWmfVersion1 || version == kWmfVersion3);
}

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

struct WmfDc {
    bool windowSet = false;
    QPointF windowOrg{0, 0};
    QPointF windowExt{1, 1};
};

class WmfPlayer {
public:
    WmfPlayer(const LeReader& file, QRectF frameWindow, Canvas& canvas, QSize size)
        : file_(file), frameWindow_(frameWindow), canvas_(canvas), size_(size) {}

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
                    dc_.windowOrg = QPointF(x, y);
                } else if (r.Ok()) {
                    dc_.windowExt = QPointF(x, y);
                    dc_.windowSet = true;
                }
                break;
            }
            case wmr::kSaveDc:
                if (saved_.size() < kMaxSavedStates) {
                    saved_.push_back(dc_);
                }
                break;
            case wmr::kRestoreDc:
                RestoreDc(r.I16());
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

    void RestoreDc(qint16 which) {
        const qint64 index = which < 0 ? qint64(saved_.size()) + which : qint64(which) - 1;
        if (which == 0 || index < 0 || index >= qint64(saved_.size())) {
            return;
        }
        dc_ = saved_[size_t(index)];
        saved_.resize(size_t(index));
    }

    // The window is mapped onto the whole frame: the WMF's viewport belongs to its player.
    QTransform LogicalToCanvas() const {
        const QRectF window =
            dc_.windowSet ? QRectF(dc_.windowOrg, QSizeF(dc_.windowExt.x(), dc_.windowExt.y()))
                          : frameWindow_;
        return RectToRect(window, QRectF(QPointF(), size_));
    }

    void Draw(const QImage& image, const QRectF& source, const QRectF& dest, quint32 rop) {
        if (image.isNull() || source.width() == 0 || source.height() == 0) {
            return;
        }
        canvas_.Draw(image, source, RectToRect(source, dest) * LogicalToCanvas(), rop);
    }

    LeReader Rest(const LeReader& record, const LeReader& r) const {
        return record.Slice(r.Pos(), record.Size() - r.Pos());
    }

    DecodedDib PackedDib(const LeReader& packed, quint32 usage) {
        DecodedDib dib = DecodePackedDib(packed, usage, canvas_.DecodeLimit());
        canvas_.SpendDecode(dib.image);
        return dib;
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
        const DecodedDib dib = PackedDib(Rest(record, r), usage);
        Draw(dib.image, DibSourceRect(dib, source.x(), source.y(), source.width(), source.height()),
             dest, rop);
    }

    void StretchBlt(quint16 function, const LeReader& record, LeReader& r) {
        const quint32 rop = r.U32();
        const QRectF source = ReadWmfRect(r);
        const QRectF dest = ReadWmfRect(r);
        if (r.Ok()) {
            Draw(Bitmap(function, Rest(record, r)), source, dest, rop);
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
            Draw(Bitmap(function, Rest(record, r)), QRectF(xSrc, ySrc, width, height),
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
        const DecodedDib dib = DecodeDibScans(info, bits, usage, scans, canvas_.DecodeLimit());
        canvas_.SpendDecode(dib.image);
        Draw(dib.image, DibSourceRect(dib, xSrc, double(ySrc) - startScan, width, height),
             QRectF(xDest, yDest, width, height), kSrcCopy);
    }

    // The bitmap of a blt record: a packed DIB for the META_DIB* records, a device-dependent
    // Bitmap16 for the old ones.
    QImage Bitmap(quint16 function, const LeReader& data) {
        if (function == wmr::kDibStretchBlt || function == wmr::kDibBitBlt) {
            return PackedDib(data, kDibRgbColors).image;
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
    const QRectF frameWindow_;
    Canvas& canvas_;
    const QSize size_;
    WmfDc dc_;
    std::vector<WmfDc> saved_;
};

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
    WmfPlayer(file, window, canvas, size).Play(header.recordsStart);
    return canvas.Take();
}

}  // namespace

RawFormat SniffMetafile(const QByteArray& head) {
    const LeReader r(head);
    if (r.Slice(0, 4).U32() == emr::kHeader && r.Slice(40, 4).U32() == kEmfSignature) {
        return RawFormat::Emf;
    }
    if (r.Slice(0, 4).U32() == kPlaceableKey || IsStandardWmfHeader(r)) {
        return RawFormat::Wmf;
    }
    return RawFormat::Undefined;
}

QImage ReadMetafile(const QByteArray& bytes, qint64 maxPixels) {
    if (maxPixels <= 0) {
        return {};
    }
    switch (SniffMetafile(bytes)) {
        case RawFormat::Emf:
            return RenderEmf(bytes, maxPixels);
        case RawFormat::Wmf:
            return RenderWmf(bytes, maxPixels);
        default:
            return {};
    }
}

}  // namespace corvane
