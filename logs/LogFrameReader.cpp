#include "logs/LogFrameReader.h"

#include <algorithm>
#include <limits>

#include "logs/AscLineParser.h"

namespace corvane {

namespace {

// Far past any log, and with a date and one more time stamp added still within 64 bits.
constexpr int64_t kAscTimeLimit = std::numeric_limits<int64_t>::max() / 2;

}  // namespace

LogFrameReader::LogFrameReader() : lines_(source_) {}

bool LogFrameReader::open(const std::string& path) { return source_.open(path); }

std::string LogFrameReader::faultText() const {
    const std::string frames = std::to_string(frames_) + (frames_ == 1 ? " frame" : " frames");
    if (fault() == LogByteSource::Fault::TooLargeWindow)
        return "stops after " + frames + ": it " + LogByteSource::describe(fault());
    if (fault() != LogByteSource::Fault::None)
        return std::string(LogByteSource::describe(fault())) + " after " + frames;
    if (!formatKnown_ && unrecognised_ > 0) {
        return "is not a candump or ASC log (none of its " + std::to_string(unrecognised_) +
               (unrecognised_ == 1 ? " line is one)" : " lines is one)");
    }
    return {};
}

bool LogFrameReader::next(CandumpRecord& record) {
    interrupted_ = false;
    std::string_view line;
    for (;;) {
        if (interrupt_ &&
            (++sinceAsked_ >= kAskEveryLines || lines_.chunksRead() != chunksAsked_)) {
            sinceAsked_ = 0;
            chunksAsked_ = lines_.chunksRead();
            if (interrupt_()) {
                interrupted_ = true;
                return false;
            }
        }
        if (!lines_.next(line)) return false;
        if (!formatKnown_) {
            const std::optional<LogFormat> format = detectLogFormat(line);
            if (!format) {
                // Not a frame in either layout: counted as the candump reader counts it.
                if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
                ++unrecognised_;
                ++skipped_;
                ++byReason_[static_cast<size_t>(CandumpError::BadTimestamp)];
                continue;
            }
            format_ = *format;
            formatKnown_ = true;
        }
        if (take(line, record)) return true;
    }
}

bool LogFrameReader::take(std::string_view line, CandumpRecord& record) {
    CandumpParse parsed;
    if (format_ == LogFormat::Candump) {
        parsed = parseCandumpLine(line);
    } else {
        const AscLine asc = parseAscLine(line, decimal_);
        // Relative times count from the line before, whatever it was: an error frame or an
        // event between two frames is part of their gap.
        // Relative times of a damaged log could add up past 64 bits: they stop at a limit.
        if (asc.timed)
            ascLast_ = relative_ ? std::min(ascLast_, kAscTimeLimit) + asc.micros : asc.micros;
        switch (asc.kind) {
            case AscLine::Kind::Date:
                if (frames_ == 0) ascStart_ = asc.micros;
                return false;
            case AscLine::Kind::Base:
                decimal_ = asc.decimal;
                relative_ = asc.relative;
                return false;
            case AscLine::Kind::Other:
                return false;
            case AscLine::Kind::NotAFrame:
                parsed.error = asc.error;
                break;
            case AscLine::Kind::Frame:
                parsed.record = asc.record;
                parsed.record.micros = ascStart_ + ascLast_;
                break;
        }
    }
    if (parsed.error == CandumpError::None && frames_ > 0 && parsed.record.micros < lastMicros_) {
        parsed.error = CandumpError::OutOfOrder;
    }
    if (parsed.error == CandumpError::Blank) return false;
    if (parsed.error != CandumpError::None) {
        ++skipped_;
        ++byReason_[static_cast<size_t>(parsed.error)];
        return false;
    }
    lastMicros_ = parsed.record.micros;
    ++frames_;
    record = parsed.record;
    return true;
}

}  // namespace corvane
