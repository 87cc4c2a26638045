#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/RvcFrame.h"

namespace corvane {

// One line from a Vexor-series adapter, as the tool understands it.
struct VexorLine {
    enum class Kind : uint8_t {
        Ignored,   // not one of the forms below (or malformed)
        Frame,     // "R" + identifier + data [+ "," + timestamp]: `frame`
        Credits,   // "b=" + decimal: `credits`
        DataRate,  // exactly "c=250K" or "c=500K": `rateSetting`
    };
    Kind kind = Kind::Ignored;
    RvcFrame frame{};
    int32_t credits = 0;
    int32_t rateSetting = 0;  // the "TarvikBaudRate" value: 2 for 250 kbit/s, 1 for 500 kbit/s
};

// Line text (without its end) -> what it means. Never reads past `line`.
//   "R18FEEB4201020304"   -> Frame: priority 6, DGN 0xFEEB, SA 0x42, length 4, timestamp 0
//   "R18FEEB42AABB,12345" -> Frame: length 2, timestamp 12345
//   "R18feeb42"           -> Frame: the same identifier (hex digits in either case)
//   "R18FEEB4"            -> Ignored (too short); "R18FEEB4G01" -> Ignored (not hex)
//   "b=17"                -> Credits 17;  "b=x" -> Ignored
//   "c=500K"              -> DataRate 1;  "c=250K " -> Ignored (only the exact texts)
VexorLine parseVexorLine(std::string_view line);

// The adapter's identification banner, its answer to "v:": at least 10 characters, "TDE"
// first.
bool isVexorBanner(std::string_view line);

// The transmit line for one frame: "T" + "%08X" identifier + "%02X" per data byte + "\n".
// At most 8 bytes are written (callers drop longer frames before). Returns the text's length.
inline constexpr size_t kVexorTransmitMax = 1 + 8 + 16 + 1;
size_t formatVexorTransmit(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                           const uint8_t* data, char (&out)[kVexorTransmitMax]);

}  // namespace corvane
