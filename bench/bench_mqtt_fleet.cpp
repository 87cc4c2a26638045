// Fifty coaches through one local mosquitto to the real corvane-fleet: each coach is the network
// core, the health monitor and an MQTT bridge fed the demo log as fast as it goes under its own
// coach id and topic root; the subscriber is `corvane-fleet --json --follow`, whose lines are
// read as they come. It fails unless every coach reaches corvane-fleet with its devices and its
// one active fault at the log's end (the tank sensor's, SPN 3509).
//
// Reports the messages the bridges published through the broker per second until corvane-fleet
// had every coach, and the latency from a frame to corvane-fleet: after the log, three times,
// each coach is fed one DM_RV raising a new fault (the fifty spread over a second), and the
// time until corvane-fleet prints that coach with one fault more is taken. The latency includes
// the bridge's pacing of a coach's state (published at most once a second). Needs
// /usr/sbin/mosquitto; skipped without it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "adapters/CandumpLogParser.h"
#include "core/Dgn.h"
#include "decode/LogClock.h"
#include "decode/LogNetwork.h"
#include "health/HealthMonitor.h"
#include "logs/LogFrameReader.h"
#include "mqtt/MqttBridge.h"
#include "mqtt/MqttClient.h"
#include "sim/SimDiagnostics.h"
#include "tests/mqtt/TestBroker.h"

extern char** environ;

namespace {

using namespace corvane;
using Clock = std::chrono::steady_clock;

constexpr int kCoaches = 50;
// The probes' sources: nodes of the demo coach without a fault at the log's end.
constexpr uint8_t kProbeAddresses[] = {0x42, 0x58, 0x8E};

int64_t wallMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// `corvane-fleet --json --follow`, its lines read on a thread of ours as they arrive: the
// latest row of every coach, and when each coach was first printed with a number of faults.
// mutex_ guards everything the reader writes.
class FleetFollower {
  public:
    struct Row {
        bool online = false;
        int devices = 0;
        int faults = 0;
        bool tankFault = false;  // the one active fault is the tank sensor's
    };

    explicit FleetFollower(const std::string& url) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const char* argv[] = {CORVANE_FLEET_PROGRAM, "--broker", url.c_str(), "--json", "--follow",
                              "--seconds",           "600",      nullptr};
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) !=
            0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        fd_ = fds[0];
        reader_ = std::thread([this] { read(); });
    }
    ~FleetFollower() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (reader_.joinable()) reader_.join();  // the pipe ends with the program
        if (fd_ >= 0) ::close(fd_);
    }
    bool running() const { return pid_ > 0; }

    // Waits until `done` holds for the rows (checked after each line) or `limit` passes.
    template <typename Done>
    bool waitFor(Done done, std::chrono::seconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return done(rows_); });
    }
    // When `coach` was first printed with `faults` active faults.
    std::optional<Clock::time_point> firstWith(const std::string& coach, int faults) {
        std::lock_guard lock(mutex_);
        const auto it = firstWithFaults_.find({coach, faults});
        if (it == firstWithFaults_.end()) return std::nullopt;
        return it->second;
    }
    size_t lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    void read() {
        std::string pending;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) return;
            const auto arrived = Clock::now();
            pending.append(buffer, static_cast<size_t>(n));
            for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
                take(pending.substr(0, nl), arrived);
                pending.erase(0, nl + 1);
            }
        }
    }
    void take(const std::string& line, Clock::time_point arrived) {
        const auto j = nlohmann::json::parse(line, nullptr, false);
        if (!j.is_object() || !j["coach"].is_string()) return;
        Row r;
        r.online = j.value("online", false);
        r.devices = j.value("devices", 0);
        r.faults = j.value("active_faults", 0);
        const auto& texts = j["faults"];
        r.tankFault = texts.is_array() && texts.size() == 1 && texts[0].is_string() &&
                      texts[0].get<std::string>().find("SPN 3509 ") != std::string::npos;
        const std::string coach = j["coach"];
        {
            std::lock_guard lock(mutex_);
            ++lines_;
            rows_[coach] = r;
            firstWithFaults_.try_emplace({coach, r.faults}, arrived);
        }
        changed_.notify_all();
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, Row> rows_;
    std::map<std::pair<std::string, int>, Clock::time_point> firstWithFaults_;
    size_t lines_ = 0;
};

struct Coach {
    explicit Coach(int n) : id("coach-" + std::to_string(n)) {
        mqtt::MqttBridge::Config config;
        config.coach = id;
        config.root = "bench/" + id + "/RVC";
        bridge = std::make_unique<mqtt::MqttBridge>(
            config, client,
            mqtt::MqttBridge::Network{&monitor, &network.devices, nullptr, nullptr, {}}, wallMicros,
            &monitor);
        network.manager.setClientDelivery(bridge.get());
    }
    ~Coach() {
        network.manager.setClientDelivery(nullptr);
        bridge->stop();
        client.stop();
    }
    std::string id;
    std::atomic<int64_t> logMicros{0};
    decode::LogClock clock;
    decode::LogNetwork network{clock};
    health::HealthMonitor monitor{[this] { return logMicros.load(); }};
    mqtt::MqttClient client;
    std::unique_ptr<mqtt::MqttBridge> bridge;
};

