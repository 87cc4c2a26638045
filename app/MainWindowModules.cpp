#include "app/MainWindowModules.h"

#include <QMetaObject>
#include <QObject>
#include <memory>
#include <string>

#include "adapters/UserNotifier.h"
#include "app/ExternalModuleDlg.h"
#include "app/MainCommands.h"
#include "app/MainWindowServices.h"
#include "app/MenuTable.h"
#include "app/ModuleMenus.h"
#include "modules/ModuleCatalogue.h"
#include "modules/ModuleDialogs.h"
#include "modules/ModuleLauncher.h"
#include "modules/RunModuleRequest.h"

namespace corvane {

MainWindowModules::MainWindowModules(const MainWindowServices& services, UserNotifier& notifier,
                                     MainCommands& commands, SelectedDevice selected,
                                     QObject& window)
    : services_(services),
      notifier_(notifier),
      commands_(commands),
      selected_(std::move(selected)),
      window_(window) {}

std::vector<ModuleRow> MainWindowModules::fitting(const RVCDevice& device) const {
    return services_.modules ? services_.modules->applicableModules(device)
                             : std::vector<ModuleRow>{};
}

void MainWindowModules::run(const ModuleRow& module, const RVCDevice& device) {
    if (!services_.modules) {
        notifier_.showMessage("Modules are not available in this version.", "Module Error");
        return;
    }
    services_.modules->runModule(module, device);
}

void MainWindowModules::runDefaults() {
    const std::optional<RVCDevice> device = selected_();
    if (!device) return;
    for (const ModuleRow& m : ModuleMenus::defaultModules(fitting(*device))) run(m, *device);
}

std::vector<ModuleRow> MainWindowModules::deviceMenu(const RVCDevice& device) {
    deviceMenu_.clear();
    std::vector<ModuleRow> offered = ModuleMenus::rightClickModules(fitting(device));
    for (const ModuleRow& m : offered) deviceMenu_.emplace_back(m, device);
    return offered;
}

void MainWindowModules::runFromMenu(size_t index) {
    if (index >= deviceMenu_.size()) return;
    const ModuleRow module = deviceMenu_[index].first;
    const RVCDevice& device = deviceMenu_[index].second;
    const uint16_t addresses = RunModuleRequest::deviceCode(device.sa, device.dsa);
    QMetaObject::invokeMethod(
        &window_, [this, module, addresses] { runRequest(module, addresses); },
        Qt::QueuedConnection);
}

void MainWindowModules::runRequest(const ModuleRow& module, uint16_t addresses) {
    const std::optional<RVCDevice> device =
        ModuleLauncher::requestedDevice(addresses, selected_(), *services_.table);
    if (device) run(module, *device);
}

void MainWindowModules::runUnlisted(const std::optional<RVCDevice>& selected) {
    if (!services_.launcher) {
        commands_.reportNotAvailable(command::kRunUnlistedModule);
        return;
    }
    services_.launcher->runUnlistedModule(selected);
}

bool MainWindowModules::changeFolders(int id) {
    ModuleCatalogue* catalogue = services_.catalogue;
    if (!catalogue || !services_.moduleDialogs) {
        commands_.reportNotAvailable(id);
        return false;
    }
    ModuleDialogs& dialogs = *services_.moduleDialogs;
    return id == command::kChangeModuleFolder ? catalogue->changeModuleBaseFolder(dialogs)
                                              : catalogue->resetFoldersToDefaults(dialogs);
}

void MainWindowModules::openExternalFolder() {
    if (ExternalModuleDlg* open = ExternalModuleDlg::instance()) {
        open->raise();
        open->activateWindow();
        return;
    }
    if (!services_.moduleDialogs || !services_.launcher) {
        commands_.reportNotAvailable(command::kOpenExternalModuleFolder);
        return;
    }
    const std::optional<std::string> folder =
        services_.moduleDialogs->chooseFolder("External Module Folder", "");
    if (!folder) return;
    ExternalModuleDlg::open(*folder, [this](const std::shared_ptr<Module>& module) {
        QMetaObject::invokeMethod(
            &window_,
            [this, module] {
                services_.launcher->handleRunModuleRequest(
                    RunModuleRequest{module, RunModuleRequest::kSelectedDevice}, selected_(),
                    *services_.table);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace corvane
