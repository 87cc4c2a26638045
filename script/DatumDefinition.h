#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/DatumSelector.h"
#include "script/ValueFormat.h"

namespace corvane {

// The arguments of DEFINE and MONITOR, taken apart:
//   name hdgn:hinst:hsecinst [Expression *dmult +doffset] $format$ "Title"
struct DatumDefinition {
    std::string name;  // upper case
    uint32_t dgn = 0;
    uint8_t instance = 0xFF;
    uint8_t secondaryInstance = 0xFF;
    DatumSelection selection;
    double multiplier = 1.0;
    double offset = 0.0;
    std::string title;
    std::string format;  // the selector's default unless a usable $format$ was given
    FormatKind formatKind = FormatKind::Printf;
};

// Never fails: what is missing keeps its default, as the script language has always read
// such lines. A printf format that could not safely format one double keeps the default.
//   " temp 1FFFD:01:02 [W2 * 0.03125 - 273]" -> TEMP, 0x1FFFD, 1, 2, word at 1, x0.03125, -273
// A "-" or "+" that is the sign of a number ("* -1", "* 1E-3") is not an offset.
DatumDefinition ParseDatumDefinition(std::string_view arguments);

// A format given in a script line for an existing selection: "#..." becomes a list, "%..."
// a printf format (every "F" read as "f"), "MDEC"/"M..."/"SDEC"/"S..." a time kind. False, and
// nothing changed, for an empty text, another first character or an unsafe printf format.
bool ApplyFormatText(std::string_view text, std::string& format, FormatKind& kind);

}  // namespace corvane
