#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace corvane {

// Time as the periodic duties see it. Injected everywhere so that tests move time by hand.
class Clock {
  public:
    virtual ~Clock() = default;
    // Wall-clock seconds since 1970 (UTC): the time stamps of nodes and devices.
    virtual int64_t epochSeconds() const = 0;
    // Wall-clock microseconds since 1970, to within a few milliseconds: the time stamps of
    // faults and bus load. Clocks that know only whole seconds give those.
    virtual int64_t epochMicros() const { return epochSeconds() * 1'000'000; }
    // Monotonic milliseconds from an arbitrary origin: waits, timers and time-outs.
    virtual int64_t steadyMilliseconds() const = 0;
    // A wall-clock time broken down in this clock's time zone (the machine's for the system
    // clock), as a person reads it: dates in logs, files and messages. Nothing when the time
    // cannot be shown (out of range). Time zones live here so that tests fix theirs.
    virtual std::optional<std::tm> localTime(int64_t epochSeconds) const = 0;
    // The same for now.
    std::optional<std::tm> localNow() const { return localTime(epochSeconds()); }
};

class SystemClock final : public Clock {
  public:
    int64_t epochSeconds() const override;
    int64_t epochMicros() const override;
    int64_t steadyMilliseconds() const override;
    std::optional<std::tm> localTime(int64_t epochSeconds) const override;
};

}  // namespace corvane
