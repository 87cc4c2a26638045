#pragma once

#include "adapters/AdapterSelection.h"
#include "core/EchoControl.h"

namespace corvane {

// The client bus's view of the echo option: always the current conduit's own copy.
class CurrentConduitEcho final : public EchoControl {
  public:
    explicit CurrentConduitEcho(AdapterSelection& selection) : selection_(selection) {}
    uint32_t echoTransmits() const override { return selection_.current().echoTransmits(); }
    void setEchoTransmits(uint32_t on) override { selection_.current().setEchoTransmits(on != 0); }

  private:
    AdapterSelection& selection_;
};

}  // namespace corvane
