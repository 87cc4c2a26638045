// Reading logs of any size: frames a second from a generated candump log, plain and
// compressed, the peak memory of corvane-report over it, and - on the same file, for
// comparison - python-can's candump reader and can-utils' log2asc.
//
// The log is written on the fly into a temporary folder and removed afterwards. Its size:
//   CORVANE_BENCH_LOG_FRAMES        frames of the log (default 2,000,000)
//   CORVANE_BENCH_LOG_FRAMES_LARGE  a second, larger log for the memory check (e.g. 20000000;
//                                   unset: none)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "adapters/CandumpLogFormat.h"
#include "logs/LogFrameReader.h"
#include "logs/LogWriter.h"

extern char** environ;

namespace {

using namespace corvane;

uint64_t framesFromEnv(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return std::strtoull(text, nullptr, 10);
}

// The temporary folder and the logs written into it, made once and removed at exit.
class GeneratedLogs {
  public:
    ~GeneratedLogs() {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    // "<folder>/<frames>.log" plus `suffix`, written on first use: realistic traffic, a mix of
    // lengths, sources and DGNs, 1 ms apart.
    const std::string& log(uint64_t frames, const std::string& suffix) {
        const std::string key = std::to_string(frames) + ".log" + suffix;
        auto found = paths_.find(key);
        if (found != paths_.end()) return found->second;
        makeFolder();
        const std::string path = folder_ + "/" + key;
        LogWriter writer;
        writer.open(path);
        std::string text;
        char line[kCandumpLineMax];
        uint8_t data[8];
        for (uint64_t i = 0; i < frames; ++i) {
            for (int b = 0; b < 8; ++b) data[b] = static_cast<uint8_t>(i * 13 + b);
            const uint32_t id = 0x18000000u | ((0x1FE00u + static_cast<uint32_t>(i % 97)) << 8) |
                                static_cast<uint32_t>(0x40 + i % 31);
            text.append(line,
                        formatCandumpLine(1'700'000'000'000'000 + int64_t(i) * 1000, "can0", id,
                                          static_cast<uint8_t>(i % 5 == 0 ? 3 : 8), data, line));
            if (text.size() > (1u << 20)) {
                writer.write(text);
                text.clear();
            }
        }
        writer.write(text);
        writer.close();
        return paths_[key] = path;
    }

    // A file of that name in the folder.
    std::string file(const std::string& name) {
        makeFolder();
        return folder_ + "/" + name;
    }

  private:
    void makeFolder() {
        if (!folder_.empty()) return;
        char pattern[] = "/tmp/corvane-bench-logs-XXXXXX";
        folder_ = mkdtemp(pattern);
    }

    std::string folder_;
    std::map<std::string, std::string> paths_;
};

GeneratedLogs& logs() {
    static GeneratedLogs generated;
    return generated;
}

const uint64_t kFrames = framesFromEnv("CORVANE_BENCH_LOG_FRAMES", 2'000'000);
const uint64_t kLargeFrames = framesFromEnv("CORVANE_BENCH_LOG_FRAMES_LARGE", 0);

void readWithLogFrameReader(benchmark::State& state, const std::string& suffix) {
    const std::string& path = logs().log(kFrames, suffix);
    uint64_t sum = 0;
    for (auto _ : state) {
        LogFrameReader reader;
        if (!reader.open(path)) state.SkipWithError("the log did not open");
        CandumpRecord r;
        uint64_t frames = 0;
        while (reader.next(r)) {
            sum += r.canId + r.data[0];
            ++frames;
        }
        if (frames != kFrames || reader.skipped() != 0) state.SkipWithError("frames were lost");
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kFrames));
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
}

void BM_LogFrameReaderPlain(benchmark::State& state) { readWithLogFrameReader(state, ""); }
BENCHMARK(BM_LogFrameReaderPlain)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_LogFrameReaderGzip(benchmark::State& state) { readWithLogFrameReader(state, ".gz"); }
BENCHMARK(BM_LogFrameReaderGzip)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_LogFrameReaderZstd(benchmark::State& state) { readWithLogFrameReader(state, ".zst"); }
BENCHMARK(BM_LogFrameReaderZstd)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Runs a program to its end under GNU time; the wall time in seconds and the program's peak
// resident size in MB, or nothing when it could not run or failed. (The rusage of a child we
// spawn ourselves would count this process's size from before the exec.)
struct ChildRun {
    double seconds = 0;
    double peakMB = 0;
    bool ok = false;
};
ChildRun runChild(const std::vector<std::string>& program) {
    const std::string peakFile = logs().file("peak.txt");
    std::vector<std::string> args = {"/usr/bin/time", "-f", "%M", "-o", peakFile};
    args.insert(args.end(), program.begin(), program.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    ChildRun run;
    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    if (waitpid(child, &status, 0) != child) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::ifstream peak(peakFile);
    double kilobytes = 0;
    peak >> kilobytes;
    run.peakMB = kilobytes / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && kilobytes > 0;
    return run;
}

// One run of a program over the log, timed by hand: frames a second and peak memory.
void timeChild(benchmark::State& state, uint64_t frames, const std::vector<std::string>& args) {
    double peak = 0;
    for (auto _ : state) {
        const ChildRun run = runChild(args);
        if (!run.ok) {
            state.SkipWithError(("could not run " + args[0]).c_str());
            break;
        }
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peakMB);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames));
    state.counters["peak_MB"] = peak;
}

void BM_CorvaneReport(benchmark::State& state) {
    timeChild(state, kFrames, {CORVANE_REPORT_PROGRAM, logs().log(kFrames, "")});
}
BENCHMARK(BM_CorvaneReport)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_CorvaneReportLarge(benchmark::State& state) {
    if (kLargeFrames == 0) {
        state.SkipWithError("set CORVANE_BENCH_LOG_FRAMES_LARGE to run");
        return;
    }
    timeChild(state, kLargeFrames, {CORVANE_REPORT_PROGRAM, logs().log(kLargeFrames, "")});
}
BENCHMARK(BM_CorvaneReportLarge)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_CorvaneReportGzip(benchmark::State& state) {
    timeChild(state, kFrames, {CORVANE_REPORT_PROGRAM, logs().log(kFrames, ".gz")});
}
BENCHMARK(BM_CorvaneReportGzip)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// For comparison: python-can's reader of the same candump file, and can-utils' converter.
void BM_PythonCanLogReader(benchmark::State& state) {
    const std::string program =
        "import sys, can\n"
        "n = sum(1 for _ in can.CanutilsLogReader(sys.argv[1]))\n"
        "sys.exit(0 if n == int(sys.argv[2]) else 1)\n";
    timeChild(
        state, kFrames,
        {"/usr/bin/python3", "-c", program, logs().log(kFrames, ""), std::to_string(kFrames)});
}
BENCHMARK(BM_PythonCanLogReader)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_Log2Asc(benchmark::State& state) {
    timeChild(state, kFrames,
              {"log2asc", "-I", logs().log(kFrames, ""), "-O", "/dev/null", "can0"});
}
BENCHMARK(BM_Log2Asc)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
