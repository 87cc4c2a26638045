// Intake, dispatch and the device-table update on the simulated vehicle's traffic mix
// (diagnostic status, data DGNs, PRODUCT_ID transfers), frames per second on one core.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/Dgn.h"
#include "core/RVCManager.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"
#include "sim/SimulatedVehicle.h"

namespace {

using namespace corvane;

std::vector<RvcFrame> trafficMix() {
    sim::SimulatedVehicle vehicle(3);
    std::vector<RvcFrame> frames;
    const uint8_t request[8] = {0xEB, 0xFE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (int64_t t = 0; t < 60'000; t += 1000) {
        vehicle.receive(
            makeFrame(CanIdentifier{6, dgn::kRequest | 0xFF, kToolAddress, 0}, 0, 8, request));
        vehicle.advanceTo(t + 999, [&](const RvcFrame& f) { frames.push_back(f); });
    }
    return frames;
}

void BM_IntakeDispatchAndTable(benchmark::State& state) {
    const auto frames = trafficMix();
    SystemClock clock;
    MemorySettingsStore settings;
    DeviceTable table(clock);
    RVCManager manager(settings, table);
    size_t i = 0;
    for (auto _ : state) {
        manager.intake(frames[i]);
        if (++i == frames.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["devices"] = static_cast<double>(table.deviceCount());
}
BENCHMARK(BM_IntakeDispatchAndTable);

}  // namespace
