#pragma once

#include <cstdint>

namespace corvane {

// The fields of a 29-bit extended CAN identifier as RV-C reads them.
struct CanIdentifier {
    uint8_t priority = 0;  // 0-7
    uint32_t dgn = 0;      // 17 bits on reception, up to 18 on transmission
    uint8_t sa = 0;
    uint8_t reserved = 0;  // the bit just above the DGN, 0 or 1
};

// 0x18EAFFF9 -> priority 6, DGN 0xEAFF, SA 0xF9, reserved 0
// 0x1FFFFFFF -> priority 7, DGN 0x1FFFF, SA 0xFF, reserved 1
constexpr CanIdentifier unpackIdentifier(uint32_t id) {
    return CanIdentifier{static_cast<uint8_t>((id >> 26) & 7), (id >> 8) & 0x1FFFF,
                         static_cast<uint8_t>(id & 0xFF), static_cast<uint8_t>((id >> 25) & 1)};
}

// (6, 0xEAFF, 0xF9) -> 0x18EAFFF9. A DGN's bit 17 lands in the reserved bit. Callers check
// priority <= 7 and DGN <= 0x3FFFF first; larger values are masked, never spilled.
constexpr uint32_t packIdentifier(uint8_t priority, uint32_t dgn, uint8_t sa) {
    return (static_cast<uint32_t>(priority & 7) << 26) + ((dgn & 0x3FFFF) << 8) + sa;
}

}  // namespace corvane
