#pragma once
// Private to the metafile reader: the device context that EMF and WMF records play into. Both
// formats are recordings of the same GDI calls, so one drawing state serves both players: the map
// mode with window and viewport, the world transform, and the stack of saved states. The players
// only decode records and call it.

#include "metafile_canvas.h"
#include "metafile_dib.h"

#include <QPointF>
#include <QTransform>

#include <vector>

namespace corvane::metafile {

// What SaveDC keeps and RestoreDC brings back.
struct DcState {
    int mapMode = kMapModeText;
    QPointF windowOrg{0, 0};
    QPointF windowExt{1, 1};
    QPointF viewportOrg{0, 0};
    QPointF viewportExt{1, 1};
    QTransform world;
};

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

    // Draws the `source` rectangle of a bitmap onto the logical rectangle `dest`.
    void DrawBitmap(const QImage& image, const QRectF& source, const QRectF& dest, quint32 rop,
                    double opacity = 1.0);

    // DIB decoding charged to the canvas's pixel work.
    DecodedDib Dib(LeReader info, LeReader bits, quint32 usage, DibAlpha alpha = DibAlpha::Ignore);
    DecodedDib PackedDib(LeReader packed, quint32 usage);
    DecodedDib DibScans(LeReader info, LeReader bits, quint32 usage, qint64 scans);

private:
    Canvas& canvas_;
    const QTransform deviceToCanvas_;
    const QPointF pixelsPerMm_;
    DcState dc_;
    std::vector<DcState> saved_;
};

// The source rectangle of a DIB call in top-down image rows: DIB calls measure it from the
// bottom-left corner of a bottom-up DIB.
QRectF DibSourceRect(const DecodedDib& dib, double x, double y, double width, double height);

}  // namespace corvane::metafile
