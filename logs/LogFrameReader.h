#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "adapters/CandumpLogParser.h"
#include "logs/LogByteSource.h"
#include "logs/LogFormat.h"
#include "logs/LogLineSplitter.h"

namespace corvane {

// The frames of a log file one at a time, whatever its size, compression (by name) or layout
// (candump or ASC, found from the first line that shows one; see detectLogFormat). It keeps
// the rules of CandumpLogReader: lines that are not frames we take, and frames earlier than
// the one before, are counted and skipped; blank lines and ASC header or event lines are not
// counted. Lines before the layout is known that show none are counted as lines without a
// time stamp, and a log made only of such lines says so (faultText) rather than simply
// holding no frame.
//
// ASC times are relative to the log's start: the "date" header's time is added when the log
// has one, otherwise the log starts at 0.
//
// Owned by one thread; a record's `interface` points into the reader's buffer and holds until
// the next call of next().
class LogFrameReader {
  public:
    LogFrameReader();
    LogFrameReader(const LogFrameReader&) = delete;
    LogFrameReader& operator=(const LogFrameReader&) = delete;

    // Opens a regular file; false with openStatus() saying why.
    bool open(const std::string& path);
    RegularFile::Status openStatus() const { return source_.openStatus(); }

    // The next good frame; false at the end of the log (or where a compressed file breaks),
    // or when interrupted.
    bool next(CandumpRecord& record);

    // Asked every kAskEveryLines lines, and after each chunk of the file, while next() reads
    // (a file without line ends is read a chunk per line): true makes next() return false with
    // interrupted() set and the rest of the log unread; a later next() goes on from there. A
    // reader on another thread is stopped this way in the middle of a long stretch of lines,
    // whether they are frames passed over or lines that are none. Empty: never asked.
    static constexpr uint64_t kAskEveryLines = 1024;
    void setInterrupt(std::function<bool()> ask) { interrupt_ = std::move(ask); }
    // The last next() returned false because it was interrupted.
    bool interrupted() const { return interrupted_; }

    size_t skipped() const { return skipped_; }
    size_t skipped(CandumpError why) const { return byReason_[static_cast<size_t>(why)]; }
    uint64_t framesRead() const { return frames_; }
    uint64_t lineNumber() const { return lines_.lineNumber(); }
    LogFormat format() const { return format_; }
    // Progress: the bytes of the file read, of its size.
    uint64_t filePosition() const { return source_.filePosition(); }
    uint64_t fileSize() const { return source_.fileSize(); }
    // Why the reading stopped early (after next() returned false).
    LogByteSource::Fault fault() const { return source_.fault(); }
    // After next() returned false, for messages after the file's name: "is cut short after
    // 1234 frames", "stops after 0 frames: it needs a zstd window over 16 MB (...)", "is not
    // a candump or ASC log (none of its 12 lines is one)"; empty when the log was read to its
    // end.
    std::string faultText() const;

  private:
    static constexpr size_t kReasons = static_cast<size_t>(CandumpError::OutOfOrder) + 1;

    // One line -> a frame (true) or nothing; counts what it skips.
    bool take(std::string_view line, CandumpRecord& record);

    LogByteSource source_;
    LogLineSplitter lines_;
    std::function<bool()> interrupt_;
    uint64_t sinceAsked_ = 0;
    uint64_t chunksAsked_ = 0;  // the splitter's chunk count at the last ask
    bool interrupted_ = false;
    LogFormat format_ = LogFormat::Candump;
    bool formatKnown_ = false;
    size_t unrecognised_ = 0;  // lines before the format was known that showed none
    // ASC state from its header lines.
    bool decimal_ = false;
    bool relative_ = false;
    int64_t ascStart_ = 0;
    int64_t ascLast_ = 0;

    size_t skipped_ = 0;
    std::array<size_t, kReasons> byReason_{};
    uint64_t frames_ = 0;
    int64_t lastMicros_ = 0;
};

}  // namespace corvane
