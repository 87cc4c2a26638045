#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/ClientDelivery.h"
#include "core/DeviceTable.h"
#include "health/HealthMonitor.h"
#include "health/HealthReport.h"

namespace corvane::health {

// Fault and health tracking for a running tool: the monitor in the manager's delivery chain,
// and the figures the windows show, brought up to date once a second by refresh() (the
// periodic duties' statistics step). Between refreshes every window reads the same report, so
// the Details box, the Faults window and the status window never disagree.
//
// Threads: delivery() is fed by the dispatching threads (see HealthMonitor); everything else
// runs on the user-interface thread.
class HealthWatch {
  public:
    // `nowMicros`: wall-clock microseconds since 1970, the times faults are shown with.
    // `bitRate`: the bus rate, asked at every refresh, so that a rate the user picks (or the
    // adapter reports) is the one the load is counted at from then on.
    HealthWatch(std::function<int64_t()> nowMicros, std::function<uint32_t()> bitRate,
                ClientDelivery* next);

    // The bus rate of the "TarvikBaudRate" setting: 1 is 500 kbit/s; anything else is the
    // RV-C rate, 250 kbit/s.
    static uint32_t bitRateOfSetting(int32_t setting);

    // What goes into the manager's delivery chain; passes everything on to `next`.
    ClientDelivery& delivery() { return monitor_; }

    // Takes in what was noted since the last call and rebuilds the report from the table.
    // The report's inventory keeps the devices that went quiet, marked as such.
    void refresh(const DeviceTable& table);
    // Counts the refreshes, so a window redraws only when there is something new.
    uint64_t generation() const { return generation_; }

    const HealthMonitor::Snapshot& snapshot() const { return snapshot_; }
    const HealthReport& report() const { return report_; }
    // One device's faults, active ones first, each group most recent first.
    std::vector<HealthReport::Fault> faultsOf(uint8_t sa, uint8_t dsa) const;

  private:
    std::function<uint32_t()> bitRate_;
    HealthMonitor monitor_;
    HealthMonitor::Snapshot snapshot_;
    HealthReport report_;
    uint64_t generation_ = 0;
};

}  // namespace corvane::health
