#include "app/CatalogueModuleSource.h"

#include <algorithm>
#include <cstddef>

#include "core/DeviceTable.h"
#include "modules/Module.h"
#include "modules/ModuleCatalogue.h"
#include "modules/ModuleLauncher.h"

namespace corvane {

CatalogueModuleSource::CatalogueModuleSource(ModuleCatalogue& catalogue, ModuleLauncher& launcher,
                                             const DeviceTable& table)
    : catalogue_(catalogue), launcher_(launcher), table_(table) {}

void CatalogueModuleSource::follow() const {
    const std::vector<std::shared_ptr<Module>> now = catalogue_.modules();
    const bool same =
        rows_.size() - current_ == now.size() &&
        std::equal(now.begin(), now.end(), rows_.begin() + static_cast<std::ptrdiff_t>(current_));
    if (same) return;
    // Rows of the earlier catalogue stay where they are: a rescan is a rare command, and a
    // row still on screen must not start to name a different module.
    current_ = rows_.size();
    rows_.insert(rows_.end(), now.begin(), now.end());
}

std::vector<ModuleRow> CatalogueModuleSource::applicableModules(const RVCDevice& device) const {
    follow();
    std::vector<ModuleRow> fitting;
    for (size_t i = current_; i < rows_.size(); ++i) {
        if (rows_[i]->isApplicable(device, table_)) fitting.push_back(rowOf(*rows_[i], i));
    }
    return fitting;
}

void CatalogueModuleSource::runModule(const ModuleRow& module, const RVCDevice& device) {
    if (const std::shared_ptr<Module> m = moduleOf(module)) launcher_.runModule(*m, device);
}

std::shared_ptr<Module> CatalogueModuleSource::moduleOf(const ModuleRow& row) const {
    return row.index < rows_.size() ? rows_[row.index] : nullptr;
}

ModuleRow CatalogueModuleSource::rowOf(const Module& module, size_t index) {
    ModuleRow row;
    row.index = index;
    row.description = module.description;
    row.file = module.file;
    row.folder = module.folder;
    row.parameters = module.parameters;
    row.definitionFile = module.definitionFile;
    row.fileDate = module.fileDate();
    row.isDefault = module.isDefault == 1;
    row.onRightClick = module.onRightClick == 1;
    return row;
}

}  // namespace corvane
