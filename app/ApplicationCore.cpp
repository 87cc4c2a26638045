#include "app/ApplicationCore.h"

#include "adapters/CloudConduit.h"
#include "adapters/TarvikConduit.h"
#include "adapters/VexorSeriesConduit.h"
#include "core/DeviceReport.h"
#include "debugport/FunctionCommand.h"
#include "modules/ModuleCommands.h"
#include "platform/FileInfo.h"
#include "platform/LibFtdiDriver.h"
#include "platform/OverlaySettingsStore.h"
#include "sim/FtFirmwareEmulator.h"

namespace corvane {

ApplicationCore::ApplicationCore(SettingsStore& settings, const Clock& clock,
                                 const StartOptions& options)
    : demoSettings_(options.demo != DemoAdapter::None
                        ? std::make_unique<OverlaySettingsStore>(settings)
                        : nullptr),
      settings_(demoSettings_ ? *demoSettings_ : settings),
      clock_(clock),
      debugPort_(settings_, options.debugPortNumber),
      catalogue_((options.demoModules.empty() || !demoSettings_
                      ? settings_
                      : (settings_.writeString("Corvane", "ModuleFolder", options.demoModules),
                         settings_)),
                 FileInfo::executableFolder()),
      table_(clock),
      manager_(settings_, table_),
      transmit_(manager_),
      longMessages_(manager_, transmit_),
      transportStage_(longMessages_, transmit_),
      killer_(shell_, [this] { return clientBus_ ? clientBus_->clientCount() : 0; }),
      updater_(catalogue_.autoUpdate(), catalogue_.lastUpdate(), shell_, clock, killer_,
               FileInfo::executableFolder() + "/" + Updater::kProgramName),
      adapterSettings_(settings_),
      duties_(manager_, table_) {
    debugPort_.start(options.debugPort);
    manager_.setTransportStage(&transportStage_);

    clientBus_ = std::make_unique<ClientBus>(manager_, transmit_);
    recorder_.setNext(clientBus_.get());
    manager_.setClientDelivery(&recorder_);

    std::string serialPort = options.serialPort;
    if (options.demo != DemoAdapter::None) demoVehicle_ = std::make_unique<sim::SimulatedVehicle>();
    if (options.demo == DemoAdapter::Cloud) {
        std::string error;
        if (demoRelay_.start(settings_, error)) {
            loginDialog_.route(&demoRelay_);
        } else {
            notifier_.showMessage("The demo relay could not start: " + error, "Demo");
        }
    }
    if (options.demo == DemoAdapter::Vexor) {
        sim::VexorEmulator::Options emulator;
        emulator.loadFramesPerSecond = options.demoLoad;
        vexorEmulator_ = std::make_unique<sim::VexorEmulator>(*demoVehicle_, emulator);
        if (vexorEmulator_->start()) serialPort = vexorEmulator_->path();
    }
    if (options.demo == DemoAdapter::Ft) {
        ftDriver_ = std::make_unique<sim::FtFirmwareEmulator>(demoVehicle_.get());
    } else {
        ftDriver_ = std::make_unique<LibFtdiDriver>();
    }

    none_ = std::make_unique<Conduit>(settings_, transmit_);
    ftSeries_ = std::make_unique<TarvikConduit>(settings_, transmit_, manager_, adapterSettings_,
                                                *ftDriver_, notifier_);
    auto cloud = std::make_unique<CloudConduit>(settings_, transmit_, manager_, table_,
                                                loginDialog_, notifier_);
    CloudConduit* cloudService = cloud.get();
    cloud_ = std::move(cloud);
    auto serial = std::make_unique<VexorSeriesConduit>(settings_, transmit_, manager_,
                                                       adapterSettings_, notifier_, serialPort);
    VexorSeriesConduit* serialRate = serial.get();
    serial_ = std::move(serial);
    socketCan_ = std::make_unique<SocketCanConduit>(settings_, transmit_, manager_, notifier_,
                                                    options.socketCanInterface);
    replay_ = std::make_unique<ReplayConduit>(settings_, transmit_, manager_, notifier_);
    selection_ = std::make_unique<AdapterSelection>(
        adapterSettings_, transmit_, notifier_,
        AdapterSelection::Adapters{*none_, *ftSeries_, *cloud_, *serial_, serialRate});
    echo_ = std::make_unique<CurrentConduitEcho>(*selection_);
    clientBus_->setEchoControl(echo_.get());
    clientBus_->start();

    duties_.setHousekeeping([this] { transmit_.housekeepingStep(); });
    duties_.setPacingStep([this] { transmit_.pacingStep(); });
    duties_.setServiceStep([cloudService] { cloudService->service(); });
    registerDebugCommands();
    if (options.demo != DemoAdapter::None) {
        connectDemo(options.demo);
    } else {
        connectChosen(options);
    }
}

void ApplicationCore::connectDemo(DemoAdapter demo) {
    // The demo knows its adapter: no automatic connection by the settings, and no setting
    // of the user's is changed.
    selection_->startupTick(true);
    if (demo == DemoAdapter::Cloud) {
        selection_->connectCloud();
    } else {
        selection_->connectAdapter(demo == DemoAdapter::Ft ? *ftSeries_ : *serial_);
    }
}

void ApplicationCore::connectChosen(const StartOptions& options) {
    if (options.replayFile.empty() && options.socketCanInterface.empty()) return;
    // Neither the stored adapter nor the automatic connection applies to this run.
    selection_->startupTick(true);
    if (!options.replayFile.empty()) {
        replay_->setFile(options.replayFile);
        replay_->setSpeed(options.replaySpeed);
        replay_->setLoop(options.replayLoop);
        selection_->connectAdapter(*replay_);
    } else {
        selection_->connectAdapter(*socketCan_);
    }
}

ApplicationCore::~ApplicationCore() {
    // Programs this run started go while the client bus can still tell that they run.
    killer_.killAll();
    // Adapters stop delivering first, then the client bus stops polling, then the port closes.
    selection_->disconnect();
    recorder_.stop();
    clientBus_->setEchoControl(nullptr);
    manager_.setClientDelivery(nullptr);
    recorder_.setNext(nullptr);
    clientBus_.reset();
    debugPort_.stop();
    demoRelay_.stop();
}

Updater::StartupOutcome ApplicationCore::decideStartupUpdate(const std::string& commandLine) {
    return updater_.startupDecision(commandLine);
}

void ApplicationCore::registerDebugCommands() {
    registerModuleCommands(debugPort_.commands(), catalogue_);
    registerAppKillerCommands(debugPort_.commands(), killer_);
    debugPort_.commands().add(
        "slots",
        std::make_unique<FunctionCommand>([this](const std::string&) { return manager_.slots(); }));
    debugPort_.commands().add("devs", std::make_unique<FunctionCommand>([this](const std::string&) {
                                  return ReportDeviceList(table_, clock_.epochSeconds());
                              }));
}

void ApplicationCore::tick(bool altHeld) {
    selection_->startupTick(altHeld);
    duties_.tick();
}

}  // namespace corvane
