#include "app/MainWindowParts.h"

#include "app/MainWindowRun.h"

namespace corvane {

MainWindowParts::MainWindowParts(ApplicationCore& core, const std::string& executableFolder)
    : moduleFolder_([&core] { return core.catalogue().moduleFolder(); }),
      moduleHost_(moduleDialogs_, core.deviceTable(), ScriptServicesOf(core), moduleFolder_),
      launcher_(core.shell(), core.appKiller(), moduleHost_, moduleDialogs_, core.transmitPath(),
                moduleFolder_),
      modules_(core.catalogue(), launcher_, core.deviceTable()),
      services_(MainWindowServicesOf(core, executableFolder)) {
    services_.modules = &modules_;
    services_.moduleDialogs = &moduleDialogs_;
    services_.launcher = &launcher_;
    services_.scripts = &moduleHost_.scriptServices();
    services_.moduleFolder = moduleFolder_;
}

void MainWindowParts::setParent(QWidget* window) {
    moduleDialogs_.setParent(window);
    moduleHost_.setParent(window);
}

}  // namespace corvane
