#pragma once

#include <memory>
#include <string>

#include "adapters/CloudLoginPrompt.h"
#include "adapters/UserNotifier.h"
#include "demo/DemoRelay.h"
#include "platform/FtDriver.h"
#include "platform/SettingsStore.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"

namespace corvane {

// The adapter a demo run reaches the simulated vehicle through.
enum class DemoAdapter { None, Vexor, Ft, Cloud };

// The far side of a demo run: the simulated vehicle and whatever stands between it and the
// tool's adapter code - the serial adapter's emulator on a pseudo-terminal, the FT-series
// firmware emulator as the driver layer, or the local relay with its technician answering the
// cloud login. Owned by the application; it outlives the conduits that talk to it. Created and
// stopped on the user-interface thread; the emulators run threads of their own.
class DemoRig {
  public:
    struct Options {
        DemoAdapter adapter = DemoAdapter::Vexor;
        int loadFramesPerSecond = 0;  // extra frames a second on the bus (serial demo)
    };

    // Starts what the adapter needs. The cloud demo writes the relay's address and certificate
    // authority into `settings` (the demo's in-memory settings); a part that cannot start is
    // told through `notifier`, and the demo goes on without it.
    DemoRig(const Options& options, SettingsStore& settings, UserNotifier& notifier);
    ~DemoRig();
    DemoRig(const DemoRig&) = delete;
    DemoRig& operator=(const DemoRig&) = delete;

    sim::SimulatedVehicle& vehicle() { return *vehicle_; }
    // The serial demo's pseudo-terminal; empty for the other adapters or when it did not open.
    std::string serialPath() const;
    // The FT-series demo's driver layer (the firmware emulator); null for the other adapters.
    FtDriver* ftDriver() { return ftDriver_.get(); }
    // Answers the cloud login in the cloud demo; null for the other adapters.
    CloudLoginPrompt* login() { return relayRunning_ ? &relay_ : nullptr; }

  private:
    std::unique_ptr<sim::SimulatedVehicle> vehicle_;
    std::unique_ptr<sim::VexorEmulator> vexor_;
    std::unique_ptr<FtDriver> ftDriver_;
    DemoRelay relay_;
    bool relayRunning_ = false;
};

}  // namespace corvane
