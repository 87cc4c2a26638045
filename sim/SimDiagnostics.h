#pragma once

#include <array>
#include <cstdint>

#include "sim/SimNode.h"

namespace corvane::sim {

// The eight bytes of a node's diagnostic status (DM_RV, or DM1 for a legacy node) at virtual
// time `atMs`. Without an active fault: its status byte, its DSA, then 0xFF. While its fault
// is active, the yellow lamp (DM_RV) or amber lamp (DM1) is on and the fault is sent with an
// occurrence count of how many times it has been raised so far:
//   DM_RV, status 05, DSA 101, SPN 168 FMI 4, second cycle -> 15 65 00 15 04 02 FF FF
//   DM1,   status 05, DSA 72, SPN 3509 FMI 5, first cycle  -> 05 48 B5 0D 05 01 FF FF
std::array<uint8_t, 8> diagnosticData(const SimNode& node, int64_t atMs);

// Whether the node's fault is active at `atMs`.
bool faultActive(const SimFault& fault, int64_t atMs);

}  // namespace corvane::sim
