#pragma once
// Private to the EMF+ player: its state, and its record families, each played in its own file:
// emfplus.cpp the records, the header, transforms and the object table; emfplus_images.cpp
// images; emfplus_shapes.cpp filled and stroked shapes; emfplus_text.cpp strings;
// emfplus_graphics.cpp save, restore, containers and clipping.

#include "canvas.h"
#include "emfplus.h"
#include "emfplus_objects.h"
#include "records.h"

#include <QBrush>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <array>
#include <optional>
#include <vector>

namespace corvane::metafile {

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

// A rectangle of a record: 16-bit with kCompressedRect in `flags`, else 32-bit floats; an empty
// one when it does not fit.
QRectF ReadPlusRect(LeReader& r, quint16 flags);

// Where text starting at a world point goes: a painter transform to that point on the canvas,
// turned along the world's x axis, and the canvas pixels per world unit across and down.
// Text is drawn in canvas pixels: a font scaled by an extreme painter transform is beyond
// what the glyph cache can draw.
struct TextPlacement {
    QTransform place;
    double xScale = 1;
    double yScale = 1;
};

class EmfPlusPlayer::Impl {
public:
    Impl(Canvas& canvas, const QTransform& deviceToCanvas, qint64 fileSize)
        : canvas_(canvas), deviceToCanvas_(deviceToCanvas), fileSize_(fileSize) {}

    // Plays the EMF+ records of one comment.
    void Records(LeReader r);

    bool Seen() const { return plus_.seen; }
    bool Dual() const { return plus_.dual; }
    bool GetDc() const { return plus_.getDc; }
    bool Drew() const { return plus_.drew; }
    bool Failed() const { return plus_.failed; }

private:
    // Records, header, transforms and objects (emfplus.cpp).
    void Record(quint16 type, quint16 flags, LeReader r);
    // The records that change the world or page transform; false for any other.
    bool TransformRecord(quint16 type, quint16 flags, LeReader& r);
    void PlusHeader(LeReader& r);
    void MultiplyWorld(quint16 flags, const QTransform& matrix, bool ok);
    // Page units to device pixels.
    QTransform PageScale() const;
    QTransform WorldToCanvas() const;
    // Device pixels per unit of `unit`; world units are not fixed and give 0.
    double DevicePerUnit(int unit) const;
    // A length in `unit` as world units.
    double WorldLength(double length, int unit) const;
    void PlusObjectRecord(quint16 flags, LeReader r);
    void AppendPiece(const LeReader& piece);
    // Keeps a gathered object when all of it arrived; drops it otherwise.
    void FinishObject();
    void StoreObject(int id, int type, QByteArray bytes);
    // The bytes of object `id` when it is of `type`; a failed reader otherwise.
    LeReader Object(int id, int type) const;

    // Images (emfplus_images.cpp).
    const QImage& PlusImage(int id);
    void DrawPlusImage(quint16 flags, LeReader& r);
    void DrawPlusImagePoints(quint16 flags, LeReader& r);
    void DrawPlusParallelogram(int id, const QRectF& source, QPointF p0, QPointF p1, QPointF p2);

    // Filled and stroked shapes (emfplus_shapes.cpp).
    void Drawing(quint16 type, quint16 flags, LeReader& r);
    void Clear(LeReader& r);
    void Rects(quint16 type, quint16 flags, LeReader& r);
    void FillPolygon(quint16 flags, LeReader& r);
    void Lines(quint16 type, quint16 flags, LeReader& r);
    void Ellipse(quint16 type, quint16 flags, LeReader& r);
    void PieOrArc(quint16 type, quint16 flags, LeReader& r);
    void PathRecord(quint16 type, quint16 flags, LeReader& r);
    void FillRegion(quint16 flags, LeReader& r);
    // The brush of a Fill record: an ARGB colour with kSolidColour, else a brush object.
    std::optional<QBrush> BrushOf(quint16 flags, quint32 brushId) const;
    std::optional<QPen> PenOf(int penId) const;
    // Charges `work` and gives the painter.
    QPainter* Painter(qint64 work);
    void FillShape(const QPainterPath& world, const std::optional<QBrush>& brush);
    void DrawShape(const QPainterPath& world, int penId);
    std::optional<QPainterPath> Region(int id) const;

    // Strings (emfplus_text.cpp).
    std::optional<TextPlacement> PlaceText(QPointF world) const;
    // The font of a text record at `yScale` canvas pixels per world unit; none when it is
    // missing, too small to see or larger than any picture.
    std::optional<QFont> PlusFontOf(int id, double yScale) const;
    // Starts text placed at `placement` covering `box` (placed pixels); null when nothing is to
    // be drawn.
    QPainter* TextPainter(const QFont& font, const QBrush& brush, const TextPlacement& placement,
                          const QRectF& box, qsizetype characters);
    // Checks what every text record needs; the font when the text is to be drawn.
    std::optional<QFont> TextFont(int fontId, const std::optional<QBrush>& brush,
                                  const std::optional<TextPlacement>& placement);
    void DrawString(quint16 flags, LeReader& r);
    // Glyphs as characters (DriverStringOptionsCmapLookup), each at its own position.
    void DrawDriverString(quint16 flags, LeReader& r);

    // Save, restore, containers and clipping (emfplus_graphics.cpp); false for any other record.
    bool GraphicsRecord(quint16 type, quint16 flags, LeReader& r);
    void Push(quint32 id);
    void Pop(quint32 id);
    // CombineModeReplace, Intersect, Union, XOR, Exclude and Complement of a world-unit shape.
    void Clip(const QPainterPath& world, int combine);

    Canvas& canvas_;
    const QTransform deviceToCanvas_;
    const qint64 fileSize_;
    PlusState plus_;
};

}  // namespace corvane::metafile
