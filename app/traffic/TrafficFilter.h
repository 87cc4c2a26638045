#pragma once

#include <string>
#include <string_view>

#include "app/traffic/TrafficRow.h"

namespace corvane {

// What the Messages tab shows: every part left empty lets all rows through, and a row must
// pass every part that is set. Letters match in either case.
//   source  "42"       -> sent from address 0x42 (one or two hex digits: an address)
//           "inverter" -> sent by a device whose name holds "inverter"
//   message "1FFFD"    -> that DGN;  "dimmer" -> a message or given name holding "dimmer"
//   text    "13.2V"    -> anywhere in the row: source, names, DGN, fields or data in hex
struct TrafficFilter {
    std::string source;
    std::string message;
    std::string text;

    bool empty() const { return source.empty() && message.empty() && text.empty(); }
    // `givenName` is the name the technician gave the row's key, empty for none.
    bool matches(const TrafficRow& row, std::string_view givenName) const;
};

// True when `haystack` holds `needle`, letters compared in either case; an empty needle is
// found everywhere.
bool containsFolded(std::string_view haystack, std::string_view needle);

}  // namespace corvane
