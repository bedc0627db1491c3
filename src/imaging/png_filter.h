#pragma once
// Choosing and applying the row filter of a PNG (filter method 0 of the PNG format document).
// Private to the imaging library.
//
// Each row gets the filter among Sub, Up and Paeth whose output bytes, read as signed numbers,
// have the smallest sum of absolute values (ties go to the earlier of the three). Measured on
// photographs and artwork, leaving None and Average out gives files as small as trying all five,
// for a good part less work.

#include <cstddef>
#include <cstdint>

namespace corvane {

enum class PngFilter : std::uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

// Bytes of zeros that must stand before every row handed to the functions below: the pixel left
// of the first is read from there.
inline constexpr int kPngRowPad = 16;

// Filters `length` bytes of `row` (`bpp` bytes per pixel, 1 to 4) against `above`, the row before
// it (zeros for the first row), both preceded by kPngRowPad zero bytes. Writes the filter type,
// then the `length` filtered bytes, to out[0 .. length].
void FilterPngRow(const std::uint8_t* row, const std::uint8_t* above, std::size_t length, int bpp,
                  std::uint8_t* out);

// The same choice made one byte at a time: the reference the fast path is tested against.
void FilterPngRowScalar(const std::uint8_t* row, const std::uint8_t* above, std::size_t length,
                        int bpp, std::uint8_t* out);

}  // namespace corvane
