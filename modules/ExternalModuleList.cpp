#include "modules/ExternalModuleList.h"

#include <algorithm>

#include "modules/FolderListing.h"
#include "modules/ModuleCatalogue.h"
#include "modules/ModuleLauncher.h"
#include "modules/ProgramFile.h"

namespace corvane {

void ExternalModuleList::clear() {
    modules_.clear();
    folder_.clear();
}

void ExternalModuleList::fill(const std::string& folder) {
    folder_ = folder;
    modules_ = ModuleCatalogue::scanFolder(folder);
    addPlainFiles(".EXE", ModuleType::Program);
    addLinuxPrograms();
    addPlainFiles(".CVDL", ModuleType::DeviceList);
    addPlainFiles(".DEF", ModuleType::QuillonModule);
    addPlainFiles(".SCP", ModuleType::Script);
}

void ExternalModuleList::addPlainFiles(const std::string& extension, ModuleType type) {
    for (const auto& name : FolderListing::filesWithExtension(folder_, extension))
        addPlainFile(name, type);
}

void ExternalModuleList::addLinuxPrograms() {
    for (const auto& name : FolderListing::files(folder_)) {
        if (ProgramFile::isLinuxProgram(folder_ + "/" + name))
            addPlainFile(name, ModuleType::Program);
    }
}

void ExternalModuleList::addPlainFile(const std::string& name, ModuleType type) {
    // A definition naming the file already lists it, and so does an earlier group (a program
    // called "x.scp"); the comparison is by exact name.
    const bool listed = std::any_of(modules_.begin(), modules_.end(),
                                    [&](const auto& m) { return m->file == name; });
    if (listed) return;
    const bool quillon = type == ModuleType::QuillonModule;
    modules_.push_back(Module::fromPlainFile(type, quillon ? ModuleLauncher::kQuillonProgram : name,
                                             quillon ? name : "", name, folder_));
}

}  // namespace corvane
