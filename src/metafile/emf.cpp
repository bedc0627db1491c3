// Playing EMF files: the frame from the header, then every record in order. EMF+ records in
// comments are handed to the EMF+ player; the other records become calls on the device context.

#include "dc.h"
#include "emfplus.h"
#include "players.h"
#include "text.h"

#include <QtEndian>

#include <bit>
#include <cmath>

namespace corvane::metafile {
namespace {

struct EmfFrame {
    QSize size;
    QTransform deviceToCanvas;
    QPointF pixelsPerMm{kDisplayDpi / 25.4, kDisplayDpi / 25.4};  // of the recording device
    quint32 handles = 0;
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

// The frame in 0.01 mm shown at 96 DPI, whatever the resolution of the recording device. A file
// recorded against a 96 DPI device whose bounds agree with its frame is shown at its bounds,
// which count its pixels exactly where the frame is rounded to 0.01 mm.
MetafileError ReadEmfFrame(const LeReader& file, qint64 maxPixels, EmfFrame& frame) {
    LeReader r = file;
    const quint32 type = r.U32();
    const quint32 size = r.U32();
    const RectL bounds = ReadRectL(r);
    const RectL mmFrame = ReadRectL(r);
    const quint32 signature = r.U32();
    r.Skip(12);  // version, bytes, records
    frame.handles = r.U16();
    r.Skip(2);  // reserved
    const quint32 descriptionLength = r.U32();
    const quint32 descriptionOffset = r.U32();
    r.U32();  // palette entries
    const qint32 devicePixelsX = r.I32();
    const qint32 devicePixelsY = r.I32();
    const qint32 deviceMmX = r.I32();
    const qint32 deviceMmY = r.I32();
    if (!r.Ok() || type != emr::kHeader || signature != kEmfSignature || size < kEmfHeaderMinSize ||
        size > file.Size()) {
        return {false, QStringLiteral("damaged EMF header")};
    }
    if (devicePixelsX > 0 && devicePixelsY > 0 && deviceMmX > 0 && deviceMmY > 0) {
        frame.pixelsPerMm =
            QPointF(double(devicePixelsX) / deviceMmX, double(devicePixelsY) / deviceMmY);
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
        frame.pixelsPerMm = QPointF(double(devicePixelsX) * 1000 / micrometresX,
                                    double(devicePixelsY) * 1000 / micrometresY);
    }
    constexpr double kCanvasPixelsPerMm = kDisplayDpi / 25.4;
    const QPointF scale(kCanvasPixelsPerMm / frame.pixelsPerMm.x(),
                        kCanvasPixelsPerMm / frame.pixelsPerMm.y());
    const bool displayDevice = std::abs(scale.x() - 1) < 1e-9 && std::abs(scale.y() - 1) < 1e-9;
    const double frameWidth = std::round(mmFrame.Width() / 100.0 * kCanvasPixelsPerMm);
    const double frameHeight = std::round(mmFrame.Height() / 100.0 * kCanvasPixelsPerMm);
    const bool frameUsable = ValidSize(frameWidth, frameHeight, qint64(1) << 62);
    const double boundsWidth = std::round(double(bounds.Width()) * scale.x());
    const double boundsHeight = std::round(double(bounds.Height()) * scale.y());
    QPointF origin;  // device pixels at the frame's top left
    double width = frameWidth;
    double height = frameHeight;
    if (ValidSize(boundsWidth, boundsHeight, maxPixels) &&
        (!frameUsable ||
         (displayDevice && Near(boundsWidth, frameWidth) && Near(boundsHeight, frameHeight)))) {
        width = boundsWidth;
        height = boundsHeight;
        origin = QPointF(double(bounds.left), double(bounds.top));
    } else if (frameUsable) {
        origin = QPointF(mmFrame.left / 100.0 * frame.pixelsPerMm.x(),
                         mmFrame.top / 100.0 * frame.pixelsPerMm.y());
    } else {
        return {false, QStringLiteral("no usable frame in the EMF header")};
    }
    if (!ValidSize(width, height, maxPixels)) {
        return {true, QStringLiteral("frame too large (%1 x %2 pixels)").arg(width).arg(height)};
    }
    frame.size = QSize(int(width), int(height));
    frame.deviceToCanvas =
        QTransform::fromTranslate(-origin.x(), -origin.y()) *
        QTransform::fromScale(displayDevice ? 1 : scale.x(), displayDevice ? 1 : scale.y());
    return {};
}

QPointF ReadPointL(LeReader& r) {
    const qint32 x = r.I32();
    const qint32 y = r.I32();
    return QPointF(x, y);
}

QPointF ReadPointS(LeReader& r) {
    const qint16 x = r.I16();
    const qint16 y = r.I16();
    return QPointF(x, y);
}

// `count` points of 32 or 16 bits; none when they are not all in the record.
QPolygonF ReadPoints(LeReader& r, quint32 count, bool sixteen) {
    const qint64 bytes = qint64(count) * (sixteen ? 4 : 8);
    if (bytes > r.Remaining()) {
        r.Skip(bytes);  // fails the reader
        return {};
    }
    QPolygonF points;
    points.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        points << (sixteen ? ReadPointS(r) : ReadPointL(r));
    }
    return points;
}

// A RECTL as the box of a shape.
QRectF ReadBox(LeReader& r) {
    const qint32 left = r.I32();
    const qint32 top = r.I32();
    const qint32 right = r.I32();
    const qint32 bottom = r.I32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// The rectangles of a RgnData object; none when it does not fit `size` bytes.
std::vector<QRectF> ReadRegion(LeReader r, quint32 size) {
    LeReader data = r.Slice(r.Pos(), size);
    const quint32 headerSize = data.U32();
    data.U32();  // type
    const quint32 count = data.U32();
    data.Skip(4 + 16);  // size of the rectangles, bounds
    std::vector<QRectF> rects;
    if (!data.Ok() || headerSize != 32 || qint64(count) * 16 > data.Remaining()) {
        return rects;
    }
    rects.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        rects.push_back(ReadBox(data));
    }
    return rects;
}

// A LOGFONTW.
Font ReadLogFont(LeReader& r) {
    Font font;
    font.height = r.I32();
    font.width = r.I32();
    font.escapement = r.I32();
    r.I32();  // orientation
    font.weight = r.I32();
    font.italic = r.U8() != 0;
    font.underline = r.U8() != 0;
    font.strikeout = r.U8() != 0;
    font.charset = r.U8();
    r.Skip(4);  // precisions, quality, pitch and family
    QString face;
    for (int i = 0; i < 32; ++i) {
        const quint16 unit = r.U16();
        if (unit == 0) {
            break;
        }
        face += QChar(unit);
    }
    font.face = face;
    return font;
}

class EmfPlayer {
public:
    // `plusAware`: read EMF+ records and draw EMF records only where an EMF+ reader would.
    EmfPlayer(const LeReader& file, const EmfFrame& frame, Canvas& canvas, bool plusAware)
        : file_(file),
          plusAware_(plusAware),
          dc_(canvas, frame.deviceToCanvas, frame.pixelsPerMm),
          plus_(canvas, frame.deviceToCanvas, file.Size()) {}

