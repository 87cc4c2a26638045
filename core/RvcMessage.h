#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/Dgn.h"
#include "core/RvcFrame.h"

namespace corvane {

#pragma pack(push, 1)
// One complete message: a single frame or a reassembled long message. Cooked clients receive
// its first 8 + length bytes.
struct RvcMessage {
    static constexpr uint8_t kKind = 0;
    static constexpr size_t kHeaderSize = 8;

    uint8_t kind;
    uint32_t dgn;
    uint8_t sa;
    uint16_t length;  // 0-1785
    uint8_t data[kMaxMessageData];

    size_t wireSize() const { return kHeaderSize + length; }
    std::span<const uint8_t> payload() const { return {data, length}; }
};
#pragma pack(pop)
static_assert(sizeof(RvcMessage) == 8 + 1785);

// The manager's working copy of a frame: same DGN, SA and length (at most the 8 bytes a frame
// holds); data bytes 0-7 start as 0xFF and the bytes the frame holds are copied over them.
// Only the header and the first 8 data bytes of `out` are written.
void fillMessageFromFrame(const RvcFrame& frame, RvcMessage& out);

// A message with the given data (at most 1785 bytes; longer input is rejected).
std::optional<RvcMessage> makeMessage(uint32_t dgn, uint8_t sa, std::span<const uint8_t> data);

// Bytes -> message: the 8-byte header, a length of at most 1785 and that many bytes present.
std::optional<RvcMessage> parseRvcMessage(std::span<const uint8_t> bytes);

// The DGN asked for by a request (data bytes 0-2, least significant first).
constexpr uint32_t requestedDgn(const RvcMessage& m) {
    return m.data[0] | (uint32_t{m.data[1]} << 8) | (uint32_t{m.data[2]} << 16);
}

}  // namespace corvane
