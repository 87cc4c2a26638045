#pragma once

#include <cstdint>
#include <string_view>

#include "adapters/CandumpLogParser.h"

namespace corvane {

// One line of a text log in the ASC layout, as the log reader understands it.
struct AscLine {
    enum class Kind : uint8_t {
        Other,     // blank, a comment, an event or a header line we do not need: not counted
        Date,      // "date ...": `micros` is the start of the log, since 1970 (taken as UTC)
        Base,      // "base hex|dec  timestamps absolute|relative": `decimal`, `relative`
        Frame,     // a classic extended data frame: `micros` (as written) and `record`
        NotAFrame  // a frame line we do not take: `error` says why (counted as skipped)
    };
    Kind kind = Kind::Other;
    CandumpError error = CandumpError::None;
    // The line began with a time stamp, in `micros`: a frame, a line that is not one we take
    // and an event alike (relative times count from the line before, whatever it was).
    bool timed = false;
    int64_t micros = 0;
    bool decimal = false;
    bool relative = false;
    // For a Frame: identifier, length, data; `interface` is the channel (points into the line).
    CandumpRecord record;
};

// Times of a log stay within a few thousand years, and dates within 1970-9999, so that the
// reader's sums of them never overflow.
inline constexpr uint64_t kMaxAscSeconds = 100'000'000'000;

// Line (without its end; a trailing '\r' is allowed) -> meaning. `decimal`: the log's numbers
// are decimal (after "base dec"), otherwise hexadecimal. Never reads past `line`.
//   "   0.012345 1  18FEF100x       Rx   d 8 01 02 03 04 05 06 07 08"
//        -> Frame: micros 12345, channel "1", id 0x18FEF100, 8 bytes
//   "   0.5 2  18EAFFF9x  Tx  d 3 00 EE 00  Length = 0 BitCount = 64" -> Frame, 3 bytes
//   "   0.5 1  123  Rx  d 1 00"                 -> NotAFrame StandardId
//   "   0.5 1  ErrorFrame"                       -> NotAFrame ErrorFrame, timed, micros 500000
//   "   0.5 CANFD 1 Rx 18FEF100x ..."            -> NotAFrame CanFd
//   "   0.5 1  18FEF100x  Rx  r"                 -> NotAFrame RemoteFrame
//   "date Thu Dec 10 07:02:26.123 am 2026"       -> Date 2026-12-10 07:02:26.123 UTC
//   "date Thu Dec 10 07:02:26 20260"             -> Other (no year of a log)
//   "base hex  timestamps absolute"              -> Base, hexadecimal, absolute times
//   "   1.5 Start of measurement"                -> Other, timed, micros 1500000
//   "// version 9"                               -> Other
AscLine parseAscLine(std::string_view line, bool decimal = false);

}  // namespace corvane
