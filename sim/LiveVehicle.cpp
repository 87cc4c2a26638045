#include "sim/LiveVehicle.h"

#include <chrono>

namespace corvane::sim {

LiveVehicle::LiveVehicle(uint32_t seed) : vehicle_(seed) {}

LiveVehicle::~LiveVehicle() { stop(); }

void LiveVehicle::start(SimulatedVehicle::FrameOut out) {
    stop();
    running_ = true;
    thread_ = std::thread([this, out = std::move(out)] {
        using Clock = std::chrono::steady_clock;
        const auto origin = Clock::now() - std::chrono::milliseconds(vehicle_.now());
        while (running_.load(std::memory_order_relaxed)) {
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - origin);
            vehicle_.advanceTo(elapsed.count(), [&](const RvcFrame& frame) {
                out(frame);
                framesSent_.fetch_add(1, std::memory_order_relaxed);
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
}

void LiveVehicle::stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
}

}  // namespace corvane::sim
