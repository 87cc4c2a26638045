#pragma once

#include <atomic>

#include "adapters/CloudLoginPrompt.h"

namespace corvane {

// The login prompt the cloud adapter is given at start-up: it hands the question to whatever
// can answer now (the main window's dialog, the demo's fixed answers). With nothing to ask,
// the login is cancelled.
class RoutedLoginPrompt final : public CloudLoginPrompt {
  public:
    void route(CloudLoginPrompt* target) { target_.store(target, std::memory_order_release); }
    bool routed() const { return target_.load(std::memory_order_acquire) != nullptr; }
    bool ask(KestrixLinkDetails& details) override {
        CloudLoginPrompt* target = target_.load(std::memory_order_acquire);
        return target && target->ask(details);
    }

  private:
    std::atomic<CloudLoginPrompt*> target_{nullptr};
};

}  // namespace corvane
