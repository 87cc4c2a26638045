#pragma once

#include <atomic>

#include "adapters/UserNotifier.h"
#include "app/TerminalNotifier.h"

namespace corvane {

// The notifier the application-wide objects are given at start-up: it passes each message
// to whatever shows messages now (the main window once it exists), else to the terminal.
class RoutedNotifier final : public UserNotifier {
  public:
    void route(UserNotifier* target) { target_.store(target, std::memory_order_release); }
    // Where messages go now; null for the terminal.
    UserNotifier* target() const { return target_.load(std::memory_order_acquire); }
    void showMessage(std::string_view text, std::string_view title) override {
        UserNotifier* target = target_.load(std::memory_order_acquire);
        if (target) {
            target->showMessage(text, title);
        } else {
            terminal_.showMessage(text, title);
        }
    }

  private:
    std::atomic<UserNotifier*> target_{nullptr};
    TerminalNotifier terminal_;
};

}  // namespace corvane
