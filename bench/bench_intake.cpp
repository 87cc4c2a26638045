// Intake, dispatch and the device-table update on the simulated vehicle's traffic mix
// (diagnostic status, data DGNs, PRODUCT_ID transfers), frames per second on one core: the
// bare manager, and the same with fault and health tracking in its delivery slot (its queue
// emptied between laps, outside the measured time, as the window's timer does).
#include <benchmark/benchmark.h>

#include "bench/TrafficMix.h"
#include "core/RVCManager.h"
#include "health/HealthMonitor.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"

namespace {

using namespace corvane;

void run(benchmark::State& state, bool withHealth) {
    const auto frames = bench::trafficMix();
    SystemClock clock;
    MemorySettingsStore settings;
    DeviceTable table(clock);
    RVCManager manager(settings, table);
    health::HealthMonitor monitor([&clock] { return clock.epochMicros(); });
    if (withHealth) manager.setClientDelivery(&monitor);
    size_t i = 0;
    for (auto _ : state) {
        manager.intake(frames[i]);
        if (++i == frames.size()) {
            i = 0;
            state.PauseTiming();
            monitor.process();
            state.ResumeTiming();
        }
    }
    manager.setClientDelivery(nullptr);
    state.SetItemsProcessed(state.iterations());
    state.counters["devices"] = static_cast<double>(table.deviceCount());
}

void BM_IntakeDispatchAndTable(benchmark::State& state) { run(state, false); }
void BM_IntakeDispatchAndTableWithHealth(benchmark::State& state) { run(state, true); }
BENCHMARK(BM_IntakeDispatchAndTable);
BENCHMARK(BM_IntakeDispatchAndTableWithHealth);

}  // namespace
