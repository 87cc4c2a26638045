#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

#include "adapters/UserNotifier.h"

namespace corvane {

// Failures the user must see, as a message box with an OK button over the main window.
// Callable from any thread; the box appears on the user-interface thread. Must outlive the
// messages it was handed (it lives as long as the main window's run). Tests put a recorder
// in place of the box.
class QtNotifier final : public UserNotifier {
  public:
    using Shower = std::function<void(const std::string& text, const std::string& title)>;

    explicit QtNotifier(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    // Replaces the message box (tests; a screenshot run that must not block).
    void setShower(Shower shower) { shower_ = std::move(shower); }

    void showMessage(std::string_view text, std::string_view title) override;

  private:
    void show(const std::string& text, const std::string& title);

    QWidget* parent_;
    Shower shower_;
};

}  // namespace corvane
