#pragma once

#include <memory>

#include "app/ApplicationCore.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"

namespace corvane::test {

// The application-wide objects as start-up builds them, on in-memory settings (which a test
// may fill before start()) and the system clock. Construct it where its core must outlive
// what borrows it, and after what the core must outlive (emulators, vehicles).
class TestCore {
  public:
    TestCore() = default;
    TestCore(const TestCore&) = delete;
    TestCore& operator=(const TestCore&) = delete;

    // Builds the core and starts its network, replacing one built before; on `store` instead of
    // `settings` when given.
    ApplicationCore& start(const StartOptions& options = {}, SettingsStore* store = nullptr);
    void stop() { core_.reset(); }
    bool started() const { return core_ != nullptr; }
    ApplicationCore& core() { return *core_; }
    ApplicationCore* operator->() { return core_.get(); }
    ApplicationCore& operator*() { return *core_; }

    MemorySettingsStore settings;
    SystemClock clock;

  private:
    std::unique_ptr<ApplicationCore> core_;
};

}  // namespace corvane::test
