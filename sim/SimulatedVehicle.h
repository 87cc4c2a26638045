#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/RvcFrame.h"
#include "sim/SimDimmers.h"
#include "sim/SimLoads.h"
#include "sim/SimNode.h"

namespace corvane::sim {

// A small RV-C network on a virtual clock: an inverter on the house battery, a main thermostat,
// a water heater, a tank system that still reports with DM1, and a roof fan that never
// identifies itself and also dims two ceiling lights and switches two loads. Each node sends its
// diagnostic status once a second and a few data DGNs twice a second, and answers requests for
// PRODUCT_ID (as a broadcast long message) and for DM_RV. Once a minute the water heater and the
// tank system raise a fault for twenty seconds and clear it (SimNode::fault). The values move as
// CoachModel says (the battery drains, water moves from the fresh to the grey tank, the cabin
// cools); the lights follow DC_DIMMER_COMMAND_2 and the loads DC_LOAD_COMMAND, and report at once.
// The same seed gives the same frames at the same virtual times.
//
// Thread-safe: an emulator may feed transmissions in from its reader thread while another
// thread advances time.
class SimulatedVehicle {
  public:
    using FrameOut = std::function<void(const RvcFrame&)>;

    explicit SimulatedVehicle(uint32_t seed = 1);
    // A vehicle with the given nodes instead of the standard ones.
    SimulatedVehicle(std::vector<SimNode> nodes, uint32_t seed);

    // Moves virtual time forward to `ms` and hands every frame due by then to `out`, in time
    // order. Frames carry the virtual millisecond as their timestamp.
    void advanceTo(int64_t ms, const FrameOut& out);
    // A frame put on the bus by someone else (the tool): requests, dimmer and load commands;
    // answers go out on later advances.
    void receive(const RvcFrame& frame);

    int64_t now() const;
    std::vector<SimNode> nodes() const;
    // Changes a node's status byte (faults, lamps) from now on.
    void setStatus(uint8_t sa, uint8_t status);

    // Frames a node sends to answer a PRODUCT_ID request: TP.CM broadcast announce, then the
    // TP.DT packets, 7 text bytes each.
    static std::vector<RvcFrame> productIdTransfer(const SimNode& node);

  private:
    void scheduleLocked(int64_t at, const RvcFrame& frame);
    void emitPeriodicLocked(SimNode& node, int64_t at, bool statusDue);
    uint32_t nextRandomLocked();

    mutable std::mutex mutex_;  // guards everything below
    void scheduleDimmerLocked(const SimNode& node, size_t light, int64_t at);
    void scheduleLoadLocked(const SimNode& node, size_t load, int64_t at);

    std::vector<SimNode> nodes_;
    SimDimmers dimmers_;
    SimLoads loads_;
    std::multimap<int64_t, RvcFrame> pending_;  // equal times keep insertion order
    int64_t now_ = 0;
    int64_t nextTick_ = 0;  // the next 500 ms data / status tick
    uint32_t random_;
};

// The standard nodes of the simulated vehicle.
std::vector<SimNode> standardNodes();

}  // namespace corvane::sim
