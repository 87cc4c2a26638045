#pragma once

#include <string>
#include <string_view>

namespace corvane::decode {

// The scale and offset RV-C gives a quantity of a given unit and width, so that a catalogue
// only has to name the unit:
//   ("%", 8)   -> x 0.5            ("°C", 8)  -> x 1 - 40      ("°C", 16) -> x 0.03125 - 273
//   ("V", 16)  -> x 0.05           ("A", 8)   -> x 1           ("A", 16)  -> x 0.05 - 1600
//   ("A", 32)  -> x 0.001 - 2e6    ("Hz", 16) -> x 1/128       ("s", 8)   -> x 1
// Anything else is taken as it is (x 1 + 0).
struct Conversion {
    double scale = 1.0;
    double offset = 0.0;
};
Conversion standardConversion(std::string_view unit, unsigned bits);

// A unit as the community files spell it -> our canonical spelling; "bitmap" and the like
// (which say how to read the value, not its unit) give an empty unit.
//   "v" -> "V", "Pct" -> "%", "Deg C" -> "°C", "sec" -> "s", "ah" -> "Ah", "bitmap" -> ""
std::string canonicalUnit(std::string_view unit);

// Free text -> snake_case name: "operating status (brightness)" -> "operating_status_brightness".
std::string snakeCase(std::string_view text);

}  // namespace corvane::decode
