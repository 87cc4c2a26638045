#pragma once

#include <cstdint>
#include <string_view>

#include "script/ValueFormat.h"

namespace corvane {

// Which bits of a message's data a datum takes as its value. Numbers 2-6 are bit fields of
// that many bits.
namespace selector {
inline constexpr uint8_t kTwoBits = 2;
inline constexpr uint8_t kSixBits = 6;
inline constexpr uint8_t kByte = 8;
inline constexpr uint8_t kWord = 16;
inline constexpr uint8_t kLong = 32;
inline constexpr uint8_t kPacket = 64;  // the first 8 data bytes
inline constexpr uint8_t kNone = 255;   // takes no value; shows its title
}  // namespace selector

constexpr bool IsBitField(uint8_t sel) {
    return sel >= selector::kTwoBits && sel <= selector::kSixBits;
}

// The raw value meaning "not available" for a selector (all bits set); 0 for selectors
// without one.
uint32_t NotAvailableValue(uint8_t sel);

// What the first characters of a data expression select. Digits "1"-"8" name data bytes and
// bit positions 1-8 (index 0-7); a missing digit or one below "1" gives a negative index,
// which reads as data that is not there.
struct DatumSelection {
    uint8_t selector = selector::kNone;
    int byteIndex = 0;
    int bitShift = 0;
    const char* format = "";  // the selector's default format
    FormatKind formatKind = FormatKind::Printf;
};

// "W3" -> 16-bit word from byte index 2; "F13" -> 2-bit field of byte 0 at bit 2; "P" -> the
// packet; "X1" -> none. The expression must already be upper case.
DatumSelection SelectorFromExpression(std::string_view expression);

}  // namespace corvane
