#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "core/RvcFrame.h"

namespace corvane::sim {

// The switched loads of a simulated load controller (a water pump, a porch light): each is on
// or off, follows a DC_LOAD_COMMAND for its instance and reports in DC_LOAD_STATUS, its level
// in RV-C's half percents (200 on, 0 off; the loads do not dim). Not thread-safe: the vehicle
// calls it under its own lock.
class SimLoads {
  public:
    static constexpr uint32_t kCommandDgn = 0x1FFBC;
    static constexpr uint32_t kStatusDgn = 0x1FFBD;
    static constexpr size_t kCount = 2;
    static constexpr uint8_t kFirstInstance = 1;

    // Commands understood: 0 set level (any level above 0 is on), 1 and 2 on, 3 off, 5 toggle.
    // Returns the instance it changed or confirmed.
    std::optional<uint8_t> apply(const RvcFrame& command);
    // The status of one load (kFirstInstance + i).
    std::array<uint8_t, 8> status(size_t i) const;
    bool on(size_t i) const { return on_[i]; }

  private:
    std::array<bool, kCount> on_{};
};

}  // namespace corvane::sim
