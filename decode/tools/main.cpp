// corvane-decode [LOG | --demo | --serial-port PATH | --socketcan IFACE] [--json]
//                [--catalogue FILE]... [--max-seconds N]
// corvane-decode --help | --version
//
// Prints every complete message heard - single frames and reassembled long messages - decoded
// against the built-in catalogue and the user's files: one line each, or one JSON object per
// line with --json. A log (candump or ASC, plain, .gz or .zst) is read to its end as fast as
// it goes; a live adapter until interrupted or for N seconds. Exit status 0 when done, 2 for
// a wrong command line or an unreadable catalogue, 3 when the log or the adapter cannot be
// opened, or when the log breaks off (what it held up to the break is printed first).
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "adapters/AdapterSettings.h"
#include "adapters/CandumpLogParser.h"
#include "adapters/SocketCanConduit.h"
#include "adapters/UserNotifier.h"
#include "adapters/VexorSeriesConduit.h"
#include "cli/ProgramCommandLine.h"
#include "decode/BuiltinCatalogue.h"
#include "decode/CatalogueFile.h"
#include "decode/LogClock.h"
#include "decode/LogNetwork.h"
#include "decode/MessageCollector.h"
#include "decode/MessageDecoder.h"
#include "decode/MessageFormat.h"
#include "logs/LogFrameReader.h"
#include "logs/ProgressBar.h"
#include "platform/Clock.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"

namespace {

using namespace corvane;
using namespace corvane::decode;

constexpr const char* kUsage =
    "usage: corvane-decode [LOG | --demo | --serial-port PATH | --socketcan IFACE] [--json]\n"
    "                      [--catalogue FILE]... [--max-seconds N]\n"
    "       corvane-decode --help | --version\n"
    "\n"
    "  LOG                a candump or ASC log, plain, .gz or .zst, read to its end\n"
    "                     (the default source is --demo)\n"
    "  --demo             the built-in simulated vehicle\n"
    "  --serial-port PATH a Vexor-series adapter\n"
    "  --socketcan IFACE  a CAN network interface (can0)\n"
    "  --json             one JSON object per message instead of a line of text\n"
    "  --catalogue FILE   more messages, or other layouts for known ones (.yml/.yaml in the\n"
    "                     community schema, anything else in Corvane's own format)\n"
    "  --max-seconds N    stop a live source after N seconds (default: until interrupted)\n";

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

class StderrNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(text.size()), text.data());
    }
};

struct Options {
    std::string log;
    std::string serialPort;
    std::string socketCan;
    bool json = false;
    std::vector<std::string> catalogues;
    long maxSeconds = 0;
};

int usage(std::string_view problem) {
    return ProgramCommandLine("corvane-decode", kUsage).refuse(problem);
}

// Returns -1 to go on, otherwise the exit status.
int parseOptions(int argc, char** argv, Options& o) {
    int sources = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (const auto status = ProgramCommandLine("corvane-decode", kUsage).answerStandard(arg)) {
            return *status;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--demo") {
            ++sources;
        } else if (arg == "--serial-port" && hasValue) {
            o.serialPort = argv[++i];
            ++sources;
        } else if (arg == "--socketcan" && hasValue) {
            o.socketCan = argv[++i];
            ++sources;
        } else if (arg == "--catalogue" && hasValue) {
            o.catalogues.emplace_back(argv[++i]);
        } else if (arg == "--max-seconds" && hasValue) {
            char* end = nullptr;
            o.maxSeconds = std::strtol(argv[++i], &end, 10);
            // A billion keeps the deadline in range of the clock.
            if (*end != '\0' || o.maxSeconds < 0 || o.maxSeconds > 1'000'000'000)
                return usage("not a number of seconds");
        } else if (arg == "--serial-port" || arg == "--socketcan" || arg == "--catalogue" ||
                   arg == "--max-seconds") {
            return usage("missing value for " + std::string(arg));
        } else if (!arg.empty() && arg.front() == '-') {
            return usage("unknown option: " + std::string(arg));
        } else {
            o.log = arg;
            ++sources;
        }
    }
    if (sources > 1) return usage("more than one source");
    return -1;
}

// Decodes and prints what the collector gathered; false once standard output fails.
class Printer {
  public:
    Printer(const Catalogue& catalogue, bool json) : catalogue_(catalogue), json_(json) {}

    bool print(const std::vector<MessageCollector::Entry>& entries) {
        for (const auto& e : entries) {
            decodeMessage(catalogue_, e.dgn, e.sa, e.data, decoded_);
            // toJson cleans what it takes from the bus; replacing is a last guard, so that a
            // text nobody foresaw can never end the program.
            line_ = json_ ? toJson(decoded_, e.micros)
                                .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                          : formatTextLine(decoded_, e.micros);
            line_ += '\n';
            if (std::fwrite(line_.data(), 1, line_.size(), stdout) != line_.size()) return false;
        }
        return true;
    }

