#include "core/TransportStage.h"

#include "core/Dgn.h"
#include "core/LongMessages.h"
#include "core/TransmitPath.h"

namespace corvane {

TransportStage::TransportStage(LongMessages& longMessages, TransmitPath& transmit)
    : longMessages_(longMessages), transmit_(transmit) {}

void TransportStage::offer(const RvcMessage& message) {
    switch (dgnFamily(message.dgn)) {
        case dgn::kTransportControl:
            longMessages_.onConnectionFrame(message);
            break;
        case dgn::kTransportData:
            longMessages_.onDataFrame(message);
            break;
        default:
            transmit_.answerRequest(message);
            break;
    }
}

}  // namespace corvane
