// Text of the EMF and WMF text records: ExtTextOut and TextOut with the selected font, alignment,
// colour, background mode and escapement.

#include "dc.h"
#include "text.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace corvane::metafile {
namespace {

// Work charged per character besides the pixels of the text's box.
constexpr qint64 kWorkPerCharacter = 16;
// GDI's default font when a file asks for height 0.
constexpr double kDefaultEmPixels = 13;

// The em size in canvas pixels of a font `height` logical units high (LOGFONT: negative for the
// character height, positive for the cell height).
double EmPixels(const QFont& font, double height, double scale) {
    if (height < 0) {
        return -height * scale;
    }
    if (height == 0) {
        return kDefaultEmPixels;
    }
    QFont probe = font;
    probe.setPixelSize(100);
    const QFontMetricsF metrics(probe);
    const double cell = metrics.ascent() + metrics.descent();
    return height * scale * (cell > 0 ? 100 / cell : 1);
}

QFont CanvasFont(const Font& logical, double em, double widthScale) {
    QFont font = FontOfFamily(logical.face);
    font.setPointSizeF(em * 72 / kDisplayDpi);
    if (logical.weight > 0) {
        font.setWeight(QFont::Weight(std::clamp(logical.weight, 100, 900)));
    }
    font.setItalic(logical.italic);
    font.setUnderline(logical.underline);
    font.setStrikeOut(logical.strikeout);
    if (logical.width > 0) {
        const double average = QFontMetricsF(font).averageCharWidth();
        if (average > 0) {
            font.setStretch(
                std::clamp(int(std::lround(logical.width * widthScale / average * 100)), 1, 4000));
        }
    }
    return font;
}

// The advance of every UTF-16 unit of the run in canvas pixels (the run's own, else the font's);
// `width` receives the whole run's.
std::vector<double> Advances(const TextRun& run, const QFontMetricsF& metrics, double xScale,
                             double* width) {
    std::vector<double> advances;
    *width = 0;
    for (qsizetype i = 0; i < run.text.size(); ++i) {
        const double advance = i < qsizetype(run.advances.size())
                                   ? run.advances[size_t(i)] * xScale
                                   : metrics.horizontalAdvance(run.text.at(i));
        advances.push_back(advance);
        *width += advance;
    }
    if (run.advances.empty()) {
        *width = metrics.horizontalAdvance(run.text);
    }
    return advances;
}

// Where the text starts from its reference point, as the text alignment says.
QPointF AlignmentShift(quint32 textAlign, double width, const QFontMetricsF& metrics) {
    QPointF shift(0, 0);
    switch (textAlign & gdi::kTaHorizontalMask) {
        case gdi::kTaRight:
            shift.rx() = -width;
            break;
        case gdi::kTaCenter:
            shift.rx() = -width / 2;
            break;
        default:
            break;
    }
    switch (textAlign & gdi::kTaVerticalMask) {
        case gdi::kTaBaseline:
            break;
        case gdi::kTaBottom:
            shift.ry() = -metrics.descent();
            break;
        default:
            shift.ry() = metrics.ascent();
            break;
    }
    return shift;
}

// Draws the run from `shift`: whole with the font's own advances, else character by character.
void DrawRun(QPainter& painter, const TextRun& run, const std::vector<double>& advances,
             QPointF shift) {
    if (run.advances.empty()) {
        painter.drawText(shift, run.text);
        return;
    }
    double x = shift.x();
    for (qsizetype i = 0; i < run.text.size(); ++i) {
        // A surrogate pair is one character drawn at the first unit's place.
        const bool pair = run.text.at(i).isHighSurrogate() && i + 1 < run.text.size();
        painter.drawText(QPointF(x, shift.y()), run.text.mid(i, pair ? 2 : 1));
        x += advances[size_t(i)] + (pair ? advances[size_t(i + 1)] : 0);
        i += pair ? 1 : 0;
    }
}

}  // namespace

void DeviceContext::Text(const TextRun& run) {
    const QTransform toCanvas = LogicalToCanvas();
    if (!Usable(toCanvas)) {
        return;
    }
    if ((run.options & gdi::kEtoOpaque) && !run.rect.isEmpty()) {
        QPainterPath box;
        box.addRect(run.rect.normalized());
        const int rop2 = std::exchange(dc_.rop2, gdi::kR2CopyPen);
        Fill(toCanvas.map(box), SolidBrush(dc_.backgroundColour));
        dc_.rop2 = rop2;
    }
    if (run.text.isEmpty()) {
        return;
    }
    if (!CanDrawText()) {
        return;
    }
    const QPointF origin = toCanvas.map(QPointF(0, 0));
    const QPointF xAxis = toCanvas.map(QPointF(1, 0)) - origin;
    const QPointF yAxis = toCanvas.map(QPointF(0, 1)) - origin;
    const double xScale = std::hypot(xAxis.x(), xAxis.y());
    const double yScale = std::hypot(yAxis.x(), yAxis.y());
    const double em = EmPixels(FontOfFamily(dc_.font.face), dc_.font.height, yScale);
    const double largest = std::max(canvas_.Size().width(), canvas_.Size().height());
    if (!std::isfinite(em) || em < 0.5 || em > 8 * largest) {
        return;  // too small to see, or larger than any picture shows
    }
    const QFont font = CanvasFont(dc_.font, em, xScale);
    const QFontMetricsF metrics(font);

    const bool updatesPosition = (dc_.textAlign & gdi::kTaUpdateCp) != 0;
    const QPointF reference = updatesPosition ? dc_.position : run.reference;
    double width = 0;
    const std::vector<double> advances = Advances(run, metrics, xScale, &width);
    const QPointF shift = AlignmentShift(dc_.textAlign, width, metrics);
    const double angle = std::atan2(xAxis.y(), xAxis.x()) * 180 / M_PI - dc_.font.escapement / 10;
    QTransform place;
    place.translate(toCanvas.map(reference).x(), toCanvas.map(reference).y());
    place.rotate(angle);
    const QRectF box(shift.x(), shift.y() - metrics.ascent(), width,
                     metrics.ascent() + metrics.descent());
    const qint64 cost = kWorkPerCall + run.text.size() * kWorkPerCharacter +
                        Area(place.mapRect(box) & canvas_.Rect());
    QPainter* painter = canvas_.Begin(cost, dc_.clip);
    if (painter == nullptr) {
        return;
    }
    painter->setTransform(place);
    if (dc_.backgroundMode == gdi::kOpaque) {
        painter->fillRect(box, dc_.backgroundColour);
    }
    painter->setFont(font);
    painter->setPen(dc_.textColour);
    DrawRun(*painter, run, advances, shift);
    painter->resetTransform();
    if (updatesPosition && xScale > 0) {
        dc_.position = reference + QPointF(width / xScale, 0);
    }
}

}  // namespace corvane::metafile
