#pragma once
// The arithmetic of the shaded progress bar: which bands of the colour ramp a bar shows for a
// position, and its percentage text. Pure functions, so the ramp is tested without a widget.

#include <QColor>
#include <QString>

#include <optional>
#include <vector>

namespace corvane {

// One band of the ramp: pixels [begin, end) along the bar, filled with one colour.
struct RampBand {
    int begin = 0;
    int end = 0;
    QRgb colour = 0;
    friend bool operator==(const RampBand&, const RampBand&) = default;
};

// Number of bands between two colours: the largest channel difference. Equal colours have no
// difference to spread; they get one band per pixel of the bar, so the fill still follows the
// position.
int RampBandCount(QColor start, QColor end, int length);

// How many pixels of a bar `length` long are filled at `position`, or nothing when the bar is
// empty (position at or below the lower bound, or above the upper bound).
std::optional<int> FilledLength(int position, int lower, int upper, int length);

// The bands painted for a bar `length` long filled up to `filled` pixels. The ramp always spans
// the whole bar; painting stops after the first band that reaches past `filled`, so the last
// band may run up to one band length beyond the position. Band edges are truncated.
std::vector<RampBand> ColourRamp(QColor start, QColor end, int length, int filled);

// "%3.0f %%" of (position - lower) * 100 / (upper - lower); call only for a non-empty bar.
QString PercentageText(int position, int lower, int upper);

}  // namespace corvane
