#pragma once

#include <cstdint>

#include "core/Dgn.h"

namespace corvane {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

// The colour of a source address wherever addresses are drawn (device list, status grid,
// activity strip): white for the tool itself; otherwise the address is spread over the colour
// cube so that neighbouring addresses look different.
//   249 -> (255, 255, 255)   0 -> (0, 0, 0)   1 -> (154, 66, 35)
constexpr Rgb AddressColour(uint8_t sa) {
    if (sa == kToolAddress) return {255, 255, 255};
    const unsigned h = (sa * 145u) % 256u;
    return {static_cast<uint8_t>((h >> 6) * 77), static_cast<uint8_t>(((h >> 3) & 7) * 33),
            static_cast<uint8_t>((h & 7) * 35)};
}

// The colour of text written on an address's colour: black on light colours, white on dark
// ones (by the usual luma weights 299, 587, 114 per thousand).
//   249 -> black   0 -> white   0x42 (77, 132, 70) -> white
constexpr Rgb AddressTextColour(uint8_t sa) {
    const Rgb c = AddressColour(sa);
    const unsigned luma = (299u * c.red + 587u * c.green + 114u * c.blue) / 1000u;
    return luma >= 128 ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
}

}  // namespace corvane
