#include "adapters/FtLinkEncoder.h"

#include <algorithm>

namespace corvane {

namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kTransmitMarker = 0xA0;
constexpr uint32_t kIdentifierMask = 0x1FFFFFFF;

void putEscaped(std::vector<uint8_t>& out, uint8_t byte) {
    out.push_back(byte);
    if (byte == kDle) out.push_back(kDle);
}

}  // namespace

std::vector<uint8_t> encodeFtLink(std::span<const uint8_t> payload) {
    std::vector<uint8_t> out;
    out.reserve(2 * payload.size() + 6);
    out.push_back(kDle);
    out.push_back(kStx);
    uint8_t checksum = 0;
    for (uint8_t b : payload) {
        putEscaped(out, b);
        checksum ^= b;
    }
    putEscaped(out, checksum);
    out.push_back(kDle);
    out.push_back(kEtx);
    return out;
}

std::vector<uint8_t> ftFramePayload(uint32_t identifier, std::span<const uint8_t> data) {
    identifier &= kIdentifierMask;
    size_t length = std::min<size_t>(data.size(), 8);
    std::vector<uint8_t> payload = {kTransmitMarker,
                                    static_cast<uint8_t>(identifier >> 24),
                                    static_cast<uint8_t>(identifier >> 16),
                                    static_cast<uint8_t>(identifier >> 8),
                                    static_cast<uint8_t>(identifier),
                                    0,
                                    0,
                                    0,
                                    static_cast<uint8_t>(length)};
    // GCC 12 inlines the insert below and then warns of a copy past the end of the 9-byte
    // buffer it grows from (a known false positive of its -Warray-bounds, reported again as
    // -Wstringop-overread once that one is quiet): the copy is at most 8 bytes of `data`,
    // into a vector that has grown to take them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
    payload.insert(payload.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    return payload;
}

}  // namespace corvane
