#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

// The FT-series link framing, sending side, and the payloads the tool sends.

// Payload -> DLE STX, payload with every DLE doubled, XOR checksum (doubled when DLE), DLE ETX.
//   00 80       -> 10 02 00 80 80 10 03
//   00 10 10    -> 10 02 00 10 10 10 10 00 10 03  (checksum 00)
//   00 10       -> 10 02 00 10 10 10 10 10 03     (checksum 10, doubled)
std::vector<uint8_t> encodeFtLink(std::span<const uint8_t> payload);

// A command: 00, code (bit 7 set by the caller's code).
inline constexpr std::array<uint8_t, 2> ftCommandPayload(uint8_t code) { return {0x00, code}; }

// One CAN frame to transmit: A0, the 29-bit identifier most significant byte first, three
// zero bytes, the length and the data. At most 8 data bytes are written.
//   (0x18FEEB42, 01 02) -> A0 18 FE EB 42 00 00 00 02 01 02
inline constexpr size_t kFtTransmitPayloadMax = 9 + 8;
std::vector<uint8_t> ftFramePayload(uint32_t identifier, std::span<const uint8_t> data);

}  // namespace corvane
