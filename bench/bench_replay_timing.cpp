#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "adapters/CandumpLogFormat.h"
#include "adapters/UserNotifier.h"
#include "bench/NetworkCore.h"
#include "core/MessageSink.h"
#include "core/RvcMessage.h"
#include "logs/ReplayConduit.h"

// How closely a replay at the original speed keeps a log's timing: each frame's lateness
// against its schedule, from the moment the frame reaches the data fields. The promise to the
// user is every frame within 5 ms; the counters report the median, the 99th percentile, the
// worst frame and the share within 5 ms over every frame of every iteration.

namespace corvane {
namespace {

using Steady = std::chrono::steady_clock;

class Silent final : public UserNotifier {
  public:
    void showMessage(std::string_view, std::string_view) override {}
};

class ArrivalTimes final : public MessageSink {
  public:
    void offer(const RvcMessage&) override {
        std::lock_guard lock(mutex_);
        times_.push_back(Steady::now());
    }
    std::vector<Steady::time_point> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(times_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<Steady::time_point> times_;
};

struct Rig : bench::NetworkCore {
    Rig() {
        transmit.setSender(&replay);
        manager.setDataFieldSink(&arrivals);
    }
    ~Rig() { replay.disconnect(); }
    Silent notifier;
    ReplayConduit replay{settings, transmit, manager, notifier};
    ArrivalTimes arrivals;
};

// 200 frames from one source, 1 to 41 ms apart in an irregular pattern (about 4 s).
std::vector<int64_t> irregularOffsetsMs() {
    std::vector<int64_t> offsets;
    for (int64_t t = 0, gap = 3; offsets.size() < 200; t += gap, gap = (gap * 7) % 41 + 1) {
        offsets.push_back(t);
    }
    return offsets;
}

std::string writeLog(const std::vector<int64_t>& offsetsMs) {
    const auto path = std::filesystem::temp_directory_path() / "corvane-bench-replay-timing.log";
    std::ofstream out(path, std::ios::binary);
    char line[kCandumpLineMax];
    for (size_t i = 0; i < offsetsMs.size(); ++i) {
        const uint8_t data[2] = {static_cast<uint8_t>(i), 0x55};
        const size_t n = formatCandumpLine(1'700'000'000'000'000 + offsetsMs[i] * 1000, "can0",
                                           0x19FFD442, 2, data, line);
        out.write(line, static_cast<std::streamsize>(n));
    }
    return path.string();
}

void BM_ReplayAtOriginalSpeed(benchmark::State& state) {
    const auto offsets = irregularOffsetsMs();
    const std::string path = writeLog(offsets);
    std::vector<double> lateness;
    for (auto _ : state) {
        Rig rig;
        rig.replay.setFile(path);
        if (rig.replay.connect() != 1) {
            state.SkipWithError("the log did not load");
            break;
        }
        while (!rig.replay.finished()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const auto times = rig.arrivals.take();
        if (times.size() != offsets.size()) {
            state.SkipWithError("frames were lost");
            break;
        }
        // The schedule begins at the least late arrival: the replay never plays early.
        std::vector<double> late;
        for (size_t i = 0; i < times.size(); ++i) {
            const double actual =
                std::chrono::duration<double, std::milli>(times[i] - times[0]).count();
            late.push_back(actual - static_cast<double>(offsets[i] - offsets[0]));
        }
        const double origin = *std::min_element(late.begin(), late.end());
        for (double l : late) lateness.push_back(l - origin);
    }
    std::filesystem::remove(path);
    if (lateness.empty()) return;
    std::sort(lateness.begin(), lateness.end());
    const auto at = [&](double q) {
        return lateness[std::min(lateness.size() - 1, static_cast<size_t>(q * lateness.size()))];
    };
    const auto within = std::upper_bound(lateness.begin(), lateness.end(), 5.0) - lateness.begin();
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["worst_ms"] = lateness.back();
    state.counters["within_5ms_pct"] =
        100.0 * static_cast<double>(within) / static_cast<double>(lateness.size());
}
BENCHMARK(BM_ReplayAtOriginalSpeed)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace corvane
