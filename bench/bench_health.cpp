// What fault and health tracking costs: the same traffic mix through the network core wired as
// at start-up, without and with the health monitor in the client-delivery slot, time-stamping
// each frame with the system clock as the application does (frames per second on the
// dispatching thread; the second should stay within 20 % of the first), and the monitor's
// deferred work per frame, done on the thread that asks for its figures.
#include <benchmark/benchmark.h>

#include "bench/NetworkCore.h"
#include "bench/TrafficMix.h"
#include "health/HealthMonitor.h"

namespace {

using namespace corvane;

// The frames' virtual times, a minute further each lap round the mix.
struct LapClock {
    int64_t micros = 0;
    int64_t lap = 0;
    void at(const RvcFrame& f) { micros = lap + int64_t{f.timestamp} * 1000; }
};

void run(benchmark::State& state, bool withHealth) {
    const auto frames = bench::trafficMix();
    bench::NetworkCore core;
    health::HealthMonitor monitor([&core] { return core.clock.epochMicros(); }, 250'000,
                                  &core.clientBus);
    if (withHealth) core.deliverTo(&monitor);
    size_t i = 0;
    for (auto _ : state) {
        core.manager.intake(frames[i]);
        if (++i == frames.size()) {
            i = 0;
            // The owner's periodic call, outside the dispatching thread's time.
            state.PauseTiming();
            monitor.process();
            state.ResumeTiming();
        }
    }
    core.deliverTo(nullptr);
    const auto s = monitor.snapshot();
    state.SetItemsProcessed(state.iterations());
    state.counters["faults"] = static_cast<double>(s.faults.size());
    state.counters["missed"] = static_cast<double>(s.missed);
}

void BM_IntakeDispatch(benchmark::State& state) { run(state, false); }
void BM_IntakeDispatchWithHealth(benchmark::State& state) { run(state, true); }
BENCHMARK(BM_IntakeDispatch);
BENCHMARK(BM_IntakeDispatchWithHealth);

// process() over one lap of the mix, per frame.
void BM_HealthProcessing(benchmark::State& state) {
    const auto frames = bench::trafficMix();
    LapClock clock;
    health::HealthMonitor monitor([&clock] { return clock.micros; });
    for (auto _ : state) {
        state.PauseTiming();
        for (const RvcFrame& f : frames) {
            clock.at(f);
            monitor.deliverRaw(f);
        }
        clock.lap += 60'000'000;
        state.ResumeTiming();
        monitor.process();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
}
BENCHMARK(BM_HealthProcessing);

}  // namespace
