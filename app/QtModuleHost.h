#pragma once

#include <cstdint>
#include <string>

#include "modules/ModuleDialogs.h"
#include "modules/ModuleHost.h"

namespace corvane {

// The windows modules open. Neither the script window nor the device list comparison is part
// of this version: both say so in a message box rather than run anything out of sight (a
// script run without its window could send to the network with nothing to stop it).
class QtModuleHost final : public ModuleHost {
  public:
    static constexpr const char* kNoScriptWindowText =
        "Script windows are not available in this version.";
    static constexpr const char* kNoScriptWindowTitle = "Script Error";
    static constexpr const char* kNoCompareText =
        "Device list comparison is not available in this version.";
    static constexpr const char* kNoCompareTitle = "Device Compare";

    explicit QtModuleHost(ModuleDialogs& dialogs) : dialogs_(dialogs) {}

    void openScriptWindow(const std::string& path, const std::string& parameters,
                          uint8_t target) override;
    void showDeviceListComparison(const std::string& path) override;

  private:
    ModuleDialogs& dialogs_;
};

}  // namespace corvane
