#pragma once

#include "core/DeviceTable.h"
#include "core/LongMessages.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"

namespace corvane::decode {

// The network core as every headless program wires it, on a given clock: frames given to
// manager.intake() are put back together into messages and build the node and device tables.
// Settings live in memory only. Members are built and torn down in order; one thread uses it.
struct LogNetwork {
    explicit LogNetwork(const Clock& clock) : devices(clock) { manager.setTransportStage(&stage); }
    MemorySettingsStore settings;
    DeviceTable devices;
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    LongMessages longMessages{manager, transmit};
    TransportStage stage{longMessages, transmit};
};

}  // namespace corvane::decode
