#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "app/ModuleRow.h"
#include "core/RVCDevice.h"

class QObject;

namespace corvane {

class MainCommands;
class UserNotifier;
struct MainWindowServices;

// The main window's module runs: the default modules of a double-clicked device, the module
// chosen from a device's right-click menu, "Run Module Not Listed Here", the module folder
// commands and the run requests of the External Modules window. Requests from a menu or another
// window are queued on the window, and their device is looked up when they are handled, not
// when they were posted: a device gone meanwhile runs nothing.
//
// User-interface thread only. Borrows the window's services and commands; the window owns it.
class MainWindowModules {
  public:
    using SelectedDevice = std::function<std::optional<RVCDevice>()>;

    MainWindowModules(const MainWindowServices& services, UserNotifier& notifier,
                      MainCommands& commands, SelectedDevice selected, QObject& window);

    // The modules that fit `device`, in catalogue order; none without a module source.
    std::vector<ModuleRow> fitting(const RVCDevice& device) const;
    void run(const ModuleRow& module, const RVCDevice& device);
    // The selected device's default modules (a double-click on it).
    void runDefaults();
    // The modules of `device`'s right-click menu, in menu order, remembered for runFromMenu.
    std::vector<ModuleRow> deviceMenu(const RVCDevice& device);
    // Queues the run of the menu's module number `index`.
    void runFromMenu(size_t index);
    // "Run Module Not Listed Here".
    void runUnlisted(const std::optional<RVCDevice>& selected);
    // "Change Module Folder" or "Reset Folders" (`id`); true when the catalogue was rescanned.
    bool changeFolders(int id);
    // "Open External Module Folder": the window of a chosen folder, or the open one raised.
    void openExternalFolder();

  private:
    // A queued request; `addresses` as RunModuleRequest carries them.
    void runRequest(const ModuleRow& module, uint16_t addresses);

    const MainWindowServices& services_;
    UserNotifier& notifier_;
    MainCommands& commands_;
    SelectedDevice selected_;
    QObject& window_;
    std::vector<std::pair<ModuleRow, RVCDevice>> deviceMenu_;  // in menu order
};

}  // namespace corvane
