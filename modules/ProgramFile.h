#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "modules/ModuleType.h"

namespace corvane {

// The one rule for "is this file a program?", used wherever the technician picks a file to run
// (Run Module Not Listed Here, the network status window's Run Module) and by the External
// Modules list. A program is started, never read as a script: a script window fed a binary
// fills its log with garbage.
class ProgramFile {
  public:
    // Bytes a Linux program starts with: an ELF image or a "#!" interpreter line.
    //   "\x7f" "ELF\x02..." -> true   "#!/bin/sh\n" -> true   "REQUEST 0FEEB" -> false
    //   "#" -> false (too short to tell)
    static bool hasProgramHeader(std::span<const uint8_t> head);
    // A regular file with an execute bit whose first bytes are those of a program. A script
    // file on a memory stick whose every file carries an execute bit is not one.
    static bool isLinuxProgram(const std::string& path);
    // The path names a program: "...exe" after its first character (in any case: modules
    // written for the original system), or a Linux program.
    static bool isProgram(const std::string& path);
    // What running a chosen file does with it: Program, QuillonModule (".def" after the first
    // character), DeviceList (".cvdl" likewise) or Script (anything else), in that order.
    static ModuleType kindOfChosenFile(const std::string& path);
};

}  // namespace corvane
