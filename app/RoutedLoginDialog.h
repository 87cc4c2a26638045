#pragma once

#include <atomic>

#include "adapters/KestrixLinkDialog.h"

namespace corvane {

// The login dialog the cloud adapter is given at start-up: it asks whatever can ask now (the
// main window's dialog, the demo's fixed answers). With nothing to ask, the login is
// cancelled.
class RoutedLoginDialog final : public KestrixLinkDialog {
  public:
    void route(KestrixLinkDialog* target) { target_.store(target, std::memory_order_release); }
    bool routed() const { return target_.load(std::memory_order_acquire) != nullptr; }
    bool ask(KestrixLinkDetails& details) override {
        KestrixLinkDialog* target = target_.load(std::memory_order_acquire);
        return target && target->ask(details);
    }

  private:
    std::atomic<KestrixLinkDialog*> target_{nullptr};
};

}  // namespace corvane
