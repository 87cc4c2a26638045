#pragma once

#include <functional>
#include <string>

namespace corvane {

class DeviceTable;
class RVCManager;
class Shell;
class TransmitPath;

// What the interpreter reaches outside itself. Every part may be missing (tests of the text
// commands, the fuzzer): the commands that need it then do nothing beyond their log and
// status lines.
struct ScriptNetwork {
    TransmitPath* transmit = nullptr;  // SEND, CMD, MAKE, REQUEST, SETCURTIME
    RVCManager* manager = nullptr;     // SIMRX
    DeviceTable* devices = nullptr;    // TARGET family, RESETDEVICELIST, target tags
    Shell* shell = nullptr;            // EXECUTE
    // Whether an adapter is selected: RESETDEVICELIST then adds the tool's own entries.
    std::function<bool()> adapterSelected;
    std::string baseFolder;  // BASEFOLDER: the module folder
};

}  // namespace corvane
