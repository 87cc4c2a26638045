#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "core/RvcFrame.h"

namespace corvane::sim {

// The dimmed lights of a simulated load controller: each has a level that a DC_DIMMER_COMMAND_2
// for its instance changes, and reports it in DC_DIMMER_STATUS_3. Levels are RV-C's half
// percents (0-200). Not thread-safe: the vehicle calls it under its own lock.
class SimDimmers {
  public:
    static constexpr uint32_t kCommandDgn = 0x1FEDB;
    static constexpr uint32_t kStatusDgn = 0x1FEDA;
    static constexpr size_t kCount = 2;
    static constexpr uint8_t kFirstInstance = 1;

    // Commands understood: 0 set level (0xFF: the last level), 1 and 2 on (last level, or
    // full), 3 off, 5 toggle. Returns the instance whose level or last command changed.
    std::optional<uint8_t> apply(const RvcFrame& command);
    // The status of one instance (kFirstInstance + i).
    std::array<uint8_t, 8> status(size_t i) const;
    uint8_t level(size_t i) const { return lights_[i].level; }

  private:
    struct Light {
        uint8_t level = 0;
        uint8_t lastOn = 200;  // the level "on" and "toggle" restore
        uint8_t lastCommand = 3;
    };
    std::array<Light, kCount> lights_{};
};

}  // namespace corvane::sim
