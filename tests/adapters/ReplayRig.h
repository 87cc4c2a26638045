#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "adapters/Conduit.h"
#include "adapters/UserNotifier.h"
#include "core/DeviceTable.h"
#include "core/LongMessages.h"
#include "core/PeriodicDuties.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "logs/ReplayConduit.h"
#include "logs/TrafficRecorder.h"
#include "platform/MemorySettingsStore.h"
#include "sim/SimulatedVehicle.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/WaitUntil.h"

namespace corvane::test {

// Message boxes, as the user would have seen them.
class ShownMessages final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        std::lock_guard lock(mutex_);
        shown_.emplace_back(text, title);
    }
    std::vector<std::pair<std::string, std::string>> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> shown_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// What the device list shows: (address, make, model, serial) per node and (sa, dsa, status)
// per device.
inline std::set<std::tuple<int, std::string, std::string, std::string>> nodeSet(
    const DeviceTable& devices) {
    std::set<std::tuple<int, std::string, std::string, std::string>> out;
    for (const auto& n : devices.nodes()) out.emplace(n.address, n.make, n.model, n.serialNumber);
    return out;
}
inline std::set<std::tuple<int, int, int>> deviceSet(const DeviceTable& devices) {
    std::set<std::tuple<int, int, int>> out;
    for (const auto& d : devices.devices()) out.emplace(d.sa, d.dsa, d.status);
    return out;
}

// The network core wired as at start-up, with a replay as the current adapter.
struct ReplayRig {
    ReplayRig() {
        manager.setTransportStage(&stage);
        transmit.setSender(&replay);
    }
    ~ReplayRig() { replay.disconnect(); }

    MemorySettingsStore settings;
    FakeClock clock;
    DeviceTable devices{clock};
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    LongMessages longMessages{manager, transmit};
    TransportStage stage{longMessages, transmit};
    ShownMessages notifier;
    ReplayConduit replay{settings, transmit, manager, notifier};
};

// The live demo without threads: the simulated vehicle on its virtual clock and the main
// window's 50 ms duties (statistics, aging, the scan's housekeeping) on the same clock, every
// frame the vehicle sends taken in and handed to `tap` with its virtual time.
class DemoVehicleRun {
  public:
    // A conduit that puts the tool's transmissions on the simulated bus.
    class Link final : public Conduit {
      public:
        Link(SettingsStore& settings, TransmitPath& transmit, sim::SimulatedVehicle& vehicle)
            : Conduit(settings, transmit), vehicle_(vehicle) {}
        void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                       const uint8_t* data) override {
            if (length > 8) return;
            vehicle_.receive(makeFrame(CanIdentifier{priority, dgn, sa, 0}, 0, length,
                                       std::span<const uint8_t>(data, length)));
        }

      private:
        sim::SimulatedVehicle& vehicle_;
    };

    static constexpr int64_t kStartMicros = 1'765'000'000'000'000;  // the log's first second
    static constexpr int64_t kStepMs = PeriodicDuties::kTickMs;

    DemoVehicleRun() {
        manager.setTransportStage(&stage);
        link.connect();
        devices.addToolEntries();
        transmit.setSender(&link);
        duties.setHousekeeping([this] { transmit.housekeepingStep(); });
    }

    template <typename Tap>
    void run(int64_t untilMs, Tap tap) {
        for (int64_t ms = 0; ms <= untilMs; ms += kStepMs) {
            vehicle.advanceTo(ms, [&](const RvcFrame& f) {
                tap(f, kStartMicros + int64_t{f.timestamp} * 1000);
                manager.intake(f);
            });
            clock.advanceMs(kStepMs);
            duties.tick();
        }
    }

    MemorySettingsStore settings;
    FakeClock clock;
    DeviceTable devices{clock};
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    LongMessages longMessages{manager, transmit};
    TransportStage stage{longMessages, transmit};
    sim::SimulatedVehicle vehicle{1};
    Link link{settings, transmit, vehicle};
    PeriodicDuties duties{manager, devices};
};

// A minute of the demo recorded through the recorder into `path`; false when it failed.
inline bool recordDemoMinute(const std::string& path, DemoVehicleRun& run) {
    TrafficRecorder recorder;
    if (!recorder.start(path, "can0")) return false;
    run.run(60'000, [&](const RvcFrame& f, int64_t micros) { recorder.recordAt(f, micros); });
    return recorder.stop();
}

}  // namespace corvane::test
