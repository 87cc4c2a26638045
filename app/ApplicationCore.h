#pragma once

#include <memory>
#include <string>

#include "adapters/AdapterSelection.h"
#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "adapters/ReplayConduit.h"
#include "adapters/SocketCanConduit.h"
#include "adapters/TrafficRecorder.h"
#include "adapters/UserNotifier.h"
#include "app/CurrentConduitEcho.h"
#include "app/DemoRelay.h"
#include "app/RoutedLoginDialog.h"
#include "app/RoutedNotifier.h"
#include "core/ClientBus.h"
#include "core/DeviceTable.h"
#include "core/LongMessages.h"
#include "core/PeriodicDuties.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "debugport/DebugPort.h"
#include "modules/AppKiller.h"
#include "modules/ModuleCatalogue.h"
#include "modules/Updater.h"
#include "platform/Clock.h"
#include "platform/FtDriver.h"
#include "platform/SettingsStore.h"
#include "platform/SystemShell.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"

namespace corvane {

// The adapter a demo run reaches the simulated vehicle through.
enum class DemoAdapter { None, Vexor, Ft, Cloud };

// What the command line asks of the start-up.
struct StartOptions {
    bool debugPort = false;  // open the debug port for this run
    std::string serialPort;  // probed first by the serial adapter
    DemoAdapter demo = DemoAdapter::None;
    std::string demoModules;  // the module base folder of a demo run
    int demoLoad = 0;         // extra frames a second on the demo bus (serial demo)
    std::string replayFile;   // a candump log to play instead of a live bus
    double replaySpeed = 1.0;
    bool replayLoop = false;
    std::string socketCanInterface;  // a CAN network interface to connect to
    // The debug port's TCP port; 0 takes any free one (test programs run side by side).
    uint16_t debugPortNumber = DebugPort::kDefaultPort;
};

// The application-wide objects, created in start-up order and destroyed in reverse: the debug
// port, the device table and the network manager with its dispatch stages (long messages and
// requests, the module client bus), the transmit path, the adapter settings, the adapters and
// the adapter selection, the traffic recorder, and the periodic duties of the 50 ms timer. Shared
// by the window and the headless run; holds no Qt.
class ApplicationCore {
  public:
    ApplicationCore(SettingsStore& settings, const Clock& clock, const StartOptions& options = {});
    ~ApplicationCore();
    ApplicationCore(const ApplicationCore&) = delete;
    ApplicationCore& operator=(const ApplicationCore&) = delete;

    // The simulated vehicle of a demo run (null otherwise).
    sim::SimulatedVehicle* demoVehicle() { return demoVehicle_.get(); }

    // Messages for the user go wherever this routes them (the terminal until a window does).
    RoutedNotifier& notifier() { return notifier_; }
    // The cloud login asks whatever this routes to (nothing, and so no login, until a window
    // or the demo answers).
    RoutedLoginDialog& loginDialog() { return loginDialog_; }

    // The start-up update decision for this command line: Started means the updater took
    // over and the program ends without a window.
    Updater::StartupOutcome decideStartupUpdate(const std::string& commandLine);

    // One tick of the 50 ms timer: the start-up connection check, then the periodic duties.
    void tick(bool altHeld);

    SettingsStore& settings() { return settings_; }
    const Clock& clock() const { return clock_; }
    DebugPort& debugPort() { return debugPort_; }
    DeviceTable& deviceTable() { return table_; }
    RVCManager& manager() { return manager_; }
    TransmitPath& transmitPath() { return transmit_; }
    ClientBus& clientBus() { return *clientBus_; }
    AdapterSettings& adapterSettings() { return adapterSettings_; }
    AdapterSelection& adapters() { return *selection_; }
    Conduit& noAdapterConduit() { return *none_; }
    Conduit& ftSeriesConduit() { return *ftSeries_; }
    Conduit& cloudConduit() { return *cloud_; }
    Conduit& serialConduit() { return *serial_; }
    SocketCanConduit& socketCanConduit() { return *socketCan_; }
    ReplayConduit& replayConduit() { return *replay_; }
    // "Record Traffic...": sits in front of the client bus and sees every frame dispatched.
    TrafficRecorder& recorder() { return recorder_; }
    ModuleCatalogue& catalogue() { return catalogue_; }
    Shell& shell() { return shell_; }
    AppKiller& appKiller() { return killer_; }
    Updater& updater() { return updater_; }
    PeriodicDuties& duties() { return duties_; }
    // The driver layer of the FT-series adapter: the firmware emulator in an FT demo run.
    FtDriver& ftDriver() { return *ftDriver_; }

  private:
    void registerDebugCommands();
    void connectDemo(DemoAdapter demo);
    // --replay and --socketcan: the run knows its adapter.
    void connectChosen(const StartOptions& options);

    // A demo run keeps every setting it changes in memory: the user's file stays as it was.
    std::unique_ptr<SettingsStore> demoSettings_;
    SettingsStore& settings_;
    const Clock& clock_;
    RoutedNotifier notifier_;
    RoutedLoginDialog loginDialog_;
    DebugPort debugPort_;
    ModuleCatalogue catalogue_;
    SystemShell shell_;
    DeviceTable table_;
    RVCManager manager_;
    TransmitPath transmit_;
    LongMessages longMessages_;
    TransportStage transportStage_;
    std::unique_ptr<ClientBus> clientBus_;
    TrafficRecorder recorder_;
    AppKiller killer_;
    Updater updater_;
    AdapterSettings adapterSettings_;
    // The demo vehicle and its emulated adapter outlive the conduits that talk to them.
    std::unique_ptr<sim::SimulatedVehicle> demoVehicle_;
    std::unique_ptr<sim::VexorEmulator> vexorEmulator_;
    DemoRelay demoRelay_;
    std::unique_ptr<FtDriver> ftDriver_;
    std::unique_ptr<Conduit> none_;
    std::unique_ptr<Conduit> ftSeries_;
    std::unique_ptr<Conduit> cloud_;
    std::unique_ptr<Conduit> serial_;
    std::unique_ptr<SocketCanConduit> socketCan_;
    std::unique_ptr<ReplayConduit> replay_;
    std::unique_ptr<AdapterSelection> selection_;
    std::unique_ptr<CurrentConduitEcho> echo_;
    PeriodicDuties duties_;
};

}  // namespace corvane
