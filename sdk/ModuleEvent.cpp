#include "sdk/ModuleEvent.h"

#include "sdk/ModuleWire.h"

namespace corvane::sdk {

namespace {

uint32_t u32(std::span<const uint8_t> b, size_t at) {
    return b[at] | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
           (uint32_t{b[at + 3]} << 24);
}
uint16_t u16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

std::optional<ModuleEvent> decodeEvent(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    ModuleEvent e;
    e.code = bytes[0];
    e.bytes.assign(bytes.begin(), bytes.end());
    auto need = [&](size_t n) { return bytes.size() >= n; };
    switch (e.code) {
        case code::kRegister:
            if (!need(at::kToken + 4)) return std::nullopt;
            e.type = ModuleEvent::Type::Registered;
            e.token = u32(bytes, at::kToken);
            return e;
        case code::kUnregister:
            e.type = ModuleEvent::Type::Unregistered;
            return e;
        case code::kAddAddress:
        case code::kAddLegacyRaw:
        case code::kAddRaw:
        case code::kRemoveAddress:
        case code::kRemoveLegacyRaw:
        case code::kRemoveRaw:
            if (!need(2)) return std::nullopt;
            e.type =
                (e.code & 1) ? ModuleEvent::Type::FilterRemoved : ModuleEvent::Type::FilterAdded;
            e.address = bytes[1];
            return e;
        case code::kAddDgn:
        case code::kRemoveDgn:
            if (!need(5)) return std::nullopt;
            e.type =
                (e.code & 1) ? ModuleEvent::Type::FilterRemoved : ModuleEvent::Type::FilterAdded;
            e.dgn = u32(bytes, 1);
            return e;
        case code::kModeReply:
            if (!need(3)) return std::nullopt;
            e.type = ModuleEvent::Type::Mode;
            e.mode = bytes[1];
            e.echo = bytes[2];
            return e;
        case 0x00: {
            if (!need(kMessageHeader)) return std::nullopt;
            uint16_t length = u16(bytes, at::kMessageLength);
            if (!need(kMessageHeader + length)) return std::nullopt;
            e.type = ModuleEvent::Type::Message;
            e.dgn = u32(bytes, at::kMessageDgn);
            e.sa = bytes[at::kMessageSa];
            e.data.assign(bytes.begin() + kMessageHeader, bytes.begin() + kMessageHeader + length);
            return e;
        }
        case code::kRawFrame: {
            if (!need(kFrameHeader)) return std::nullopt;
            uint16_t length = u16(bytes, at::kFrameLength);
            if (length > 8 || !need(kFrameHeader + length)) return std::nullopt;
            e.type = ModuleEvent::Type::Frame;
            e.dgn = u32(bytes, at::kFrameDgn);
            e.sa = bytes[at::kFrameSa];
            e.timestamp = u32(bytes, at::kFrameTimestamp);
            e.priority = bytes[at::kFramePriority];
            e.reserved = bytes[at::kFrameReserved];
            e.data.assign(bytes.begin() + kFrameHeader, bytes.begin() + kFrameHeader + length);
            return e;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace corvane::sdk
