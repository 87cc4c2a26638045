#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/RvcFrame.h"
#include "sim/SimNode.h"

namespace corvane::sim {

// A small RV-C network on a virtual clock: an inverter, a main thermostat, a water heater, a
// tank system that still reports with DM1, and a roof fan that never identifies itself. Each
// node sends its diagnostic status once a second and a few data DGNs twice a second, and
// answers requests for PRODUCT_ID (as a broadcast long message) and for DM_RV. The same seed
// gives the same frames at the same virtual times.
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
    // A frame put on the bus by someone else (the tool); answers go out on later advances.
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
    std::vector<SimNode> nodes_;
    std::multimap<int64_t, RvcFrame> pending_;  // equal times keep insertion order
    int64_t now_ = 0;
    int64_t nextTick_ = 0;  // the next 500 ms data / status tick
    uint32_t random_;
};

// The standard nodes of the simulated vehicle.
std::vector<SimNode> standardNodes();

}  // namespace corvane::sim
