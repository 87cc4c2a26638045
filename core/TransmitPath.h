#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

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
// requests, the user-interface thread). The frames of one long transfer are handed to the
// adapter under longSendMutex_, so two transfers are never interleaved on the wire; the echo
// happens after the transfer, with no lock held, because it re-enters dispatch.
class TransmitPath {
  public:
    explicit TransmitPath(RVCManager& manager);

    // The current adapter (null: none). Switched on the user-interface thread.
    void setSender(FrameSender* sender) { sender_.store(sender, std::memory_order_release); }
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
    // Answers requests addressed to the tool (or to address 0) for what it can answer.
    void answerRequest(const RvcMessage& message);

  private:
    void echo(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length, const uint8_t* data);
    bool scanOneAddress();

    RVCManager& manager_;
    std::atomic<FrameSender*> sender_{nullptr};
    std::mutex longSendMutex_;  // held while the frames of one long transfer go out
};

}  // namespace corvane
