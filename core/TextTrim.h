#pragma once

#include <string_view>

namespace corvane {

// A line of a settings or catalogue file without the blanks around it: spaces and tabs in
// front; spaces, tabs and the CR of a CRLF line end behind.
//   "  volts = 12 \r" -> "volts = 12"      " \t " -> ""
inline std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace corvane