    void Play() {
        const quint32 headerSize = file_.Slice(4, 4).U32();
        qint64 offset = headerSize;
        while (offset <= file_.Size() - 8 && !dc_.Target().Spent()) {
            LeReader head = file_.Slice(offset, 8);
            const quint32 type = head.U32();
            const quint32 size = head.U32();
            if (type == emr::kEof) {
                return;
            }
            if (size < 8 || size > file_.Size() - offset) {
                truncatedAt_ = offset;
                return;
            }
            Record(type, file_.Slice(offset, size));
            offset += size;
        }
    }

    bool SawPlus() const { return plus_.Seen(); }
    bool PlusDrew() const { return plus_.Drew(); }
    bool PlusDual() const { return plus_.Dual(); }
    bool PlusFailed() const { return plus_.Failed(); }
    // Where a record that does not fit in the file was met; -1 when none was.
    qint64 TruncatedAt() const { return truncatedAt_; }

private:
    bool DrawsEmfRecords() const { return !plusAware_ || !plus_.Seen() || plus_.GetDc(); }

    // `record` holds the whole record.
    void Record(quint32 type, const LeReader& record) {
        LeReader r = record;
        r.Skip(8);
        if (type == emr::kComment) {
            Comment(record, r);
        } else if (!StateRecord(type, r) && !ObjectRecord(type, record, r) && DrawsEmfRecords()) {
            DrawingRecord(type, record, r);
        }
    }

