#include "tests/support/WaitUntil.h"

#include <thread>

namespace corvane::test {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               std::chrono::milliseconds every) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return done();
        std::this_thread::sleep_for(every);
    }
    return true;
}

}  // namespace corvane::test
