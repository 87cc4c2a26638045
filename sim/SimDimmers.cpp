#include "sim/SimDimmers.h"

#include "core/DimmerCommand.h"

namespace corvane::sim {

using namespace dimmer_command;

std::optional<uint8_t> SimDimmers::apply(const RvcFrame& command) {
    if (command.dgn != kCommandDgn || heldBytes(command) < 4) return std::nullopt;
    const uint8_t instance = command.data[0];
    if (instance < kFirstInstance || instance >= kFirstInstance + kCount) return std::nullopt;
    Light& light = lights_[instance - kFirstInstance];
    const uint8_t desired = command.data[2];
    switch (command.data[3]) {
        case kSetLevel:
            light.level = desired <= kFullLevel ? desired : light.lastOn;
            break;
        case kOnDuration:
        case kOnDelay:
            light.level = light.lastOn;
            break;
        case kOff:
            light.level = 0;
            break;
        case kToggle:
            light.level = light.level == 0 ? light.lastOn : 0;
            break;
        default:
            return std::nullopt;
    }
    if (light.level != 0) light.lastOn = light.level;
    light.lastCommand = command.data[3];
    return instance;
}

std::array<uint8_t, 8> SimDimmers::status(size_t i) const {
    const Light& light = lights_[i];
    // Group, delay and the fault bits as a healthy controller sends them: no group, no delay,
    // unlocked, no overcurrent, no override, enabled; byte 6 says whether the light is lit.
    const uint8_t lit = light.level != 0 ? 0x04 : 0x00;
    return {
        static_cast<uint8_t>(kFirstInstance + i), 0xFF, light.level, 0x00, 0xFF, light.lastCommand,
        static_cast<uint8_t>(0xF0 | lit),         0xFF};
}

}  // namespace corvane::sim
