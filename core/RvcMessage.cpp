#include "core/RvcMessage.h"

#include <algorithm>
#include <cstring>

namespace corvane {

void fillMessageFromFrame(const RvcFrame& frame, RvcMessage& out) {
    out.kind = RvcMessage::kKind;
    out.dgn = frame.dgn;
    out.sa = frame.sa;
    out.length = static_cast<uint16_t>(heldBytes(frame));  // never more than the frame holds
    std::memset(out.data, 0xFF, 8);
    std::memcpy(out.data, frame.data, heldBytes(frame));
}

std::optional<RvcMessage> makeMessage(uint32_t dgn, uint8_t sa, std::span<const uint8_t> data) {
    if (data.size() > kMaxMessageData) return std::nullopt;
    RvcMessage m;
    m.kind = RvcMessage::kKind;
    m.dgn = dgn;
    m.sa = sa;
    m.length = static_cast<uint16_t>(data.size());
    std::memset(m.data, 0xFF, 8);
    std::copy(data.begin(), data.end(), m.data);
    return m;
}

std::optional<RvcMessage> parseRvcMessage(std::span<const uint8_t> bytes) {
    if (bytes.size() < RvcMessage::kHeaderSize) return std::nullopt;
    RvcMessage m;
    std::memcpy(&m, bytes.data(), RvcMessage::kHeaderSize);
    if (m.length > kMaxMessageData) return std::nullopt;
    if (bytes.size() < RvcMessage::kHeaderSize + m.length) return std::nullopt;
    std::memset(m.data, 0xFF, 8);
    std::memcpy(m.data, bytes.data() + RvcMessage::kHeaderSize, m.length);
    return m;
}

}  // namespace corvane
