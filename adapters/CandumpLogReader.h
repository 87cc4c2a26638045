#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "adapters/CandumpLogParser.h"

namespace corvane {

// Walks the lines of a whole candump log held in memory and yields its frames in order.
// Lines that do not parse, and frames earlier than the frame before them, are counted and
// skipped; blank lines are ignored. The text must outlive the reader and its records.
class CandumpLogReader {
  public:
    explicit CandumpLogReader(std::string_view text) : text_(text) {}

    // The next good frame; false at the end of the text.
    bool next(CandumpRecord& record);
    // Back to the first line, with the counts cleared.
    void rewind();

    size_t skipped() const { return skipped_; }
    size_t skipped(CandumpError why) const { return byReason_[static_cast<size_t>(why)]; }
    // 1-based number of the line last read.
    size_t lineNumber() const { return line_; }

  private:
    static constexpr size_t kReasons = static_cast<size_t>(CandumpError::OutOfOrder) + 1;

    std::string_view text_;
    size_t position_ = 0;
    size_t line_ = 0;
    size_t skipped_ = 0;
    std::array<size_t, kReasons> byReason_{};
    int64_t lastMicros_ = 0;
    bool any_ = false;
};

}  // namespace corvane
