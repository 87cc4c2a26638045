#pragma once

#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "app/CCorvaneDlg.h"
#include "app/MainWindowParts.h"
#include "app/QtNotifier.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"
#include "tests/faults/DebugClient.h"
#include "tests/faults/FileSizeLimit.h"
#include "tests/faults/MessageLog.h"
#include "tests/faults/Unchangeable.h"
#include "tests/support/FreshFolders.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/TestCore.h"

namespace corvane::test {

using namespace std::chrono_literals;

// How long the rig waits for what takes a second or so on a quiet machine (the tool connected
// and its devices listed, a load's first thousand frames): the suite runs tests side by side
// on two cores, where it may take several. A wait ends as soon as its condition holds, so a
// passing run is no slower for it.
inline constexpr std::chrono::milliseconds kSettle = 15s;

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

// The running tool as start-up builds it - the application-wide objects, the main window with
// the module services - and its debug port on a free port. The window runs on the offscreen
// platform; messages for the user are recorded instead of shown. The tests run the window's
// events through pumpUntil() and pumpFor().
class FaultRig {
  public:
    struct Options {
        DemoAdapter demo = DemoAdapter::None;
        // A simulated vehicle behind a serial emulator of the rig's own, offered to the serial
        // adapter as the preferred port: the default settings connect to it at start-up.
        bool ownVexor = false;
        int busLoad = 0;  // extra frames a second on the own emulator's bus
        // The settings the tool runs on; an in-memory store when null.
        SettingsStore* settings = nullptr;
    };

    explicit FaultRig(Options options);
    ~FaultRig();
    FaultRig(const FaultRig&) = delete;
    FaultRig& operator=(const FaultRig&) = delete;

    ApplicationCore& core() { return core_.core(); }
    CCorvaneDlg& window() { return *window_; }
    sim::VexorEmulator* vexor() { return vexor_.get(); }
    uint16_t debugPort() { return core_->debugPort().port(); }

    // Frames the manager has taken in since its last reset.
    int64_t framesTaken();
    bool framesFlowing(std::chrono::milliseconds within = 2000ms);
    int rows() const;

    // Sends `command` to the debug port on a new connection, the window's events running
    // meanwhile, and returns what came back until the help that "?" asks for behind it; what
    // had come by `limit` when the help did not.
    std::string askDebugPort(const std::string& command, std::chrono::milliseconds limit);

    // What every fault test ends with: the window answers (a queued call runs within a
    // second, its timer ticks, and its device list comes to show at least `minDevices` rows)
    // and the debug port answers "devs" with at least `minDevices` devices.
    void expectStillAnswering(size_t minDevices);

    MessageLog messages;

  private:
    QTemporaryDir folder_;
    std::unique_ptr<sim::SimulatedVehicle> vehicle_;
    std::unique_ptr<sim::VexorEmulator> vexor_;
    TestCore core_;
    QtNotifier notifier_;
    std::unique_ptr<MainWindowParts> parts_;
    std::unique_ptr<CCorvaneDlg> window_;
};

}  // namespace corvane::test
