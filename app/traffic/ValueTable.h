#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/traffic/TrafficRow.h"

namespace corvane {

// The Values tab's memory: one row per (source, DGN, instance) with the latest value of each
// field, rows in the order they first came (a row's index never changes).
//
// A field's change time is when its value last differed from the one before; a field's first
// value is not a change. Fields keep their places; one a message no longer has (the "data" of
// bytes no field reads, back to all ones) stays with an empty text, and that too is a
// change. "Watch for changes": stopWatch keeps the rows that changed since
// startWatch - a field that changed (even if it changed back: a light switched on and off), or
// a row that first came in between. Fields that were already moving on their own in the
// kRestlessMicros before the watch started (a draining battery, a cooling cabin) are not counted,
// so what remains is what the technician's switch drove. Used on the user-interface thread only.
//
// Bounded: a coach has a few hundred rows, but a bus of garbage (or another protocol) brings a
// new key with nearly every frame. Past `maxRows` a message of a new row is counted in
// notKept() and left out; the rows there go on updating.
class ValueTable {
  public:
    static constexpr int64_t kHighlightMicros = 3000000;
    static constexpr int64_t kRestlessMicros = 10000000;
    static constexpr size_t kMaxRows = 20000;
    static constexpr size_t kNotKept = static_cast<size_t>(-1);

    explicit ValueTable(size_t maxRows = kMaxRows) : maxRows_(maxRows) {}

    struct Field {
        std::string name;
        std::string text;
        int64_t changedMicros = 0;  // 0: never changed
        bool restless = false;      // moving on its own before the watch started
        bool watched = false;       // changed during the last watch
    };
    struct Row {
        RowKey key;
        std::string name;
        std::string sourceName;
        int64_t lastMicros = 0;
        uint64_t count = 0;
        std::vector<Field> fields;
        bool seenBeforeWatch = true;
    };

    // Takes one message (its row and its field texts); returns the index of its row (a new
    // row is the last), or kNotKept for a new row of a full table.
    size_t update(const TrafficRow& message, const FieldTexts& texts);

    size_t size() const { return rows_.size(); }
    uint64_t notKept() const { return notKept_; }
    const Row& row(size_t i) const { return rows_[i]; }
    // True while the field's last change is under kHighlightMicros old.
    static bool recentlyChanged(const Field& f, int64_t nowMicros) {
        return f.changedMicros != 0 && nowMicros - f.changedMicros < kHighlightMicros;
    }

    bool watching() const { return watching_; }
    void startWatch(int64_t nowMicros);
    // Ends the watch: returns the indexes of the rows that changed, and marks their fields.
    std::vector<size_t> stopWatch();

  private:
    size_t maxRows_;
    uint64_t notKept_ = 0;
    std::map<RowKey, size_t> index_;
    std::vector<Row> rows_;
    bool watching_ = false;
    int64_t watchStart_ = 0;
};

}  // namespace corvane
