#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/RvcFrame.h"

namespace corvane {

// One classic CAN frame of a candump log line (the format of `candump -l`):
//   "(1700000000.123456) can0 18FEEB42#0102"
struct CandumpRecord {
    int64_t micros = 0;          // time stamp, microseconds since 1970
    std::string_view interface;  // points into the parsed line
    uint32_t canId = 0;          // 29-bit identifier
    uint8_t length = 0;
    std::array<uint8_t, 8> data{};
};

// Why a line is not a frame we take. Every reason but Blank counts as a skipped line.
enum class CandumpError {
    None,
    Blank,         // empty or white space only: not counted
    BadTimestamp,  // missing "(seconds.fraction)"
    NoInterface,
    NoSeparator,  // no "#" after the identifier
    BadId,        // not hexadecimal, or too wide
    StandardId,   // 11-bit identifier (three digits): RV-C uses extended frames only
    ErrorFrame,   // the error flag is set in the identifier
    CanFd,        // "##": a CAN FD frame
    RemoteFrame,  // "#R": no data to take
    BadHex,       // odd digit count or a non-hex character in the data
    TooLong,      // more than 8 data bytes
    OutOfOrder,   // earlier than the frame before it (set by the log reader)
};

struct CandumpParse {
    CandumpError error = CandumpError::None;
    CandumpRecord record;
};

// Line (without its line end; a trailing '\r' is allowed) -> record or error.
//   "(1700000000.123456) can0 18FEEB42#0102" -> micros 1700000000123456, id 0x18FEEB42, 2 bytes
//   "(1.5) vcan0 18EAFFF9#"                  -> micros 1500000, no data
//   "(1.5) vcan0 18EAFFF9#01 R"              -> one byte (a direction mark may follow)
//   "(1700000000.123456) can0 123#01"        -> StandardId
//   "(1700000000.123456) can0 18FEEB42##10102" -> CanFd
CandumpParse parseCandumpLine(std::string_view line);

// A parsed record as the manager takes it in. The time stamp is the log's millisecond,
// wrapped to 32 bits.
RvcFrame frameFromCandump(const CandumpRecord& record);

// Short English name of an error, for reports ("bad hex").
std::string_view candumpErrorName(CandumpError error);

}  // namespace corvane
