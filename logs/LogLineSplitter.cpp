#include "logs/LogLineSplitter.h"

#include <cstring>

namespace corvane {

LogLineSplitter::LogLineSplitter(LogByteSource& source)
    : source_(source), buffer_(LogByteSource::kChunkBytes + kMaxLineBytes, '\0') {}

bool LogLineSplitter::refill() {
    if (ended_) return false;
    std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
    const size_t n = source_.read(buffer_.data() + end_, buffer_.size() - end_);
    ++chunks_;
    if (n == 0 && source_.ended()) {
        ended_ = true;
        return false;
    }
    end_ += n;
    return true;
}

bool LogLineSplitter::next(std::string_view& line) {
    size_t scanned = start_;
    for (;;) {
        const char* found =
            static_cast<const char*>(std::memchr(buffer_.data() + scanned, '\n', end_ - scanned));
        if (found != nullptr) {
            const size_t at = static_cast<size_t>(found - buffer_.data());
            if (dropping_) {
                // The tail of a line already handed out.
                dropping_ = false;
                start_ = scanned = at + 1;
                continue;
            }
            line = std::string_view(buffer_.data() + start_, at - start_);
            start_ = at + 1;
            ++lines_;
            return true;
        }
        if (end_ - start_ >= kMaxLineBytes) {
            if (dropping_) {
                start_ = end_;
            } else {
                line = std::string_view(buffer_.data() + start_, kMaxLineBytes);
                start_ += kMaxLineBytes;
                dropping_ = true;
                ++lines_;
                return true;
            }
        }
        const size_t rest = end_ - start_;
        if (!refill()) {
            // A compressed file that broke off ends in the middle of a line: what it holds of
            // that line is not the line, so it is not handed out.
            if (rest == 0 || dropping_ || source_.fault() != LogByteSource::Fault::None)
                return false;
            // The last line of a whole file, without a line end.
            line = std::string_view(buffer_.data() + start_, rest);
            start_ = end_;
            ++lines_;
            return true;
        }
        scanned = start_ + rest;
        if (dropping_ || end_ == rest) {
            line = {};
            return true;
        }
    }
}

}  // namespace corvane
