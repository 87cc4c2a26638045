// The serial adapter's receive path without the line itself: "R" lines (the simulated
// vehicle's traffic mix plus bus-load frames, as the emulator writes them) parsed and taken
// into the manager, lines per second on one core. The parser alone for comparison.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "adapters/VexorLineParser.h"
#include "core/Dgn.h"
#include "core/RVCManager.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"
#include "sim/SimulatedVehicle.h"

namespace {

using namespace corvane;

std::string receivedLine(const RvcFrame& f) {
    char text[64];
    int n = std::snprintf(text, sizeof text, "R%08X",
                          static_cast<unsigned>(packIdentifier(f.priority, f.dgn, f.sa)));
    for (size_t i = 0; i < heldBytes(f); ++i) {
        n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "%02X", f.data[i]);
    }
    std::snprintf(text + n, sizeof text - static_cast<size_t>(n), ",%u",
                  static_cast<unsigned>(f.timestamp));
    return text;
}

std::vector<std::string> lineMix() {
    sim::SimulatedVehicle vehicle(3);
    std::vector<std::string> lines;
    const uint8_t request[8] = {0xEB, 0xFE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const uint8_t load[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (int64_t t = 0; t < 60'000; t += 1000) {
        vehicle.receive(
            makeFrame(CanIdentifier{6, dgn::kRequest | 0xFF, kToolAddress, 0}, 0, 8, request));
        vehicle.advanceTo(t + 999, [&](const RvcFrame& f) { lines.push_back(receivedLine(f)); });
        for (int i = 0; i < 100; ++i) {
            lines.push_back(receivedLine(makeFrame(CanIdentifier{6, 0x1FFFD, 0x80, 0},
                                                   static_cast<uint32_t>(t + i), 8, load)));
        }
    }
    return lines;
}

void BM_VexorLinesIntoIntake(benchmark::State& state) {
    const auto lines = lineMix();
    SystemClock clock;
    MemorySettingsStore settings;
    DeviceTable table(clock);
    RVCManager manager(settings, table);
    size_t i = 0;
    for (auto _ : state) {
        VexorLine parsed = parseVexorLine(lines[i]);
        if (parsed.kind == VexorLine::Kind::Frame) manager.intake(parsed.frame);
        if (++i == lines.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["devices"] = static_cast<double>(table.deviceCount());
}
BENCHMARK(BM_VexorLinesIntoIntake);

void BM_VexorParserOnly(benchmark::State& state) {
    const auto lines = lineMix();
    size_t i = 0;
    for (auto _ : state) {
        VexorLine parsed = parseVexorLine(lines[i]);
        benchmark::DoNotOptimize(parsed);
        if (++i == lines.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VexorParserOnly);

}  // namespace
