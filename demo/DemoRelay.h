#pragma once

#include <memory>
#include <string>

#include "adapters/CloudLoginPrompt.h"
#include "demo/DemoTechnician.h"
#include "platform/SettingsStore.h"
#include "sim/relay/RelayServer.h"

namespace corvane {

// The cloud side of a demo run: a local relay in this process with a certificate authority
// of its own, the settings that point the cloud adapter at it (written to the demo's
// in-memory settings), and the login answers of its one technician.
class DemoRelay final : public CloudLoginPrompt {
  public:
    // Starts the relay; false with `error` set when it cannot run.
    bool start(SettingsStore& settings, std::string& error);
    void stop();
    bool ask(KestrixLinkDetails& details) override;

  private:
    std::unique_ptr<sim::RelayServer> relay_;
    DemoTechnician technician_;
};

}  // namespace corvane
