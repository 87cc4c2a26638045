#include "app/ModuleListBox.h"

#include <QContextMenuEvent>

#include "app/ModuleMenus.h"

namespace corvane {

ModuleListBox::ModuleListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Q_EMIT runRequested(); });
}

void ModuleListBox::fill(const std::vector<ModuleRow>& modules) {
    empty();
    rows_ = ModuleMenus::sortedByDescription(modules);
    for (const ModuleRow& m : rows_) addItem(QString::fromStdString(m.description));
    if (!rows_.empty()) setCurrentRow(0);
}

void ModuleListBox::empty() {
    clear();
    rows_.clear();
}

std::optional<ModuleRow> ModuleListBox::selectedModule() const {
    const QList<QListWidgetItem*> chosen = selectedItems();
    if (chosen.isEmpty()) return std::nullopt;
    const int r = row(chosen.front());
    if (r < 0 || r >= static_cast<int>(rows_.size())) return std::nullopt;
    return rows_[static_cast<size_t>(r)];
}

void ModuleListBox::contextMenuEvent(QContextMenuEvent* event) {
    Q_EMIT contextMenuWanted(event->globalPos());
}

}  // namespace corvane
