#pragma once

#include <cstdint>

namespace corvane {

// Addresses with a fixed meaning on the network.
inline constexpr uint8_t kToolAddress = 0xF9;    // this tool, as a service tool
inline constexpr uint8_t kGlobalAddress = 0xFF;  // everyone; "any" in client filters

// The DGNs the core itself understands. PDU1 families carry the destination in the low byte.
namespace dgn {
inline constexpr uint32_t kRequest = 0xEA00;           // + destination
inline constexpr uint32_t kTransportData = 0xEB00;     // TP.DT, + destination
inline constexpr uint32_t kTransportControl = 0xEC00;  // TP.CM, + destination
inline constexpr uint32_t kAddressClaim = 0xEE00;
inline constexpr uint32_t kProductId = 0xFEEB;
inline constexpr uint32_t kDm1 = 0xFECA;
inline constexpr uint32_t kDmRv = 0x1FECA;
inline constexpr uint32_t kReset = 0x17F00;  // + destination
inline constexpr uint32_t kMaxTransmit = 0x3FFFF;
}  // namespace dgn

inline constexpr uint16_t kMaxMessageData = 1785;  // 255 packets of 7 bytes
inline constexpr uint8_t kMaxPriority = 7;

// The PDU1 family of a DGN, destination masked off: 0xEC42 -> 0xEC00.
constexpr uint32_t dgnFamily(uint32_t dgn) { return dgn & 0x1FF00; }
// The destination byte of a PDU1 DGN.
constexpr uint8_t destinationOf(uint32_t dgn) { return static_cast<uint8_t>(dgn & 0xFF); }
// Long-message control and data frames, which reach only raw clients and the device table.
constexpr bool isTransportFrame(uint32_t dgn) {
    return dgnFamily(dgn) == dgn::kTransportControl || dgnFamily(dgn) == dgn::kTransportData;
}
constexpr bool isRequest(uint32_t dgn) { return dgnFamily(dgn) == dgn::kRequest; }

}  // namespace corvane
