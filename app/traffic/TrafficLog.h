#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "app/traffic/RowNames.h"
#include "app/traffic/TrafficFilter.h"
#include "app/traffic/TrafficRow.h"

namespace corvane {

// The Messages tab's memory: the last `capacity` rows taken in, oldest first, and the ones the
// filter lets through. Adding is split in two steps so that a view can be told what goes before
// it goes: evictedBy + makeRoom, then matching + append.
//
// While paused, new rows are held aside (at most `capacity`, the oldest dropped first) and the
// shown rows stand still; resume gives the held rows back to be added.
// Used on the user-interface thread only.
class TrafficLog {
  public:
    static constexpr size_t kCapacity = 100000;

    explicit TrafficLog(const RowNames& names, size_t capacity = kCapacity)
        : names_(names), capacity_(capacity) {}

    size_t capacity() const { return capacity_; }
    size_t size() const { return rows_.size(); }
    // Rows the filter lets through, in order.
    size_t shownCount() const { return shown_.size(); }
    const TrafficRow& shown(size_t i) const { return rows_[shown_[i] - firstSeq_]; }

    // How many shown rows at the front room for `incoming` new rows would push out.
    size_t evictedBy(size_t incoming) const;
    // Pushes out the oldest rows so that `incoming` more fit.
    void makeRoom(size_t incoming);
    // How many of `rows` the filter lets through.
    size_t matching(std::span<const TrafficRow> rows) const;
    // Adds rows (at most capacity(); makeRoom first).
    void append(std::vector<TrafficRow>&& rows);

    const TrafficFilter& filter() const { return filter_; }
    // Changes the filter and works out the shown rows again.
    void setFilter(TrafficFilter filter);
    // Works out the shown rows again (a row's given name changed).
    void refilter() { setFilter(filter_); }

    bool paused() const { return paused_; }
    void pause() { paused_ = true; }
    // Ends the pause; returns the rows held meanwhile, to be added.
    std::vector<TrafficRow> resume();
    // Holds rows that came while paused.
    void hold(std::vector<TrafficRow>&& rows);
    size_t heldCount() const { return held_.size(); }

  private:
    bool passes(const TrafficRow& row) const {
        return filter_.matches(row, names_.nameOf(row.key));
    }

    const RowNames& names_;
    size_t capacity_;
    std::deque<TrafficRow> rows_;
    uint64_t firstSeq_ = 0;       // sequence number of rows_.front()
    std::deque<uint64_t> shown_;  // sequence numbers of the rows that pass, ascending
    TrafficFilter filter_;
    bool paused_ = false;
    std::deque<TrafficRow> held_;
};

}  // namespace corvane
