#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace corvane::sdk {

// One message the tool wrote to the module, decoded.
struct ModuleEvent {
    enum class Type {
        Registered,     // 0xFF: token
        Unregistered,   // 0xFE
        FilterAdded,    // 0x80, 0x84, 0x86: address; 0x82: dgn
        FilterRemoved,  // 0x81, 0x85, 0x87: address; 0x83: dgn
        Mode,           // 0xE3: mode, echo
        Message,        // 0x00: a complete message (or a frame through a legacy raw filter)
        Frame,          // 0x03: a frame through a raw filter
    };
    Type type = Type::Message;
    uint8_t code = 0;
    uint32_t token = 0;
    uint8_t address = 0;
    uint32_t dgn = 0;  // filter replies, messages and frames
    uint8_t sa = 0;    // messages and frames
    uint8_t mode = 0;
    uint8_t echo = 0;
    uint32_t timestamp = 0;      // frames
    uint8_t priority = 0;        // frames
    uint8_t reserved = 0;        // frames
    std::vector<uint8_t> data;   // messages and frames
    std::vector<uint8_t> bytes;  // exactly as received
};

// Bytes -> event; nullopt for an unknown code or a message too short for its code (a
// message or frame must hold all the data its length announces).
//   FF 07 00 00 00         -> Registered, token 7
//   80 42                  -> FilterAdded, address 0x42
//   00 CA FE 01 00 42 02 00 11 22 -> Message, dgn 0x1FECA, sa 0x42, data 11 22
std::optional<ModuleEvent> decodeEvent(std::span<const uint8_t> bytes);

}  // namespace corvane::sdk
