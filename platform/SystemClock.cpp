#include "platform/Clock.h"

#include <time.h>

#include <chrono>

namespace corvane {

int64_t SystemClock::epochSeconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The coarse clock: read for every frame on the bus, where a few milliseconds of resolution is
// plenty and the precise clock would cost more than the rest of the frame's bookkeeping.
int64_t SystemClock::epochMicros() const {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

int64_t SystemClock::steadyMilliseconds() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::optional<std::tm> SystemClock::localTime(int64_t epochSeconds) const {
    const std::time_t when = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr) return std::nullopt;
    return local;
}

}  // namespace corvane
