#pragma once

#include <memory>
#include <string>

#include "platform/SettingsStore.h"

namespace corvane {

// Opens the application's settings store. A settings file that cannot be parsed
// (SettingsFileCheck) or read is set aside under the name "<file>.bad" ("<file>.bad.2", ... when
// that is taken) and the program starts on defaults; if it cannot even be moved, the run keeps
// its settings in memory so that the broken file is never overwritten.
class SettingsOpener {
  public:
    struct Result {
        std::unique_ptr<SettingsStore> store;
        std::string setAsideAs;  // where a broken file went; empty when there was none
        bool inMemoryOnly = false;
        // The folder of the settings file, where the user's other files (message catalogues)
        // live too; set even when the run keeps its settings in memory.
        std::string folder;
    };
    static Result open();
};

}  // namespace corvane
