#include "core/RvcSendFromRequest.h"

#include <algorithm>
#include <cstring>

namespace corvane {

std::optional<RvcSendFromRequest> makeSendFromRequest(uint8_t sa, uint32_t dgn, uint8_t priority,
                                                      std::span<const uint8_t> data, uint8_t code) {
    if (data.size() > kMaxMessageData) return std::nullopt;
    // Zeroed: the trace of a rejected request shows four data bytes, however few it holds.
    RvcSendFromRequest r{};
    r.code = code;
    r.sa = sa;
    r.dgn = dgn;
    r.priority = priority;
    r.length = static_cast<uint16_t>(data.size());
    std::copy(data.begin(), data.end(), r.data);
    return r;
}

std::optional<RvcSendFromRequest> parseSendFromRequest(std::span<const uint8_t> bytes) {
    if (bytes.size() < RvcSendFromRequest::kHeaderSize) return std::nullopt;
    // Zeroed: the trace of a rejected request shows four data bytes, however few it holds.
    RvcSendFromRequest r{};
    std::memcpy(&r, bytes.data(), RvcSendFromRequest::kHeaderSize);
    if (r.length > kMaxMessageData) return std::nullopt;
    if (bytes.size() < RvcSendFromRequest::kHeaderSize + r.length) return std::nullopt;
    std::memcpy(r.data, bytes.data() + RvcSendFromRequest::kHeaderSize, r.length);
    return r;
}

}  // namespace corvane
