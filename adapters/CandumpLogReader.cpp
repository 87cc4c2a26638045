#include "adapters/CandumpLogReader.h"

namespace corvane {

bool CandumpLogReader::next(CandumpRecord& record) {
    while (position_ < text_.size()) {
        size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos) end = text_.size();
        const std::string_view line = text_.substr(position_, end - position_);
        position_ = end + 1;
        ++line_;
        CandumpParse parsed = parseCandumpLine(line);
        if (parsed.error == CandumpError::None && any_ && parsed.record.micros < lastMicros_) {
            parsed.error = CandumpError::OutOfOrder;
        }
        if (parsed.error == CandumpError::Blank) continue;
        if (parsed.error != CandumpError::None) {
            ++skipped_;
            ++byReason_[static_cast<size_t>(parsed.error)];
            continue;
        }
        lastMicros_ = parsed.record.micros;
        any_ = true;
        record = parsed.record;
        return true;
    }
    return false;
}

void CandumpLogReader::rewind() {
    position_ = 0;
    line_ = 0;
    skipped_ = 0;
    byReason_ = {};
    lastMicros_ = 0;
    any_ = false;
}

}  // namespace corvane
