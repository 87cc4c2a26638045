#pragma once

#include <memory>
#include <string>

#include "adapters/AdapterSelection.h"
#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "adapters/SocketCanConduit.h"
#include "adapters/UserNotifier.h"
#include "app/RoutedLoginPrompt.h"
#include "app/RoutedNotifier.h"
#include "core/ClientBus.h"
#include "core/DeviceTable.h"
#include "core/PeriodicDuties.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "debugport/DebugPort.h"
#include "decode/Catalogue.h"
#include "demo/DemoRig.h"
#include "health/HealthWatch.h"
#include "logs/ReplayConduit.h"
#include "logs/TrafficRecorder.h"
#include "modules/AppKiller.h"
#include "modules/ModuleCatalogue.h"
#include "modules/Updater.h"
#include "platform/Clock.h"
#include "platform/FtDriver.h"
#include "platform/SettingsStore.h"
#include "platform/SystemShell.h"

namespace corvane {

// What the command line asks of the start-up.
struct StartOptions {
    bool debugPort = false;  // open the debug port for this run
    std::string serialPort;  // probed first by the serial adapter
    DemoAdapter demo = DemoAdapter::None;
    // The module base folder of a demo run; empty: the example modules found beside the
    // program (DemoModuleFolder).
    std::string demoModules;
    int demoLoad = 0;        // extra frames a second on the demo bus (serial demo)
    std::string replayFile;  // a candump log to play instead of a live bus
    double replaySpeed = 1.0;
    bool replayLoop = false;
    std::string socketCanInterface;  // a CAN network interface to connect to
    // The debug port's TCP port; 0 takes any free one (test programs run side by side).
    uint16_t debugPortNumber = DebugPort::kDefaultPort;
    // The folder of the program's executable (the default module folder, the updater's and the
    // demo modules' place); empty: where this process was started from.
    std::string programFolder;
    // The folder of the user's own message catalogues (the setting Decoding/CatalogueFolder
    // wins over it); empty: none but the built-in catalogue.
    std::string catalogueFolder;
};

// The application-wide objects, in two steps as the start-up takes them. The constructor makes
// what the update decision needs: the debug port, the module catalogue, the application killer
// and the updater. Unless the updater takes over, startNetwork() then makes the rest: the
// device table, the network manager with its dispatch stages (long messages and requests, the
// module client bus), the transmit path, the adapter settings, the adapters and the adapter
// selection, the traffic recorder, the periodic duties of the 50 ms timer, and the message
// catalogue the windows decode with. A start that
// hands over to the updater therefore never opens the client bus's mailslot or an adapter.
// Destroyed in reverse. Shared by the window and the headless run; holds no Qt. Used on the
// user-interface thread.
class ApplicationCore {
  public:
    ApplicationCore(SettingsStore& settings, const Clock& clock, const StartOptions& options = {});
    ~ApplicationCore();
    ApplicationCore(const ApplicationCore&) = delete;
    ApplicationCore& operator=(const ApplicationCore&) = delete;

    // The start-up update decision for this command line: Started means the updater took
    // over and the program ends without starting the network.
    Updater::StartupOutcome decideStartupUpdate(const std::string& commandLine);
    // The second step: the network and the adapters, connected as the options say. Once.
    void startNetwork();
    bool networkStarted() const { return network_ != nullptr; }

    // Messages for the user go wherever this routes them (the terminal until a window does).
    RoutedNotifier& notifier() { return notifier_; }
    // The cloud login asks whatever this routes to (nothing, and so no login, until a window
    // or the demo answers).
    RoutedLoginPrompt& loginPrompt() { return loginPrompt_; }

    SettingsStore& settings() { return settings_; }
    const Clock& clock() const { return clock_; }
    DebugPort& debugPort() { return debugPort_; }
    ModuleCatalogue& catalogue() { return catalogue_; }
    Shell& shell() { return shell_; }
    AppKiller& appKiller() { return killer_; }
    Updater& updater() { return updater_; }
    const std::string& programFolder() const { return programFolder_; }

    // The rest exists once startNetwork() has run.
    // The simulated vehicle of a demo run (null otherwise).
    sim::SimulatedVehicle* demoVehicle();
    // One tick of the 50 ms timer: the start-up connection check, then the periodic duties.
    void tick(bool altHeld);
    DeviceTable& deviceTable();
    RVCManager& manager();
    TransmitPath& transmitPath();
    ClientBus& clientBus();
    AdapterSettings& adapterSettings();
    AdapterSelection& adapters();
    Conduit& noAdapterConduit();
    Conduit& ftSeriesConduit();
    Conduit& cloudConduit();
    Conduit& serialConduit();
    SocketCanConduit& socketCanConduit();
    ReplayConduit& replayConduit();
    // "Record Traffic...": sits in front of the client bus and sees every frame dispatched.
    TrafficRecorder& recorder();
    // Fault and health tracking, behind the recorder; its figures are renewed at every
    // statistics step of the periodic duties.
    health::HealthWatch& health();
    PeriodicDuties& duties();
    // The messages the windows decode: the built-in catalogue, then the user's files
    // (loadCatalogueFolder) over it. Read-only once the network has started.
    const decode::Catalogue& messageCatalogue() const { return messages_; }
    // The driver layer of the FT-series adapter: the firmware emulator in an FT demo run.
    FtDriver& ftDriver();

  private:
    struct Network;

    void registerDebugCommands();
    void loadMessageCatalogue();

    StartOptions options_;
    std::string programFolder_;
    // A demo run keeps every setting it changes in memory: the user's file stays as it was.
    std::unique_ptr<SettingsStore> demoSettings_;
    SettingsStore& settings_;
    const Clock& clock_;
    RoutedNotifier notifier_;
    RoutedLoginPrompt loginPrompt_;
    DebugPort debugPort_;
    ModuleCatalogue catalogue_;
    SystemShell shell_;
    AppKiller killer_;
    Updater updater_;
    // The demo vehicle and what stands in front of it outlive the conduits that talk to them.
    std::unique_ptr<DemoRig> demo_;
    decode::Catalogue messages_;
    std::unique_ptr<Network> network_;
};

}  // namespace corvane
