#pragma once
// Private to the metafile reader: the device context that EMF and WMF records play into. Both
// formats are recordings of the same GDI calls, so one drawing state serves both players: the
// object table with pens, brushes and fonts, the map mode with window and viewport, the world
// transform, the clip, the path being built and the stack of saved states. The players only
// decode records into calls on it.
//
// Coordinates arrive in logical units and go through the world transform, the page transform
// (map mode, window and viewport) and the device-to-canvas transform. Shapes are mapped to canvas
// pixels before they are drawn, so that a path keeps the transform in force when each of its
// points was added, as GDI does.

#include "canvas.h"
#include "dib.h"

#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <QTransform>

#include <variant>
#include <vector>

namespace corvane::metafile {

// GDI values the device context keeps, as the EMF and WMF format documents name them.
namespace gdi {
// Pen styles (PS_*) and the geometric pen's end caps and joins.
constexpr quint32 kPenStyleMask = 0x0F;
constexpr quint32 kPsSolid = 0;
constexpr quint32 kPsDash = 1;
constexpr quint32 kPsDot = 2;
constexpr quint32 kPsDashDot = 3;
constexpr quint32 kPsDashDotDot = 4;
constexpr quint32 kPsNull = 5;
constexpr quint32 kPsUserStyle = 7;
constexpr quint32 kPsEndCapMask = 0x0F00;
constexpr quint32 kPsEndCapSquare = 0x0100;
constexpr quint32 kPsEndCapFlat = 0x0200;
constexpr quint32 kPsJoinMask = 0xF000;
constexpr quint32 kPsJoinBevel = 0x1000;
constexpr quint32 kPsJoinMiter = 0x2000;
// Brush styles (BS_*) and hatches (HS_*).
constexpr quint32 kBsSolid = 0;
constexpr quint32 kBsNull = 1;
constexpr quint32 kBsHatched = 2;
constexpr quint32 kBsPattern = 3;
constexpr quint32 kBsDibPattern = 5;
constexpr quint32 kBsDibPatternPt = 6;
constexpr quint32 kHsHorizontal = 0;
constexpr quint32 kHsVertical = 1;
constexpr quint32 kHsFDiagonal = 2;
constexpr quint32 kHsBDiagonal = 3;
constexpr quint32 kHsCross = 4;
constexpr quint32 kHsDiagCross = 5;
// Background modes, polygon fill modes, arc directions.
constexpr int kTransparent = 1;
constexpr int kOpaque = 2;
constexpr int kAlternate = 1;
constexpr int kWinding = 2;
constexpr int kCounterClockwise = 1;
constexpr int kClockwise = 2;
// Binary raster operations (R2_*).
constexpr int kR2Black = 1;
constexpr int kR2NotMergePen = 2;
constexpr int kR2MaskNotPen = 3;
constexpr int kR2NotCopyPen = 4;
constexpr int kR2MaskPenNot = 5;
constexpr int kR2Not = 6;
constexpr int kR2XorPen = 7;
constexpr int kR2NotMaskPen = 8;
constexpr int kR2MaskPen = 9;
constexpr int kR2NotXorPen = 10;
constexpr int kR2Nop = 11;
constexpr int kR2MergeNotPen = 12;
constexpr int kR2CopyPen = 13;
constexpr int kR2MergePenNot = 14;
constexpr int kR2MergePen = 15;
constexpr int kR2White = 16;
// Text alignment (TA_*) and ExtTextOut options (ETO_*).
constexpr quint32 kTaUpdateCp = 0x0001;
constexpr quint32 kTaHorizontalMask = 0x0006;
constexpr quint32 kTaRight = 0x0002;
constexpr quint32 kTaCenter = 0x0006;
constexpr quint32 kTaVerticalMask = 0x0018;
constexpr quint32 kTaBottom = 0x0008;
constexpr quint32 kTaBaseline = 0x0018;
constexpr quint32 kEtoOpaque = 0x0002;
constexpr quint32 kEtoClipped = 0x0004;
constexpr quint32 kEtoPdy = 0x2000;
// Region combinations (RGN_*).
constexpr int kRgnAnd = 1;
constexpr int kRgnOr = 2;
constexpr int kRgnXor = 3;
constexpr int kRgnDiff = 4;
constexpr int kRgnCopy = 5;
// Stock objects are selected by this bit and their number.
constexpr quint32 kStockObject = 0x80000000;
}  // namespace gdi

struct Pen {
    quint32 style = gdi::kPsSolid;
    double width = 0;  // logical units; 0 is one device pixel
    QColor colour = Qt::black;
    std::vector<double> dashes;  // PS_USERSTYLE, in logical units
};

struct Brush {
    quint32 style = gdi::kBsSolid;
    QColor colour = Qt::white;
    quint32 hatch = 0;
    QImage pattern;
};

struct Font {
    double height = 0;  // logical units: < 0 character height, > 0 cell height, 0 default
    double width = 0;
    double escapement = 0;  // tenths of a degree, anticlockwise
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    int charset = 0;
    QString face;
};

inline Brush SolidBrush(const QColor& colour) {
    Brush brush;
    brush.colour = colour;
    return brush;
}

// A palette, a region or anything else that takes a slot but draws nothing here.
struct OtherObject {};

using GdiObject = std::variant<std::monostate, Pen, Brush, Font, OtherObject>;

// What SaveDC keeps and RestoreDC brings back.
struct DcState {
    int mapMode = kMapModeText;
    QPointF windowOrg{0, 0};
    QPointF windowExt{1, 1};
    QPointF viewportOrg{0, 0};
    QPointF viewportExt{1, 1};
    QTransform world;
    Pen pen;
    Brush brush;
    Font font;
    QColor textColour = Qt::black;
    QColor backgroundColour = Qt::white;
    int backgroundMode = gdi::kOpaque;
    quint32 textAlign = 0;
    int fillMode = gdi::kAlternate;
    int rop2 = gdi::kR2CopyPen;
    int arcDirection = gdi::kCounterClockwise;
    double miterLimit = 10;
    QPointF position;  // the current position, logical units
    ClipPath clip;
};

// One string of ExtTextOut and TextOut.
struct TextRun {
    QPointF reference;  // logical units
    QString text;
    std::vector<double> advances;  // logical units, one per UTF-16 unit; empty for the font's own
    quint32 options = 0;
    QRectF rect;  // logical units, for kEtoOpaque and kEtoClipped
};

// How an arc, chord or pie ends its figure.
enum class ArcKind { Arc, Chord, Pie };

class DeviceContext {
public:
    // `deviceToCanvas` takes device pixels of the recording to the canvas; `pixelsPerMm` are the
    // recording device's, for the fixed map modes.
    DeviceContext(Canvas& canvas, const QTransform& deviceToCanvas, QPointF pixelsPerMm);

