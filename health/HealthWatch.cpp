#include "health/HealthWatch.h"

#include <utility>

namespace corvane::health {

HealthWatch::HealthWatch(std::function<int64_t()> nowMicros, std::function<uint32_t()> bitRate,
                         ClientDelivery* next)
    : bitRate_(std::move(bitRate)), monitor_(std::move(nowMicros), bitRate_(), next) {
    snapshot_.bitRate = report_.bitRate = bitRate_();
}

uint32_t HealthWatch::bitRateOfSetting(int32_t setting) {
    return setting == 1 ? 500'000 : BusLoad::kDefaultBitRate;
}

void HealthWatch::refresh(const DeviceTable& table) {
    monitor_.setBitRate(bitRate_());
    snapshot_ = monitor_.snapshot();
    report_ = makeHealthReport(table.devices(), table.nodes(), snapshot_, Inventory::EverHeard);
    ++generation_;
}

std::vector<HealthReport::Fault> HealthWatch::faultsOf(uint8_t sa, uint8_t dsa) const {
    std::vector<HealthReport::Fault> faults;
    for (const auto* list : {&report_.activeFaults, &report_.pastFaults}) {
        for (const HealthReport::Fault& f : *list) {
            if (f.address == sa && f.dsa == dsa) faults.push_back(f);
        }
    }
    return faults;
}

}  // namespace corvane::health
