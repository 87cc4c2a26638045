#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>

#include "core/FrameSender.h"
#include "platform/Clock.h"

namespace corvane {

// The tool's broadcast transfers on their way out, 50 ms between the frames of a sender
// (receivers of a broadcast transfer allow 50 to 200 ms between packets and have no way to
// slow a sender down). queue() never waits: it sends the announcement at once when its source
// address has nothing pending, and leaves the rest to step(), which the 50 ms periodic duties
// call. Each source address has its own lane, so transfers from one address follow each other
// whole while different addresses interleave, as receivers keep them apart by sender.
//
// Any thread may queue (the client polling thread, an adapter receive thread answering a
// request, the user-interface thread); step() runs on the user-interface thread. mutex_
// guards the lanes and is held while a frame goes to its adapter, so a lane's frames leave in
// order whoever sends them.
class BroadcastPacer {
  public:
    static constexpr int64_t kGapMs = 50;

    // One frame waiting in a lane.
    struct Frame {
        FrameSender* sender;
        uint32_t dgn;
        uint8_t sa;
        uint8_t priority;
        std::array<uint8_t, 8> data;
    };

    explicit BroadcastPacer(const Clock& clock);

    // Queues the announcement and packets of one transfer for `sender` (which must outlive the
    // queued frames; clear() drops them).
    void queue(FrameSender& sender, uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
               const uint8_t* data);
    // Sends the frame of every lane whose time has come.
    void step();
    // Drops every frame still waiting (the adapter they were meant for is going away).
    void clear();
    // Frames still waiting.
    size_t pending() const;

  private:
    // Sends the lane's next frame if it is due; true when one went out.
    bool sendDueLocked(uint8_t sa, int64_t now);

    const Clock& clock_;
    mutable std::mutex mutex_;  // guards lanes_ and nextDue_; held while a frame goes out
    std::map<uint8_t, std::deque<Frame>> lanes_;  // only source addresses with frames waiting
    std::array<int64_t, 256> nextDue_;            // earliest time of each address's next frame
};

}  // namespace corvane
