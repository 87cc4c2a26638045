#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "modules/ModuleDialogs.h"
#include "modules/ModuleHost.h"
#include "script/ui/ScriptServices.h"

class QWidget;

namespace corvane {

class DeviceTable;

// The windows modules open: the script window and the device list comparison, both owned by
// the main window once it has been set as their parent.
class QtModuleHost final : public ModuleHost {
  public:
    // `moduleFolder`, when given, names the module base folder the scripts see at their start
    // (the user may change it while the program runs).
    QtModuleHost(ModuleDialogs& dialogs, const DeviceTable& table, ScriptServices scripts,
                 std::function<std::string()> moduleFolder = {})
        : dialogs_(dialogs),
          table_(table),
          scripts_(std::move(scripts)),
          moduleFolder_(std::move(moduleFolder)) {}

    void setParent(QWidget* parent) { parent_ = parent; }
    const ScriptServices& scriptServices() const { return scripts_; }

    void openScriptWindow(const std::string& path, const std::string& parameters,
                          uint8_t target) override;
    void showDeviceListComparison(const std::string& path) override;

  private:
    ModuleDialogs& dialogs_;
    const DeviceTable& table_;
    ScriptServices scripts_;
    std::function<std::string()> moduleFolder_;
    QWidget* parent_ = nullptr;
};

}  // namespace corvane
