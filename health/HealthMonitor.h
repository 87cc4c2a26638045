#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/ClientDelivery.h"
#include "health/BusLoad.h"
#include "health/FaultHistory.h"
#include "health/NodeHealth.h"

namespace corvane::health {

// Fault history, node health and bus load, fed from the manager's dispatch. It sits in the
// manager's client-delivery slot and passes everything on to `next` (the module clients), so
// adding it changes nothing for them.
//
// The dispatching thread only notes each frame with its time and goes on: the work is done
// by process(), which the owner calls now and then (a window's timer once a second, a log
// reader between frames) and snapshot() calls first. Up to kRingSlots frames wait; past that,
// frames are counted as missed rather than slow the bus down.
//
// Everything is taken in the order it was noted: a long message (a DM1 with several codes, a
// PRODUCT_ID) is noted in the same queue as the single frames around it, its bytes in the
// slots after its own, so a later single-frame DM1 is never read before an earlier long one.
//
// Threads: the first thread that delivers a frame (the adapter's reader) owns ring_ and
// writes it without locking: it alone moves head_, and process() alone moves tail_. Frames
// and long messages from any other thread (the echoes of what the tool sends, a second
// adapter) go through shared_, guarded by sharedLock_, a spin lock held for one copy; they are
// merged with the ring's by time. workMutex_ serialises process() and guards the trackers.
// `next` is called outside all of them. The time of each frame comes from `now`
// (microseconds), never from the wall: a log being read gives its own.
class HealthMonitor final : public ClientDelivery {
  public:
    // Eight seconds of a fully loaded bus at 250 kbit/s; a power of two. 32 bytes each.
    static constexpr size_t kRingSlots = 16384;

    struct SilentDgn {
        uint8_t address;
        uint32_t dgn;
        int64_t interval;
        int64_t last;
    };
    struct NodeSummary {
        uint8_t address;
        int64_t firstSeen;
        int64_t lastSeen;
        uint64_t frames;
        uint32_t framesPerSecond;
        bool silent;
        std::vector<uint64_t> names;
        uint32_t claimConflicts;
        std::string make;  // from its last PRODUCT_ID, as sent
        std::string model;
        std::string serial;
    };
    // Everything at one moment, copied out for a window or a report.
    struct Snapshot {
        int64_t micros = 0;  // the time it was taken at
        std::vector<FaultHistory::Record> faults;
        std::vector<FaultHistory::Device> devices;  // every one that reported a status
        uint64_t faultsForgotten = 0;
        std::vector<NodeSummary> nodes;
        std::vector<SilentDgn> silentDgns;
        uint32_t bitRate = 0;
        double loadLastSecond = 0;
        double loadLastMinute = 0;
        double loadPeak = 0;
        int64_t peakSecondMicros = 0;
        double loadAverage = 0;
        uint64_t frames = 0;
        uint64_t missed = 0;  // frames that found the queue full
        int64_t firstMicros = 0;
        int64_t lastMicros = 0;
    };

    HealthMonitor(std::function<int64_t()> now, uint32_t bitRate = BusLoad::kDefaultBitRate,
                  ClientDelivery* next = nullptr);

    void deliverRaw(const RvcFrame& frame) override;
    void deliverCooked(const RvcMessage& message) override;
    std::string report() const override;

    // The bus rate the load is counted at from the next process() on; the seconds before keep
    // the rate they were heard at. Any thread.
    void setBitRate(uint32_t bitRate);

    // Takes in what the dispatching threads noted since the last call.
    void process();
    // process(), then everything as it stands now.
    Snapshot snapshot();

  private:
    // A frame with its time, or the head of a long message whose bytes fill the slots after
    // it, 32 to a slot.
    struct Slot {
        int64_t micros;
        uint8_t bytes[24];
    };
    static_assert(sizeof(Slot) == 32);
    // A frame or a long message from another thread.
    struct SharedNote {
        int64_t micros = 0;
        RvcFrame frame{};     // a long message's DGN and SA, its length in frame.length
        bool isLong = false;  // its bytes at `offset` in sharedBytes_
        uint32_t offset = 0;
    };

    void lockShared();
    void unlockShared() { sharedLock_.clear(std::memory_order_release); }
    bool ownsRing();
    bool ringHasRoom(uint64_t head, uint64_t slots);
    void noteLongInRing(const RvcMessage& message, int64_t micros);
    void processLocked();
    // The ring entry at `tail`; returns the slots it took.
    uint64_t takeRingEntry(uint64_t tail);
    void takeFrame(const RvcFrame& frame, int64_t micros);
    void readMessage(uint32_t dgn, uint8_t sa, std::span<const uint8_t> data, int64_t micros);

    std::function<int64_t()> now_;
    ClientDelivery* next_;

    std::atomic<const void*> owner_{nullptr};
    std::unique_ptr<Slot[]> ring_;
    alignas(64) std::atomic<uint64_t> head_{0};  // next slot the owner writes
    uint64_t tailSeen_ = 0;                      // the owner's last look at tail_
    std::atomic<uint64_t> ringMissed_{0};        // written by the owner only
    alignas(64) std::atomic<uint64_t> tail_{0};  // next slot process() reads

    std::atomic_flag sharedLock_;
    std::vector<SharedNote> shared_;
    std::vector<uint8_t> sharedBytes_;
    uint64_t sharedMissed_ = 0;
    std::atomic<uint32_t> bitRate_;

    std::mutex workMutex_;
    std::vector<SharedNote> working_;
    std::vector<uint8_t> workingBytes_;
    std::vector<uint8_t> longMessage_;  // a long message out of the ring
    FaultHistory faults_;
    NodeHealth nodes_;
    BusLoad load_;
    int64_t lastExpiry_ = 0;  // second of the last expiry pass
    int64_t lastMicros_ = 0;
};

}  // namespace corvane::health
