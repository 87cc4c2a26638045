#include "app/traffic/TrafficLog.h"

#include <algorithm>
#include <iterator>

namespace corvane {

size_t TrafficLog::evictedBy(size_t incoming) const {
    const size_t total = rows_.size() + incoming;
    if (total <= capacity_) return 0;
    const uint64_t firstKept = firstSeq_ + std::min(total - capacity_, rows_.size());
    return static_cast<size_t>(std::lower_bound(shown_.begin(), shown_.end(), firstKept) -
                               shown_.begin());
}

void TrafficLog::makeRoom(size_t incoming) {
    const size_t total = rows_.size() + incoming;
    if (total <= capacity_) return;
    const size_t drop = std::min(total - capacity_, rows_.size());
    shown_.erase(shown_.begin(), shown_.begin() + static_cast<std::ptrdiff_t>(evictedBy(incoming)));
    rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(drop));
    firstSeq_ += drop;
}

size_t TrafficLog::matching(std::span<const TrafficRow> rows) const {
    if (filter_.empty()) return rows.size();
    return static_cast<size_t>(
        std::count_if(rows.begin(), rows.end(), [this](const TrafficRow& r) { return passes(r); }));
}

void TrafficLog::append(std::vector<TrafficRow>&& rows) {
    for (TrafficRow& row : rows) {
        const uint64_t seq = firstSeq_ + rows_.size();
        if (passes(row)) shown_.push_back(seq);
        rows_.push_back(std::move(row));
    }
    // Only a batch larger than the whole log can overflow it after makeRoom.
    while (rows_.size() > capacity_) {
        if (!shown_.empty() && shown_.front() == firstSeq_) shown_.pop_front();
        rows_.pop_front();
        ++firstSeq_;
    }
}

void TrafficLog::setFilter(TrafficFilter filter) {
    filter_ = std::move(filter);
    shown_.clear();
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (passes(rows_[i])) shown_.push_back(firstSeq_ + i);
    }
}

std::vector<TrafficRow> TrafficLog::resume() {
    paused_ = false;
    std::vector<TrafficRow> out(std::make_move_iterator(held_.begin()),
                                std::make_move_iterator(held_.end()));
    held_.clear();
    return out;
}

void TrafficLog::hold(std::vector<TrafficRow>&& rows) {
    for (TrafficRow& row : rows) held_.push_back(std::move(row));
    while (held_.size() > capacity_) held_.pop_front();
}

}  // namespace corvane
