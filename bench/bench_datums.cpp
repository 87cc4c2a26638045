#include <benchmark/benchmark.h>

#include <string>

#include "script/DatumDefinition.h"
#include "script/RVCDatumMonitor.h"
#include "script/VariableList.h"

namespace corvane {
namespace {

// A busy script: 50 data fields over a handful of DGNs, one dispatched message at a time.
void FillFifty(VariableList& list) {
    const char* expressions[] = {"B1", "W3 * 0.05", "F13", "L1", "N24 - 40", "P"};
    const char* dgns[] = {"1FFFD:01", "1FFFD:02", "1FECA:58", "1FFFF", "1FEF5"};
    auto vars = list.Lock();
    for (int i = 0; i < 50; ++i) {
        const std::string arguments =
            " v" + std::to_string(i) + " " + dgns[i % 5] + " [" + expressions[i % 6] + "]";
        vars.Append(RVCDatumMonitor::FromDefinition(ParseDatumDefinition(arguments), true));
    }
}

void BM_UpdateFromMessageFiftyDatums(benchmark::State& state) {
    VariableList list;
    FillFifty(list);
    const uint8_t data[8] = {1, 0x58, 4, 1, 0x5C, 6, 7, 8};
    const RvcMessage message = *makeMessage(0x1FFFD, 0x42, data);
    for (auto _ : state) {
        list.offer(message);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["datums"] = 50;
}
BENCHMARK(BM_UpdateFromMessageFiftyDatums);

// The same message matching no datum: the cost every unrelated frame pays.
void BM_UpdateFromMessageFiftyDatumsNoMatch(benchmark::State& state) {
    VariableList list;
    FillFifty(list);
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const RvcMessage message = *makeMessage(0x1FEDA, 0x42, data);
    for (auto _ : state) {
        list.offer(message);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UpdateFromMessageFiftyDatumsNoMatch);

}  // namespace
}  // namespace corvane
