#include "demo/DemoRig.h"

#include "sim/FtFirmwareEmulator.h"

namespace corvane {

DemoRig::DemoRig(const Options& options, SettingsStore& settings, UserNotifier& notifier)
    : vehicle_(std::make_unique<sim::SimulatedVehicle>()) {
    switch (options.adapter) {
        case DemoAdapter::Vexor: {
            sim::VexorEmulator::Options emulator;
            emulator.loadFramesPerSecond = options.loadFramesPerSecond;
            vexor_ = std::make_unique<sim::VexorEmulator>(*vehicle_, emulator);
            if (!vexor_->start()) {
                vexor_.reset();
                notifier.showMessage("The simulated vehicle's serial adapter could not start.",
                                     "Demo");
            }
            break;
        }
        case DemoAdapter::Ft:
            ftDriver_ = std::make_unique<sim::FtFirmwareEmulator>(vehicle_.get());
            break;
        case DemoAdapter::Cloud: {
            std::string error;
            relayRunning_ = relay_.start(settings, error);
            if (!relayRunning_)
                notifier.showMessage("The demo relay could not start: " + error, "Demo");
            break;
        }
        case DemoAdapter::None:
            break;
    }
}

DemoRig::~DemoRig() {
    if (vexor_) vexor_->stop();
    relay_.stop();
}

std::string DemoRig::serialPath() const { return vexor_ ? vexor_->path() : std::string(); }

}  // namespace corvane
