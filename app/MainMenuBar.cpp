#include "app/MainMenuBar.h"

#include <QAction>
#include <QMenu>
#include <vector>

#include "app/MenuTable.h"

namespace corvane {

MainMenuBar::MainMenuBar(StateSource state, QWidget* parent)
    : QMenuBar(parent), state_(std::move(state)) {
    std::vector<QMenu*> open;
    for (const MenuBarEntry& e : MenuTable::mainMenu()) {
        switch (e.kind) {
            case MenuBarEntry::Kind::Open: {
                QMenu* menu = open.empty() ? addMenu(e.caption) : open.back()->addMenu(e.caption);
                connect(menu, &QMenu::aboutToShow, this, [this, menu] { applyRulesTo(menu); });
                open.push_back(menu);
                break;
            }
            case MenuBarEntry::Kind::Close:
                open.pop_back();
                break;
            case MenuBarEntry::Kind::Separator:
                open.back()->addSeparator();
                break;
            case MenuBarEntry::Kind::Item:
                addCommand(open.empty() ? nullptr : open.back(), e.caption, e.id);
                break;
        }
    }
}

void MainMenuBar::addCommand(QMenu* menu, const char* caption, int id) {
    QAction* a = menu ? menu->addAction(caption) : addAction(caption);
    a->setData(id);
    connect(a, &QAction::triggered, this, [this, id] { Q_EMIT commandTriggered(id); });
    actions_[id] = a;
}

QAction* MainMenuBar::action(int commandId) const {
    auto it = actions_.find(commandId);
    return it == actions_.end() ? nullptr : it->second;
}

void MainMenuBar::applyRules() {
    const MenuState state = state_();
    for (auto& [id, a] : actions_) {
        const ItemState s = MenuRules::stateOf(id, state);
        a->setEnabled(s.enabled);
        a->setCheckable(s.checkable);
        if (s.checkable) a->setChecked(s.checked);
    }
}

void MainMenuBar::applyRulesTo(QMenu* menu) {
    const MenuState state = state_();
    for (QAction* a : menu->actions()) {
        if (a->menu() || a->isSeparator()) continue;
        const ItemState s = MenuRules::stateOf(a->data().toInt(), state);
        a->setEnabled(s.enabled);
        a->setCheckable(s.checkable);
        if (s.checkable) a->setChecked(s.checked);
    }
}

}  // namespace corvane
