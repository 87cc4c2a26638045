#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace corvane {

// Cuts a byte stream into text lines at "\n" or "\r". Empty lines are skipped and a line keeps
// at most its first 127 characters. A line split across two reads is put together again, so a
// busy line loses nothing at read boundaries.
class SerialPortLineCutter {
  public:
    static constexpr size_t kMaxLine = 127;

    // Feeds bytes; calls `onLine(std::string_view)` for every line completed by them.
    template <typename OnLine>
    void feed(std::span<const uint8_t> bytes, OnLine&& onLine) {
        for (uint8_t b : bytes) {
            if (b == '\n' || b == '\r') {
                if (!line_.empty()) onLine(std::string_view(line_));
                line_.clear();
            } else if (line_.size() < kMaxLine) {
                line_.push_back(static_cast<char>(b));
            }
        }
    }
    // Forgets a partial line (after the port was closed and opened again).
    void clear() { line_.clear(); }

  private:
    std::string line_;
};

}  // namespace corvane
