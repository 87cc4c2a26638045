#pragma once

#include <cstdint>

namespace corvane::dimmer_command {

// The command byte of DC_DIMMER_COMMAND_2 and DC_LOAD_COMMAND, which share one table, and the
// level that means fully on. Levels are in half percents.
inline constexpr uint8_t kSetLevel = 0;
inline constexpr uint8_t kOnDuration = 1;
inline constexpr uint8_t kOnDelay = 2;
inline constexpr uint8_t kOff = 3;
inline constexpr uint8_t kToggle = 5;
inline constexpr uint8_t kFullLevel = 200;

}  // namespace corvane::dimmer_command
