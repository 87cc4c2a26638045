#include "core/PeriodicDuties.h"

namespace corvane {

namespace {

constexpr int kCycleMs = 5000;
constexpr int kServiceMs = 200;
constexpr int kStatisticsMs = 900;

}  // namespace

PeriodicDuties::PeriodicDuties(RVCManager& manager, DeviceTable& table)
    : manager_(manager), table_(table) {}

void PeriodicDuties::tick() {
    counter_ += kTickMs;
    if (pacing_) pacing_();

    if (counter_ % kServiceMs == 0) {
        const int mute = manager_.muteMode().load(std::memory_order_relaxed);
        if (housekeeping_ && manager_.scanNetwork().load(std::memory_order_relaxed) != 0 &&
            (mute == 0 || mute == 1)) {
            housekeeping_();
        }
        if (service_) service_();
    }

    if (counter_ % kStatisticsMs == 0) {
        table_.age();
        manager_.statisticsStep();
        if (view_ && table_.takeChanged()) {
            manager_.divertIntake();
            view_->rebuildDeviceList();
            manager_.drainIntake();
        }
    }

    if (counter_ >= kCycleMs) counter_ = 0;
}

}  // namespace corvane
