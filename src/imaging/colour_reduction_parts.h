#pragma once
// What the colour quantiser and the ditherer share. Private to the imaging library.

#include "imaging/colour_reduction.h"

#include <QRgb>

#include <cstdint>
#include <memory>

namespace corvane {

inline constexpr int kMaxColours = 256;
inline constexpr int kOpaqueFrom = 128;  // alpha at or above this is drawn opaque

// Weights of the squared channel differences: the eye tells green steps best, blue worst.
inline constexpr int kWeightR = 3;
inline constexpr int kWeightG = 4;
inline constexpr int kWeightB = 2;

inline bool IsTransparent(QRgb pixel) {
    return qAlpha(pixel) < kOpaqueFrom;
}

// Maps the rows of one picture to palette indices, top to bottom.
class RowMapper {
public:
    virtual ~RowMapper() = default;
    virtual void MapRow(const QRgb* pixels, int width, std::uint8_t* out) = 0;
};

// An adaptive palette of at most 256 entries for a picture with more colours than that.
Palette AdaptivePalette(const QImage& pixels);

// Serpentine Floyd–Steinberg onto `palette`, which must outlive the mapper; rows of `width`.
std::unique_ptr<RowMapper> MakeDitherMapper(const Palette& palette, int width);

}  // namespace corvane
