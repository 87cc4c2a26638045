#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace corvane {

// Work the tool let go rather than stall for: deliveries to module clients skipped because
// their lock stayed busy, and frames an adapter dropped because its ring was full. Counted
// for the whole run (a reconnect does not clear them), so a technician can see that
// something was lost even after the fact.
//
// Threads: counted from any thread, read from any thread; relaxed atomics, no order implied.
class DroppedWork {
  public:
    void countSkippedDelivery() { skippedDeliveries_.fetch_add(1, std::memory_order_relaxed); }
    void countFullRing(uint64_t frames = 1) {
        fullRing_.fetch_add(frames, std::memory_order_relaxed);
    }

    uint64_t skippedDeliveries() const {
        return skippedDeliveries_.load(std::memory_order_relaxed);
    }
    uint64_t fullRing() const { return fullRing_.load(std::memory_order_relaxed); }
    uint64_t total() const { return skippedDeliveries() + fullRing(); }

    // The debug port's line, e.g. "Dropped: client deliveries=2 adapter ring full=0 \r\n".
    std::string reportLine() const;

  private:
    std::atomic<uint64_t> skippedDeliveries_{0};
    std::atomic<uint64_t> fullRing_{0};
};

}  // namespace corvane