    // Records that change the device context without drawing.
    bool StateRecord(quint32 type, LeReader& r) {
        DcState& dc = dc_.State();
        switch (type) {
            case emr::kSetMapMode:
                dc.mapMode = r.I32();
                return true;
            case emr::kSetWindowExtEx:
                dc.windowExt = ReadPointL(r);
                return true;
            case emr::kSetWindowOrgEx:
                dc.windowOrg = ReadPointL(r);
                return true;
            case emr::kSetViewportExtEx:
                dc.viewportExt = ReadPointL(r);
                return true;
            case emr::kSetViewportOrgEx:
                dc.viewportOrg = ReadPointL(r);
                return true;
            case emr::kScaleViewportExtEx:
            case emr::kScaleWindowExtEx:
                ScaleExtent(type == emr::kScaleViewportExtEx ? dc.viewportExt : dc.windowExt, r);
                return true;
            case emr::kSaveDc:
                dc_.Save();
                return true;
            case emr::kRestoreDc:
                dc_.Restore(r.I32());
                return true;
            case emr::kSetWorldTransform:
            case emr::kModifyWorldTransform: {
                const QTransform matrix = ReadMatrix(r);
                const quint32 mode = type == emr::kSetWorldTransform ? kMwtSet : r.U32();
                if (r.Ok()) {
                    dc_.SetWorld(matrix, mode);
                }
                return true;
            }
            case emr::kSetBkMode:
                dc.backgroundMode = r.I32();
                return true;
            case emr::kSetPolyFillMode:
                dc.fillMode = r.I32();
                return true;
            case emr::kSetRop2:
                dc.rop2 = r.I32();
                return true;
            case emr::kSetTextAlign:
                dc.textAlign = r.U32();
                return true;
            case emr::kSetTextColor:
                dc.textColour = ColourRef(r.U32());
                return true;
            case emr::kSetBkColor:
                dc.backgroundColour = ColourRef(r.U32());
                return true;
            case emr::kSetArcDirection:
                dc.arcDirection = r.I32();
                return true;
            case emr::kSetMiterLimit: {
                // Stored as an integer by the format, as a float by some writers.
                const quint32 raw = r.U32();
                const float asFloat = std::bit_cast<float>(raw);
                dc.miterLimit = raw < 1000 ? double(raw) : double(asFloat);
                return true;
            }
            case emr::kMoveToEx:
                dc_.MoveTo(ReadPointL(r));
                return true;
            default:
                return false;
        }
    }

    static void ScaleExtent(QPointF& extent, LeReader& r) {
        const qint32 xNum = r.I32();
        const qint32 xDenom = r.I32();
        const qint32 yNum = r.I32();
        const qint32 yDenom = r.I32();
        if (r.Ok() && xDenom != 0 && yDenom != 0) {
            extent = QPointF(extent.x() * xNum / xDenom, extent.y() * yNum / yDenom);
        }
    }

    // Records that create, select and delete objects.
    bool ObjectRecord(quint32 type, const LeReader& record, LeReader& r) {
        switch (type) {
            case emr::kSelectObject:
                dc_.SelectObject(r.U32());
                return true;
            case emr::kDeleteObject:
                dc_.DeleteObject(r.U32());
                return true;
            case emr::kCreatePen: {
                const quint32 index = r.U32();
                Pen pen;
                pen.style = r.U32();
                pen.width = r.I32();
                r.I32();  // height, unused
                pen.colour = ColourRef(r.U32());
                if (r.Ok()) {
                    dc_.CreateObject(index, pen);
                }
                return true;
            }
            case emr::kExtCreatePen:
                ExtCreatePen(r);
                return true;
            case emr::kCreateBrushIndirect: {
                const quint32 index = r.U32();
                Brush brush;
                brush.style = r.U32();
                brush.colour = ColourRef(r.U32());
                brush.hatch = r.U32();
                if (r.Ok()) {
                    dc_.CreateObject(index, brush);
                }
                return true;
            }
            case emr::kCreateMonoBrush:
            case emr::kCreateDibPatternBrushPt:
                PatternBrush(record, r);
                return true;
            case emr::kExtCreateFontIndirectW: {
                const quint32 index = r.U32();
                const Font font = ReadLogFont(r);
                if (r.Ok()) {
                    dc_.CreateObject(index, font);
                }
                return true;
            }
            case emr::kCreatePalette:  // a slot that draws nothing
                dc_.CreateObject(r.U32(), OtherObject{});
                return true;
            default:
                return false;
        }
    }

