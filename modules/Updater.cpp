#include "modules/Updater.h"

#include <algorithm>
#include <cctype>

#include "modules/AppKiller.h"
#include "modules/DateStamp.h"
#include "platform/Shell.h"

namespace corvane {

Updater::Updater(IntegerSetting& autoUpdate, IntegerSetting& lastUpdate, Shell& shell,
                 const Clock& clock, AppKiller& killer, std::string updaterPath)
    : autoUpdate_(autoUpdate),
      lastUpdate_(lastUpdate),
      shell_(shell),
      clock_(clock),
      killer_(killer),
      updaterPath_(std::move(updaterPath)) {}

Updater::StartupOutcome Updater::startupDecision(const std::string& commandLine) {
    if (autoUpdate_.value() == 0) return StartupOutcome::NotDue;
    const int32_t today = DateStamp(clock_);
    if (lastUpdate_.value() >= today) return StartupOutcome::NotDue;
    std::string upper = commandLine;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.find("-NOUPDATES") != std::string::npos) return StartupOutcome::NotDue;
    const bool started = shell_.open(updaterPath_, "-AUTO -KILL -RETURN");
    // Written either way: a missing updater is tried once a day, not at every start.
    lastUpdate_.set(today);
    return started ? StartupOutcome::Started : StartupOutcome::FailedToStart;
}

bool Updater::updateNow() {
    killer_.killAll();
    const bool started = shell_.open(updaterPath_, "-KILL -AUTO");
    lastUpdate_.set(DateStamp(clock_));
    return started;
}

bool Updater::toggleAutoUpdate() {
    autoUpdate_.set(autoUpdate_.value() == 0 ? 1 : 0);
    return autoUpdate_.value() != 0;
}

}  // namespace corvane
