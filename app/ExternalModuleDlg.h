#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <functional>
#include <memory>

#include "modules/ExternalModuleList.h"

namespace corvane {

// "External Modules": the modules and plain module files of one folder the user picked, run
// without any applicability test. At most one is open; it owns its module list, which goes
// with the window.
class ExternalModuleDlg final : public QDialog {
    Q_OBJECT
  public:
    // Asked to run a module (a double-click); the main window queues it as a run request.
    using RunRequest = std::function<void(std::shared_ptr<Module>)>;

    // Creates the window on `folder`, fills and shows it, and puts it in the slot.
    static ExternalModuleDlg* open(const std::string& folder, RunRequest run);
    // The open window, or null.
    static ExternalModuleDlg* instance();

    ~ExternalModuleDlg() override;

    QListWidget& list() { return *list_; }
    QLineEdit& folderBox() { return *folder_; }
    const ExternalModuleList& modules() const { return modules_; }

  private:
    ExternalModuleDlg(const std::string& folder, RunRequest run);
    void onDoubleClick(QListWidgetItem* item);

    QListWidget* list_;
    QLineEdit* folder_;
    RunRequest run_;
    ExternalModuleList modules_;
};

}  // namespace corvane
