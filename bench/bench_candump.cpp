#include <benchmark/benchmark.h>

#include <string>

#include "adapters/CandumpLogFormat.h"
#include "adapters/CandumpLogReader.h"

namespace {

using namespace corvane;

constexpr int kFrames = 1'000'000;

// A million lines of realistic traffic: a mix of lengths, sources and DGNs, 1 ms apart.
const std::string& millionFrameLog() {
    static const std::string text = [] {
        std::string t;
        t.reserve(static_cast<size_t>(kFrames) * 48);
        char line[kCandumpLineMax];
        uint8_t data[8];
        for (int i = 0; i < kFrames; ++i) {
            for (int b = 0; b < 8; ++b) data[b] = static_cast<uint8_t>(i * 13 + b);
            const uint32_t id = 0x18000000u | ((0x1FE00u + static_cast<uint32_t>(i % 97)) << 8) |
                                static_cast<uint32_t>(0x40 + i % 31);
            size_t n = formatCandumpLine(1'700'000'000'000'000 + int64_t{i} * 1000, "can0", id,
                                         static_cast<uint8_t>(i % 5 == 0 ? 3 : 8), data, line);
            t.append(line, n);
        }
        return t;
    }();
    return text;
}

void BM_ParseMillionFrameLog(benchmark::State& state) {
    const std::string& text = millionFrameLog();
    uint64_t sum = 0;
    for (auto _ : state) {
        CandumpLogReader reader(text);
        CandumpRecord r;
        int frames = 0;
        while (reader.next(r)) {
            sum += r.canId + r.data[0];
            ++frames;
        }
        if (frames != kFrames || reader.skipped() != 0) state.SkipWithError("lines were lost");
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kFrames);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseMillionFrameLog)->Unit(benchmark::kMillisecond);

void BM_FormatMillionFrames(benchmark::State& state) {
    char line[kCandumpLineMax];
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    size_t total = 0;
    for (auto _ : state) {
        for (int i = 0; i < kFrames; ++i) {
            total +=
                formatCandumpLine(1'700'000'000'000'000 + int64_t{i} * 1000, "can0",
                                  0x18FEEB42u + static_cast<uint32_t>(i & 0xFF), 8, data, line);
        }
        benchmark::DoNotOptimize(line);
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_FormatMillionFrames)->Unit(benchmark::kMillisecond);

}  // namespace
