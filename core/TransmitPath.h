#pragma once

#include <atomic>
#include <cstdint>

#include "core/BroadcastPacer.h"
#include "core/FrameSender.h"
#include "core/RvcMessage.h"
#include "core/RvcSendFromRequest.h"
#include "core/RvcSendRequest.h"

namespace corvane {

class RVCManager;

// Everything the tool puts on the network passes through here: validation, the current
// adapter, long messages for more than 8 bytes, and the echo into the manager's intake.
// Also the tool's identity on the network: its answers to requests and its housekeeping.
//
// Any thread may transmit (the client polling thread, adapter receive threads answering
// requests, the user-interface thread). Long transfers go out paced by pacer_, one frame every
// 50 ms per source address, without keeping the caller waiting: pacingStep() sends what is due.
// The echo happens when the transfer is queued, with no lock held, because it re-enters
// dispatch.
class TransmitPath {
  public:
    explicit TransmitPath(RVCManager& manager);

    // The current adapter (null: none). Switched on the user-interface thread; frames of long
    // transfers still waiting for the previous adapter are dropped.
    void setSender(FrameSender* sender) {
        if (sender_.exchange(sender, std::memory_order_acq_rel) != sender) pacer_.clear();
    }
    FrameSender* sender() const { return sender_.load(std::memory_order_acquire); }

    // The core transmit operation through the current adapter; failures are traced, never
    // returned. With no adapter, nothing goes out and nothing is echoed.
    void send(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length, const uint8_t* data);
    // The same through a given adapter, which also decides about the echo (Conduit::send).
    void sendVia(FrameSender& sender, uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                 const uint8_t* data);
    // From the tool's own address 0xF9.
    void sendRequest(const RvcSendRequest& request);
    // From the address the request names.
    void sendFromRequest(const RvcSendFromRequest& request);

    // The 200 ms duty: network scan and periodic diagnostic requests. Does nothing unless
    // scanNetwork is on and the mute mode lets housekeeping through.
    void housekeepingStep();
    // Answers requests addressed to the tool for what it can answer; never the tool's own.
    void answerRequest(const RvcMessage& message);

    // The 50 ms duty: the next frames of the long transfers under way.
    void pacingStep() { pacer_.step(); }
    // Frames of long transfers not yet handed to an adapter.
    size_t pacedFramesPending() const { return pacer_.pending(); }

  private:
    void echo(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length, const uint8_t* data);
    bool scanOneAddress();

    RVCManager& manager_;
    std::atomic<FrameSender*> sender_{nullptr};
    BroadcastPacer pacer_;
};

}  // namespace corvane
