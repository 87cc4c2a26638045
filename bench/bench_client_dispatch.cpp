// Dispatch throughput with module clients registered over the real mailslots: eight clients
// holding four filters each that match nothing, and the same plus one client whose
// source-address filter takes every frame.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/ClientBus.h"
#include "core/DeviceTable.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "platform/Clock.h"
#include "platform/MailslotServer.h"
#include "platform/MailslotWriter.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RuntimeDir.h"

namespace corvane {
namespace {

// The tool with its client bus, and module slots registered by hand.
struct Rig {
    Rig() {
        char pattern[] = "/tmp/corvane-bench-XXXXXX";
        runtime = mkdtemp(pattern);
        setenv("CORVANE_RUNTIME_DIR", runtime.c_str(), 1);
        bus = std::make_unique<ClientBus>(manager, transmit);
        manager.setClientDelivery(bus.get());
        tool = MailslotWriter(bus->slotPath());
    }
    ~Rig() {
        manager.setClientDelivery(nullptr);
        bus.reset();
        slots.clear();
        std::filesystem::remove_all(runtime);
    }
    // Registers a module and installs filters: each {code, argument byte}.
    void addModule(const std::string& name,
                   const std::vector<std::pair<uint8_t, uint8_t>>& filters) {
        slots.push_back(std::make_unique<MailslotServer>(*mailslotPath(name)));
        std::vector<uint8_t> reg{0xFF};
        reg.insert(reg.end(), name.begin(), name.end());
        reg.push_back(0);
        tool.write(reg);
        bus->poll();
        uint8_t reply[8];
        slots.back()->read(reply);
        for (auto [code, argument] : filters) {
            std::vector<uint8_t> add{code, reply[1], reply[2], reply[3], reply[4], argument};
            if (code == 0x82)
                add = {code, reply[1], reply[2], reply[3], reply[4], argument, 0xFF, 1, 0};
            tool.write(add);
            bus->poll();
            slots.back()->read(reply);
        }
    }
    // Empties every module slot so that writes keep succeeding.
    void drain() {
        uint8_t buffer[64];
        for (auto& s : slots) {
            while (s->read(buffer)) {
            }
        }
    }

    std::string runtime;
    MemorySettingsStore settings;
    SystemClock clock;
    DeviceTable devices{clock};
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    std::unique_ptr<ClientBus> bus;
    MailslotWriter tool;
    std::vector<std::unique_ptr<MailslotServer>> slots;
};

void addNonMatchingModules(Rig& rig) {
    for (int i = 0; i < 8; ++i) {
        rig.addModule("Mod" + std::to_string(i),
                      {{0x80, 0x10}, {0x82, 0x20}, {0x84, 0x30}, {0x86, 0x40}});
    }
}

void runDispatch(benchmark::State& state, Rig& rig) {
    const uint8_t data[] = {1, 2, 3, 4, 5, 6, 7, 8};
    RvcFrame frame = makeFrame(CanIdentifier{6, 0x1FFB7, 0x42, 0}, 0, 8, data);
    int64_t n = 0;
    for (auto _ : state) {
        rig.manager.intake(frame);
        if ((++n & 7) == 0) rig.drain();
    }
    state.counters["frames_per_s"] = benchmark::Counter(double(n), benchmark::Counter::kIsRate);
}

void BM_DispatchEightClientsNoMatch(benchmark::State& state) {
    Rig rig;
    addNonMatchingModules(rig);
    runDispatch(state, rig);
}
BENCHMARK(BM_DispatchEightClientsNoMatch);

void BM_DispatchEightClientsPlusOneMatching(benchmark::State& state) {
    Rig rig;
    addNonMatchingModules(rig);
    rig.addModule("Watcher", {{0x80, 0x42}});
    runDispatch(state, rig);
}
BENCHMARK(BM_DispatchEightClientsPlusOneMatching);

}  // namespace
}  // namespace corvane
