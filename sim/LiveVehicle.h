#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "sim/SimulatedVehicle.h"

namespace corvane::sim {

// Runs a simulated vehicle in real time on its own thread: every couple of milliseconds it
// advances the virtual clock to the time elapsed since start() and hands the frames due to
// the output. Transmissions go in through vehicle().receive().
class LiveVehicle {
  public:
    explicit LiveVehicle(uint32_t seed = 1);
    ~LiveVehicle();
    LiveVehicle(const LiveVehicle&) = delete;
    LiveVehicle& operator=(const LiveVehicle&) = delete;

    // `out` runs on the vehicle's thread.
    void start(SimulatedVehicle::FrameOut out);
    void stop();
    SimulatedVehicle& vehicle() { return vehicle_; }
    uint64_t framesSent() const { return framesSent_.load(std::memory_order_relaxed); }

  private:
    SimulatedVehicle vehicle_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> framesSent_{0};
};

}  // namespace corvane::sim
