#include "app/ApplicationCore.h"

#include "core/DeviceReport.h"
#include "debugport/FunctionCommand.h"

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

    none_ = std::make_unique<Conduit>(settings, transmit_);
    ftSeries_ = std::make_unique<Conduit>(settings, transmit_);
    cloud_ = std::make_unique<Conduit>(settings, transmit_);
    serial_ = std::make_unique<Conduit>(settings, transmit_);
    selection_ = std::make_unique<AdapterSelection>(
        adapterSettings_, transmit_, notifier_,
        AdapterSelection::Adapters{*none_, *ftSeries_, *cloud_, *serial_, nullptr});
    echo_ = std::make_unique<CurrentConduitEcho>(*selection_);
    clientBus_->setEchoControl(echo_.get());
    clientBus_->start();

    duties_.setHousekeeping([this] { transmit_.housekeepingStep(); });
    registerDebugCommands();
}

ApplicationCore::~ApplicationCore() {
    if (demo_) demo_->stop();
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

void ApplicationCore::startDemo() {
    // Until the demo runs over an emulated adapter, the simulated vehicle feeds intake itself.
    demo_ = std::make_unique<sim::LiveVehicle>();
    demo_->start([this](const RvcFrame& frame) { manager_.intake(frame); });
}

void ApplicationCore::tick(bool altHeld) {
    selection_->startupTick(altHeld);
    duties_.tick();
}

}  // namespace corvane
