#pragma once

#include <array>
#include <cstdint>

namespace corvane {

// One function on the network: a (source address, DSA) pair that reports a diagnostic status.
struct RVCDevice {
    uint8_t dsa = 0;
    uint8_t sa = 0;
    uint8_t status = 0;     // data byte 0 of the last DM_RV / DM1
    int64_t updated = 0;    // seconds since 1970 (UTC) of the last diagnostic message
    int identified = 0;     // 1 when the node list holds this sa
    int statusChanged = 0;  // 1 until the device list has redrawn the row
    // Data bytes 2-7 of the last DM_RV / DM1: the fault identification (SPN, FMI, occurrence
    // count), kept as received; all 0xFF means no fault reported.
    std::array<uint8_t, 6> fault{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
};

}  // namespace corvane
