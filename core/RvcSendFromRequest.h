#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/Dgn.h"

namespace corvane {

#pragma pack(push, 1)
// A request to transmit from a source address of the caller's choice.
struct RvcSendFromRequest {
    static constexpr size_t kHeaderSize = 9;

    uint8_t code;  // 1 on the client bus
    uint8_t sa;
    uint32_t dgn;
    uint8_t priority;
    uint16_t length;  // 0-1785
    uint8_t data[kMaxMessageData];

    std::span<const uint8_t> payload() const { return {data, length}; }
};
#pragma pack(pop)
static_assert(sizeof(RvcSendFromRequest) == 9 + 1785);

std::optional<RvcSendFromRequest> makeSendFromRequest(uint8_t sa, uint32_t dgn, uint8_t priority,
                                                      std::span<const uint8_t> data,
                                                      uint8_t code = 1);

// Bytes -> request: the header, a length of at most 1785 and that many bytes present.
std::optional<RvcSendFromRequest> parseSendFromRequest(std::span<const uint8_t> bytes);

}  // namespace corvane
