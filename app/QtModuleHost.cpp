#include "app/QtModuleHost.h"

namespace corvane {

void QtModuleHost::openScriptWindow(const std::string&, const std::string&, uint8_t) {
    dialogs_.showMessage(kNoScriptWindowText, kNoScriptWindowTitle);
}

void QtModuleHost::showDeviceListComparison(const std::string&) {
    dialogs_.showMessage(kNoCompareText, kNoCompareTitle);
}

}  // namespace corvane
