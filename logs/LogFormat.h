#pragma once

#include <optional>
#include <string_view>

namespace corvane {

// The text layouts the log reader takes.
enum class LogFormat { Candump, Asc };

// The layout one line shows, if any. A candump line starts with "(" and its time stamp; an
// ASC line with its time, or it is one of the ASC header lines ("date", "base", a "//"
// comment, "Begin Triggerblock", "End TriggerBlock", "[no] internal events logged").
// Nothing for a blank line or anything else: the reader decides from the first line that
// shows a layout, not from whatever happens to come first.
//   "(1700000000.000000) can0 18FEEB42#01" -> Candump
//   "date Thu Dec 10 07:02:26.123 am 2026" -> Asc;  "   0.0123 1 18FEF100x Rx d 0" -> Asc
//   "# logged on the coach", "", "can0 18FEEB42#01" -> nothing
std::optional<LogFormat> detectLogFormat(std::string_view line);

}  // namespace corvane
