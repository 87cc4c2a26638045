#pragma once

#include <atomic>

#include "platform/Clock.h"

namespace corvane::test {

// A clock that moves only when the test says so.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(int64_t epochSeconds = 1'700'000'000, int64_t steadyMs = 0);
    int64_t epochSeconds() const override { return epoch_.load(); }
    int64_t epochMicros() const override { return epoch_ * 1'000'000 + subSecondMs_ * 1000; }
    int64_t steadyMilliseconds() const override { return steady_.load(); }
    // Local time is UTC shifted by a fixed offset (none unless set), whatever the machine's
    // time zone, so that tests can expect exact dates and hours.
    std::optional<std::tm> localTime(int64_t epochSeconds) const override;
    void setUtcOffsetSeconds(int64_t seconds) { utcOffset_ = seconds; }

    // Moves both clocks forward.
    void advanceMs(int64_t ms);
    void advanceSeconds(int64_t s) { advanceMs(s * 1000); }

  private:
    std::atomic<int64_t> epoch_;
    std::atomic<int64_t> steady_;
    std::atomic<int64_t> subSecondMs_{0};
    std::atomic<int64_t> utcOffset_{0};
};

}  // namespace corvane::test
