#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/ScriptFile.h"

namespace corvane {

// A place GOTO can jump to: a line starting with "@" in the script file.
struct ExecPoint {
    std::string name;     // the word after the "@", upper case
    uint32_t offset = 0;  // file offset of the first byte of the line holding the "@"
};

// Reads the whole file from the top and lists its execution points in file order; the file is
// left at position 0. Lines not ended by LF are never read, so are never listed.
std::vector<ExecPoint> ScanExecPoints(ScriptFile& file);

// The first point named `upper` in list order, or nullptr.
const ExecPoint* FindExecPoint(const std::vector<ExecPoint>& points, std::string_view upper);

}  // namespace corvane
