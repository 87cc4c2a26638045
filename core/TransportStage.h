#pragma once

#include "core/MessageSink.h"

namespace corvane {

class LongMessages;
class TransmitPath;

// The manager's first dispatch stage: transport-protocol frames go to long-message
// reassembly (whose completed messages re-enter through RVCManager::dispatchMessage), every
// other message to the tool's request handling. Runs on the dispatching thread.
class TransportStage final : public MessageSink {
  public:
    TransportStage(LongMessages& longMessages, TransmitPath& transmit);
    void offer(const RvcMessage& message) override;

  private:
    LongMessages& longMessages_;
    TransmitPath& transmit_;
};

}  // namespace corvane
