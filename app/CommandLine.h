#pragma once

#include <string>
#include <vector>

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
    std::vector<std::string> unknown;
};

// {"corvane", "--headless", "-noupdates"} -> headless, noUpdates. Unknown words are collected,
// not fatal; an option missing its value is unknown.
CommandLine parseCommandLine(const std::vector<std::string>& args);

}  // namespace corvane
