#include "controls/colour_ramp.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace corvane {

int RampBandCount(QColor start, QColor end, int length) {
    const int n =
        std::max({std::abs(end.red() - start.red()), std::abs(end.green() - start.green()),
                  std::abs(end.blue() - start.blue())});
    return n > 0 ? n : std::max(length, 1);
}

std::optional<int> FilledLength(int position, int lower, int upper, int length) {
    if (position <= lower || position > upper) {
        return std::nullopt;
    }
    // Measured from the lower bound, like the percentage text, so that a range that does not
    // start at 0 fills in proportion to it.
    const auto done = std::int64_t{position} - lower;
    const auto range = std::int64_t{upper} - lower;
    return static_cast<int>(done * length / range);
}

std::vector<RampBand> ColourRamp(QColor start, QColor end, int length, int filled) {
    std::vector<RampBand> bands;
    if (length <= 0) {
        return bands;
    }
    const int n = RampBandCount(start, end, length);
    const double stepR = double(end.red() - start.red()) / n;
    const double stepG = double(end.green() - start.green()) / n;
    const double stepB = double(end.blue() - start.blue()) / n;
    for (int i = 0; i < n; ++i) {
        // Integer arithmetic for the edges, so the last band ends exactly at the bar's end.
        RampBand band;
        band.begin = static_cast<int>(std::int64_t{i} * length / n);
        band.end = static_cast<int>((std::int64_t{i} + 1) * length / n);
        band.colour = qRgb(int(start.red() + i * stepR), int(start.green() + i * stepG),
                           int(start.blue() + i * stepB));
        bands.push_back(band);
        if (band.end > filled) {
            break;
        }
    }
    return bands;
}

QString PercentageText(int position, int lower, int upper) {
    const double percent = (double(position) - lower) * 100.0 / (double(upper) - lower);
    return QString::asprintf("%3.0f %%", percent);
}

}  // namespace corvane
