#pragma once

#include <cstdint>
#include <vector>

#include "core/CanIdentifier.h"
#include "core/Dgn.h"
#include "core/RvcFrame.h"
#include "sim/SimulatedVehicle.h"

namespace corvane::bench {

// A minute of the simulated vehicle's traffic with the tool asking for PRODUCT_ID every
// second: diagnostic status, data DGNs and long-message transfers, as the benchmarks feed it.
inline std::vector<RvcFrame> trafficMix() {
    sim::SimulatedVehicle vehicle(3);
    std::vector<RvcFrame> frames;
    const uint8_t request[8] = {0xEB, 0xFE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (int64_t t = 0; t < 60'000; t += 1000) {
        vehicle.receive(
            makeFrame(CanIdentifier{6, dgn::kRequest | 0xFF, kToolAddress, 0}, 0, 8, request));
        vehicle.advanceTo(t + 999, [&](const RvcFrame& f) { frames.push_back(f); });
    }
    return frames;
}

}  // namespace corvane::bench
