#include <benchmark/benchmark.h>

#include <vector>

#include "bench/NetworkCore.h"
#include "core/RvcFrame.h"

namespace corvane {
namespace {

constexpr int kSources = 20;

// The frames of kSources broadcast transfers of `packets` packets each, interleaved packet by
// packet as they appear on a busy bus: all announcements, then packet 1 of every source, ...
std::vector<RvcFrame> interleavedTransfers(int packets) {
    std::vector<RvcFrame> frames;
    const auto size = static_cast<uint16_t>(packets * 7);
    for (int s = 0; s < kSources; ++s) {
        const uint8_t announce[8] = {0x20,
                                     static_cast<uint8_t>(size & 0xFF),
                                     static_cast<uint8_t>(size >> 8),
                                     static_cast<uint8_t>(packets),
                                     0xFF,
                                     0xEB,
                                     0xFE,
                                     0x00};
        frames.push_back(
            makeFrame(CanIdentifier{6, 0xECFF, static_cast<uint8_t>(0x40 + s), 0}, 0, 8, announce));
    }
    for (int k = 1; k <= packets; ++k) {
        for (int s = 0; s < kSources; ++s) {
            uint8_t data[8] = {static_cast<uint8_t>(k), 1, 2, 3, 4, 5, 6, 7};
            frames.push_back(
                makeFrame(CanIdentifier{6, 0xEBFF, static_cast<uint8_t>(0x40 + s), 0}, 0, 8, data));
        }
    }
    return frames;
}

using Core = bench::NetworkCore;

// Reassembly alone, fed with the messages dispatch builds.
void BM_ReassembleInterleaved(benchmark::State& state) {
    const int packets = static_cast<int>(state.range(0));
    Core core;
    std::vector<RvcMessage> messages;
    for (const auto& f : interleavedTransfers(packets)) {
        RvcMessage m;
        fillMessageFromFrame(f, m);
        messages.push_back(m);
    }
    for (auto _ : state) {
        for (const auto& m : messages) core.stage.offer(m);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(messages.size()));
    state.counters["messages/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kSources, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReassembleInterleaved)->Arg(3)->Arg(255);

// The whole receive path: intake, statistics, reassembly and dispatch of the results.
void BM_IntakeInterleaved(benchmark::State& state) {
    const int packets = static_cast<int>(state.range(0));
    Core core;
    const auto frames = interleavedTransfers(packets);
    for (auto _ : state) {
        for (const auto& f : frames) core.manager.intake(f);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
    state.counters["messages/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kSources, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IntakeInterleaved)->Arg(3)->Arg(255);

}  // namespace
}  // namespace corvane
