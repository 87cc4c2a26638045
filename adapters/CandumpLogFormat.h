#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane {

// Room for the longest line formatCandumpLine writes: time stamp (up to 20 + 1 + 6 + 2),
// blank, interface (at most 15, the kernel's limit), blank, 8 digits, '#', 16 digits, '\n'.
inline constexpr size_t kCandumpLineMax = 80;

// One frame as a candump log line, ending in '\n', exactly as `candump -l` writes it:
//   (1700000000123456, "can0", 0x18FEEB42, 2, {01 02}) -> "(1700000000.123456) can0
//   18FEEB42#0102\n"
// The seconds have at least ten digits; hex is upper case. An interface longer than 15
// characters is cut. `out` holds at least kCandumpLineMax characters; returns the length.
size_t formatCandumpLine(int64_t micros, std::string_view interface, uint32_t canId, uint8_t length,
                         const uint8_t* data, char* out);

}  // namespace corvane
