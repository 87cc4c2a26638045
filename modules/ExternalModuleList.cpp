#include "modules/ExternalModuleList.h"

#include <algorithm>

#include "modules/FolderListing.h"
#include "modules/ModuleCatalogue.h"
#include "modules/ModuleLauncher.h"

namespace corvane {

void ExternalModuleList::clear() {
    modules_.clear();
    folder_.clear();
}

void ExternalModuleList::fill(const std::string& folder) {
    folder_ = folder;
    modules_ = ModuleCatalogue::scanFolder(folder);
    addPlainFiles(".EXE", ModuleType::Program);
    addPlainFiles(".CVDL", ModuleType::DeviceList);
    addPlainFiles(".DEF", ModuleType::QuillonModule);
    addPlainFiles(".SCP", ModuleType::Script);
}

void ExternalModuleList::addPlainFiles(const std::string& extension, ModuleType type) {
    for (const auto& name : FolderListing::filesWithExtension(folder_, extension)) {
        // A definition naming the file already lists it; the comparison is by exact name.
        const bool listed = std::any_of(modules_.begin(), modules_.end(),
                                        [&](const auto& m) { return m->file == name; });
        if (listed) continue;
        const bool quillon = type == ModuleType::QuillonModule;
        modules_.push_back(Module::fromPlainFile(type,
                                                 quillon ? ModuleLauncher::kQuillonProgram : name,
                                                 quillon ? name : "", name, folder_));
    }
}

}  // namespace corvane
