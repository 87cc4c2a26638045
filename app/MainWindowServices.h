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

class Clock;
class ModuleCatalogue;
class ModuleDialogs;
class ModuleLauncher;
class ReplayConduit;
class SocketCanConduit;
class TrafficRecorder;
class Updater;
struct ScriptServices;
namespace decode {
class Catalogue;
}
namespace health {
class HealthWatch;
}

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
    // "Run Module Not Listed Here" and the network status window's "Run Module".
    ModuleLauncher* launcher = nullptr;
    // "Update Now" and "Auto Update On Startup".
    Updater* updater = nullptr;
    // "Quick Script" and the script windows it starts.
    const ScriptServices* scripts = nullptr;
    // The module base folder, where scripts started by "Quick Script" find their files.
    std::function<std::string()> moduleFolder;
    // The default module base folder: the folder of the program's executable.
    std::string executableFolder;
    // Faults in words (Details box, "Faults", "Export Report..."), with times in the clock's
    // time zone.
    health::HealthWatch* health = nullptr;
    const Clock* clock = nullptr;
    // The messages "Traffic" decodes: the built-in catalogue and the user's; null for the
    // built-in one alone.
    const decode::Catalogue* messageCatalogue = nullptr;
};

}  // namespace corvane
