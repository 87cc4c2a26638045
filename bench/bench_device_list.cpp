// Rebuilding the main window's device list: intake diverted, the table's devices copied, the
// rows filtered and put in DSA order, intake drained. The main window does this at most once
// per 900 ms step; the budget is 5 ms for 250 devices.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "app/DeviceRows.h"
#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/RVCManager.h"
#include "core/RvcMessage.h"
#include "platform/MemorySettingsStore.h"

namespace {

class StillClock final : public corvane::Clock {
  public:
    int64_t epochSeconds() const override { return 1'700'000'000; }
    int64_t steadyMilliseconds() const override { return 0; }
    std::optional<std::tm> localTime(int64_t) const override { return std::tm{}; }
};

void fill(corvane::DeviceTable& table, int count) {
    for (int i = 0; i < count; ++i) {
        const auto sa = static_cast<uint8_t>(i);
        const auto dsa = static_cast<uint8_t>((i * 37) % 250);
        const uint8_t data[8] = {0x45, dsa, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        table.update(*corvane::makeMessage(corvane::dgn::kDmRv, sa, data));
    }
}

void BM_RebuildDeviceList(benchmark::State& state) {
    StillClock clock;
    corvane::MemorySettingsStore settings;
    corvane::DeviceTable table(clock);
    corvane::RVCManager manager(settings, table);
    fill(table, static_cast<int>(state.range(0)));
    corvane::DeviceRows rows;
    for (auto _ : state) {
        manager.divertIntake();
        rows.rebuild(table.devices(), true);
        benchmark::DoNotOptimize(rows.reselect({66, 0x42}));
        manager.drainIntake();
    }
    if (rows.count() != state.range(0)) state.SkipWithError("rows missing");
    state.counters["rows"] = rows.count();
}
BENCHMARK(BM_RebuildDeviceList)->Arg(25)->Arg(250)->Unit(benchmark::kMicrosecond);

}  // namespace
