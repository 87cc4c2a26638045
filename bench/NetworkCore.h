#pragma once

#include "core/ClientBus.h"
#include "core/DeviceTable.h"
#include "core/LongMessages.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "logs/TrafficRecorder.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"

namespace corvane::bench {

// The network core wired as at start-up, on the system clock, for benchmarks to feed: dispatch
// hands every frame to the traffic recorder (not recording) and on to the module client bus
// (not started, no clients). A benchmark may put more into the chain with deliverTo().
struct NetworkCore {
    NetworkCore() {
        manager.setTransportStage(&stage);
        recorder.setNext(&clientBus);
        manager.setClientDelivery(&recorder);
    }
    ~NetworkCore() { manager.setClientDelivery(nullptr); }
    // Dispatch goes through `stage` between the recorder and the client bus, as fault and
    // health tracking sits in the application.
    void deliverTo(ClientDelivery* stage) { recorder.setNext(stage ? stage : &clientBus); }
    MemorySettingsStore settings;
    SystemClock clock;
    DeviceTable devices{clock};
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    LongMessages longMessages{manager, transmit};
    TransportStage stage{longMessages, transmit};
    ClientBus clientBus{manager, transmit};
    TrafficRecorder recorder;
};

}  // namespace corvane::bench
