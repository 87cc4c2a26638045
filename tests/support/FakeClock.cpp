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

}  // namespace corvane::test
