#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/ClientDelivery.h"

namespace corvane::decode {

// Takes complete messages from the manager's dispatch and keeps them for the printing thread,
// so that decoding and output never run on an adapter's receive thread.
//
// Threads: deliverCooked runs on the dispatching thread (an adapter's reader, or the caller of
// intake when a log is read); take/waitAndTake on the printing thread. mutex_ guards the queue
// and the drop count. At most kMaxQueued messages wait; past that the oldest are kept and the
// newest counted as dropped (a terminal far slower than the bus).
class MessageCollector final : public ClientDelivery {
  public:
    static constexpr size_t kMaxQueued = 200000;

    struct Entry {
        int64_t micros;  // time of reception, microseconds since 1970
        uint32_t dgn;
        uint8_t sa;
        std::vector<uint8_t> data;
    };

    // `now` gives the time stamp of each message as it arrives.
    explicit MessageCollector(std::function<int64_t()> now) : now_(std::move(now)) {}

    void deliverRaw(const RvcFrame&) override {}
    void deliverCooked(const RvcMessage& message) override;
    std::string report() const override;

    // Moves the waiting messages into `out` (cleared first), in the order they came.
    void take(std::vector<Entry>& out);
    // The same, after waiting up to `timeoutMs` for at least one.
    void waitAndTake(std::vector<Entry>& out, int timeoutMs);
    uint64_t dropped() const;

  private:
    std::function<int64_t()> now_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Entry> queue_;
    uint64_t dropped_ = 0;
};

}  // namespace corvane::decode
