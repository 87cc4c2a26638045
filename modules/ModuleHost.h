#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// The windows a module can open, supplied by the user interface.
class ModuleHost {
  public:
    virtual ~ModuleHost() = default;
    // Starts a script with a parameter text and a target address in the script window. The
    // window refuses, with its own message, while another script runs.
    virtual void openScriptWindow(const std::string& path, const std::string& parameters,
                                  uint8_t target) = 0;
    // Compares a stored device list (".cvdl") with the network and shows the result.
    virtual void showDeviceListComparison(const std::string& path) = 0;
};

}  // namespace corvane
