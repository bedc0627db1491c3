#pragma once
// The colours of the colour picker: Windows colour values (0x00BBGGRR, as the engine stores
// them), the automatic value, and the 40 named colours of the popup grid.

#include <QColor>
#include <QString>

#include <array>
#include <cstdint>

namespace corvane {

using ColourRef = std::uint32_t;
// "自动": no colour of its own. Only the low three bytes are used as a colour, so it draws black.
inline constexpr ColourRef kAutomaticColour = 0xFF000000;

constexpr ColourRef Rgb(int red, int green, int blue) {
    return ColourRef(red) | (ColourRef(green) << 8) | (ColourRef(blue) << 16);
}
QColor ToQColor(ColourRef colour);  // low three bytes, opaque
ColourRef FromQColor(QColor colour);

struct NamedColour {
    ColourRef colour;
    const char* name;  // UTF-8, as written (ColourName gives it in the user's language)
};

inline constexpr int kColourCount = 40;
inline constexpr int kColourColumns = 8;
inline constexpr int kColourRows = (kColourCount + kColourColumns - 1) / kColourColumns;

// Cells in row-major order, 8 per row.
const std::array<NamedColour, kColourCount>& ColourTable();
QString ColourName(int index);
// The first cell holding exactly this colour, or -1.
int FindColourCell(ColourRef colour);

}  // namespace corvane
