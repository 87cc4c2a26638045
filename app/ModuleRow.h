#pragma once

#include <cstddef>
#include <string>

namespace corvane {

// What the main window's lists need to know of one catalogue module. `index` is the module's
// place in the catalogue, which is how a chosen row finds its module again.
struct ModuleRow {
    size_t index = 0;
    std::string description;
    std::string file;
    std::string folder;
    std::string parameters;
    std::string definitionFile;  // the ".RVC" file it was read from
    std::string fileDate;        // empty when unknown
    bool isDefault = false;      // run by a double-click on the device
    bool onRightClick = false;   // offered in the device list's right-click menu
};

}  // namespace corvane
