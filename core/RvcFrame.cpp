#include "core/RvcFrame.h"

#include <algorithm>
#include <cstring>

namespace corvane {

RvcFrame makeFrame(const CanIdentifier& id, uint32_t timestamp, uint16_t length,
                   std::span<const uint8_t> data) {
    RvcFrame f{};
    f.kind = RvcFrame::kKind;
    f.dgn = id.dgn;
    f.sa = id.sa;
    f.timestamp = timestamp;
    f.length = length;
    f.priority = id.priority;
    f.reserved = id.reserved;
    std::memset(f.data, 0xFF, sizeof f.data);
    size_t n = std::min({data.size(), size_t{length}, sizeof f.data});
    std::copy_n(data.begin(), n, f.data);
    return f;
}

std::optional<RvcFrame> parseRvcFrame(std::span<const uint8_t> bytes) {
    if (bytes.size() < RvcFrame::kHeaderSize) return std::nullopt;
    RvcFrame f{};
    std::memset(f.data, 0xFF, sizeof f.data);
    std::memcpy(&f, bytes.data(), RvcFrame::kHeaderSize);
    if (f.length > sizeof f.data) return std::nullopt;
    if (bytes.size() < RvcFrame::kHeaderSize + f.length) return std::nullopt;
    std::memcpy(f.data, bytes.data() + RvcFrame::kHeaderSize, f.length);
    return f;
}

}  // namespace corvane
