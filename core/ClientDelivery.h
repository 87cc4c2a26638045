#pragma once

#include <string>

#include "core/RvcFrame.h"
#include "core/RvcMessage.h"

namespace corvane {

// The module clients' side of dispatch: raw frames to raw filters, complete messages to cooked
// filters. Called on the dispatching thread; implementations bound their lock waits (5 ms) so
// that dispatch never stalls behind a client, and count what they skip.
class ClientDelivery {
  public:
    virtual ~ClientDelivery() = default;
    virtual void deliverRaw(const RvcFrame& frame) = 0;
    virtual void deliverCooked(const RvcMessage& message) = 0;
    // The clients' part of the manager's "slots" report.
    virtual std::string report() const = 0;
};

}  // namespace corvane
