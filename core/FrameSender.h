#pragma once

#include <cstdint>

namespace corvane {

// What the transmit path needs of the current adapter: one frame out, and whether the
// adapter's transmissions are echoed back to modules. Implemented by every Conduit.
class FrameSender {
  public:
    virtual ~FrameSender() = default;
    // Sends one frame of at most 8 bytes. May be called from several threads at once.
    virtual void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                           const uint8_t* data) = 0;
    virtual bool echoTransmits() const = 0;
};

}  // namespace corvane
