#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::decode {

// How a field's bits become a value.
enum class FieldKind : uint8_t {
    Number,       // unsigned integer, then scale and offset
    Ascii,        // the bytes as text, trailing padding (0x00, 0xFF, spaces) dropped
    Part,         // the n-th '*'-terminated part of the bytes as text (`part`)
    Spn,          // a DM_RV's 19-bit suspect parameter number: high byte first, low 3 bits last
    SpnLowFirst,  // a DM1's: low byte first, high 3 bits last
    Hex,          // the bytes as hexadecimal text
    Dgn,          // a number that names a DGN, shown in hex like every DGN
};

// A name for one value of a field ("0: off").
struct ValueName {
    uint32_t value;
    std::string text;
};

// Where one field sits in a message and what it means. Bytes are counted from 0, bits from the
// least significant; a multi-byte number is little-endian, as everything on an RV-C network.
//   byte 2, 2 bytes, unit "V", scale 0.05            -> 0x0528 reads 66.0 V
//   byte 1, bits 2-3 (firstBit 2, bitCount 2)         -> (data[1] >> 2) & 3
struct FieldSpec {
    std::string name;  // snake_case
    std::string unit;  // canonical unit ("V", "A", "%", "°C", ...), empty for none
    FieldKind kind = FieldKind::Number;
    uint16_t firstByte = 0;
    uint16_t byteCount = 1;  // 0: to the end of the message (text kinds)
    uint8_t firstBit = 0;
    uint8_t bitCount = 0;  // 0: the whole bytes
    uint8_t part = 0;      // Part: which '*'-terminated part
    uint8_t decimals = 0;  // the scale's precision: values are rounded to it
    double scale = 1.0;
    double offset = 0.0;
    std::vector<ValueName> values;  // sorted by value

    // Width of the raw number in bits.
    unsigned width() const { return bitCount != 0 ? bitCount : byteCount * 8u; }
    // The name of a raw value, empty when it has none.
    std::string_view valueName(uint32_t raw) const;
};

// The decimals a scale needs to be shown exactly: 0.05 -> 2, 0.03125 -> 5, 1 -> 0, 0.5 -> 1.
uint8_t decimalsOf(double scale);

}  // namespace corvane::decode
