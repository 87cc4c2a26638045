#include "app/ApplicationCore.h"

#include "adapters/CloudConduit.h"
#include "adapters/TarvikConduit.h"
#include "adapters/VexorSeriesConduit.h"
#include "app/CurrentConduitEcho.h"
#include "core/DeviceReport.h"
#include "core/LongMessages.h"
#include "core/TransportStage.h"
#include "debugport/FunctionCommand.h"
#include "decode/BuiltinCatalogue.h"
#include "decode/CatalogueFile.h"
#include "demo/DemoModuleFolder.h"
#include "modules/ModuleCommands.h"
#include "platform/FileInfo.h"
#include "platform/LibFtdiDriver.h"
#include "platform/OverlaySettingsStore.h"

namespace corvane {

// Everything of the second start-up step, in creation order.
struct ApplicationCore::Network {
    Network(SettingsStore& settings, const Clock& clock, RoutedNotifier& notifier,
            RoutedLoginPrompt& login, const StartOptions& options, DemoRig* demo);
    // Adapters stop delivering first, then the client bus stops polling.
    void stop();

    DeviceTable table;
    RVCManager manager;
    TransmitPath transmit;
    LongMessages longMessages;
    TransportStage transportStage;
    std::unique_ptr<ClientBus> clientBus;
    TrafficRecorder recorder;
    AdapterSettings adapterSettings;
    std::unique_ptr<health::HealthWatch> health;
    std::unique_ptr<FtDriver> realFtDriver;  // when the demo gives none
    FtDriver* ftDriver = nullptr;
    std::unique_ptr<Conduit> none;
    std::unique_ptr<Conduit> ftSeries;
    std::unique_ptr<CloudConduit> cloud;
    std::unique_ptr<VexorSeriesConduit> serial;
    std::unique_ptr<SocketCanConduit> socketCan;
    std::unique_ptr<ReplayConduit> replay;
    std::unique_ptr<AdapterSelection> selection;
    std::unique_ptr<CurrentConduitEcho> echo;
    PeriodicDuties duties;
};

ApplicationCore::Network::Network(SettingsStore& settings, const Clock& clock,
                                  RoutedNotifier& notifier, RoutedLoginPrompt& login,
                                  const StartOptions& options, DemoRig* demo)
    : table(clock),
      manager(settings, table),
      transmit(manager),
      longMessages(manager, transmit),
      transportStage(longMessages, transmit),
      adapterSettings(settings),
      duties(manager, table) {
    manager.setTransportStage(&transportStage);
    clientBus = std::make_unique<ClientBus>(manager, transmit);
    // Dispatch hands each frame to the recorder, then fault and health tracking, then the
    // module clients.
    health = std::make_unique<health::HealthWatch>(
        [&clock] { return clock.epochMicros(); },
        [this] {
            return health::HealthWatch::bitRateOfSetting(adapterSettings.dataRate().value());
        },
        clientBus.get());
    recorder.setNext(&health->delivery());
    manager.setClientDelivery(&recorder);

    std::string serialPort = options.serialPort;
    if (demo && !demo->serialPath().empty()) serialPort = demo->serialPath();
    ftDriver = demo ? demo->ftDriver() : nullptr;
    if (!ftDriver) {
        realFtDriver = std::make_unique<LibFtdiDriver>();
        ftDriver = realFtDriver.get();
    }

    none = std::make_unique<Conduit>(settings, transmit);
    ftSeries = std::make_unique<TarvikConduit>(settings, transmit, manager, adapterSettings,
                                               *ftDriver, notifier);
    cloud = std::make_unique<CloudConduit>(settings, transmit, manager, table, login, notifier);
    serial = std::make_unique<VexorSeriesConduit>(settings, transmit, manager, adapterSettings,
                                                  notifier, serialPort);
    socketCan = std::make_unique<SocketCanConduit>(settings, transmit, manager, notifier,
                                                   options.socketCanInterface);
    replay = std::make_unique<ReplayConduit>(settings, transmit, manager, notifier);
    selection = std::make_unique<AdapterSelection>(
        adapterSettings, transmit, notifier,
        AdapterSelection::Adapters{*none, *ftSeries, *cloud, *serial, serial.get()});
    echo = std::make_unique<CurrentConduitEcho>(*selection);
    clientBus->setEchoControl(echo.get());
    clientBus->start();

    duties.setHousekeeping([this] { transmit.housekeepingStep(); });
    duties.setPacingStep([this] { transmit.pacingStep(); });
    duties.setServiceStep([this] { cloud->service(); });
    duties.setStatisticsDuty([this] { health->refresh(table); });
}

void ApplicationCore::Network::stop() {
    selection->disconnect();
    recorder.stop();
    clientBus->setEchoControl(nullptr);
    manager.setClientDelivery(nullptr);
    recorder.setNext(nullptr);
    clientBus.reset();
}

namespace {

std::string programFolderOf(const StartOptions& options) {
    return options.programFolder.empty() ? FileInfo::executableFolder() : options.programFolder;
}

// The settings a run works with: a demo points its in-memory settings at its module folder
// before the catalogue reads them.
SettingsStore& withDemoModules(SettingsStore& settings, const StartOptions& options,
                               const std::string& programFolder) {
    if (options.demo == DemoAdapter::None) return settings;
    const std::string folder =
        options.demoModules.empty() ? DemoModuleFolder::find(programFolder) : options.demoModules;
    if (!folder.empty()) settings.writeString("Corvane", "ModuleFolder", folder);
    return settings;
}

}  // namespace

ApplicationCore::ApplicationCore(SettingsStore& settings, const Clock& clock,
                                 const StartOptions& options)
    : options_(options),
      programFolder_(programFolderOf(options)),
      demoSettings_(options.demo != DemoAdapter::None
                        ? std::make_unique<OverlaySettingsStore>(settings)
                        : nullptr),
      settings_(demoSettings_ ? *demoSettings_ : settings),
      clock_(clock),
      debugPort_(settings_, options.debugPortNumber),
      catalogue_(withDemoModules(settings_, options, programFolder_), programFolder_),
      killer_(shell_,
              [this] {
                  return network_ && network_->clientBus ? network_->clientBus->clientCount() : 0;
              }),
      updater_(catalogue_.autoUpdate(), catalogue_.lastUpdate(), shell_, clock, killer_,
               programFolder_ + "/" + Updater::kProgramName) {
    debugPort_.start(options.debugPort);
    registerModuleCommands(debugPort_.commands(), catalogue_);
    registerAppKillerCommands(debugPort_.commands(), killer_);
}

Updater::StartupOutcome ApplicationCore::decideStartupUpdate(const std::string& commandLine) {
    return updater_.startupDecision(commandLine);
}

void ApplicationCore::startNetwork() {
    if (network_) return;
    if (options_.demo != DemoAdapter::None) {
        demo_ = std::make_unique<DemoRig>(DemoRig::Options{options_.demo, options_.demoLoad},
                                          settings_, notifier_);
        if (CloudLoginPrompt* login = demo_->login()) loginPrompt_.route(login);
    }
    loadMessageCatalogue();
    network_ = std::make_unique<Network>(settings_, clock_, notifier_, loginPrompt_, options_,
                                         demo_.get());
    registerDebugCommands();

    AdapterSelection& selection = *network_->selection;
    if (options_.demo != DemoAdapter::None) {
        // The demo knows its adapter: no automatic connection by the settings, and no setting
        // of the user's is changed.
        selection.startupTick(true);
        if (options_.demo == DemoAdapter::Cloud) {
            selection.connectCloud();
        } else {
            selection.connectAdapter(options_.demo == DemoAdapter::Ft ? *network_->ftSeries
                                                                      : *network_->serial);
        }
    } else if (!options_.replayFile.empty() || !options_.socketCanInterface.empty()) {
        // --replay and --socketcan: neither the stored adapter nor the automatic connection
        // applies to this run.
        selection.startupTick(true);
        if (!options_.replayFile.empty()) {
            ReplayConduit& replay = *network_->replay;
            replay.setFile(options_.replayFile);
            replay.setSpeed(options_.replaySpeed);
            replay.setLoop(options_.replayLoop);
            selection.connectAdapter(replay);
        } else {
            selection.connectAdapter(*network_->socketCan);
        }
    }
}

ApplicationCore::~ApplicationCore() {
    // Programs this run started go while the client bus can still tell that they run.
    killer_.killAll();
    if (network_) network_->stop();
    // The port's commands read the device table and the manager: it closes before they go.
    debugPort_.stop();
    network_.reset();
    loginPrompt_.route(nullptr);
    demo_.reset();
}

void ApplicationCore::registerDebugCommands() {
    RVCManager& manager = network_->manager;
    DeviceTable& table = network_->table;
    debugPort_.commands().add("slots",
                              std::make_unique<FunctionCommand>(
                                  [&manager](const std::string&) { return manager.slots(); }));
    debugPort_.commands().add("devs",
                              std::make_unique<FunctionCommand>([this, &table](const std::string&) {
                                  return ReportDeviceList(table, clock_.epochSeconds());
                              }));
}

void ApplicationCore::loadMessageCatalogue() {
    messages_ = decode::builtinCatalogue();
    const std::string folder =
        settings_.readString("Decoding", "CatalogueFolder").value_or(options_.catalogueFolder);
    if (folder.empty()) return;
    std::vector<std::string> warnings;
    decode::loadCatalogueFolder(folder, messages_, warnings);
    if (warnings.empty()) return;
    // The files that could be read are used; the user learns what was left out, and why.
    constexpr size_t kShown = 10;  // a message box, not a listing
    std::string text = "Parts of your message catalogues were not used:";
    for (size_t i = 0; i < warnings.size() && i < kShown; ++i) text += "\n" + warnings[i];
    if (warnings.size() > kShown)
        text += "\n... and " + std::to_string(warnings.size() - kShown) + " more";
    notifier_.showMessage(text, "Message Catalogue");
}

void ApplicationCore::tick(bool altHeld) {
    network_->selection->startupTick(altHeld);
    network_->duties.tick();
}

sim::SimulatedVehicle* ApplicationCore::demoVehicle() {
    return demo_ ? &demo_->vehicle() : nullptr;
}
DeviceTable& ApplicationCore::deviceTable() { return network_->table; }
RVCManager& ApplicationCore::manager() { return network_->manager; }
TransmitPath& ApplicationCore::transmitPath() { return network_->transmit; }
ClientBus& ApplicationCore::clientBus() { return *network_->clientBus; }
AdapterSettings& ApplicationCore::adapterSettings() { return network_->adapterSettings; }
AdapterSelection& ApplicationCore::adapters() { return *network_->selection; }
Conduit& ApplicationCore::noAdapterConduit() { return *network_->none; }
Conduit& ApplicationCore::ftSeriesConduit() { return *network_->ftSeries; }
Conduit& ApplicationCore::cloudConduit() { return *network_->cloud; }
Conduit& ApplicationCore::serialConduit() { return *network_->serial; }
SocketCanConduit& ApplicationCore::socketCanConduit() { return *network_->socketCan; }
ReplayConduit& ApplicationCore::replayConduit() { return *network_->replay; }
TrafficRecorder& ApplicationCore::recorder() { return network_->recorder; }
health::HealthWatch& ApplicationCore::health() { return *network_->health; }
PeriodicDuties& ApplicationCore::duties() { return network_->duties; }
FtDriver& ApplicationCore::ftDriver() { return *network_->ftDriver; }

}  // namespace corvane
