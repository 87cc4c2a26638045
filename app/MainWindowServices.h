#pragma once

#include <functional>
#include <string>

#include "adapters/AdapterSelection.h"
#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "app/ModuleSource.h"
#include "core/DeviceTable.h"
#include "core/PeriodicDuties.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "platform/SettingsStore.h"

namespace corvane {

class AppKiller;
class ModuleCatalogue;
class ModuleDialogs;
class ModuleHost;
class ModuleLauncher;
class ReplayConduit;
class SocketCanConduit;
class TrafficRecorder;
class Shell;
class Updater;
struct ScriptServices;

// The application-wide objects the main window works with. The first four are required; the
// rest may be missing in a build or run that lacks them, and the commands that need them then
// say so instead of acting.
struct MainWindowServices {
    SettingsStore* settings = nullptr;
    RVCManager* manager = nullptr;
    DeviceTable* table = nullptr;
    PeriodicDuties* duties = nullptr;

    AdapterSelection* adapters = nullptr;
    AdapterSettings* adapterSettings = nullptr;
    // The four conduits, for the connect items' enabled and checked states.
    Conduit* noAdapter = nullptr;
    Conduit* ftSeries = nullptr;
    Conduit* cloud = nullptr;
    Conduit* serial = nullptr;
    // "SocketCAN...", "Replay Log..." and "Record Traffic...".
    SocketCanConduit* socketCan = nullptr;
    ReplayConduit* replay = nullptr;
    TrafficRecorder* recorder = nullptr;
    TransmitPath* transmit = nullptr;
    ModuleSource* modules = nullptr;
    // The folder commands rescan this, asking through moduleDialogs.
    ModuleCatalogue* catalogue = nullptr;
    ModuleDialogs* moduleDialogs = nullptr;
    // "Run Module Not Listed Here".
    ModuleLauncher* launcher = nullptr;
    // "Update Now" and "Auto Update On Startup".
    Updater* updater = nullptr;
    // "Quick Script" and the script windows it starts.
    const ScriptServices* scripts = nullptr;
    // What "Network Monitor" needs for its "Run Module", with moduleDialogs: programs are
    // started through the shell and listed with the killer, scripts and device lists go to
    // the host, and moduleFolder names the module base folder.
    Shell* shell = nullptr;
    AppKiller* killer = nullptr;
    ModuleHost* moduleHost = nullptr;
    std::function<std::string()> moduleFolder;
    // The default module base folder: the folder of the program's executable.
    std::string executableFolder;
};

}  // namespace corvane
