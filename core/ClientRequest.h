#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace corvane {

// The command codes of the module client bus: byte 0 of every request a module writes to
// the tool's mailslot, and of every reply the tool writes back.
namespace clientbus {
inline constexpr uint8_t kSend = 0x00;           // RvcSendRequest, from 0xF9
inline constexpr uint8_t kSendFrom = 0x01;       // RvcSendFromRequest
inline constexpr uint8_t kSimulate = 0x02;       // RvcMessage, a simulated reception
inline constexpr uint8_t kRawFrame = 0x03;       // reply: an RvcFrame for a raw filter
inline constexpr uint8_t kHousekeeping = 0x08;   // RvcSendRequest, housekeeping
inline constexpr uint8_t kHousekeeping2 = 0x09;  // the same
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

// Messages this long or longer are discarded unread.
inline constexpr size_t kMaxRequest = 200;
// Where the token sits in the requests that carry one, and what follows it.
inline constexpr size_t kTokenOffset = 1;
inline constexpr size_t kArgumentOffset = 5;
}  // namespace clientbus

// The fields of a request that names its client by token (codes 0x80-0x87, 0xE0-0xE2, 0xFE).
// Only the fields of the given code are filled.
struct TokenRequest {
    uint8_t code = 0;
    uint32_t token = 0;
    uint8_t address = 0;  // 0x80, 0x81, 0x84-0x87
    uint32_t dgn = 0;     // 0x82, 0x83
    uint8_t mode = 0;     // 0xE2
    uint8_t echo = 0;     // 0xE2
};

// True for the codes whose bytes 1-4 hold the client's token.
bool carriesToken(uint8_t code);

// Bytes -> token request; nullopt for another code or fewer bytes than the code needs.
//   80 T T T T 42          -> add address filter 0x42
//   82 T T T T CA FE 01 00 -> add DGN filter 0x1FECA
//   E2 T T T T 07 02       -> mode 7, echo 2
//   80 T T T T             -> nullopt (address missing)
std::optional<TokenRequest> parseTokenRequest(std::span<const uint8_t> bytes);

// The slot name of a registration (0xFF): the bytes after the code up to a NUL or the end of
// the message; nullopt unless it is a valid slot name.
std::optional<std::string> parseRegistration(std::span<const uint8_t> bytes);

}  // namespace corvane
