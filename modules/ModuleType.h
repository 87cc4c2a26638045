#pragma once

#include <cstdint>

namespace corvane {

// What running a module does.
enum class ModuleType : int32_t {
    None = 0,           // no type decided yet: running does nothing
    Script = 1,         // file is a script of the tool's language
    Program = 2,        // file is a program to start
    QuillonModule = 3,  // parameters name a Quillon module file; file runs it
    DeviceList = 4,     // file is a stored device list to compare with the network
    Message = 5,        // parameters are a message text to transmit
};

}  // namespace corvane
