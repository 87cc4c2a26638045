#pragma once

#include <vector>

#include "app/ModuleRow.h"
#include "core/RVCDevice.h"

namespace corvane {

// The module catalogue as the main window sees it: which modules fit a device, and running
// one for a device. Runs on the user-interface thread.
class ModuleSource {
  public:
    virtual ~ModuleSource() = default;
    // The modules that fit `device`, in catalogue order.
    virtual std::vector<ModuleRow> applicableModules(const RVCDevice& device) const = 0;
    virtual void runModule(const ModuleRow& module, const RVCDevice& device) = 0;
};

}  // namespace corvane
