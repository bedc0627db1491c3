// Choosing the palette of a picture: its own colours when there are at most 256, otherwise an
// adaptive palette with dithering.
#include "colour_reduction_parts.h"

#include <array>
#include <cstddef>
#include <utility>

namespace corvane {
namespace {

constexpr uint32_t kTransparentKey = 0x01000000u;  // outside the range of 24-bit RGB keys

uint32_t ColourKey(QRgb pixel) {
    return IsTransparent(pixel) ? kTransparentKey : pixel & 0xFFFFFFu;
}

// Open-addressing map from colour keys to palette indices, numbered in order of first sight.
// Four times as many slots as colours keeps probe chains short.
class ColourIndex {
public:
    ColourIndex() { keys_.fill(kEmpty); }

    // The index of `key`, adding it when new; -1 when the key is new and the map is full.
    int FindOrAdd(uint32_t key) {
        size_t slot = SlotOf(key);
        while (keys_[slot] != key) {
            if (keys_[slot] == kEmpty) {
                if (count_ == kMaxColours) {
                    return -1;
                }
                keys_[slot] = key;
                indices_[slot] = static_cast<uint8_t>(count_);
                order_[count_++] = key;
                break;
            }
            slot = (slot + 1) % kSlots;
        }
        return indices_[slot];
    }
    int Count() const { return count_; }
    uint32_t KeyAt(int index) const { return order_[index]; }

private:
    static constexpr size_t kSlots = 4 * kMaxColours;
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    static size_t SlotOf(uint32_t key) { return (key * 2654435761u) >> 22; }  // 10-bit hash

    std::array<uint32_t, kSlots> keys_;
    std::array<uint8_t, kSlots> indices_{};
    std::array<uint32_t, kMaxColours> order_{};
    int count_ = 0;
};

// Indexes every colour of `image`; none when there are more than 256.
std::unique_ptr<ColourIndex> IndexExactColours(const QImage& image) {
    auto index = std::make_unique<ColourIndex>();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uint32_t last = ~0u;
        for (int x = 0; x < image.width(); ++x) {
            const uint32_t key = ColourKey(row[x]);
            if (key != last && index->FindOrAdd(key) < 0) {
                return nullptr;
            }
            last = key;
        }
    }
    return index;
}

Palette ExactPalette(const ColourIndex& index) {
    Palette palette;
    for (int i = 0; i < index.Count(); ++i) {
        const uint32_t key = index.KeyAt(i);
        if (key == kTransparentKey) {
            palette.transparentIndex = i;
            palette.colours.push_back({});
        } else {
            palette.colours.push_back({static_cast<uint8_t>(key >> 16),
                                       static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key)});
        }
    }
    return palette;
}

class ExactMapper final : public RowMapper {
public:
    explicit ExactMapper(std::unique_ptr<ColourIndex> index) : index_(std::move(index)) {}
    void MapRow(const QRgb* pixels, int width, uint8_t* out) override {
        for (int x = 0; x < width; ++x) {
            out[x] = static_cast<uint8_t>(index_->FindOrAdd(ColourKey(pixels[x])));
        }
    }

private:
    std::unique_ptr<ColourIndex> index_;
};

}  // namespace

ColourReducer::ColourReducer(const QImage& pixels) {
    if (auto index = IndexExactColours(pixels)) {
        palette_ = ExactPalette(*index);
        exact_ = true;
        mapper_ = std::make_unique<ExactMapper>(std::move(index));
        return;
    }
    palette_ = AdaptivePalette(pixels);
    mapper_ = MakeDitherMapper(palette_, pixels.width());
}

ColourReducer::~ColourReducer() = default;

void ColourReducer::MapRow(const QRgb* pixels, int width, uint8_t* out) {
    mapper_->MapRow(pixels, width, out);
}

}  // namespace corvane
