#pragma once

#include <functional>

#include "core/DeviceListView.h"
#include "core/DeviceTable.h"
#include "core/RVCManager.h"

namespace corvane {

// The work of the main window's 50 ms timer, without the timer: the caller (a QTimer, a test)
// calls tick() every 50 ms. Every tick paces the tool's long transfers out. A millisecond
// counter runs 50, 100, ..., 5000 and starts over: every 200 ms the housekeeping and adapter
// service steps run, and at 900, 1800, 2700, 3600 and 4500 the aging pass, the statistics step and
// - when the table changed - the list rebuild, so that five statistics intervals cover exactly five
// seconds. Runs on the user-interface thread.
class PeriodicDuties {
  public:
    static constexpr int kTickMs = 50;

    PeriodicDuties(RVCManager& manager, DeviceTable& table);

    // The transmit path's housekeeping; runs only while scanning and mute mode is 0 or 1.
    void setHousekeeping(std::function<void()> step) { housekeeping_ = std::move(step); }
    // The transmit path's pacing of long transfers, every tick regardless of mute mode (what
    // is queued was allowed when it was queued).
    void setPacingStep(std::function<void()> step) { pacing_ = std::move(step); }
    // Adapter service (the cloud adapter's), every 200 ms regardless of mute mode.
    void setServiceStep(std::function<void()> step) { service_ = std::move(step); }
    // The owner's own figures (fault and health tracking), at every statistics step, before
    // the list rebuild.
    void setStatisticsDuty(std::function<void()> step) { statisticsDuty_ = std::move(step); }
    void setDeviceListView(DeviceListView* view) { view_ = view; }

    void tick();
    int counter() const { return counter_; }

  private:
    RVCManager& manager_;
    DeviceTable& table_;
    std::function<void()> housekeeping_;
    std::function<void()> pacing_;
    std::function<void()> service_;
    std::function<void()> statisticsDuty_;
    DeviceListView* view_ = nullptr;
    int counter_ = 0;
};

}  // namespace corvane
