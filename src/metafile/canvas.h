#pragma once
// Private to the metafile reader: the bitmap a metafile is rendered into, the work one file may
// cost, and the transforms between rectangles that the players share.

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>

#include <memory>
#include <optional>

namespace corvane::metafile {

// Work allowed for one file, decoding and drawing together, in pixels touched: 16 times the
// frame's area, or of 4 megapixels for smaller frames, so that a small frame may still show a
// large bitmap scaled down. Legitimate files draw each pixel a few times at most.
constexpr qint64 kWorkPerFramePixel = 16;
constexpr qint64 kWorkFloor = qint64(1) << 22;
// What one drawing call costs besides its pixels, so that a million tiny shapes end the file.
constexpr qint64 kWorkPerCall = 16;
// Larger sides than this are refused whatever maxPixels allows.
constexpr double kMaxSide = double(1 << 24);
// A metafile becomes a picture at the resolution of a standard screen.
constexpr double kDisplayDpi = 96.0;

// How a GDI ternary raster operation combines a bitmap with what is there; none for an operation
// that does not use the bitmap.
std::optional<QPainter::CompositionMode> CompositionOf(quint32 rop);

// An amount of work as a whole number: NaN and negative amounts are none, huge ones are more than
// any file is allowed.
qint64 Work(double amount);

// Pixels covered by a rectangle, rounded up.
qint64 Area(const QRectF& rect);

// A transform QPainter can use safely: finite, invertible, and not throwing the picture
// absurdly far (Qt's raster engine works partly in fixed point).
bool Usable(const QTransform& t);

bool IsIntegerTranslation(const QTransform& t);

// How much a transform scales lengths, on average over directions.
double LengthScale(const QTransform& t);

// Maps the rectangle `source` (either extent may be negative, which mirrors) onto `dest`.
QTransform RectToRect(const QRectF& source, const QRectF& dest);

// Maps the rectangle `source` onto the parallelogram with corners p0 (for its top left), p1 (top
// right) and p2 (bottom left).
QTransform RectToParallelogram(const QRectF& source, QPointF p0, QPointF p1, QPointF p2);

// Whether a frame of width x height pixels may be rendered.
bool ValidSize(double width, double height, qint64 maxPixels);

// The work of filling a shape: its elements, the pixels of its bounds on the canvas, and the
// scanlines its edges cross, which the rasteriser walks one by one.
qint64 FillWork(const QPainterPath& path, const QRectF& canvas);

// The work of stroking a shape `width` pixels wide: its elements and the pixels along it. Not
// its bounds: a million strokes across the same small canvas cost a million times over.
qint64 StrokeWork(const QPainterPath& path, double width);

// A shape cut to the part that can reach the canvas: Qt's rasteriser walks the whole of a shape,
// visible or not, so a shape reaching millions of pixels beyond a small canvas would take
// seconds. Shapes near the canvas are given back as they are. `forStroke` cuts lines into the
// pieces within reach instead of closing them along the cut; `reach` is the pen's half width.
QPainterPath CutToCanvas(const QPainterPath& path, const QRectF& canvas, bool forStroke,
                         double reach);

// Strokes `path` with `pen`. Long paths with a wide pen are stroked a few thousand points at a
// time: Qt outlines a wide stroke whole before filling it, which for millions of points takes
// more memory than there is.
void StrokeInPieces(QPainter& painter, const QPainterPath& path, const QPen& pen);

// A clip in canvas pixels; none when drawing is not clipped. Shared between saved states.
using ClipPath = std::shared_ptr<const QPainterPath>;

// The bitmap being rendered, and the work still allowed. One painter stays open on it while a
// file plays.
class Canvas {
public:
    Canvas(QSize size, qint64 maxPixels);

    QSize Size() const { return size_; }
    QRectF Rect() const { return QRectF(QPointF(), size_); }

    // Pixels a bitmap decoded now may have.
    qint64 DecodeLimit() const { return std::min(maxPixels_, work_); }
    void SpendDecode(const QImage& image);
    // False, and nothing more is drawn from this file, when `cost` is more than is left.
    bool Spend(qint64 cost);
    bool Spent() const { return work_ <= 0; }

    // Draws the `source` rectangle of `image` through `toCanvas`, combined as `rop` says. False
    // when nothing was drawn.
    bool Draw(const QImage& image, QRectF source, const QTransform& toCanvas, quint32 rop,
              const ClipPath& clip, double opacity = 1.0);

    // The painter, in canvas pixels, clipped to `clip`, after charging `cost`; null when the work
    // is spent or there is no memory for the picture. Counts as drawing.
    QPainter* Begin(qint64 cost, const ClipPath& clip,
                    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver);

    // Starts again on an empty frame; the work already spent stays spent.
    void Clear();

    // The picture; null when nothing was drawn.
    QImage Take();

private:
    bool Prepare();

    QSize size_;
    qint64 maxPixels_;
    qint64 work_;
    QImage image_;
    QPainter painter_;
    ClipPath appliedClip_;
    bool drawn_ = false;
};

}  // namespace corvane::metafile
