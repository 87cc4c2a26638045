#pragma once

#include <cstdint>

namespace corvane {

// A rectangle in pixels, right and bottom exclusive.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Where the parts of one device row are drawn. With w the row's width and e = w / 10: the
// address colour circle in the first tenth (squared off), then the DSA, "On"/"Off" and
// "Active"/"Inactive" cells, and the type name after a small gap.
//   row (0, 0, 400, 20) -> circle (10, 0, 30, 20), dsa 40-80, power 80-120, state 120-200,
//                          name 210-400
struct DeviceRowLayout {
    PixelRect circle;
    PixelRect dsa;
    PixelRect power;
    PixelRect state;
    PixelRect name;

    static DeviceRowLayout of(PixelRect row);
};

// What the state cell is filled with before its text: red while the red lamp is on (bits
// 6-7 are 01), else yellow while the yellow lamp is on (bits 4-5 are 01), else nothing.
//   0x45 -> Red   0x15 -> Yellow   0xD5 -> Yellow   0x05 -> Background
enum class StateFill { Background, Red, Yellow };
StateFill stateFillOf(uint8_t status);

}  // namespace corvane
