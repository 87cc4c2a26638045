#pragma once

#include <cstdio>
#include <string>

#include "adapters/UserNotifier.h"

namespace corvane {

// Message boxes of a run without a window: one line on standard error.
class TerminalNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(text.size()), text.data());
    }
};

}  // namespace corvane