    void ExtCreatePen(LeReader& r) {
        const quint32 index = r.U32();
        r.Skip(16);  // a pattern bitmap: the pen is drawn in its colour
        Pen pen;
        pen.style = r.U32();
        pen.width = r.U32();
        const quint32 brushStyle = r.U32();
        pen.colour = ColourRef(r.U32());
        r.U32();  // hatch
        const quint32 entries = r.U32();
        if (!r.Ok()) {
            return;
        }
        if (brushStyle == gdi::kBsNull) {
            pen.style = gdi::kPsNull;
        }
        for (quint32 i = 0; i < entries && i < 16 && r.Remaining() >= 4; ++i) {
            pen.dashes.push_back(r.U32());
        }
        dc_.CreateObject(index, pen);
    }

    void PatternBrush(const LeReader& record, LeReader& r) {
        const quint32 index = r.U32();
        const quint32 usage = r.U32();
        const quint32 offBmi = r.U32();
        const quint32 cbBmi = r.U32();
        const quint32 offBits = r.U32();
        const quint32 cbBits = r.U32();
        if (!r.Ok()) {
            return;
        }
        Brush brush;
        brush.style = gdi::kBsDibPatternPt;
        brush.pattern =
            dc_.Dib(record.Slice(offBmi, cbBmi), record.Slice(offBits, cbBits), usage).image;
        brush.colour = Qt::black;
        dc_.CreateObject(index, brush);
    }

    void DrawingRecord(quint32 type, const LeReader& record, LeReader& r) {
        if (!Shapes(type, r) && !Arcs(type, r) && !PathAndClip(type, r) && !Text(type, record, r)) {
            Raster(type, record, r);
        }
    }

    // Poly records: after the bounds, one count and its points.
    bool Poly(quint32 type, LeReader& r) {
        const bool sixteen = type >= emr::kPolyBezier16 && type <= emr::kPolyDraw16;
        r.Skip(16);  // bounds
        const quint32 count = r.U32();
        if (type == emr::kPolyDraw || type == emr::kPolyDraw16) {
            const QPolygonF points = ReadPoints(r, count, sixteen);
            const LeReader types = r.Slice(r.Pos(), count);
            if (r.Ok() && types.Ok()) {
                dc_.PolyDraw(points, QByteArray(types.Data(), types.Size()));
            }
            return true;
        }
        const QPolygonF points = ReadPoints(r, count, sixteen);
        if (!r.Ok()) {
            return true;
        }
        switch (sixteen ? type - emr::kPolyBezier16 + emr::kPolyBezier : type) {
            case emr::kPolyBezier:
                dc_.PolyBezier(points);
                break;
            case emr::kPolygon:
                dc_.Polygon(points);
                break;
            case emr::kPolyline:
                dc_.Polyline(points);
                break;
            case emr::kPolyBezierTo:
                dc_.PolyBezierTo(points);
                break;
            case emr::kPolylineTo:
                dc_.PolylineTo(points);
                break;
            default:
                break;
        }
        return true;
    }

    // EMR_POLYPOLYGON and EMR_POLYPOLYLINE, 32- and 16-bit.
    void PolyPoly(quint32 type, LeReader& r) {
        const bool sixteen = type == emr::kPolyPolygon16 || type == emr::kPolyPolyline16;
        r.Skip(16);  // bounds
        const quint32 polygons = r.U32();
        const quint32 total = r.U32();
        if (!r.Ok() || qint64(polygons) * 4 > r.Remaining()) {
            return;
        }
        std::vector<quint32> counts;
        qint64 sum = 0;
        for (quint32 i = 0; i < polygons; ++i) {
            counts.push_back(r.U32());
            sum += counts.back();
        }
        if (sum != total) {
            return;
        }
        const QPolygonF points = ReadPoints(r, total, sixteen);
        if (!r.Ok()) {
            return;
        }
        std::vector<QPolygonF> shapes;
        qsizetype at = 0;
        for (quint32 count : counts) {
            shapes.push_back(points.mid(at, qsizetype(count)));
            at += qsizetype(count);
        }
        if (type == emr::kPolyPolygon || type == emr::kPolyPolygon16) {
            dc_.PolyPolygon(shapes);
        } else {
            dc_.PolyPolyline(shapes);
        }
    }

