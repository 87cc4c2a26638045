#include "app/ApplicationCore.h"

#include "adapters/TarvikConduit.h"
#include "adapters/VexorSeriesConduit.h"
#include "core/DeviceReport.h"
#include "debugport/FunctionCommand.h"
#include "platform/LibFtdiDriver.h"
#include "sim/FtFirmwareEmulator.h"

namespace corvane {

ApplicationCore::ApplicationCore(SettingsStore& settings, const Clock& clock,
                                 const StartOptions& options)
    : settings_(settings),
      clock_(clock),
      debugPort_(settings),
      table_(clock),
      manager_(settings, table_),
      transmit_(manager_),
      longMessages_(manager_, transmit_),
      transportStage_(longMessages_, transmit_),
      adapterSettings_(settings),
      duties_(manager_, table_) {
    debugPort_.start(options.debugPort);
    manager_.setTransportStage(&transportStage_);

    clientBus_ = std::make_unique<ClientBus>(manager_, transmit_);
    manager_.setClientDelivery(clientBus_.get());

    std::string serialPort = options.serialPort;
    if (options.demo != DemoAdapter::None) demoVehicle_ = std::make_unique<sim::SimulatedVehicle>();
    if (options.demo == DemoAdapter::Vexor) {
        vexorEmulator_ = std::make_unique<sim::VexorEmulator>(*demoVehicle_);
        if (vexorEmulator_->start()) serialPort = vexorEmulator_->path();
    }
    if (options.demo == DemoAdapter::Ft) {
        ftDriver_ = std::make_unique<sim::FtFirmwareEmulator>(demoVehicle_.get());
    } else {
        ftDriver_ = std::make_unique<LibFtdiDriver>();
    }

    none_ = std::make_unique<Conduit>(settings, transmit_);
    ftSeries_ = std::make_unique<TarvikConduit>(settings, transmit_, manager_, adapterSettings_,
                                                *ftDriver_, notifier_);
    cloud_ = std::make_unique<Conduit>(settings, transmit_);
    auto serial = std::make_unique<VexorSeriesConduit>(settings, transmit_, manager_,
                                                       adapterSettings_, notifier_, serialPort);
    VexorSeriesConduit* serialRate = serial.get();
    serial_ = std::move(serial);
    selection_ = std::make_unique<AdapterSelection>(
        adapterSettings_, transmit_, notifier_,
        AdapterSelection::Adapters{*none_, *ftSeries_, *cloud_, *serial_, serialRate});
    echo_ = std::make_unique<CurrentConduitEcho>(*selection_);
    clientBus_->setEchoControl(echo_.get());
    clientBus_->start();

    duties_.setHousekeeping([this] { transmit_.housekeepingStep(); });
    registerDebugCommands();
    if (options.demo != DemoAdapter::None) connectDemo(options.demo);
}

void ApplicationCore::connectDemo(DemoAdapter demo) {
    // The demo knows its adapter: no automatic connection by the settings, and no setting
    // of the user's is changed.
    selection_->startupTick(true);
    selection_->connectAdapter(demo == DemoAdapter::Ft ? *ftSeries_ : *serial_);
}

ApplicationCore::~ApplicationCore() {
    // Adapters stop delivering first, then the client bus stops polling, then the port closes.
    selection_->disconnect();
    clientBus_->setEchoControl(nullptr);
    manager_.setClientDelivery(nullptr);
    clientBus_.reset();
    debugPort_.stop();
}

void ApplicationCore::registerDebugCommands() {
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
