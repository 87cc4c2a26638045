#pragma once

#include <atomic>
#include <cstdint>

#include "core/FrameSender.h"
#include "core/RvcMessage.h"
#include "core/RvcSendFromRequest.h"
#include "core/RvcSendRequest.h"

namespace corvane {

class RVCManager;

// Everything the tool puts on the network passes through here: validation, the current
// adapter, long messages for more than 8 bytes, and the echo into the manager's intake.
// Also the tool's identity on the network: its answers to requests and its housekeeping.
class TransmitPath {
  public:
    explicit TransmitPath(RVCManager& manager);

    // The current adapter (null: none). Switched on the user-interface thread.
    void setSender(FrameSender* sender) { sender_.store(sender, std::memory_order_release); }
    FrameSender* sender() const { return sender_.load(std::memory_order_acquire); }

    // The core transmit operation; failures are traced, never returned.
    void send(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length, const uint8_t* data);
    // From the tool's own address 0xF9.
    void sendRequest(const RvcSendRequest& request);
    // From the address the request names.
    void sendFromRequest(const RvcSendFromRequest& request);

    // The 200 ms duty: network scan and periodic diagnostic requests.
    void housekeepingStep();
    // Answers requests addressed to the tool (or to everyone) for what it can answer.
    void answerRequest(const RvcMessage& message);

  private:
    RVCManager& manager_;
    std::atomic<FrameSender*> sender_{nullptr};
};

}  // namespace corvane
