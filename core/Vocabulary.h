#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// 66 -> "Inverter"; DSAs without a name -> "Unknown Device Type".
std::string DeviceTypeName(uint8_t dsa);

// Exactly three characters: 0-63 as "%3d" (5 -> "  5"), 64-149 a letter code (103 -> "AC "),
// 150-255 the three digits.
std::string DeviceTypeAbbreviation(uint8_t dsa);

}  // namespace corvane
