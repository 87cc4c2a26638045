#pragma once

#include <cstdint>
#include <string>

namespace corvane::sim {

// A fault a node raises now and then, so that the demo shows faults come and go: active from
// fromMs to toMs (exclusive) of every cycleMs of virtual time; cycleMs 0 means never.
struct SimFault {
    uint32_t spn = 0;
    uint8_t fmi = 0;
    int64_t cycleMs = 0;
    int64_t fromMs = 0;
    int64_t toMs = 0;
};

// One simulated RV-C node: a source address with one function (DSA) on it.
struct SimNode {
    uint8_t sa = 0;
    uint8_t dsa = 0;
    std::string make;
    std::string model;
    std::string serialNumber;
    std::string idNumber;
    uint8_t status = 0x05;   // DM status byte: on, active, lamps off
    bool legacyDm1 = false;  // reports with DM1 instead of DM_RV
    bool answersProductId = true;
    int phaseMs = 0;       // offset of its once-a-second status within the second
    bool dimmers = false;  // also drives the coach's dimmed lights
    SimFault fault{};
    bool loads = false;  // also switches the coach's loads
};

}  // namespace corvane::sim
