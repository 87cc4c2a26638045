#pragma once

// The client bus as a module sees it: command codes and the byte layouts of requests and
// replies. Module programs build against this library alone, so it carries its own copy of
// the wire definitions (all multi-byte fields little-endian, records packed).

#include <cstddef>
#include <cstdint>

namespace corvane::sdk {

namespace code {
inline constexpr uint8_t kSend = 0x00;
inline constexpr uint8_t kSendFrom = 0x01;
inline constexpr uint8_t kSimulate = 0x02;
inline constexpr uint8_t kRawFrame = 0x03;
inline constexpr uint8_t kHousekeeping = 0x08;
inline constexpr uint8_t kAddAddress = 0x80;
inline constexpr uint8_t kRemoveAddress = 0x81;
inline constexpr uint8_t kAddDgn = 0x82;
inline constexpr uint8_t kRemoveDgn = 0x83;
inline constexpr uint8_t kAddLegacyRaw = 0x84;
inline constexpr uint8_t kRemoveLegacyRaw = 0x85;
inline constexpr uint8_t kAddRaw = 0x86;
inline constexpr uint8_t kRemoveRaw = 0x87;
inline constexpr uint8_t kScanOff = 0xE0;
inline constexpr uint8_t kScanOn = 0xE1;
inline constexpr uint8_t kMode = 0xE2;
inline constexpr uint8_t kModeReply = 0xE3;
inline constexpr uint8_t kUnregister = 0xFE;
inline constexpr uint8_t kRegister = 0xFF;
}  // namespace code

// The tool discards any request of this many bytes or more.
inline constexpr size_t kMaxRequest = 200;
// Header sizes: send (code, dgn u32, priority, length u16), send-from (code, sa, dgn,
// priority, length), message (kind, dgn, sa, length) and frame (kind, dgn, sa, timestamp u32,
// length, priority, reserved).
inline constexpr size_t kSendHeader = 8;
inline constexpr size_t kSendFromHeader = 9;
inline constexpr size_t kMessageHeader = 8;
inline constexpr size_t kFrameHeader = 14;
// Where each field starts, in bytes from the code (or kind) byte at 0.
namespace at {
inline constexpr size_t kToken = 1;          // requests that name the client, and registration
inline constexpr size_t kTokenArgument = 5;  // what follows the token
inline constexpr size_t kSendDgn = 1;        // send and housekeeping requests
inline constexpr size_t kSendPriority = 5;
inline constexpr size_t kSendLength = 6;
inline constexpr size_t kSendFromSa = 1;
inline constexpr size_t kSendFromDgn = 2;
inline constexpr size_t kSendFromPriority = 6;
inline constexpr size_t kSendFromLength = 7;
inline constexpr size_t kMessageDgn = 1;  // simulated reception, and messages the tool delivers
inline constexpr size_t kMessageSa = 5;
inline constexpr size_t kMessageLength = 6;
inline constexpr size_t kFrameDgn = 1;  // raw frames the tool delivers
inline constexpr size_t kFrameSa = 5;
inline constexpr size_t kFrameTimestamp = 6;
inline constexpr size_t kFrameLength = 10;
inline constexpr size_t kFramePriority = 12;
inline constexpr size_t kFrameReserved = 13;
}  // namespace at
// So the most data one request can carry:
inline constexpr size_t kMaxSendData = kMaxRequest - 1 - kSendHeader;          // 191
inline constexpr size_t kMaxSendFromData = kMaxRequest - 1 - kSendFromHeader;  // 190
inline constexpr size_t kMaxSimulateData = kMaxRequest - 1 - kMessageHeader;   // 191
// The tool's own mailslot.
inline constexpr const char* kToolSlot = "RVCManager";

}  // namespace corvane::sdk
