// The EMF+ records of an EMF file.

#include "metafile_emfplus.h"

#include "metafile_dib.h"
#include "metafile_emfplus_objects.h"
#include "metafile_text.h"

#include <QFontMetricsF>

#include <algorithm>
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

// What EmfPlusSave and EmfPlusBeginContainer keep.
struct SavedGraphics {
    quint32 id = 0;
    QTransform world;
    ClipPath clip;
};

struct PlusState {
    bool seen = false;   // an EmfPlusHeader was read
    bool dual = false;   // EMF records that draw the same follow the EMF+ records
    bool getDc = false;  // EmfPlusGetDC: EMF records are drawn until the next EMF+ record
    bool drew = false;
    bool failed = false;  // a drawing record could not be drawn as it asks
    ClipPath clip;
    std::vector<SavedGraphics> saved;
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
    bool Dual() const { return plus_.dual; }
    bool GetDc() const { return plus_.getDc; }
    bool Drew() const { return plus_.drew; }
    bool Failed() const { return plus_.failed; }

private:
    void Record(quint16 type, quint16 flags, LeReader r) {
        if (type != emfplus::kObject) {
            FinishObject();
        }
        plus_.getDc = type == emfplus::kGetDc;
        switch (type) {
            case emfplus::kHeader:
                plus_.dual = (flags & emfplus::kHeaderDual) != 0;
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
            case emfplus::kRotateWorldTransform: {
                const float angle = r.F32();
                QTransform rotation;
                rotation.rotate(angle);
                MultiplyWorld(flags, rotation, r.Ok() && std::isfinite(angle));
                break;
            }
            default:
                if (!GraphicsRecord(type, flags, r)) {
                    Drawing(type, flags, r);
                }
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
            plus_.world =
                (flags & emfplus::kPostMultiply) ? plus_.world * matrix : matrix * plus_.world;
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
        object.type = type;
        object.bytes = std::move(bytes);
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
        if (canvas_.Draw(image, source, toCanvas, kSrcCopy, plus_.clip)) {
            plus_.drew = true;
        } else if (image.isNull()) {
            plus_.failed = true;
        }
    }

    QTransform WorldToCanvas() const { return plus_.world * PageScale() * deviceToCanvas_; }

    // Device pixels per unit of `unit`; world units are not fixed and give 0.
    double DevicePerUnit(int unit) const {
        switch (unit) {
            case emfplus::kUnitDisplay:
            case emfplus::kUnitPixel:
                return 1;
            case emfplus::kUnitPoint:
                return plus_.dpiY / 72;
            case emfplus::kUnitInch:
                return plus_.dpiY;
            case emfplus::kUnitDocument:
                return plus_.dpiY / 300;
            case emfplus::kUnitMillimeter:
                return plus_.dpiY / 25.4;
            default:
                return 0;
        }
    }

    // A length in `unit` as world units.
    double WorldLength(double length, int unit) const {
        const double perUnit = DevicePerUnit(unit);
        const double worldToDevice = LengthScale(plus_.world * PageScale());
        if (perUnit == 0 || worldToDevice <= 0) {
            return length;
        }
        return length * perUnit / worldToDevice;
    }

    // The bytes of object `id` when it is of `type`; a failed reader otherwise.
    LeReader Object(int id, int type) const {
        if (id < 0 || id >= int(plus_.objects.size()) || plus_.objects[size_t(id)].type != type) {
            return LeReader().Slice(0, 1);
        }
        return LeReader(plus_.objects[size_t(id)].bytes);
    }

    // The brush of a Fill record: an ARGB colour with kSolidColour, else a brush object.
    std::optional<QBrush> BrushOf(quint16 flags, quint32 brushId) const {
        if (flags & emfplus::kSolidColour) {
            return QBrush(PlusColour(brushId));
        }
        const LeReader object =
            Object(brushId > 0xFF ? -1 : int(brushId), emfplus::kObjectTypeBrush);
        return object.Ok() ? ReadPlusBrush(object) : std::nullopt;
    }

    std::optional<QPen> PenOf(int penId) const {
        const LeReader object = Object(penId, emfplus::kObjectTypePen);
        const auto pen = object.Ok() ? ReadPlusPen(object) : std::nullopt;
        if (!pen) {
            return std::nullopt;
        }
        const double width = WorldLength(pen->width, pen->unit) * LengthScale(WorldToCanvas());
        QPen qpen(pen->brush, width < 1 ? 0 : width, Qt::SolidLine, pen->cap, pen->join);
        qpen.setMiterLimit(pen->miterLimit);
        if (!pen->dashes.isEmpty()) {
            qpen.setDashPattern(pen->dashes);
        }
        return qpen;
    }

    // Charges `work` and gives the painter.
    QPainter* Painter(qint64 work) {
        plus_.drew = true;
        return canvas_.Begin(work, plus_.clip);
    }

    void FillShape(const QPainterPath& world, const std::optional<QBrush>& brush) {
        const QTransform toCanvas = WorldToCanvas();
        if (!brush) {
            plus_.failed = true;
            return;
        }
        if (!Usable(toCanvas)) {
            return;
        }
        const QPainterPath path = toCanvas.map(world);
        if (QPainter* painter = Painter(FillWork(path, canvas_.Rect()))) {
            QBrush mapped = *brush;
            mapped.setTransform(brush->transform() * toCanvas);
            painter->fillPath(CutToCanvas(path, canvas_.Rect(), false, 0), mapped);
        }
    }

    void DrawShape(const QPainterPath& world, int penId) {
        const QTransform toCanvas = WorldToCanvas();
        const auto pen = PenOf(penId);
        if (!pen) {
            plus_.failed = true;
            return;
        }
        if (!Usable(toCanvas)) {
            return;
        }
        const QPainterPath path = toCanvas.map(world);
        if (QPainter* painter = Painter(StrokeWork(path, pen->widthF()))) {
            QPen mapped = *pen;
            QBrush brush = mapped.brush();
            brush.setTransform(brush.transform() * toCanvas);
            mapped.setBrush(brush);
            StrokeInPieces(*painter,
                           CutToCanvas(path, canvas_.Rect(), true, std::max(1.0, pen->widthF())),
                           mapped);
        }
    }

    static QPainterPath RectsPath(const std::vector<QRectF>& rects) {
        QPainterPath path;
        for (const QRectF& rect : rects) {
            path.addRect(rect);
        }
        return path;
    }

    // A pie or arc: angles in degrees, clockwise from the x axis.
    static QPainterPath ArcPath(const QRectF& box, float start, float sweep, bool pie) {
        QPainterPath path;
        if (pie) {
            path.moveTo(box.center());
        } else {
            path.arcMoveTo(box, -start);
        }
        path.arcTo(box, -start, -std::clamp<double>(sweep, -3600, 3600));
        if (pie) {
            path.closeSubpath();
        }
        return path;
    }

    QRectF ReadRect(LeReader& r, quint16 flags) {
        const auto rects = ReadPlusRects(r, 1, flags);
        return rects ? rects->front() : QRectF();
    }

    // The drawing records.
    void Drawing(quint16 type, quint16 flags, LeReader& r) {
        const int objectId = flags & 0xFF;
        switch (type) {
            case emfplus::kClear: {
                const quint32 argb = r.U32();
                if (QPainter* painter = r.Ok() ? canvas_.Begin(Area(canvas_.Rect()), plus_.clip,
                                                               QPainter::CompositionMode_Source)
                                               : nullptr) {
                    painter->fillRect(canvas_.Rect(), PlusColour(argb));
                    plus_.drew = true;
                }
                break;
            }
            case emfplus::kFillRects: {
                const quint32 brush = r.U32();
                const auto rects = ReadPlusRects(r, r.U32(), flags);
                if (rects) {
                    FillShape(RectsPath(*rects), BrushOf(flags, brush));
                }
                break;
            }
            case emfplus::kDrawRects: {
                const auto rects = ReadPlusRects(r, r.U32(), flags);
                if (rects) {
                    DrawShape(RectsPath(*rects), objectId);
                }
                break;
            }
            case emfplus::kFillPolygon: {
                const quint32 brush = r.U32();
                const auto points = ReadPlusPoints(r, r.U32(), flags);
                if (points) {
                    QPainterPath path;
                    path.addPolygon(*points);
                    path.closeSubpath();
                    FillShape(path, BrushOf(flags, brush));
                }
                break;
            }
            case emfplus::kDrawLines:
            case emfplus::kDrawBeziers: {
                constexpr quint16 kClosed = 0x2000;
                const auto points = ReadPlusPoints(r, r.U32(), flags);
                if (!points || points->isEmpty()) {
                    break;
                }
                const QPolygonF& p = *points;
                QPainterPath path(p.front());
                for (qsizetype i = 1; i < p.size(); ++i) {
                    if (type == emfplus::kDrawLines) {
                        path.lineTo(p[i]);
                    } else if (i + 2 < p.size()) {
                        path.cubicTo(p[i], p[i + 1], p[i + 2]);
                        i += 2;
                    }
                }
                if (type == emfplus::kDrawLines && (flags & kClosed)) {
                    path.closeSubpath();
                }
                DrawShape(path, objectId);
                break;
            }
            case emfplus::kFillEllipse:
            case emfplus::kDrawEllipse: {
                const quint32 brush = type == emfplus::kFillEllipse ? r.U32() : 0;
                const QRectF box = ReadRect(r, flags);
                if (!r.Ok()) {
                    break;
                }
                QPainterPath path;
                path.addEllipse(box);
                type == emfplus::kFillEllipse ? FillShape(path, BrushOf(flags, brush))
                                              : DrawShape(path, objectId);
                break;
            }
            case emfplus::kFillPie:
            case emfplus::kDrawPie:
            case emfplus::kDrawArc: {
                const quint32 brush = type == emfplus::kFillPie ? r.U32() : 0;
                const float start = r.F32();
                const float sweep = r.F32();
                const QRectF box = ReadRect(r, flags);
                if (!r.Ok() || !std::isfinite(start) || !std::isfinite(sweep)) {
                    break;
                }
                const QPainterPath path = ArcPath(box, start, sweep, type != emfplus::kDrawArc);
                type == emfplus::kFillPie ? FillShape(path, BrushOf(flags, brush))
                                          : DrawShape(path, objectId);
                break;
            }
            case emfplus::kFillPath:
            case emfplus::kDrawPath: {
                const quint32 other = r.U32();
                const LeReader object = Object(objectId, emfplus::kObjectTypePath);
                const auto path = object.Ok() ? ReadPlusPath(object) : std::nullopt;
                if (!r.Ok()) {
                    break;
                }
                if (!path) {
                    plus_.failed = true;
                } else if (type == emfplus::kFillPath) {
                    FillShape(*path, BrushOf(flags, other));
                } else {
                    DrawShape(*path, int(other & 0xFF));
                }
                break;
            }
            case emfplus::kFillRegion: {
                const quint32 brush = r.U32();
                const auto region = Region(objectId);
                if (r.Ok() && region) {
                    FillShape(*region, BrushOf(flags, brush));
                } else {
                    plus_.failed = true;
                }
                break;
            }
            case emfplus::kDrawString:
                DrawString(flags, r);
                break;
            case emfplus::kDrawDriverString:
                DrawDriverString(flags, r);
                break;
            default:
                break;
        }
    }

    std::optional<QPainterPath> Region(int id) const {
        const LeReader object = Object(id, emfplus::kObjectTypeRegion);
        const QTransform toCanvas = WorldToCanvas();
        if (!object.Ok() || !Usable(toCanvas)) {
            return std::nullopt;
        }
        // The infinite region: the canvas in world units.
        const QRectF everything = toCanvas.inverted().mapRect(canvas_.Rect());
        return ReadPlusRegion(object, everything);
    }

    // Where text starting at a world point goes: a painter transform to that point on the canvas,
    // turned along the world's x axis, and the canvas pixels per world unit across and down.
    // Text is drawn in canvas pixels: a font scaled by an extreme painter transform is beyond
    // what the glyph cache can draw.
    struct TextPlacement {
        QTransform place;
        double xScale = 1;
        double yScale = 1;
    };

    std::optional<TextPlacement> PlaceText(QPointF world) const {
        const QTransform toCanvas = WorldToCanvas();
        if (!Usable(toCanvas)) {
            return std::nullopt;
        }
        const QPointF origin = toCanvas.map(world);
        const QPointF across = toCanvas.map(world + QPointF(1, 0)) - origin;
        const QPointF down = toCanvas.map(world + QPointF(0, 1)) - origin;
        TextPlacement placement;
        placement.xScale = std::hypot(across.x(), across.y());
        placement.yScale = std::hypot(down.x(), down.y());
        placement.place.translate(origin.x(), origin.y());
        placement.place.rotate(std::atan2(across.y(), across.x()) * 180 / M_PI);
        return placement;
    }

    // The font of a text record at `yScale` canvas pixels per world unit; none when it is missing,
    // too small to see or larger than any picture.
    std::optional<QFont> PlusFontOf(int id, double yScale) const {
        const LeReader object = Object(id, emfplus::kObjectTypeFont);
        const auto font = object.Ok() ? ReadPlusFont(object) : std::nullopt;
        if (!font) {
            return std::nullopt;
        }
        const double em = WorldLength(font->emSize, font->unit) * yScale;
        if (!std::isfinite(em) || em < 0.5 ||
            em > 8 * std::max(canvas_.Size().width(), canvas_.Size().height())) {
            return std::nullopt;
        }
        QFont qfont = FontOfFamily(font->family);
        qfont.setPointSizeF(em * 72 / kDisplayDpi);
        qfont.setBold(font->bold);
        qfont.setItalic(font->italic);
        qfont.setUnderline(font->underline);
        qfont.setStrikeOut(font->strikeout);
        return qfont;
    }

    // Starts text placed at `placement` covering `box` (placed pixels); null when nothing is to be
    // drawn.
    QPainter* TextPainter(const QFont& font, const QBrush& brush, const TextPlacement& placement,
                          const QRectF& box, qsizetype characters) {
        constexpr qint64 kWorkPerCharacter = 16;
        QPainter* painter = canvas_.Begin(kWorkPerCall + characters * kWorkPerCharacter +
                                              Area(placement.place.mapRect(box) & canvas_.Rect()),
                                          plus_.clip);
        if (painter != nullptr) {
            painter->setTransform(placement.place);
            painter->setFont(font);
            painter->setPen(QPen(brush, 0));
        }
        return painter;
    }

    // Checks what every text record needs; the font when the text is to be drawn.
    std::optional<QFont> TextFont(int fontId, const std::optional<QBrush>& brush,
                                  const std::optional<TextPlacement>& placement) {
        if (!brush) {
            plus_.failed = true;
            return std::nullopt;
        }
        if (!placement) {
            return std::nullopt;
        }
        plus_.drew = true;
        return CanDrawText() ? PlusFontOf(fontId, placement->yScale) : std::nullopt;
    }

    void DrawString(quint16 flags, LeReader& r) {
        const quint32 brushId = r.U32();
        const quint32 formatId = r.U32();
        const quint32 length = r.U32();
        const QRectF layout = ReadRect(r, 0);
        const LeReader chars = r.Slice(r.Pos(), qint64(length) * 2);
        if (!r.Ok() || !chars.Ok()) {
            return;
        }
        QString text;
        LeReader units = chars;
        for (quint32 i = 0; i < length; ++i) {
            text += QChar(units.U16());
        }
        const auto placement = PlaceText(layout.topLeft());
        const auto brush = BrushOf(flags, brushId);
        const auto font = TextFont(flags & 0xFF, brush, placement);
        if (!font) {
            return;
        }
        const QFontMetricsF metrics(*font);
        const QRectF box(0, 0, layout.width() * placement->xScale,
                         layout.height() * placement->yScale);
        const bool unbounded = !(box.width() > 0) || !(box.height() > 0);
        const QRectF covered =
            unbounded ? QRectF(0, 0, metrics.horizontalAdvance(text), metrics.height()) : box;
        QPainter* painter = TextPainter(*font, *brush, *placement, covered, text.size());
        if (painter == nullptr) {
            return;
        }
        const LeReader formatObject =
            Object(int(formatId & 0xFF), emfplus::kObjectTypeStringFormat);
        const PlusStringFormat format =
            formatObject.Ok() ? ReadPlusStringFormat(formatObject) : PlusStringFormat{};
        static const int kAlign[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
        static const int kLineAlign[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
        const int alignment = kAlign[std::clamp(format.alignment, 0, 2)] |
                              kLineAlign[std::clamp(format.lineAlignment, 0, 2)] |
                              (format.noWrap ? 0 : int(Qt::TextWordWrap));
        if (unbounded) {
            painter->drawText(QPointF(0, metrics.ascent()), text);
        } else {
            painter->drawText(box, alignment, text);
        }
        painter->resetTransform();
    }

    // Glyphs as characters (DriverStringOptionsCmapLookup), each at its own position.
    void DrawDriverString(quint16 flags, LeReader& r) {
        constexpr quint32 kCmapLookup = 0x1;
        const quint32 brushId = r.U32();
        const quint32 options = r.U32();
        r.U32();  // matrix present: glyphs are drawn upright
        const quint32 count = r.U32();
        if (!r.Ok() || qint64(count) * 10 > r.Remaining()) {
            return;
        }
        if (!(options & kCmapLookup)) {
            plus_.failed = true;  // glyph indices of a font we may not have
            return;
        }
        QString text;
        for (quint32 i = 0; i < count; ++i) {
            text += QChar(r.U16());
        }
        const auto positions = ReadPlusPoints(r, count, 0);
        if (!positions || positions->isEmpty()) {
            return;
        }
        const auto first = PlaceText(positions->front());
        const auto brush = BrushOf(flags, brushId);
        const auto font = TextFont(flags & 0xFF, brush, first);
        if (!font) {
            return;
        }
        const QRectF spread = WorldToCanvas().mapRect(positions->boundingRect());
        QPainter* painter =
            TextPainter(*font, *brush, TextPlacement{},
                        spread.adjusted(-font->pointSizeF() * 2, -font->pointSizeF() * 2,
                                        font->pointSizeF() * 2, font->pointSizeF() * 2),
                        text.size());
        if (painter == nullptr) {
            return;
        }
        for (quint32 i = 0; i < count; ++i) {
            if (const auto at = PlaceText((*positions)[qsizetype(i)])) {
                painter->setTransform(at->place);
                painter->drawText(QPointF(0, 0), QString(text.at(qsizetype(i))));
            }
        }
        painter->resetTransform();
    }

    // Save, restore, containers and clipping; false for any other record.
    bool GraphicsRecord(quint16 type, quint16 flags, LeReader& r) {
        const int combine = (flags >> 8) & 0x0F;
        switch (type) {
            case emfplus::kSave:
            case emfplus::kBeginContainerNoParams:
                Push(r.U32());
                return true;
            case emfplus::kBeginContainer: {
                const QRectF dest = ReadRect(r, 0);
                const QRectF source = ReadRect(r, 0);
                const quint32 id = r.U32();
                if (!r.Ok()) {
                    return true;
                }
                Push(id);
                if (source.width() != 0 && source.height() != 0) {
                    plus_.world = RectToRect(source, dest) * plus_.world;
                }
                return true;
            }
            case emfplus::kRestore:
            case emfplus::kEndContainer:
                Pop(r.U32());
                return true;
            case emfplus::kResetClip:
                plus_.clip.reset();
                return true;
            case emfplus::kSetClipRect: {
                QPainterPath path;
                path.addRect(ReadRect(r, 0));
                if (r.Ok()) {
                    Clip(path, combine);
                }
                return true;
            }
            case emfplus::kSetClipPath: {
                const LeReader object = Object(flags & 0xFF, emfplus::kObjectTypePath);
                if (const auto path = object.Ok() ? ReadPlusPath(object) : std::nullopt) {
                    Clip(*path, combine);
                }
                return true;
            }
            case emfplus::kSetClipRegion:
                if (const auto region = Region(flags & 0xFF)) {
                    Clip(*region, combine);
                }
                return true;
            case emfplus::kOffsetClip: {
                const float dx = r.F32();
                const float dy = r.F32();
                const QTransform toCanvas = WorldToCanvas();
                if (r.Ok() && plus_.clip && Usable(toCanvas)) {
                    const QPointF offset = toCanvas.map(QPointF(dx, dy)) - toCanvas.map(QPointF());
                    plus_.clip =
                        std::make_shared<const QPainterPath>(plus_.clip->translated(offset));
                }
                return true;
            }
            default:
                return false;
        }
    }

    void Push(quint32 id) {
        constexpr size_t kMaxSaved = 1024;
        if (plus_.saved.size() < kMaxSaved) {
            plus_.saved.push_back(SavedGraphics{id, plus_.world, plus_.clip});
        }
    }

    void Pop(quint32 id) {
        auto& saved = plus_.saved;
        const auto found = std::find_if(saved.rbegin(), saved.rend(),
                                        [id](const SavedGraphics& s) { return s.id == id; });
        if (found == saved.rend()) {
            return;
        }
        plus_.world = found->world;
        plus_.clip = found->clip;
        saved.erase(std::next(found).base(), saved.end());
    }

    // CombineModeReplace, Intersect, Union, XOR, Exclude and Complement of a world-unit shape.
    void Clip(const QPainterPath& world, int combine) {
        const QTransform toCanvas = WorldToCanvas();
        const QPainterPath current = plus_.clip ? *plus_.clip : [this] {
            QPainterPath all;
            all.addRect(canvas_.Rect());
            return all;
        }();
        if (!Usable(toCanvas) ||
            !canvas_.Spend(kWorkPerCall + 4 * (current.elementCount() + world.elementCount()))) {
            return;
        }
        const QPainterPath path = toCanvas.map(world);
        QPainterPath result;
        switch (combine) {
            case 0:
                result = path;
                break;
            case 1:
                result = current.intersected(path);
                break;
            case 2:
                result = current.united(path);
                break;
            case 3:
                result = current.subtracted(path).united(path.subtracted(current));
                break;
            case 4:
                result = current.subtracted(path);
                break;
            case 5:
                result = path.subtracted(current);
                break;
            default:
                return;
        }
        plus_.clip =
            std::make_shared<const QPainterPath>(CutToCanvas(result, canvas_.Rect(), false, 0));
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

bool EmfPlusPlayer::Dual() const {
    return impl_->Dual();
}

bool EmfPlusPlayer::Drew() const {
    return impl_->Drew();
}

bool EmfPlusPlayer::Failed() const {
    return impl_->Failed();
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
