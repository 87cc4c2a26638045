#pragma once

#include <cstdint>
#include <string>

#include "core/RVCDevice.h"

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
// address marker in the first tenth (squared off), then the DSA, "On"/"Off" and the state
// cell, three tenths wide so that a lamp fits beside "Active", and the type name after a
// small gap.
//   row (0, 0, 400, 20) -> marker (10, 0, 30, 20), dsa 40-80, power 80-120, state 120-240,
//                          name 250-400
struct DeviceRowLayout {
    PixelRect marker;
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

// The state cell's text: "Active" or "Inactive", and the lamps that are on (field 01), so that
// a fault reads without the colour.
//   0x05 -> "Active"   0x45 -> "Active - red lamp"   0x11 -> "Inactive - yellow lamp"
//   0x55 -> "Active - red and yellow lamps"   0xF5 -> "Active"
std::string stateTextOf(uint8_t status);

// What one row says, cell by cell, and as one line for the row's accessible text and tooltip.
//   sa 0x42, DSA 101, status 0x45 -> dsa "101", power "On", state "Active - red lamp",
//   name "Water Heater"; line "Address 42 (hex), DSA 101 Water Heater: On, Active - red lamp"
struct DeviceRowTexts {
    std::string address;  // the source address in hex, two digits
    std::string dsa;
    std::string power;
    std::string state;
    std::string name;
    std::string line() const;
};
DeviceRowTexts rowTextsOf(const RVCDevice& device);

}  // namespace corvane
