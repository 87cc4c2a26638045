#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "core/AddressStats.h"
#include "core/BusErrors.h"
#include "core/ClientDelivery.h"
#include "core/DeviceTable.h"
#include "core/DroppedWork.h"
#include "core/MessageSink.h"
#include "core/MuteMode.h"
#include "core/RvcFrame.h"
#include "core/RvcMessage.h"
#include "platform/IntegerSetting.h"
#include "platform/SettingsStore.h"

namespace corvane {

// The hub every received frame passes through: counts it, keeps per-address statistics and
// hands it on in a fixed order (long messages and requests, raw clients, then - unless it is a
// transport frame - cooked clients, the script's data fields and the device table).
//
// Threads: intake() and dispatchMessage() run on any adapter's receive thread and on threads
// that echo transmissions; the statistics step, diversion, drain and the option setters run on
// the user-interface thread. Counters are atomics; the closed-interval statistics are guarded
// by statsMutex_, the intake ring by ringMutex_.
class RVCManager {
  public:
    static constexpr size_t kRingSize = 1024;
    static constexpr size_t kRecentSize = 128;

    RVCManager(SettingsStore& settings, DeviceTable& devices);
    virtual ~RVCManager() = default;
    RVCManager(const RVCManager&) = delete;
    RVCManager& operator=(const RVCManager&) = delete;

    // Takes one received frame: dispatched at once, or queued while intake is diverted.
    void intake(const RvcFrame& frame);
    // The raw echo of a long transmission's first frame: counted and offered to raw clients
    // only. Taking it in whole would open a reassembly of the tool's own transfer that never
    // completes and crowds out transfers from the network.
    void intakeRawEcho(const RvcFrame& frame);
    // Hands a complete message to cooked clients, the data fields and the device table.
    void dispatchMessage(const RvcMessage& message);
    // Forgets the network: statistics, nodes and devices, the intake ring and overruns.
    void reset();

    // Parks received frames in the ring while the device list is rebuilt.
    void divertIntake();
    // Dispatches the parked frames in order, then resumes direct dispatch. Frames arriving
    // during the drain queue up behind and are dispatched by it too: none is left behind.
    void drainIntake();
    bool intakeDiverted() const { return diverted_.load(std::memory_order_relaxed); }

    // Closes the current statistics interval.
    void statisticsStep();

    // Dispatch stages filled in at start-up, before any adapter runs; null means "none".
    void setTransportStage(MessageSink* stage) { transportStage_ = stage; }
    void setClientDelivery(ClientDelivery* delivery) { clients_ = delivery; }
    // The running script's data fields come and go while adapters dispatch: once this returns,
    // no dispatch is inside the previous sink any more, so its owner may destroy it.
    void setDataFieldSink(MessageSink* sink);
    // A viewer's copy of every complete message (the traffic window), cooked messages only.
    // The same promise as the data fields: once this returns, no dispatch is inside the
    // previous tap, so its owner may destroy it. The tap must only copy: it runs on intake.
    void setMessageTap(ClientDelivery* tap);

    // Snapshots of the statistics as of the last step (count is live).
    AddressStats addressStats(uint8_t sa) const;
    AddressStats networkStats() const;
    int32_t overruns() const { return overruns_.load(std::memory_order_relaxed); }

    // The source addresses of the last 128 frames taken in. recentRead belongs to the
    // network status window's activity strip; the manager never moves it.
    uint8_t recentSource(size_t index) const {
        return recentSources_[index & (kRecentSize - 1)].load(std::memory_order_relaxed);
    }
    uint8_t recentIndex() const {
        return static_cast<uint8_t>(recentCounter_.load(std::memory_order_relaxed) &
                                    (kRecentSize - 1));
    }
    uint8_t recentRead() const { return recentRead_.load(std::memory_order_relaxed); }
    void setRecentRead(uint8_t index) { recentRead_.store(index, std::memory_order_relaxed); }

