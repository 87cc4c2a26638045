#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace corvane {

class Clock;

// How the windows write the times of faults: the time of day in the clock's time zone,
// "14:02:11"; UTC in full ("2025-12-06 05:46:40 UTC") without a clock or for a time it cannot
// show. The report files keep UTC throughout.
std::function<std::string(int64_t micros)> faultTimeText(const Clock* clock);

}  // namespace corvane
