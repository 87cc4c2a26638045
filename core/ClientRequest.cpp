#include "core/ClientRequest.h"

#include <algorithm>

#include "platform/RuntimeDir.h"

namespace corvane {

namespace {

uint32_t readU32(std::span<const uint8_t> bytes, size_t at) {
    return bytes[at] | (uint32_t{bytes[at + 1]} << 8) | (uint32_t{bytes[at + 2]} << 16) |
           (uint32_t{bytes[at + 3]} << 24);
}

// Bytes a request of this code needs, token included; 0 for codes without a token.
size_t requiredSize(uint8_t code) {
    using namespace clientbus;
    switch (code) {
        case kAddAddress:
        case kRemoveAddress:
        case kAddLegacyRaw:
        case kRemoveLegacyRaw:
        case kAddRaw:
        case kRemoveRaw:
            return kArgumentOffset + 1;
        case kAddDgn:
        case kRemoveDgn:
            return kArgumentOffset + 4;
        case kMode:
            return kArgumentOffset + 2;
        case kScanOff:
        case kScanOn:
        case kUnregister:
            return kArgumentOffset;
        default:
            return 0;
    }
}

}  // namespace

bool carriesToken(uint8_t code) { return requiredSize(code) != 0; }

std::optional<TokenRequest> parseTokenRequest(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    size_t needed = requiredSize(bytes[0]);
    if (needed == 0 || bytes.size() < needed) return std::nullopt;
    TokenRequest r;
    r.code = bytes[0];
    r.token = readU32(bytes, clientbus::kTokenOffset);
    if (needed == clientbus::kArgumentOffset + 1) r.address = bytes[clientbus::kArgumentOffset];
    if (needed == clientbus::kArgumentOffset + 4)
        r.dgn = readU32(bytes, clientbus::kArgumentOffset);
    if (r.code == clientbus::kMode) {
        r.mode = bytes[clientbus::kArgumentOffset];
        r.echo = bytes[clientbus::kArgumentOffset + 1];
    }
    return r;
}

std::optional<std::string> parseRegistration(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes[0] != clientbus::kRegister) return std::nullopt;
    auto name = bytes.subspan(1);
    auto end = std::find(name.begin(), name.end(), uint8_t{0});
    std::string slot(name.begin(), end);
    if (!isValidSlotName(slot)) return std::nullopt;
    return slot;
}

}  // namespace corvane
