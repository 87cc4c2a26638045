#pragma once

#include <string>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/RecordingOptions.h"

namespace corvane {

// What the `corvane` command line asks for.
struct CommandLine {
    bool headless = false;    // no window: the same duties, the device list on the terminal
    bool demo = false;        // connect to the built-in simulated vehicle
    bool debugPort = false;   // open the debug port for this run
    bool noUpdates = false;   // "-NOUPDATES", in any case, anywhere
    std::string serialPort;   // try this port first
    std::string demoModules;  // the module base folder of --demo
    std::string demoAdapter = "vexor";  // the emulated adapter of --demo: vexor, ft or cloud
    std::string replayFile;             // play this candump log instead of a live bus
    double replaySpeed = 1.0;           // 1 the log's own timing, 0 as fast as possible
    bool replayLoop = false;            // start the log over at its end
    std::string socketCan;              // the CAN network interface to connect to
    std::string recordFolder;           // headless: record into rotating files in this folder
    RecordingOptions recording;  // --record-minutes, -mb, --keep-days, -gb, --record-compress
    std::vector<std::string> unknown;
};

// {"corvane", "--headless", "-noupdates"} -> headless, noUpdates. Unknown words are collected,
// not fatal; an option missing its value, or with a value it cannot use, is unknown.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// What the start-up does for a command line: --demo wins over --replay, which wins over
// --socketcan.
StartOptions startOptionsOf(const CommandLine& cl);

}  // namespace corvane
