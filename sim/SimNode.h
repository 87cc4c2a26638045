#pragma once

#include <cstdint>
#include <string>

namespace corvane::sim {

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
    int phaseMs = 0;  // offset of its once-a-second status within the second
};

}  // namespace corvane::sim
