#pragma once

#include "core/DeviceTable.h"
#include "core/LongMessages.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "fuzz/FuzzSupport.h"
#include "platform/MemorySettingsStore.h"

namespace corvane::fuzz {

// The network core a fuzz program feeds: the manager and its device table on a stepped clock,
// the transmit path ending in a counting adapter, and long-message reassembly ready for
// programs that put it in place (manager.setTransportStage(&stage)).
struct FuzzNetwork {
    FuzzNetwork() { transmit.setSender(&adapter); }

    MemorySettingsStore settings;
    StepClock clock;
    DeviceTable devices{clock};
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    CountingAdapter adapter;
    LongMessages longMessages{manager, transmit};
    TransportStage stage{longMessages, transmit};
};

}  // namespace corvane::fuzz
