// corvane-sim: the simulated vehicle behind an emulated adapter, for the demo, tests and
// development without a vehicle.
//
//   corvane-sim --vexor [--load FRAMES_PER_SECOND] [--seed N]
//   corvane-sim --help | --version
//
// With --vexor it opens a pseudo-terminal, prints the path the tool should open on one line,
// and behaves as a Vexor-series adapter on it until interrupted (SIGINT or SIGTERM).

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "cli/ProgramCommandLine.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"

namespace {

// Written by the signal handler only; the one thing a handler may safely touch.
volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

const corvane::ProgramCommandLine commandLine(
    "corvane-sim",
    "usage: corvane-sim --vexor [--load FRAMES_PER_SECOND] [--seed N]\n"
    "       corvane-sim --help | --version\n");

bool parseNumber(const char* text, long max, long& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v > max) return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool vexor = false;
    long load = 0;
    long seed = 1;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (auto status = commandLine.answerStandard(a)) return *status;
        if (std::strcmp(a, "--vexor") == 0) {
            vexor = true;
        } else if (std::strcmp(a, "--load") == 0 && i + 1 < argc) {
            if (!parseNumber(argv[++i], 20000, load))
                return commandLine.refuse(std::string("not a load: ") + argv[i]);
        } else if (std::strcmp(a, "--seed") == 0 && i + 1 < argc) {
            if (!parseNumber(argv[++i], 0x7FFFFFFF, seed))
                return commandLine.refuse(std::string("not a seed: ") + argv[i]);
        } else {
            return commandLine.refuse(std::string("unknown option or missing value: ") + a);
        }
    }
    if (!vexor) return commandLine.refuse("no adapter to emulate (--vexor)");

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    corvane::sim::SimulatedVehicle vehicle(static_cast<uint32_t>(seed));
    corvane::sim::VexorEmulator::Options options;
    options.loadFramesPerSecond = static_cast<int>(load);
    corvane::sim::VexorEmulator emulator(vehicle, options);
    if (!emulator.start()) {
        std::fprintf(stderr, "corvane-sim: could not open a pseudo-terminal\n");
        return 1;
    }
    std::printf("%s\n", emulator.path().c_str());
    std::fflush(stdout);

    while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    emulator.stop();
    std::fprintf(stderr, "corvane-sim: %llu frames sent, %llu transmissions received\n",
                 static_cast<unsigned long long>(emulator.framesWritten()),
                 static_cast<unsigned long long>(emulator.transmits()));
    return 0;
}