// A DM_RV from `address` raising a fault of its own (SPN 100 + address, FMI 1).
RvcFrame probeFrame(uint8_t address, uint32_t at) {
    sim::SimNode node;
    node.sa = address;
    node.dsa = 66;
    node.fault = {100u + address, 1, 60'000, 0, 60'000};
    return makeFrame(CanIdentifier{6, dgn::kDmRv, address, 0}, at, 8,
                     sim::diagnosticData(node, 1'000));
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

void BM_FleetOfFiftyCoaches(benchmark::State& state) {
    test::TestBroker broker;
    if (!broker.start()) {
        state.SkipWithError("no mosquitto at /usr/sbin/mosquitto");
        return;
    }
    LogFrameReader reader;
    if (!reader.open(std::string(CORVANE_EXAMPLE_LOGS) + "/demo-vehicle.log")) {
        state.SkipWithError("cannot read the demo log");
        return;
    }
    // Only the frames are kept: a record's interface name lives in the reader's buffer.
    std::vector<CandumpRecord> records;
    for (CandumpRecord r; reader.next(r);) {
        r.interface = {};
        records.push_back(r);
    }
    const auto url = *mqtt::parseMqttUrl(broker.url()).url;
    std::string error;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<Coach>> coaches;
        for (int n = 0; n < kCoaches; ++n) {
            auto c = std::make_unique<Coach>(n);
            mqtt::MqttClient::Options o{url, "bench-" + c->id, "", "", "", "", "", 30};
            o.willTopic = "corvane/" + c->id + "/status";
            o.willPayload = "offline";
            c->client.start(o, error);
            c->bridge->start();
            coaches.push_back(std::move(c));
        }
        const auto connectLimit = Clock::now() + std::chrono::seconds(30);
        while (!std::all_of(coaches.begin(), coaches.end(),
                            [](const auto& c) { return c->client.connected(); })) {
            if (Clock::now() > connectLimit) {
                state.SkipWithError("the coaches did not all connect");
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // corvane-fleet has subscribed once it has printed every coach's first retained state.
        FleetFollower fleet(broker.url());
        if (!fleet.running() ||
            !fleet.waitFor([](const auto& rows) { return rows.size() == kCoaches; },
                           std::chrono::seconds(30))) {
            state.SkipWithError("corvane-fleet did not list every coach");
            return;
        }
        const auto publishedBefore = [&] {
            uint64_t n = 0;
            for (const auto& c : coaches) n += c->bridge->published();
            return n;
        }();
        state.ResumeTiming();

        const auto started = Clock::now();
        for (const auto& r : records) {
            const RvcFrame frame = frameFromCandump(r);
            for (auto& c : coaches) {
                c->clock.setMicros(r.micros);
                c->logMicros = r.micros;
                c->network.manager.intake(frame);
            }
        }
        size_t accounted = 0;
        const bool all = fleet.waitFor(
            [&](const auto& rows) {
                accounted = 0;
                for (const auto& [coach, row] : rows) {
                    accounted += row.online && row.devices >= 5 && row.faults == 1 && row.tankFault;
                }
                return accounted == kCoaches;
            },
            std::chrono::seconds(60));
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        uint64_t published = 0;
        for (const auto& c : coaches) published += c->bridge->published();

        state.PauseTiming();
        if (!all) {
            state.SkipWithError((std::to_string(accounted) + " of " + std::to_string(kCoaches) +
                                 " coaches reached corvane-fleet with their fault")
                                    .c_str());
            return;
        }
        // Frame to corvane-fleet: one new fault per coach, three times.
        std::vector<double> latenciesMs;
        const auto lastMicros = static_cast<uint32_t>(records.back().micros / 1000);
        for (size_t round = 0; round < std::size(kProbeAddresses); ++round) {
            const int expected = 2 + static_cast<int>(round);
            // Spread over a second, so that the probes meet every phase of the bridges' once a
            // second publishing of the coach's state rather than just after it.
            std::vector<Clock::time_point> fed;
            for (auto& c : coaches) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1000 / kCoaches));
                fed.push_back(Clock::now());
                c->network.manager.intake(probeFrame(kProbeAddresses[round], lastMicros));
            }
            const bool seen = fleet.waitFor(
                [&](const auto& rows) {
                    return std::all_of(rows.begin(), rows.end(),
                                       [&](const auto& r) { return r.second.faults >= expected; });
                },
                std::chrono::seconds(30));
            if (!seen) {
                state.SkipWithError("a probe fault did not reach corvane-fleet");
                return;
            }
            for (size_t i = 0; i < coaches.size(); ++i) {
                const auto at = fleet.firstWith(coaches[i]->id, expected);
                if (!at) continue;
                latenciesMs.push_back(
                    std::chrono::duration<double, std::milli>(*at - fed[i]).count());
            }
        }
        state.counters["coaches"] = kCoaches;
        state.counters["faults"] = static_cast<double>(accounted);
        state.counters["seconds_to_fleet"] = seconds;
        state.counters["messages"] = static_cast<double>(published - publishedBefore);
        state.counters["messages_per_s"] =
            static_cast<double>(published - publishedBefore) / seconds;
        state.counters["fleet_lines"] = static_cast<double>(fleet.lines());
        state.counters["latency_median_ms"] = percentile(latenciesMs, 0.5);
        state.counters["latency_p99_ms"] = percentile(latenciesMs, 0.99);
        state.counters["latency_max_ms"] = percentile(latenciesMs, 1.0);
        state.counters["latency_samples"] = static_cast<double>(latenciesMs.size());
        coaches.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FleetOfFiftyCoaches)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
