#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/Dgn.h"

namespace corvane {

#pragma pack(push, 1)
// A request to transmit from the tool's own address 0xF9.
struct RvcSendRequest {
    static constexpr size_t kHeaderSize = 8;

    uint8_t code;  // client-bus command code; 0 in pre-built messages
    uint32_t dgn;
    uint8_t priority;
    uint16_t length;  // 0-1785
    uint8_t data[kMaxMessageData];

    std::span<const uint8_t> payload() const { return {data, length}; }
};
#pragma pack(pop)
static_assert(sizeof(RvcSendRequest) == 8 + 1785);

// A request with the given data; data longer than 1785 bytes is rejected.
std::optional<RvcSendRequest> makeSendRequest(uint32_t dgn, uint8_t priority,
                                              std::span<const uint8_t> data, uint8_t code = 0);

// Bytes -> request: the header, a length of at most 1785 and that many bytes present.
std::optional<RvcSendRequest> parseSendRequest(std::span<const uint8_t> bytes);

}  // namespace corvane
