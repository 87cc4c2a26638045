#pragma once

#include <memory>
#include <vector>

#include "app/ModuleSource.h"

namespace corvane {

class DeviceTable;
class Module;
class ModuleCatalogue;
class ModuleLauncher;

// The module catalogue behind the main window's lists. A row's index names one module for
// good: indices are never reused, so a row handed out before a rescan (still shown, or in a
// queued run request) runs the module it was made from, which the rows keep alive.
// User-interface thread only, like the lists it feeds.
class CatalogueModuleSource final : public ModuleSource {
  public:
    CatalogueModuleSource(ModuleCatalogue& catalogue, ModuleLauncher& launcher,
                          const DeviceTable& table);

    std::vector<ModuleRow> applicableModules(const RVCDevice& device) const override;
    // Runs the row's module; a row this source never handed out runs nothing.
    void runModule(const ModuleRow& module, const RVCDevice& device) override;

    // The module behind a row, or null for a row this source never handed out.
    std::shared_ptr<Module> moduleOf(const ModuleRow& row) const;
    // What the lists show of a module.
    static ModuleRow rowOf(const Module& module, size_t index);

  private:
    // Takes up the catalogue's current modules when a rescan replaced them.
    void follow() const;

    ModuleCatalogue& catalogue_;
    ModuleLauncher& launcher_;
    const DeviceTable& table_;
    mutable std::vector<std::shared_ptr<Module>> rows_;
    mutable size_t current_ = 0;  // the first row of the catalogue as it is now
};

}  // namespace corvane
