#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

namespace corvane {

// One decoded message from the FT-series adapter: a received CAN frame or a command reply.
struct UsbRecord {
    static constexpr size_t kMaxData = 255;

    enum class Type : uint8_t { Frame = 0, Reply = 1 };

    Type type = Type::Frame;
    uint8_t replyCode = 0;    // replies: the command code without bit 7
    uint32_t identifier = 0;  // frames: the 29-bit CAN identifier
    uint32_t timestamp = 0;   // frames: the adapter's timestamp
    uint8_t length = 0;       // bytes of data
    std::array<uint8_t, kMaxData> data{};
    uint8_t flags = 0;  // frames: bits 6 and 5 of the first payload byte, unused by the tool
    uint8_t extra = 0;  // frames: the byte before the length, unused by the tool
};

// Why a payload gave no record.
enum class FtLinkError : uint8_t {
    Empty,                // no payload byte at all
    Notification,         // first byte 0xFF: nothing for the tool (not a fault on the wire)
    ShortReply,           // a reply without its reply code
    ShortFrame,           // a frame cut before its data length
    LengthBeyondPayload,  // a frame announcing more data than it carries
    TooLong,              // a reply with more data than a record holds
};

using UsbRecordResult = std::variant<UsbRecord, FtLinkError>;

// The byte counts of the adapter's payloads, for the parser's and encoder's limits.
inline constexpr size_t kFtReplyHeader = 2;   // 00, reply code
inline constexpr size_t kFtFrameHeader = 11;  // first byte, id (4), timestamp (4), extra, length
inline constexpr size_t kFtMaxPayload = kFtFrameHeader + UsbRecord::kMaxData;

// One unframed payload from the adapter -> record. Never reads past `payload`.
//   00 80 CC                              -> Reply, code 0x00, data CC
//   00 B2                                 -> Reply, code 0x32, no data
//   80 42 EB FE 18 10 27 00 00 00 02 01 02 -> Frame, id 0x18FEEB42, timestamp 10000, data 01 02
//   E0 ...                                -> Frame with flags 0x60
//   FF ...                                -> Notification;  00 -> ShortReply
//   80 42 EB FE 18 10 27 00 00 00 03 01 02 -> LengthBeyondPayload
//   00 80 + 256 data bytes                -> TooLong
// Identifier bits 29-31 are dropped; bytes after the announced data are ignored.
UsbRecordResult decodeUsbRecord(std::span<const uint8_t> payload);

}  // namespace corvane
