#pragma once

#include <chrono>
#include <functional>

namespace corvane::test {

// Waits on this thread, with no event loop, until `done` holds or `limit` has passed, looking
// every `every` (a condition that does work, such as a timer tick, looks at that work's pace);
// whether it held. Limits are generous, since CI is a busy two-core machine: a passing test
// stops waiting as soon as its condition holds.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(5),
               std::chrono::milliseconds every = std::chrono::milliseconds(2));

}  // namespace corvane::test
