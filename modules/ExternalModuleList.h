#pragma once

#include <memory>
#include <string>
#include <vector>

#include "modules/Module.h"

namespace corvane {

// The modules of the External Modules window: the definitions of one folder (no subfolders),
// then its plain programs (".EXE" files, then the other files ProgramFile calls programs), device
// lists, Quillon modules and scripts that no definition of the folder already names. Owned by
// the window while it is open.
class ExternalModuleList {
  public:
    // Fills the list from `folder`, replacing what it held.
    void fill(const std::string& folder);
    const std::vector<std::shared_ptr<Module>>& modules() const { return modules_; }
    const std::string& folder() const { return folder_; }
    void clear();

  private:
    void addPlainFiles(const std::string& extension, ModuleType type);
    void addLinuxPrograms();
    void addPlainFile(const std::string& name, ModuleType type);

    std::string folder_;
    std::vector<std::shared_ptr<Module>> modules_;
};

}  // namespace corvane
