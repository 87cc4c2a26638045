#include "app/QtModuleHost.h"

#include "app/DeviceCompareDlg.h"
#include "script/ui/OpenScriptWindow.h"

namespace corvane {

void QtModuleHost::openScriptWindow(const std::string& path, const std::string& parameters,
                                    uint8_t target) {
    ScriptServices services = scripts_;
    if (moduleFolder_) services.network.baseFolder = moduleFolder_();
    OpenScriptWindow(services, path, parameters, target, parent_);
}

void QtModuleHost::showDeviceListComparison(const std::string& path) {
    ShowDeviceListComparison(path, table_, dialogs_, parent_);
}

}  // namespace corvane
