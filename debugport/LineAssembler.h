#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Turns the bytes a debug client sends into command lines, however TCP splits them.
// Bytes 32-127 are text; any other byte ends a line, and empty lines are dropped. A line may
// hold at most 127 characters: the 128th empties the buffer and the text starts afresh.
//   "devs\r\n"          -> "devs"
//   "de" then "vs\r"    -> (nothing) then "devs"
//   130 x 'a', "\n"     -> "aa"
class LineAssembler {
  public:
    static constexpr size_t kLineLimit = 128;

    // The lines completed by these bytes, in order.
    std::vector<std::string> feed(std::span<const uint8_t> bytes);
    std::vector<std::string> feed(std::string_view text);

  private:
    std::string line_;
};

}  // namespace corvane
