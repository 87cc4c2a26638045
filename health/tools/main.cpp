// corvane-report LOG [--json] [--html FILE] [--bit-rate N]
// corvane-report --help | --version
//
// Reads a candump log through the network core, as the tool would have heard it, and reports
// the coach's devices, their active and past faults in words, the nodes that went silent and
// the bus load: as text, or as JSON with --json, on standard output; --html also writes the
// report as one self-contained page. Exit status 0 when done, 2 for a wrong command line,
// 3 when the log cannot be read or breaks off (the report of what it held is still printed)
// or the page cannot be written.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "adapters/CandumpLogParser.h"
#include "cli/ProgramCommandLine.h"
#include "decode/LogClock.h"
#include "decode/LogNetwork.h"
#include "health/HealthMonitor.h"
#include "health/HealthReport.h"
#include "health/ReportFormats.h"
#include "logs/LogFrameReader.h"
#include "logs/ProgressBar.h"

namespace {

using namespace corvane;

constexpr const char* kUsage =
    "usage: corvane-report LOG [--json] [--html FILE] [--bit-rate N]\n"
    "       corvane-report --help | --version\n"
    "\n"
    "  LOG           a candump or ASC log, plain, .gz or .zst\n"
    "  --json        the report as JSON instead of text\n"
    "  --html FILE   also write the report as a page to print or send\n"
    "  --bit-rate N  the bus rate in bit/s for the bus load (default 250000)\n";

struct Options {
    std::string log;
    std::string html;
    bool json = false;
    unsigned long bitRate = health::BusLoad::kDefaultBitRate;
};

int usage(std::string_view problem) {
    return ProgramCommandLine("corvane-report", kUsage).refuse(problem);
}

// Returns -1 to go on, otherwise the exit status.
int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (const auto status = ProgramCommandLine("corvane-report", kUsage).answerStandard(arg)) {
            return *status;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--html" && hasValue) {
            o.html = argv[++i];
        } else if (arg == "--bit-rate" && hasValue) {
            char* end = nullptr;
            o.bitRate = std::strtoul(argv[++i], &end, 10);
            if (*end != '\0' || o.bitRate < 10000 || o.bitRate > 1000000) {
                return usage("the bit rate is a number of bit/s from 10000 to 1000000");
            }
        } else if (arg == "--html" || arg == "--bit-rate") {
            return usage("missing value for " + std::string(arg));
        } else if (!arg.empty() && arg.front() == '-') {
            return usage("unknown option: " + std::string(arg));
        } else if (!o.log.empty()) {
            return usage("more than one log");
        } else {
            o.log = arg;
        }
    }
    if (o.log.empty()) return usage("no log given");
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (int status = parseOptions(argc, argv, o); status >= 0) return status;

    LogFrameReader reader;
    if (!reader.open(o.log)) {
        std::fprintf(stderr, "corvane-report: cannot read the log %s\n", o.log.c_str());
        return 3;
    }
    // Nothing is printed before the whole log is read.
    ProgressBar progress(stderr, ProgressBar::wanted(stderr, nullptr));
    decode::LogClock clock;
    decode::LogNetwork network(clock);
    health::HealthMonitor monitor([&clock] { return clock.micros(); },
                                  static_cast<uint32_t>(o.bitRate));
    network.manager.setClientDelivery(&monitor);
    CandumpRecord record;
    for (size_t n = 1; reader.next(record); ++n) {
        clock.setMicros(record.micros);
        network.manager.intake(frameFromCandump(record));
        if (n % 4096 == 0) {
            monitor.process();  // well before its queue fills
            progress.update(reader.filePosition(), reader.fileSize());
        }
    }
    network.manager.setClientDelivery(nullptr);
    progress.finish();
    // What could be read is still reported; the status says the log broke off.
    const bool cutShort = !reader.faultText().empty();
    if (cutShort) {
        std::fprintf(stderr, "corvane-report: the log %s %s\n", o.log.c_str(),
                     reader.faultText().c_str());
    }
    if (reader.skipped() > 0) {
        std::fprintf(stderr, "corvane-report: %zu lines of the log were not frames\n",
                     reader.skipped());
    }

    const health::HealthReport report =
        health::makeHealthReport(network.devices.devices(), network.devices.nodes(),
                                 monitor.snapshot(), health::Inventory::EverHeard);
    if (!o.html.empty()) {
        std::ofstream page(o.html, std::ios::binary | std::ios::trunc);
        page << health::reportToHtml(report);
        if (!page.flush()) {
            std::fprintf(stderr, "corvane-report: cannot write %s\n", o.html.c_str());
            return 3;
        }
    }
    const std::string out =
        o.json ? health::reportToJsonText(report) : health::reportToText(report);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 && !cutShort ? 0 : 3;
}
