#pragma once

#include <memory>

#include "core/DeviceTable.h"
#include "core/PeriodicDuties.h"
#include "core/RVCManager.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "sim/LiveVehicle.h"

namespace corvane {

// The application-wide objects, created in start-up order and destroyed in reverse: the
// device table, the network manager and the periodic duties, and - for a demo run - the
// simulated vehicle feeding the manager. Shared by the window and the headless run.
class ApplicationCore {
  public:
    ApplicationCore(SettingsStore& settings, const Clock& clock);
    ~ApplicationCore();
    ApplicationCore(const ApplicationCore&) = delete;
    ApplicationCore& operator=(const ApplicationCore&) = delete;

    // Puts the built-in simulated vehicle on the network.
    void startDemo();

    SettingsStore& settings() { return settings_; }
    DeviceTable& deviceTable() { return table_; }
    RVCManager& manager() { return manager_; }
    PeriodicDuties& duties() { return duties_; }

  private:
    SettingsStore& settings_;
    DeviceTable table_;
    RVCManager manager_;
    PeriodicDuties duties_;
    std::unique_ptr<sim::LiveVehicle> demo_;
};

}  // namespace corvane
