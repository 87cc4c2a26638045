#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane::mqtt {

// A command for a light in Home Assistant's JSON light format, and the DC_DIMMER_COMMAND_2 it
// becomes. Pure.
//   {"state": "ON", "brightness": 255} -> on at full; {"state": "ON"} -> on at its last level;
//   {"state": "OFF"} -> off; anything else (no state, brightness outside 0-255) -> nothing
struct LightCommand {
    bool on = false;
    std::optional<int> brightness;  // 0-255
};

std::optional<LightCommand> parseLightCommand(std::string_view payload);

// The eight bytes of DC_DIMMER_COMMAND_2 for `instance`: set level (RV-C's half percents,
// 0xFF for the last level) or off; group, delay and ramp left "not available".
std::array<uint8_t, 8> dimmerCommandData(uint8_t instance, const LightCommand& c);

// A DC_DIMMER_STATUS_3 brightness (%) as Home Assistant's light state:
//   {"state": "ON", "brightness": 128}
struct LightState {
    bool on = false;
    int brightness = 0;  // 0-255
};
LightState lightStateFromPercent(double percent);

}  // namespace corvane::mqtt
