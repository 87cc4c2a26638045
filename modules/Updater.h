#pragma once

#include <string>

#include "platform/Clock.h"
#include "platform/IntegerSetting.h"

namespace corvane {

class AppKiller;
class Shell;

// Starting the separate updater program: once a day at start-up, or on demand.
class Updater {
  public:
    static constexpr const char* kProgramName = "CorvaneUpdater.exe";

    enum class StartupOutcome {
        NotDue,         // start normally
        Started,        // the updater took over: end without showing the window
        FailedToStart,  // tried (LastUpdate written), but the updater did not start: start normally
    };

    // `updaterPath` is the updater program (beside the tool's executable).
    Updater(IntegerSetting& autoUpdate, IntegerSetting& lastUpdate, Shell& shell,
            const Clock& clock, AppKiller& killer, std::string updaterPath);

    // The start-up decision, with the whole command line (any case).
    StartupOutcome startupDecision(const std::string& commandLine);
    // "Update Now": stop our programs, start the updater, note the date. False when the
    // updater could not be started.
    bool updateNow();
    // "Auto Update On Startup": flips AutoUpdate; returns the new check state.
    bool toggleAutoUpdate();

  private:
    IntegerSetting& autoUpdate_;
    IntegerSetting& lastUpdate_;
    Shell& shell_;
    const Clock& clock_;
    AppKiller& killer_;
    std::string updaterPath_;
};

}  // namespace corvane