    bool Shapes(quint32 type, LeReader& r) {
        switch (type) {
            case emr::kPolyBezier:
            case emr::kPolygon:
            case emr::kPolyline:
            case emr::kPolyBezierTo:
            case emr::kPolylineTo:
            case emr::kPolyDraw:
            case emr::kPolyBezier16:
            case emr::kPolygon16:
            case emr::kPolyline16:
            case emr::kPolyBezierTo16:
            case emr::kPolylineTo16:
            case emr::kPolyDraw16:
                return Poly(type, r);
            case emr::kPolyPolyline:
            case emr::kPolyPolygon:
            case emr::kPolyPolyline16:
            case emr::kPolyPolygon16:
                PolyPoly(type, r);
                return true;
            case emr::kLineTo: {
                const QPointF point = ReadPointL(r);
                if (r.Ok()) {
                    dc_.LineTo(point);
                }
                return true;
            }
            case emr::kRectangle:
            case emr::kEllipse: {
                const QRectF box = ReadBox(r);
                if (r.Ok()) {
                    type == emr::kRectangle ? dc_.Rectangle(box) : dc_.Ellipse(box);
                }
                return true;
            }
            case emr::kRoundRect: {
                const QRectF box = ReadBox(r);
                const qint32 width = r.I32();
                const qint32 height = r.I32();
                if (r.Ok()) {
                    dc_.RoundRect(box, QSizeF(width, height));
                }
                return true;
            }
            case emr::kSetPixelV: {
                const QPointF point = ReadPointL(r);
                const quint32 colour = r.U32();
                if (r.Ok()) {
                    dc_.SetPixel(point, ColourRef(colour));
                }
                return true;
            }
            default:
                return false;
        }
    }

    // Arcs, chords, pies and angle arcs.
    bool Arcs(quint32 type, LeReader& r) {
        switch (type) {
            case emr::kArc:
            case emr::kArcTo:
            case emr::kChord:
            case emr::kPie: {
                const QRectF box = ReadBox(r);
                const QPointF start = ReadPointL(r);
                const QPointF end = ReadPointL(r);
                const ArcKind kind = type == emr::kChord ? ArcKind::Chord
                                     : type == emr::kPie ? ArcKind::Pie
                                                         : ArcKind::Arc;
                if (r.Ok()) {
                    dc_.Arc(box, start, end, kind, type == emr::kArcTo);
                }
                return true;
            }
            case emr::kAngleArc: {
                const QPointF centre = ReadPointL(r);
                const quint32 radius = r.U32();
                const float start = r.F32();
                const float sweep = r.F32();
                if (r.Ok() && std::isfinite(start) && std::isfinite(sweep)) {
                    dc_.AngleArc(centre, radius, start, sweep);
                }
                return true;
            }
            default:
                return false;
        }
    }

    bool PathAndClip(quint32 type, LeReader& r) {
        switch (type) {
            case emr::kBeginPath:
                dc_.BeginPath();
                return true;
            case emr::kEndPath:
                dc_.EndPath();
                return true;
            case emr::kAbortPath:
                dc_.AbortPath();
                return true;
            case emr::kCloseFigure:
                dc_.CloseFigure();
                return true;
            case emr::kFillPath:
                dc_.FillPath();
                return true;
            case emr::kStrokePath:
                dc_.StrokePath();
                return true;
            case emr::kStrokeAndFillPath:
                dc_.StrokeAndFillPath();
                return true;
            case emr::kFlattenPath:
            case emr::kWidenPath:
                return true;  // flattening changes nothing we draw; widening is not followed
            case emr::kSelectClipPath:
                dc_.SelectClipPath(r.I32());
                return true;
            case emr::kIntersectClipRect:
            case emr::kExcludeClipRect: {
                const QRectF box = ReadBox(r);
                if (r.Ok()) {
                    type == emr::kIntersectClipRect ? dc_.IntersectClipRect(box)
                                                    : dc_.ExcludeClipRect(box);
                }
                return true;
            }
            case emr::kOffsetClipRgn: {
                const QPointF offset = ReadPointL(r);
                if (r.Ok()) {
                    dc_.OffsetClip(offset);
                }
                return true;
            }
            case emr::kExtSelectClipRgn: {
                const quint32 size = r.U32();
                const qint32 mode = r.I32();
                if (r.Ok()) {
                    dc_.SelectClipRegion(size == 0 ? std::vector<QRectF>() : ReadRegion(r, size),
                                         mode);
                }
                return true;
            }
            case emr::kFillRgn:
            case emr::kPaintRgn: {
                r.Skip(16);  // bounds
                const quint32 size = r.U32();
                const quint32 brush = type == emr::kFillRgn ? r.U32() : 0;
                if (r.Ok()) {
                    dc_.FillRegion(ReadRegion(r, size),
                                   type == emr::kFillRgn ? dc_.BrushAt(brush) : nullptr);
                }
                return true;
            }
            default:
                return false;
        }
    }

