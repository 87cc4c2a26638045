#include "modules/ModuleCatalogue.h"

#include <filesystem>

#include "modules/FolderListing.h"
#include "modules/ModuleDialogs.h"

namespace corvane {

namespace {
constexpr const char* kSection = "Corvane";

// The folder's path with every link resolved; the path as given when that fails.
std::string realPath(const std::string& folder) {
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(folder, error);
    return error ? folder : real.string();
}
}  // namespace

ModuleCatalogue::ModuleCatalogue(SettingsStore& settings, std::string executableFolder)
    : executableFolder_(std::move(executableFolder)),
      moduleFolder_(settings, kSection, "ModuleFolder", executableFolder_),
      autoUpdate_(settings, kSection, "AutoUpdate", 1),
      lastUpdate_(settings, kSection, "LastUpdate", 0) {
    rescan();
}

std::vector<std::shared_ptr<Module>> ModuleCatalogue::scanFolder(const std::string& folder) {
    std::vector<std::shared_ptr<Module>> found;
    for (const auto& name : FolderListing::filesWithExtension(folder, ".RVC")) {
        auto module = std::make_shared<Module>();
        if (!module->loadDefinition(folder + "/" + name)) continue;
        module->folder = folder;
        found.push_back(std::move(module));
    }
    return found;
}

// Links can lead back to a folder already met (a loop, or a second way to the same folder):
// such a folder is not scanned again, and walked further only as far as it was not yet.
void ModuleCatalogue::walk(const std::string& folder, int levelsLeft,
                           std::vector<std::shared_ptr<Module>>& into, Walked& walked) {
    for (const auto& name : FolderListing::subfolders(folder)) {
        const std::string sub = folder + "/" + name;
        auto [met, first] = walked.try_emplace(realPath(sub), -1);
        if (first) {
            for (auto& m : scanFolder(sub)) into.push_back(std::move(m));
        }
        if (levelsLeft > 0 && met->second < levelsLeft - 1) {
            met->second = levelsLeft - 1;
            walk(sub, levelsLeft - 1, into, walked);
        }
    }
}

void ModuleCatalogue::rescan() {
    const std::string base = moduleFolder();
    std::vector<std::shared_ptr<Module>> found = scanFolder(base);
    Walked walked{{realPath(base), kSubfolderLevels - 1}};
    walk(base, kSubfolderLevels - 1, found, walked);
    std::lock_guard lock(mutex_);
    modules_.swap(found);
}

std::vector<std::shared_ptr<Module>> ModuleCatalogue::modules() const {
    std::lock_guard lock(mutex_);
    return modules_;
}

std::string ModuleCatalogue::report() const {
    std::string text = "Module Report     Folder=" + moduleFolder() + "\r\n";
    for (const auto& module : modules()) text += module->reportLines();
    return text;
}

bool ModuleCatalogue::changeModuleBaseFolder(ModuleDialogs& dialogs) {
    auto chosen = dialogs.chooseFolder("Module Folder", moduleFolder());
    if (!chosen) return false;
    moduleFolder_.set(*chosen);
    rescan();
    return true;
}

bool ModuleCatalogue::resetFoldersToDefaults(ModuleDialogs& dialogs) {
    if (!dialogs.askYesNo("This will change your module settings.\r\nAre you sure?",
                          "Confirmation")) {
        return false;
    }
    moduleFolder_.set(executableFolder_);
    rescan();
    return true;
}

}  // namespace corvane
