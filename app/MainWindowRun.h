#pragma once

#include <string>

#include "app/ApplicationCore.h"
#include "app/MainWindowServices.h"
#include "script/ui/ScriptServices.h"

namespace corvane {

struct MainWindowOptions {
    // When set: show the window, let the demo run for `screenshotDelayMs` (half way through,
    // two simulated devices light a lamp), select the first device, save a picture of the
    // window to this file and end.
    std::string screenshotPath;
    // When set: the same run opens the Traffic window half way through, names a dimmer and
    // commands it, and saves its two tabs to "<prefix>-messages.png" and "<prefix>-values.png".
    std::string trafficScreenshotPrefix;
    int screenshotDelayMs = 5000;
};

// Whether a window can be shown to a user: a display server is named, or Qt is told to use a
// platform that shows windows.
bool DisplayAvailable();

// The main window's view of the application-wide objects.
MainWindowServices MainWindowServicesOf(ApplicationCore& core, const std::string& executableFolder);

// What the script windows work with: the core's clock, network and shell, and the module base
// folder as it is now.
ScriptServices ScriptServicesOf(ApplicationCore& core);

// Runs the main window until it closes; returns the program's exit code. Needs a QApplication.
int runMainWindow(ApplicationCore& core, const MainWindowOptions& options);

}  // namespace corvane
