#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane::mqtt {

// A command for a switched load in Home Assistant's switch format, and the DC_LOAD_COMMAND it
// becomes. Pure.
//   "ON" -> on;  "OFF" -> off;  anything else ("on", "", "1", JSON) -> nothing
struct LoadCommand {
    bool on = false;
};

std::optional<LoadCommand> parseLoadCommand(std::string_view payload);

// The eight bytes of DC_LOAD_COMMAND for `instance`: on sets the level to 100 % (RV-C's half
// percents, 200), off is the "off" command; group, mode, delay left "not available".
//   (1, on)  -> 01 FF C8 F3 00 FF FF FF
//   (1, off) -> 01 FF 00 F3 03 FF FF FF
std::array<uint8_t, 8> loadCommandData(uint8_t instance, const LoadCommand& c);

// A DC_LOAD_STATUS level (%) as Home Assistant's switch state: "ON" for any level above 0.
const char* loadStateFromPercent(double percent);

}  // namespace corvane::mqtt
