#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "app/ApplicationCore.h"
#include "app/CatalogueModuleSource.h"
#include "app/MainWindowServices.h"
#include "app/QtModuleDialogs.h"
#include "app/QtModuleHost.h"
#include "modules/ModuleLauncher.h"

namespace corvane {

// What the main window needs besides the application core: the module commands' dialogs,
// the host of script and device-list windows, the module launcher and the module list's
// source, and the services that bring them together with the core. They outlive the window.
class MainWindowParts {
  public:
    MainWindowParts(ApplicationCore& core, const std::string& executableFolder);

    MainWindowServices& services() { return services_; }
    QtModuleHost& moduleHost() { return moduleHost_; }
    // The dialogs and windows the modules open belong to the window from then on.
    void setParent(QWidget* window);

  private:
    QtModuleDialogs moduleDialogs_;
    std::function<std::string()> moduleFolder_;
    QtModuleHost moduleHost_;
    ModuleLauncher launcher_;
    CatalogueModuleSource modules_;
    MainWindowServices services_;
};

}  // namespace corvane
