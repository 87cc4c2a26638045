#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "logs/LogByteSource.h"

namespace corvane {

// Cuts the text of a LogByteSource into lines, holding one chunk and the line that spans its
// end: memory stays bounded whatever the file. A line longer than kMaxLineBytes (no log line
// is) is handed out cut to that length and the rest of it dropped, so a file without line
// ends cannot make the buffer grow. The last line of a file may lack its line end, unless the
// source stopped with a fault: then that unfinished line is dropped, since a cut-off frame
// line would read as a shorter frame.
//
// One call reads at most one chunk: while it drops the rest of an overlong line, or when a
// chunk brought no text, it hands out an empty line (not counted) rather than read on, so
// that a reader asked to stop is never held up by a file without line ends.
//
// Owned by one thread; a line stays valid until the next call of next().
class LogLineSplitter {
  public:
    static constexpr size_t kMaxLineBytes = 4096;

    explicit LogLineSplitter(LogByteSource& source);

    // The next line without its '\n' (a '\r' before it is kept), or an empty one as above;
    // false at the end.
    bool next(std::string_view& line);
    // Lines handed out so far.
    uint64_t lineNumber() const { return lines_; }
    // Chunks asked of the source so far.
    uint64_t chunksRead() const { return chunks_; }

  private:
    // Moves the unread rest to the front and reads another chunk; false at the end.
    bool refill();

    LogByteSource& source_;
    std::string buffer_;
    size_t start_ = 0;
    size_t end_ = 0;
    bool ended_ = false;
    bool dropping_ = false;  // skipping the rest of an overlong line
    uint64_t lines_ = 0;
    uint64_t chunks_ = 0;
};

}  // namespace corvane
