#pragma once

#include <cstdint>
#include <memory>

#include "modules/Module.h"

namespace corvane {

// A queued request to the main window to run a module for a device. The module is shared, so
// a rescan between posting and handling cannot leave the request pointing at a freed module.
struct RunModuleRequest {
    // "the device selected in the device list, else the tool's own entry"
    static constexpr uint16_t kSelectedDevice = 0xFFFF;

    // A named device: the DSA in the low byte, the source address in the high byte.
    static constexpr uint16_t deviceCode(uint8_t sa, uint8_t dsa) {
        return static_cast<uint16_t>(sa << 8 | dsa);
    }

    std::shared_ptr<Module> module;
    uint16_t device = kSelectedDevice;
};

}  // namespace corvane
