#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "script/ScriptNetwork.h"

namespace corvane {

// What the script windows need from the application: the clock and network the engine runs
// against, and the platform services they show or start. An empty function falls back to the
// toolkit's own (message box, file chooser, `lp`); tests put recorders in their place.
struct ScriptServices {
    const Clock* clock = nullptr;
    ScriptNetwork network;
    // A message box with an OK button.
    std::function<void(const std::string& text, const std::string& title)> showMessage;
    // The Save Log file choice; nothing when cancelled.
    std::function<std::optional<std::string>()> chooseLogFile;
    // Hands a file to the printer.
    std::function<bool(const std::string& file)> print;
};

}  // namespace corvane
