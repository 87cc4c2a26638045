#pragma once

#include "core/DeviceTable.h"
#include "core/LongMessages.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"

namespace corvane::bench {

// The network core wired as at start-up, on the system clock, for benchmarks to feed.
struct NetworkCore {
    NetworkCore() { manager.setTransportStage(&stage); }
    MemorySettingsStore settings;
    SystemClock clock;
    DeviceTable devices{clock};
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    LongMessages longMessages{manager, transmit};
    TransportStage stage{longMessages, transmit};
};

}  // namespace corvane::bench
