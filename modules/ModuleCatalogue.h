#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "modules/Module.h"
#include "platform/IntegerSetting.h"
#include "platform/SettingsStore.h"
#include "platform/StringSetting.h"

namespace corvane {

class ModuleDialogs;

// The modules of the module base folder tree, in scanning order, and the three options that
// go with them. Rescans and the folder commands run on the user-interface thread; the "mods"
// and "folder" debug commands run on the debug port's listener, so the list is swapped under
// mutex_ and readers get a copy of it. A module dropped by a rescan lives on while anybody
// (a pending run request, a list row) still holds it.
class ModuleCatalogue {
  public:
    static constexpr int kSubfolderLevels = 4;  // the base folder's subfolders down to here

    // Loads the options and scans the folder. `executableFolder` is the default module base
    // folder and the folder "Reset Folders to Defaults" returns to.
    ModuleCatalogue(SettingsStore& settings, std::string executableFolder);

    void rescan();
    std::vector<std::shared_ptr<Module>> modules() const;

    std::string moduleFolder() const { return moduleFolder_.value(); }
    // The "folder" debug command: takes effect at the next rescan.
    void setModuleFolder(const std::string& folder) { moduleFolder_.set(folder); }
    const std::string& executableFolder() const { return executableFolder_; }
    IntegerSetting& autoUpdate() { return autoUpdate_; }
    IntegerSetting& lastUpdate() { return lastUpdate_; }

    // The "mods" report.
    std::string report() const;

    // "Change Module Base Folder" and "Reset Folders to Defaults". True when the catalogue
    // was rescanned, so the main window refills its module list.
    bool changeModuleBaseFolder(ModuleDialogs& dialogs);
    bool resetFoldersToDefaults(ModuleDialogs& dialogs);

    // The loadable definitions of one folder (no subfolders), each with its folder set.
    static std::vector<std::shared_ptr<Module>> scanFolder(const std::string& folder);

  private:
    // Folders met so far in one rescan (by their real path), with the most levels below them
    // that have been walked: -1 when scanned only.
    using Walked = std::map<std::string, int>;

    static void walk(const std::string& folder, int levelsLeft,
                     std::vector<std::shared_ptr<Module>>& into, Walked& walked);

    std::string executableFolder_;
    StringSetting moduleFolder_;
    IntegerSetting autoUpdate_;
    IntegerSetting lastUpdate_;
    mutable std::mutex mutex_;  // guards modules_
    std::vector<std::shared_ptr<Module>> modules_;
};

}  // namespace corvane
