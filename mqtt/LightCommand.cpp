#include "mqtt/LightCommand.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "core/DimmerCommand.h"

namespace corvane::mqtt {

std::optional<LightCommand> parseLightCommand(std::string_view payload) {
    const auto j = nlohmann::json::parse(payload, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return std::nullopt;
    const auto state = j.find("state");
    if (state == j.end() || !state->is_string()) return std::nullopt;
    LightCommand c;
    if (*state == "ON") {
        c.on = true;
    } else if (*state != "OFF") {
        return std::nullopt;
    }
    if (const auto b = j.find("brightness"); b != j.end()) {
        // Whole numbers from 0 only, read at full width: 4294967551 is no 255.
        if (!b->is_number_unsigned() || b->get<uint64_t>() > 255) return std::nullopt;
        c.brightness = static_cast<int>(b->get<uint64_t>());
    }
    return c;
}

std::array<uint8_t, 8> dimmerCommandData(uint8_t instance, const LightCommand& c) {
    using namespace dimmer_command;
    std::array<uint8_t, 8> d{instance, 0xFF, 0xFF, kSetLevel, 0xFF, 0xFC, 0xFF, 0xFF};
    if (!c.on) {
        d[2] = 0;
        d[3] = kOff;
    } else if (c.brightness) {
        d[2] = static_cast<uint8_t>(std::lround(*c.brightness * double{kFullLevel} / 255.0));
    }
    return d;
}

LightState lightStateFromPercent(double percent) {
    const int b = static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0) * 255.0 / 100.0));
    return {b > 0, b};
}

}  // namespace corvane::mqtt