    // Transmit gating, read by the transmit path and set by the menu and client-bus commands.
    MuteMode muteMode() const { return muteMode_.load(std::memory_order_relaxed); }
    void setMuteMode(MuteMode mode) { muteMode_.store(mode, std::memory_order_relaxed); }
    // Whether the housekeeping scan of the network runs ("Scan Network", on by default).
    bool scanNetwork() const { return scanNetwork_.load(std::memory_order_relaxed); }
    void setScanNetwork(bool on) { scanNetwork_.store(on, std::memory_order_relaxed); }
    // The next address the housekeeping scan asks (the transmit path's, from any thread).
    uint8_t scanPointer() const { return scanPointer_.load(std::memory_order_relaxed); }
    void setScanPointer(uint8_t address) { scanPointer_.store(address, std::memory_order_relaxed); }
    // Housekeeping steps left until the periodic fault requests (the transmit path's).
    uint8_t housekeepingCountdown() const {
        return housekeepingCountdown_.load(std::memory_order_relaxed);
    }
    void setHousekeepingCountdown(uint8_t steps) {
        housekeepingCountdown_.store(steps, std::memory_order_relaxed);
    }
    // Counts one step down; true when it was the last (the caller then sets the next count).
    bool countDownHousekeeping() {
        return housekeepingCountdown_.fetch_sub(1, std::memory_order_relaxed) == 1;
    }

    bool showPhantoms() const { return showPhantoms_.value() != 0; }
    bool supportLegacyDM1() const { return supportLegacyDM1_.value() != 0; }
    // Saves the option and makes the device list rebuild.
    void setShowPhantoms(bool on);
    void setSupportLegacyDM1(bool on);

    DeviceTable& deviceTable() { return devices_; }
    const DeviceTable& deviceTable() const { return devices_; }

    // What the client bus and the adapters let go; kept across reset().
    DroppedWork& droppedWork() { return droppedWork_; }
    const DroppedWork& droppedWork() const { return droppedWork_; }
    // What the adapter passes on of the bus's own errors.
    BusErrors& busErrors() { return busErrors_; }
    const BusErrors& busErrors() const { return busErrors_; }

    // The debug port's "slots" report, then the dropped-work line.
    virtual std::string slots() const;

  private:
    void dispatchFrame(const RvcFrame& frame);
    void recordSource(uint8_t sa);
    void closeInterval(AddressStats& stats, int32_t count, bool keepTenIntervals);

    IntegerSetting showPhantoms_;
    IntegerSetting supportLegacyDM1_;
    DeviceTable& devices_;

    MessageSink* transportStage_ = nullptr;
    ClientDelivery* clients_ = nullptr;
    mutable std::shared_mutex dataFieldsMutex_;  // guards dataFields_ and calls into it
    MessageSink* dataFields_ = nullptr;
    mutable std::shared_mutex tapMutex_;  // guards tap_ and calls into it
    ClientDelivery* tap_ = nullptr;

    std::atomic<MuteMode> muteMode_{MuteMode::TransmitNormally};
    std::atomic<bool> scanNetwork_{true};
    std::atomic<uint8_t> scanPointer_{0};
    std::atomic<uint8_t> housekeepingCountdown_{5};

    // Running counts of the interval in progress, bumped by every dispatch.
    std::array<std::atomic<int32_t>, 256> liveCounts_{};
    std::atomic<int32_t> liveNetwork_{0};

    mutable std::mutex statsMutex_;  // guards perAddress_, network_ and the window indices
    std::array<AddressStats, 256> perAddress_{};
    AddressStats network_{};
    int window5Index_ = 0;
    int window10Index_ = 0;

    std::array<std::atomic<uint8_t>, kRecentSize> recentSources_{};
    std::atomic<uint32_t> recentCounter_{0};
    std::atomic<uint8_t> recentRead_{0};

    DroppedWork droppedWork_;
    BusErrors busErrors_;

    std::mutex ringMutex_;  // guards the ring, its indices and the end of a diversion
    std::atomic<bool> diverted_{false};
    std::atomic<int32_t> overruns_{0};
    size_t ringRead_ = 0;
    size_t ringWrite_ = 0;
    std::unique_ptr<RvcFrame[]> ring_;
};

}  // namespace corvane
