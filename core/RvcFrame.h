#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <span>

#include "core/CanIdentifier.h"

namespace corvane {

static_assert(std::endian::native == std::endian::little,
              "records are little-endian on the wire and copied as they are");

#pragma pack(push, 1)
// One received CAN frame, as adapters hand it over and raw clients receive it (14 + length
// bytes of it). Only the first min(length, 8) data bytes are meaningful.
struct RvcFrame {
    static constexpr uint8_t kKind = 3;
    static constexpr size_t kHeaderSize = 14;

    uint8_t kind;
    uint32_t dgn;
    uint8_t sa;
    uint32_t timestamp;  // adapter units; 0 when none, and in echoes
    uint16_t length;
    uint8_t priority;
    uint8_t reserved;
    uint8_t data[8];
};
#pragma pack(pop)
static_assert(sizeof(RvcFrame) == 22);

// A frame from an identifier and up to 8 data bytes; `length` is stored as given, bytes past
// the eighth (or past the span) are not stored.
RvcFrame makeFrame(const CanIdentifier& id, uint32_t timestamp, uint16_t length,
                   std::span<const uint8_t> data);

// Number of data bytes a frame actually holds: min(length, 8).
constexpr size_t heldBytes(const RvcFrame& f) { return f.length < 8 ? f.length : 8; }

// Bytes -> frame. Needs the 14-byte header, a length of at most 8 and that many data bytes;
// anything else is rejected. Never reads past `bytes`.
std::optional<RvcFrame> parseRvcFrame(std::span<const uint8_t> bytes);

}  // namespace corvane
