#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/CanErrorFrame.h"

namespace corvane {

// The bus's own complaints, where the adapter passes them on (SocketCAN error frames): how
// many error frames came, how often the controller went bus-off or error-passive or lost frames
// to its own overflow, and its last error counters. A technician reads wiring and termination
// faults from them. Counted for the whole run.
//
// Threads: noted by an adapter's reader thread, read from any thread; relaxed atomics.
class BusErrors {
  public:
    void note(const CanErrorFrame& error);

    uint64_t errorFrames() const { return errorFrames_.load(std::memory_order_relaxed); }
    uint64_t busOff() const { return busOff_.load(std::memory_order_relaxed); }
    uint64_t errorPassive() const { return errorPassive_.load(std::memory_order_relaxed); }
    uint64_t controllerOverflows() const { return overflows_.load(std::memory_order_relaxed); }

    // Empty while no error frame came; else, e.g.
    //   "Bus errors: 12 error frames, bus off 1 time, error passive 2 times, 3 controller
    //    overflows; error counters TX 0, RX 96"
    std::string text() const;

  private:
    std::atomic<uint64_t> errorFrames_{0};
    std::atomic<uint64_t> busOff_{0};
    std::atomic<uint64_t> errorPassive_{0};
    std::atomic<uint64_t> overflows_{0};
    std::atomic<int> txErrors_{-1};  // -1 until the controller sends its counters
    std::atomic<int> rxErrors_{-1};
};

}  // namespace corvane
