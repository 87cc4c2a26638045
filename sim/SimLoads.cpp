#include "sim/SimLoads.h"

#include "core/DimmerCommand.h"

namespace corvane::sim {

using namespace dimmer_command;

namespace {

constexpr uint8_t kNotAvailable = 0xFF;  // also the level "not available" of a set level

}  // namespace

std::optional<uint8_t> SimLoads::apply(const RvcFrame& command) {
    if (command.dgn != kCommandDgn || heldBytes(command) < 5) return std::nullopt;
    const uint8_t instance = command.data[0];
    if (instance < kFirstInstance || instance >= kFirstInstance + kCount) return std::nullopt;
    bool& on = on_[instance - kFirstInstance];
    const uint8_t level = command.data[2];
    switch (command.data[4]) {
        case kSetLevel:
            if (level > kFullLevel && level != kNotAvailable) return std::nullopt;
            on = level != 0;
            break;
        case kOnDuration:
        case kOnDelay:
            on = true;
            break;
        case kOff:
            on = false;
            break;
        case kToggle:
            on = !on;
            break;
        default:
            return std::nullopt;
    }
    return instance;
}

std::array<uint8_t, 8> SimLoads::status(size_t i) const {
    // Not grouped, automatic, not dimmable, no priority, no delay, currents not measured.
    return {static_cast<uint8_t>(kFirstInstance + i),
            0xFF,
            on_[i] ? kFullLevel : uint8_t{0},
            0xF0,
            kNotAvailable,
            kNotAvailable,
            0xFF,
            0xFF};
}

}  // namespace corvane::sim
