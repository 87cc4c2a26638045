#pragma once

#include <string_view>

namespace corvane {

// Failures the user must see: a message box with an OK button and a short title. The main
// window shows them; tests and headless runs record or print them.
class UserNotifier {
  public:
    virtual ~UserNotifier() = default;
    virtual void showMessage(std::string_view text, std::string_view title) = 0;
};

}  // namespace corvane