  private:
    const Catalogue& catalogue_;
    bool json_;
    DecodedMessage decoded_;
    std::string line_;
};

int64_t wallMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The whole log through the manager's dispatch, the clock following the log.
int decodeLog(const Options& o, Printer& printer) {
    LogFrameReader reader;
    if (!reader.open(o.log)) {
        std::fprintf(stderr, "corvane-decode: cannot read the log %s\n", o.log.c_str());
        return 3;
    }
    // The decoded lines stream out while the log is read.
    ProgressBar progress(stderr, ProgressBar::wanted(stderr, stdout));
    LogClock clock;
    LogNetwork network(clock);
    MessageCollector collector([&clock] { return clock.micros(); });
    network.manager.setClientDelivery(&collector);
    CandumpRecord record;
    std::vector<MessageCollector::Entry> entries;
    while (reader.next(record)) {
        if (reader.framesRead() % 4096 == 0)
            progress.update(reader.filePosition(), reader.fileSize());
        clock.setMicros(record.micros);
        network.manager.intake(frameFromCandump(record));
        collector.take(entries);
        if (!printer.print(entries)) return 0;  // the reader of our output went away
    }
    network.manager.setClientDelivery(nullptr);
    progress.finish();
    if (reader.skipped() > 0) {
        std::fprintf(stderr, "corvane-decode: %zu lines of the log were not frames\n",
                     reader.skipped());
    }
    if (!reader.faultText().empty()) {
        std::fprintf(stderr, "corvane-decode: the log %s %s\n", o.log.c_str(),
                     reader.faultText().c_str());
        return 3;
    }
    return 0;
}

// A live adapter until interrupted or for the given time.
int decodeLive(const Options& o, Printer& printer) {
    SystemClock clock;
    LogNetwork network(clock);
    MessageCollector collector(wallMicros);
    network.manager.setClientDelivery(&collector);
    StderrNotifier notifier;
    AdapterSettings adapterSettings(network.settings);

    std::unique_ptr<sim::SimulatedVehicle> vehicle;
    std::unique_ptr<sim::VexorEmulator> emulator;
    std::unique_ptr<Conduit> adapter;
    std::string port = o.serialPort;
    if (!o.socketCan.empty()) {
        adapter = std::make_unique<SocketCanConduit>(network.settings, network.transmit,
                                                     network.manager, notifier, o.socketCan);
    } else {
        if (port.empty()) {
            vehicle = std::make_unique<sim::SimulatedVehicle>();
            emulator = std::make_unique<sim::VexorEmulator>(*vehicle);
            if (!emulator->start()) {
                std::fprintf(stderr, "corvane-decode: the simulated vehicle could not start\n");
                return 3;
            }
            port = emulator->path();
        }
        adapter = std::make_unique<VexorSeriesConduit>(
            network.settings, network.transmit, network.manager, adapterSettings, notifier, port);
    }
    if (!adapter->connect()) {
        std::fprintf(stderr, "corvane-decode: could not connect to the adapter\n");
        if (emulator) emulator->stop();
        return 3;
    }
    network.transmit.setSender(adapter.get());

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(o.maxSeconds);
    std::vector<MessageCollector::Entry> entries;
    while (!stopRequested) {
        if (o.maxSeconds > 0 && std::chrono::steady_clock::now() >= deadline) break;
        collector.waitAndTake(entries, 50);
        if (!printer.print(entries) || std::fflush(stdout) != 0) break;
    }
    network.transmit.setSender(nullptr);
    adapter->disconnect();
    network.manager.setClientDelivery(nullptr);
    if (emulator) emulator->stop();
    collector.take(entries);
    printer.print(entries);
    if (collector.dropped() > 0) {
        std::fprintf(stderr, "corvane-decode: %llu messages dropped (output too slow)\n",
                     static_cast<unsigned long long>(collector.dropped()));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (int status = parseOptions(argc, argv, options); status >= 0) return status;

    Catalogue catalogue = builtinCatalogue();
    for (const std::string& path : options.catalogues) {
        std::vector<std::string> warnings;
        const bool loaded = loadCatalogueFile(path, catalogue, warnings);
        for (const auto& w : warnings) std::fprintf(stderr, "corvane-decode: %s\n", w.c_str());
        if (!loaded) return 2;
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows as a failed write instead
    Printer printer(catalogue, options.json);
    return options.log.empty() ? decodeLive(options, printer) : decodeLog(options, printer);
}
