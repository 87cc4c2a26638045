#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

#include "platform/Clock.h"

namespace corvane::decode {

// The time of a log being read: it stands where the frame being taken in was recorded, so that
// long-message time-outs follow the log's own timing however fast it is read.
// Set and read on the thread that reads the log.
class LogClock final : public Clock {
  public:
    void setMicros(int64_t micros) { micros_ = micros; }
    int64_t micros() const { return micros_; }
    int64_t epochSeconds() const override { return micros_ / 1000000; }
    int64_t steadyMilliseconds() const override { return micros_ / 1000; }
    // A log carries no time zone: its times are shown in UTC, the same on every machine.
    std::optional<std::tm> localTime(int64_t epochSeconds) const override {
        const std::time_t t = static_cast<std::time_t>(epochSeconds);
        std::tm out{};
        if (gmtime_r(&t, &out) == nullptr) return std::nullopt;
        return out;
    }

  private:
    int64_t micros_ = 0;
};

}  // namespace corvane::decode
