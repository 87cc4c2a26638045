#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace corvane {

// What a CAN controller reports about the bus through an error frame of the kernel's raw CAN
// sockets: the error classes in the identifier, their details in the data bytes.
struct CanErrorFrame {
    bool busOff = false;
    bool errorPassive = false;        // RX or TX error counter at 128 or more
    bool errorWarning = false;        // at 96 or more
    bool receiveOverflow = false;     // the controller's own buffer overflowed: frames lost
    bool protocolViolation = false;   // bit, form or stuffing errors on the wire
    bool noAcknowledge = false;       // a transmission nobody acknowledged
    std::optional<uint8_t> txErrors;  // the controller's error counters, when it sends them
    std::optional<uint8_t> rxErrors;
};

// An error frame's identifier (flags removed) and data -> what it says.
//   id 0x040 (bus off)                              -> busOff
//   id 0x004, data 00 11 ...  (controller problems) -> receiveOverflow, errorPassive
//   id 0x208, data[6] 05, data[7] 60 (protocol, counters) -> protocolViolation, tx 5, rx 96
CanErrorFrame decodeCanErrorFrame(uint32_t id, std::span<const uint8_t> data);

}  // namespace corvane
