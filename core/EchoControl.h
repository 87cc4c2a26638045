#pragma once

#include <cstdint>

namespace corvane {

// The current adapter's echo option as the client bus's mode command reads and changes it:
// whether the tool's own transmissions are fed back to modules. Implemented over the current
// conduit; setting it also saves it.
class EchoControl {
  public:
    virtual ~EchoControl() = default;
    virtual uint32_t echoTransmits() const = 0;
    virtual void setEchoTransmits(uint32_t on) = 0;
};

}  // namespace corvane
