// corvane-script FILE [--params TEXT] [--target HEX]
//                     [--demo | --serial-port PATH | --replay LOG [--replay-speed X]]
//                     [--max-seconds N]
// corvane-script --help | --version
// Runs one script without a window: log lines to standard output, status changes to standard
// error. Exit status 0 when the script completes (and for --help and --version), 1 when it was
// stopped, 2 when the file could not be opened or the command line is wrong, 3 when the
// adapter could not be reached.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "adapters/AdapterSettings.h"
#include "adapters/ReplayConduit.h"
#include "adapters/UserNotifier.h"
#include "adapters/VexorSeriesConduit.h"
#include "core/DeviceTable.h"
#include "core/LongMessages.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"
#include "platform/SystemShell.h"
#include "script/ScriptEngine.h"
#include "script/ScriptText.h"
#include "script/tools/ConsoleScriptWindow.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"

namespace {

using namespace corvane;

class StderrNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(text.size()), text.data());
    }
};

constexpr const char* kUsage =
    "usage: corvane-script FILE [--params TEXT] [--target HEX]\n"
    "                      [--demo | --serial-port PATH | --replay LOG [--replay-speed X]]\n"
    "                      [--max-seconds N]\n"
    "       corvane-script --help | --version\n";

bool IsOptionWithValue(std::string_view arg) {
    for (std::string_view option :
         {"--params", "--target", "--serial-port", "--replay", "--replay-speed", "--max-seconds"}) {
        if (arg == option) return true;
    }
    return false;
}

// A wrong command line: what was wrong, then the usage.
int Usage(std::string_view problem) {
    std::fprintf(stderr, "corvane-script: %.*s\n%s", static_cast<int>(problem.size()),
                 problem.data(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    std::string params;
    std::string serialPort;
    std::string replayFile;
    double replaySpeed = 1.0;
    uint8_t target = 0xFF;
    long maxSeconds = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("corvane-script %.*s\n", static_cast<int>(kScriptProgramVersion.size()),
                        kScriptProgramVersion.data());
            return 0;
        } else if (arg == "--params" && hasValue) {
            params = argv[++i];
        } else if (arg == "--target" && hasValue) {
            target = static_cast<uint8_t>(ParseHex(argv[++i]));
        } else if (arg == "--serial-port" && hasValue) {
            serialPort = argv[++i];
        } else if (arg == "--demo") {
            serialPort.clear();
            replayFile.clear();
        } else if (arg == "--replay" && hasValue) {
            replayFile = argv[++i];
        } else if (arg == "--replay-speed" && hasValue) {
            const auto speed = ReplayConduit::parseSpeed(argv[++i]);
            if (!speed) return Usage("not a replay speed: " + std::string(argv[i]));
            replaySpeed = *speed;
        } else if (arg == "--max-seconds" && hasValue) {
            maxSeconds = std::strtol(argv[++i], nullptr, 10);
        } else if (!arg.empty() && arg.front() != '-' && file.empty()) {
            file = arg;
        } else if (IsOptionWithValue(arg)) {
            return Usage("missing value for " + std::string(arg));
        } else if (!arg.empty() && arg.front() == '-') {
            return Usage("unknown option: " + std::string(arg));
        } else {
            return Usage("more than one script: " + std::string(arg));
        }
    }
    if (file.empty()) return Usage("no script given");

    SystemClock clock;
    MemorySettingsStore settings;
    DeviceTable table(clock);
    RVCManager manager(settings, table);
    TransmitPath transmit(manager);
    LongMessages longMessages(manager, transmit);
    TransportStage transportStage(longMessages, transmit);
    manager.setTransportStage(&transportStage);
    AdapterSettings adapterSettings(settings);
    StderrNotifier notifier;
    SystemShell shell;

    // Without a port or a log the simulated vehicle stands behind an emulated adapter on a pty.
    std::unique_ptr<sim::SimulatedVehicle> vehicle;
    std::unique_ptr<sim::VexorEmulator> emulator;
    std::unique_ptr<Conduit> adapter;
    if (!replayFile.empty()) {
        auto replay = std::make_unique<ReplayConduit>(settings, transmit, manager, notifier);
        replay->setFile(replayFile);
        replay->setSpeed(replaySpeed);
        adapter = std::move(replay);
        // Says why itself when the log cannot be read.
        if (!adapter->connect()) return 3;
    } else {
        if (serialPort.empty()) {
            vehicle = std::make_unique<sim::SimulatedVehicle>();
            emulator = std::make_unique<sim::VexorEmulator>(*vehicle);
            if (!emulator->start()) {
                std::fprintf(stderr, "The simulated vehicle could not start.\n");
                return 3;
            }
            serialPort = emulator->path();
        }
        adapter = std::make_unique<VexorSeriesConduit>(settings, transmit, manager, adapterSettings,
                                                       notifier, serialPort);
        if (!adapter->connect()) {
            std::fprintf(stderr, "Could not connect to the adapter at %s\n", serialPort.c_str());
            return 3;
        }
    }
    transmit.setSender(adapter.get());

    ConsoleScriptWindow window(stdout, stderr, STDIN_FILENO);
    ScriptNetwork network{&transmit, &manager, &table, &shell, [] { return true; }, {}};
    ScriptEngine engine(window, clock, network);
    manager.setDataFieldSink(&engine.variables());

    int status = 0;
    if (!engine.Start(file, params, target)) {
        status = 2;
    } else {
        const auto started = std::chrono::steady_clock::now();
        const auto deadline = started + std::chrono::seconds(maxSeconds);
        // A dialog waiting for the terminal gives up at the limit too.
        if (maxSeconds > 0) window.SetDeadline(deadline);
        auto next = started;
        // 50 ms ticks: every one paces long transfers out, every second one steps the script.
        for (int tick = 1; engine.state().running; ++tick) {
            next += std::chrono::milliseconds(50);
            std::this_thread::sleep_until(next);
            transmit.pacingStep();
            if (tick % 2 != 0) continue;
            engine.Step();
            // PAUSE: the Continue button is the Enter key.
            if (engine.state().running && engine.state().paused && window.ContinueFromPause()) {
                engine.Continue();
            }
            if (maxSeconds > 0 && engine.state().running &&
                std::chrono::steady_clock::now() > deadline) {
                engine.Abort();
            }
        }
        status = window.status() == "Script Complete" ? 0 : 1;
        // What the script sent last still goes out whole.
        while (transmit.pacedFramesPending() > 0) {
            next += std::chrono::milliseconds(50);
            std::this_thread::sleep_until(next);
            transmit.pacingStep();
        }
    }
    manager.setDataFieldSink(nullptr);
    transmit.setSender(nullptr);
    adapter->disconnect();
    if (emulator) emulator->stop();
    return status;
}
