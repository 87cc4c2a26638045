#pragma once

#include "core/RvcMessage.h"

namespace corvane {

// A stage of the manager's dispatch that is handed complete messages (long-message and
// request handling, the script's data fields). Called on the dispatching thread, which may
// be any adapter's receive thread or a thread that echoes a transmission.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void offer(const RvcMessage& message) = 0;
};

}  // namespace corvane
