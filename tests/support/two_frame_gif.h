#pragma once
// A GIF that Qt cannot write, for the loader's tests: two 1 x 1 frames, white then black, on a
// two-entry global colour table.

#include <QByteArray>

namespace corvane::test {

inline const QByteArray kTwoFrameGif = QByteArray::fromHex(
    "474946383961"  // GIF89a
    "01000100"
    "800000"
    "ffffff000000"  // 1 x 1 screen; colour table: white, black
    "2c000000000100010000"
    "02024401"
    "00"  // frame of index 0 (clear, 0, end)
    "2c000000000100010000"
    "02024c01"
    "00"  // frame of index 1
    "3b");

}  // namespace corvane::test
