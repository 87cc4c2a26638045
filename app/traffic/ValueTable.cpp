#include "app/traffic/ValueTable.h"

namespace corvane {

size_t ValueTable::update(const TrafficRow& shape, const FieldTexts& texts) {
    const int64_t micros = shape.micros;
    if (rows_.size() >= maxRows_ && !index_.contains(shape.key)) {
        ++notKept_;
        return kNotKept;
    }
    auto [at, added] = index_.emplace(shape.key, rows_.size());
    if (added) {
        Row row;
        row.key = shape.key;
        row.name = shape.name;
        row.seenBeforeWatch = !watching_;
        rows_.push_back(std::move(row));
    }
    Row& row = rows_[at->second];
    row.sourceName = shape.sourceName;
    row.lastMicros = micros;
    ++row.count;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i >= row.fields.size()) {
            // A longer message than before (a longer text) brings fields it did not have.
            Field f;
            f.name = std::string(texts[i].first);
            f.text = texts[i].second;
            if (!added) f.changedMicros = micros;
            row.fields.push_back(std::move(f));
            continue;
        }
        Field& f = row.fields[i];
        if (f.text != texts[i].second) {
            f.text = texts[i].second;
            f.changedMicros = micros;
        }
    }
    // A field this message lacks (its bytes shown no more, all ones again) went away: a change.
    for (size_t i = texts.size(); i < row.fields.size(); ++i) {
        Field& f = row.fields[i];
        if (f.text.empty()) continue;
        f.text.clear();
        f.changedMicros = micros;
    }
    return at->second;
}

void ValueTable::startWatch(int64_t nowMicros) {
    watching_ = true;
    watchStart_ = nowMicros;
    for (Row& row : rows_) {
        row.seenBeforeWatch = true;
        for (Field& f : row.fields) {
            f.restless = f.changedMicros != 0 && nowMicros - f.changedMicros < kRestlessMicros;
            f.watched = false;
        }
    }
}

std::vector<size_t> ValueTable::stopWatch() {
    watching_ = false;
    std::vector<size_t> changed;
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        bool any = false;
        for (Field& f : row.fields) {
            f.watched = !row.seenBeforeWatch || (!f.restless && f.changedMicros >= watchStart_);
            any = any || f.watched;
        }
        if (any || (!row.seenBeforeWatch && row.fields.empty())) changed.push_back(i);
    }
    return changed;
}

}  // namespace corvane
