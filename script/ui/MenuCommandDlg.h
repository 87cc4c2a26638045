#pragma once

#include <QDialog>
#include <optional>
#include <span>
#include <string>

#include "script/ScriptWindow.h"

class QListWidget;

namespace corvane {

// MENU: one line per choice ("display", a tab, "[token]"). Selecting a line takes its token;
// double-clicking takes it and closes with OK.
class MenuCommandDlg : public QDialog {
    Q_OBJECT
  public:
    explicit MenuCommandDlg(std::span<const MenuEntry> entries, QWidget* parent = nullptr);

    const std::string& choice() const { return choice_; }
    // Shows the dialog modally: the chosen token on OK, nothing when closed any other way.
    static std::optional<std::string> Choose(std::span<const MenuEntry> entries, QWidget* parent);

  private:
    void TakeRow(int row);

    QListWidget* list_;
    std::string choice_;
};

}  // namespace corvane
