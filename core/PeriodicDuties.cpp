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
        if (housekeeping_ && manager_.scanNetwork() &&
            transmitAllowed(TransmitSource::Housekeeping, manager_.muteMode())) {
            housekeeping_();
        }
        if (service_) service_();
    }

    if (counter_ % kStatisticsMs == 0) {
        table_.age();
        manager_.statisticsStep();
        if (statisticsDuty_) statisticsDuty_();
        if (view_ && table_.takeChanged()) {
            manager_.divertIntake();
            view_->rebuildDeviceList();
            manager_.drainIntake();
        }
    }

    if (counter_ >= kCycleMs) counter_ = 0;
}

}  // namespace corvane