    DcState& State() { return dc_; }
    Canvas& Target() { return canvas_; }

    void Save();
    // `which` > 0: the state saved as number `which`; < 0: counted back from the last save.
    void Restore(qint32 which);
    // One of the kMwt* modes.
    void SetWorld(const QTransform& matrix, quint32 mode);

    QTransform PageTransform() const;
    QTransform LogicalToCanvas() const;

    // --- objects: an EMF names the slot, a WMF takes the lowest free one ---------------------
    void CreateObject(quint32 index, GdiObject object);
    void AddObject(GdiObject object);
    void SelectObject(quint32 index);
    void DeleteObject(quint32 index);

    // --- drawing, in logical units; inside a path bracket the shapes go into the path --------
    void MoveTo(QPointF point);
    void LineTo(QPointF point);
    void Polyline(const QPolygonF& points);
    void Polygon(const QPolygonF& points);
    void PolyPolygon(const std::vector<QPolygonF>& polygons);
    void PolyPolyline(const std::vector<QPolygonF>& polylines);
    void PolylineTo(const QPolygonF& points);
    // Cubic Bézier curves: a start point, then three points per curve.
    void PolyBezier(const QPolygonF& points);
    // Three points per curve, from the current position.
    void PolyBezierTo(const QPolygonF& points);
    // Points with PT_MOVETO, PT_LINETO, PT_BEZIERTO and PT_CLOSEFIGURE types.
    void PolyDraw(const QPolygonF& points, const QByteArray& types);
    void Rectangle(const QRectF& box);
    void RoundRect(const QRectF& box, QSizeF corner);
    void Ellipse(const QRectF& box);
    // The arc of the ellipse in `box` from the ray through `start` to the ray through `end`.
    void Arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind, bool fromPosition);
    void AngleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees);
    void SetPixel(QPointF point, const QColor& colour);
    void Text(const TextRun& run);
    // A rectangle filled with the brush (or black or white) combined as the ternary `rop` says.
    void PatternBlt(const QRectF& box, quint32 rop);
    void DrawBitmap(const QImage& image, const QRectF& source, const QRectF& dest, quint32 rop,
                    double opacity = 1.0);

    // --- paths -----------------------------------------------------------------------------
    void BeginPath();
    void EndPath();
    void AbortPath();
    void CloseFigure();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath(int mode);

    // --- clipping and regions: rectangles in logical units, regions in device units ----------
    void IntersectClipRect(const QRectF& box);
    void ExcludeClipRect(const QRectF& box);
    void OffsetClip(QPointF logicalOffset);
    // An empty region with kRgnCopy removes the clip.
    void SelectClipRegion(const std::vector<QRectF>& deviceRects, int mode);
    // Fills rectangles given in logical units with a brush (the selected one when null).
    void FillRegion(const std::vector<QRectF>& rects, const Brush* brush = nullptr);
    // The brush in slot `index`, or null.
    const Brush* BrushAt(quint32 index) const;

    // DIB decoding charged to the canvas's work.
    DecodedDib Dib(LeReader info, LeReader bits, quint32 usage, DibAlpha alpha = DibAlpha::Ignore);
    DecodedDib PackedDib(LeReader packed, quint32 usage);
    DecodedDib DibScans(LeReader info, LeReader bits, quint32 usage, qint64 scans);

private:
    // Draws a shape given in canvas pixels, or adds it to the path being built.
    void Shape(const QPainterPath& canvasPath, bool fill, bool stroke, bool connect = false);
    void Fill(const QPainterPath& canvasPath, const Brush& brush);
    void Stroke(const QPainterPath& canvasPath);
    bool PaintsWith(QColor& colour, QPainter::CompositionMode& mode) const;
    void CombineClip(const QPainterPath& canvasPath, int mode);
    QPainterPath ArcPath(const QRectF& box, QPointF start, QPointF end, ArcKind kind) const;
    void SelectStock(quint32 number);
    QPainterPath ToCanvas(const QPainterPath& logical) const;

    Canvas& canvas_;
    const QTransform deviceToCanvas_;
    const QPointF pixelsPerMm_;
    DcState dc_;
    std::vector<DcState> saved_;
    std::vector<GdiObject> objects_;
    bool inPath_ = false;
    QPainterPath path_;  // canvas pixels
};

// The source rectangle of a DIB call in top-down image rows: DIB calls measure it from the
// bottom-left corner of a bottom-up DIB.
QRectF DibSourceRect(const DecodedDib& dib, double x, double y, double width, double height);

// A COLORREF 0x00BBGGRR.
QColor ColourRef(quint32 value);

}  // namespace corvane::metafile
