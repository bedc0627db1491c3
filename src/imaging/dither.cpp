// Mapping pixels to an adaptive palette with error diffusion. Nearest-colour searches go
// through a lazily filled 18-bit lookup table, so each one is done once per table cell rather
// than once per pixel.
#include "colour_reduction_parts.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace corvane {
namespace {

// Serpentine Floyd–Steinberg. Errors are kept in sixteenths; transparent pixels neither take nor
// pass on error, so edges of cut-outs stay clean.
class DitherMapper final : public RowMapper {
public:
    DitherMapper(const Palette& palette, int width)
        : palette_(palette),
          byGreen_(SortedByGreen(palette)),
          nearest_(1 << 18, kUnknown),
          current_(3 * (static_cast<size_t>(width) + 2)),
          next_(current_.size()),
          lastIndex_(byGreen_.empty() ? 0 : byGreen_.front().index) {}

    void MapRow(const QRgb* pixels, int width, uint8_t* out) override {
        const bool leftToRight = (row_++ % 2) == 0;
        const int step = leftToRight ? 1 : -1;
        std::fill(next_.begin(), next_.end(), 0);
        for (int i = 0; i < width; ++i) {
            const int x = leftToRight ? i : width - 1 - i;
            const QRgb p = pixels[x];
            if (IsTransparent(p)) {
                out[x] = static_cast<uint8_t>(palette_.transparentIndex);
                continue;
            }
            int* here = &current_[3 * static_cast<size_t>(x + 1)];
            const int wanted[3] = {Wanted(qRed(p), here[0]), Wanted(qGreen(p), here[1]),
                                   Wanted(qBlue(p), here[2])};
            const int index = NearestIndex(wanted[0], wanted[1], wanted[2]);
            lastIndex_ = index;
            out[x] = static_cast<uint8_t>(index);
            const PaletteColour& got = palette_.colours[index];
            const int error[3] = {wanted[0] - got.r, wanted[1] - got.g, wanted[2] - got.b};
            int* ahead = here + 3 * step;
            int* below = &next_[3 * static_cast<size_t>(x + 1)];
            for (int c = 0; c < 3; ++c) {
                ahead[c] += 7 * error[c];
                below[c - 3 * step] += 3 * error[c];
                below[c] += 5 * error[c];
                below[c + 3 * step] += error[c];
            }
        }
        std::swap(current_, next_);
    }

private:
    static constexpr uint16_t kUnknown = 0xFFFF;
    struct Entry {
        PaletteColour colour;
        int index;
    };

    static int Wanted(int value, int errorSixteenths) {
        return std::clamp(value + ((errorSixteenths + 8) >> 4), 0, 255);
    }

    // Nearest palette entry for the centre of the 6-bit-per-channel cell holding the colour.
    int NearestIndex(int r, int g, int b) {
        const size_t cell = (static_cast<size_t>(r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2);
        uint16_t& cached = nearest_[cell];
        if (cached == kUnknown) {
            cached = static_cast<uint16_t>(Search((r & ~3) + 2, (g & ~3) + 2, (b & ~3) + 2));
        }
        return cached;
    }

    static int Distance(int r, int g, int b, const PaletteColour& c) {
        const int dr = r - c.r, dg = g - c.g, db = b - c.b;
        return kWeightR * dr * dr + kWeightG * dg * dg + kWeightB * db * db;
    }

    // Walks outwards from the entries of nearest green; the green difference alone bounds the
    // distance, so the walk stops early in each direction. The previous pixel's colour is
    // usually close, which makes the bound tight from the start.
    int Search(int r, int g, int b) const {
        const auto start =
            std::lower_bound(byGreen_.begin(), byGreen_.end(), g,
                             [](const Entry& entry, int green) { return entry.colour.g < green; });
        int best = lastIndex_;
        int bestDistance = Distance(r, g, b, palette_.colours[best]);
        const auto consider = [&](const Entry& entry) {
            const int dg = g - entry.colour.g;
            if (kWeightG * dg * dg >= bestDistance) {
                return false;
            }
            const int distance = Distance(r, g, b, entry.colour);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = entry.index;
            }
            return true;
        };
        bool up = true, down = true;
        for (auto high = start, low = start; up || down;) {
            up = up && high != byGreen_.end() && consider(*high++);
            down = down && low != byGreen_.begin() && consider(*--low);
        }
        return best;
    }

    static std::vector<Entry> SortedByGreen(const Palette& palette) {
        std::vector<Entry> entries;
        for (int i = 0; i < static_cast<int>(palette.colours.size()); ++i) {
            if (i != palette.transparentIndex) {
                entries.push_back({palette.colours[i], i});
            }
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.colour.g < b.colour.g; });
        return entries;
    }

    const Palette& palette_;
    const std::vector<Entry> byGreen_;
    std::vector<uint16_t> nearest_;
    std::vector<int> current_;  // errors for this row, one pixel of margin at each end
    std::vector<int> next_;
    int row_ = 0;
    int lastIndex_;
};

}  // namespace

std::unique_ptr<RowMapper> MakeDitherMapper(const Palette& palette, int width) {
    return std::make_unique<DitherMapper>(palette, width);
}

}  // namespace corvane