    // EMR_EXTTEXTOUTW and EMR_EXTTEXTOUTA.
    bool Text(quint32 type, const LeReader& record, LeReader& r) {
        if (type != emr::kExtTextOutW && type != emr::kExtTextOutA) {
            return false;
        }
        r.Skip(16 + 12);  // bounds, graphics mode, x and y scales
        TextRun run;
        run.reference = ReadPointL(r);
        const quint32 count = r.U32();
        const quint32 offString = r.U32();
        run.options = r.U32();
        run.rect = ReadBox(r);
        const quint32 offDx = r.U32();
        const bool wide = type == emr::kExtTextOutW;
        const LeReader string = record.Slice(offString, qint64(count) * (wide ? 2 : 1));
        if (!r.Ok() || !string.Ok()) {
            return true;
        }
        if (wide) {
            run.text = QString(reinterpret_cast<const QChar*>(string.Data()), qsizetype(count));
            if (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
                for (QChar& c : run.text) {
                    c = QChar(qFromLittleEndian(c.unicode()));
                }
            }
        } else {
            run.text =
                DecodeCharset(QByteArray(string.Data(), string.Size()), dc_.State().font.charset);
        }
        // Spacing is per character of the record; pairs of x and y with ETO_PDY.
        const int step = (run.options & gdi::kEtoPdy) ? 2 : 1;
        LeReader dx = record.Slice(offDx, qint64(count) * 4 * step);
        if (offDx != 0 && dx.Ok() && run.text.size() == qsizetype(count)) {
            for (quint32 i = 0; i < count; ++i) {
                run.advances.push_back(dx.I32());
                dx.Skip(4 * (step - 1));
            }
        }
        dc_.Text(run);
        return true;
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
        if (type != emr::kStretchDiBits && type != emr::kBitBlt && type != emr::kStretchBlt &&
            type != emr::kSetDiBitsToDevice && type != emr::kAlphaBlend) {
            return;
        }
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
        if (cbBmi == 0) {
            dc_.PatternBlt(QRectF(xDest, yDest, cxDest, cyDest), rop);
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
    qint64 truncatedAt_ = -1;
};

}  // namespace

QImage RenderEmf(const QByteArray& bytes, qint64 maxPixels, MetafileError& why) {
    const LeReader file(bytes);
    EmfFrame frame;
    why = ReadEmfFrame(file, maxPixels, frame);
    if (!why.text.isEmpty()) {
        return {};
    }
    Canvas canvas(frame.size, maxPixels);
    EmfPlayer plusAware(file, frame, canvas, true);
    plusAware.Play();
    qint64 truncatedAt = plusAware.TruncatedAt();
    // An EMF+ part that drew nothing, or a dual file whose EMF+ part we could not draw in full,
    // is drawn from its EMF records instead, as an EMF reader without EMF+ would.
    if (plusAware.SawPlus() &&
        (!plusAware.PlusDrew() || (plusAware.PlusDual() && plusAware.PlusFailed()))) {
        canvas.Clear();
        EmfPlayer plain(file, frame, canvas, false);
        plain.Play();
    }
    QImage image = canvas.Take();
    if (image.isNull()) {
        why = {false, NothingDrawn(canvas, truncatedAt)};
    }
    return image;
}

}  // namespace corvane::metafile
