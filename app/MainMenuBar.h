#pragma once

#include <QMenuBar>
#include <functional>
#include <map>

#include "app/MenuRules.h"

class QAction;
class QMenu;

namespace corvane {

// The main window's menu bar, built from MenuTable. Whenever a menu opens, its items take the
// enabled and checked states of MenuRules for the state the window reports at that moment.
class MainMenuBar final : public QMenuBar {
    Q_OBJECT
  public:
    using StateSource = std::function<MenuState()>;

    MainMenuBar(StateSource state, QWidget* parent = nullptr);

    QAction* action(int commandId) const;
    // Applies the rules to every item now (also done as each menu opens).
    void applyRules();

  Q_SIGNALS:
    void commandTriggered(int commandId);

  private:
    void addCommand(QMenu* menu, const char* caption, int id);
    void applyRulesTo(QMenu* menu);

    StateSource state_;
    std::map<int, QAction*> actions_;
};

}  // namespace corvane
