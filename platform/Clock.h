#pragma once

#include <cstdint>

namespace corvane {

// Time as the periodic duties see it. Injected everywhere so that tests move time by hand.
class Clock {
  public:
    virtual ~Clock() = default;
    // Wall-clock seconds since 1970 (UTC): the time stamps of nodes and devices.
    virtual int64_t epochSeconds() const = 0;
    // Monotonic milliseconds from an arbitrary origin: waits, timers and time-outs.
    virtual int64_t steadyMilliseconds() const = 0;
};

class SystemClock final : public Clock {
  public:
    int64_t epochSeconds() const override;
    int64_t steadyMilliseconds() const override;
};

}  // namespace corvane
