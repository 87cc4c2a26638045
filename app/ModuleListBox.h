#pragma once

#include <QListWidget>
#include <optional>
#include <vector>

#include "app/ModuleRow.h"

namespace corvane {

// The main window's list of the modules that fit the selected device, sorted by description.
class ModuleListBox final : public QListWidget {
    Q_OBJECT
  public:
    explicit ModuleListBox(QWidget* parent = nullptr);

    // Shows `modules` (any order) sorted by description; the first row is selected.
    void fill(const std::vector<ModuleRow>& modules);
    void empty();
    std::optional<ModuleRow> selectedModule() const;
    const std::vector<ModuleRow>& shown() const { return rows_; }

  Q_SIGNALS:
    void runRequested();
    void contextMenuWanted(const QPoint& globalPosition);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    std::vector<ModuleRow> rows_;  // in the order shown
};

}  // namespace corvane
