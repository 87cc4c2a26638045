#include "adapters/FtLinkRecord.h"

#include <algorithm>

namespace corvane {

namespace {

constexpr uint8_t kReplyMarker = 0x00;
constexpr uint8_t kNotificationMarker = 0xFF;
constexpr uint8_t kReplyCodeMask = 0x7F;
constexpr uint8_t kFrameFlagMask = 0x60;
constexpr uint32_t kIdentifierMask = 0x1FFFFFFF;

uint32_t littleEndian32(std::span<const uint8_t> bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

UsbRecordResult decodeReply(std::span<const uint8_t> payload) {
    if (payload.size() < kFtReplyHeader) return FtLinkError::ShortReply;
    auto data = payload.subspan(kFtReplyHeader);
    if (data.size() > UsbRecord::kMaxData) return FtLinkError::TooLong;
    UsbRecord r;
    r.type = UsbRecord::Type::Reply;
    r.replyCode = payload[1] & kReplyCodeMask;
    r.length = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), r.data.begin());
    return r;
}

UsbRecordResult decodeFrame(std::span<const uint8_t> payload) {
    if (payload.size() < kFtFrameHeader) return FtLinkError::ShortFrame;
    uint8_t length = payload[10];
    if (payload.size() - kFtFrameHeader < length) return FtLinkError::LengthBeyondPayload;
    UsbRecord r;
    r.type = UsbRecord::Type::Frame;
    r.flags = payload[0] & kFrameFlagMask;
    r.identifier = littleEndian32(payload.subspan(1, 4)) & kIdentifierMask;
    r.timestamp = littleEndian32(payload.subspan(5, 4));
    r.extra = payload[9];
    r.length = length;
    auto data = payload.subspan(kFtFrameHeader, length);
    std::copy(data.begin(), data.end(), r.data.begin());
    return r;
}

}  // namespace

UsbRecordResult decodeUsbRecord(std::span<const uint8_t> payload) {
    if (payload.empty()) return FtLinkError::Empty;
    switch (payload[0]) {
        case kReplyMarker:
            return decodeReply(payload);
        case kNotificationMarker:
            return FtLinkError::Notification;
        default:
            return decodeFrame(payload);
    }
}

}  // namespace corvane
