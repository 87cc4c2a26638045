// corvane-script FILE [--params TEXT] [--target HEX]
//                     [--demo | --serial-port PATH | --replay LOG [--replay-speed X]]
//                     [--max-seconds N]
// corvane-script --help | --version
// Runs one script without a window: log lines to standard output, status changes to standard
// error. Exit status 0 when the script completes (and for --help and --version), 1 when it was
// stopped, 2 when the file could not be opened or the command line is wrong, 3 when the
// adapter or the log could not be opened. A log that breaks off plays up to the break and
// says so on standard error; the script's own end decides the status.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "adapters/AdapterSettings.h"
#include "adapters/UserNotifier.h"
#include "adapters/VexorSeriesConduit.h"
#include "cli/ProgramCommandLine.h"
#include "cli/ProgramVersion.h"
#include "core/DeviceTable.h"
#include "core/LongMessages.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "logs/ProgressBar.h"
#include "logs/ReplayConduit.h"
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

// Messages on standard error. While a progress bar may be drawn they are held for the main
// loop, which wipes the bar before it prints them: the replay thread says "Replay finished"
// while the bar is still up. Any thread.
class StderrNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        std::string line = std::string(title) + ": " + std::string(text) + "\n";
        std::lock_guard lock(mutex_);
        if (holding_) {
            held_ += line;
        } else {
            std::fputs(line.c_str(), stderr);
        }
    }
    void hold() {
        std::lock_guard lock(mutex_);
        holding_ = true;
    }
    // The messages held since the last call; `release`: from now on they are printed at once.
    std::string takeHeld(bool release) {
        std::lock_guard lock(mutex_);
        holding_ = holding_ && !release;
        return std::exchange(held_, {});
    }

  private:
    std::mutex mutex_;
    bool holding_ = false;
    std::string held_;
};

// The version scripts see (OSVERSION, "2.03.01") is the release of the tool.
constexpr bool ScriptVersionIsTheRelease() {
    const std::string_view v = kScriptProgramVersion;
    return v.size() == 7 && v[0] - '0' == ProgramVersion::kMajor &&
           (v[2] - '0') * 10 + (v[3] - '0') == ProgramVersion::kMinor &&
           (v[5] - '0') * 10 + (v[6] - '0') == ProgramVersion::kBuild;
}
static_assert(ScriptVersionIsTheRelease());

const ProgramCommandLine commandLine(
    "corvane-script",
    "usage: corvane-script FILE [--params TEXT] [--target HEX]\n"
    "                      [--demo | --serial-port PATH | --replay LOG [--replay-speed X]]\n"
    "                      [--max-seconds N]\n"
    "       corvane-script --help | --version\n");

bool IsOptionWithValue(std::string_view arg) {
    for (std::string_view option :
         {"--params", "--target", "--serial-port", "--replay", "--replay-speed", "--max-seconds"}) {
        if (arg == option) return true;
    }
    return false;
}

// A wrong command line: what was wrong, then the usage.
int Usage(std::string_view problem) { return commandLine.refuse(problem); }

// The whole word as a number from 0 to `max` in `base`, or nothing: "3O", "-5", "" and "0x1F"
// are refused rather than read as far as they go.
std::optional<long> WholeNumber(std::string_view text, int base, long max) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > max)
        return std::nullopt;
    return value;
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
        if (auto status = commandLine.answerStandard(arg)) {
            // Script authors compare against the script version (OSVERSION).
            if (arg == "--version")
                std::printf("script version %.*s\n", static_cast<int>(kScriptProgramVersion.size()),
                            kScriptProgramVersion.data());
            return *status;
        } else if (arg == "--params" && hasValue) {
            params = argv[++i];
        } else if (arg == "--target" && hasValue) {
            const auto address = WholeNumber(argv[++i], 16, 0xFF);
            if (!address) return Usage("not an address (hex, 00 to FF): " + std::string(argv[i]));
            target = static_cast<uint8_t>(*address);
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
            // 0, as without the option, sets no limit; a billion keeps the deadline in range.
            const auto seconds = WholeNumber(argv[++i], 10, 1'000'000'000);
            if (!seconds) return Usage("not a number of seconds: " + std::string(argv[i]));
            maxSeconds = *seconds;
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
        // A replay shows how far it has come; the script's lines go to standard output.
        std::unique_ptr<ProgressBar> progress;
        auto* replay = dynamic_cast<ReplayConduit*>(adapter.get());
        const auto printHeld = [&](bool release) {
            const std::string held = notifier.takeHeld(release);
            if (held.empty()) return;
            if (progress) progress->finish();
            std::fputs(held.c_str(), stderr);
        };
        if (replay != nullptr) {
            progress = std::make_unique<ProgressBar>(stderr, ProgressBar::wanted(stderr, stdout));
            notifier.hold();
            window.SetBeforeError([&progress] {
                if (progress) progress->finish();
            });
        }
        // 50 ms ticks: every one paces long transfers out, every second one steps the script.
        for (int tick = 1; engine.state().running; ++tick) {
            next += std::chrono::milliseconds(50);
            std::this_thread::sleep_until(next);
            transmit.pacingStep();
            if (progress && replay->finished()) progress.reset();  // wiped at the end of the log
            printHeld(false);
            if (progress) progress->update(replay->bytesRead(), replay->fileBytes());
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
        if (progress) progress->finish();
        printHeld(true);
        window.SetBeforeError({});
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
