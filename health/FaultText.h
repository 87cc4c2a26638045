#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "health/DiagnosticMessage.h"

namespace corvane::health {

// The failure mode in words. 1 -> "Data valid but below normal operational range - most severe
// level"; 5 -> "Current below normal or open circuit"; a reserved mode (22-30) -> "Reserved
// failure mode".
std::string_view failureModeText(uint8_t fmi);

// The parameter an SPN names, where J1939 defines it and a coach's equipment is likely to
// report it; empty otherwise. SPNs 2000-2253 name the device at address SPN - 2000.
//   110 -> "engine coolant temperature";  168 -> "battery potential";  4711 -> ""
//   2066 -> "device at address 42"
std::string parameterName(uint32_t spn);

// "SPN 168 (battery potential)", or "SPN 4711" for one without a name.
std::string spnText(uint32_t spn);

// One trouble code in a sentence:
//   {168, 1, 3} -> "SPN 168 (battery potential) - FMI 1: Data valid but below normal
//                   operational range - most severe level - counted 3 times by the device"
//   {4711, 2, 127} -> "SPN 4711 - FMI 2: Data erratic, intermittent or incorrect"
// A DM1 code sent in an older SPN layout says so instead of naming a parameter:
//   {168, 1, 3, older} -> "SPN 168 (older SPN layout) - FMI 1: ..."
std::string describeCode(const TroubleCode& code);

// "on", "off", "error", "n/a".
std::string_view lampText(LampState state);

}  // namespace corvane::health
