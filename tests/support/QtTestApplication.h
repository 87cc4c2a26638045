#pragma once

#include <chrono>
#include <functional>

namespace corvane::test {

// Widgets need an application object: one for the whole test program, made on first use, on
// the platform that shows nothing unless QT_QPA_PLATFORM names another.
void ensureApplication();

// Runs this thread's event loop until `done` holds or `limit` has passed; whether it held.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(5));
// Runs the event loop for `time`.
void pumpFor(std::chrono::milliseconds time);

}  // namespace corvane::test
