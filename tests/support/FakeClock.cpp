#include "tests/support/FakeClock.h"

namespace corvane::test {

FakeClock::FakeClock(int64_t epochSeconds, int64_t steadyMs)
    : epoch_(epochSeconds), steady_(steadyMs) {}

void FakeClock::advanceMs(int64_t ms) {
    steady_ += ms;
    int64_t sub = subSecondMs_ + ms;
    epoch_ += sub / 1000;
    subSecondMs_ = sub % 1000;
}

std::optional<std::tm> FakeClock::localTime(int64_t epochSeconds) const {
    const std::time_t shifted = static_cast<std::time_t>(epochSeconds + utcOffset_.load());
    std::tm local{};
    if (::gmtime_r(&shifted, &local) == nullptr) return std::nullopt;
    return local;
}

}  // namespace corvane::test
