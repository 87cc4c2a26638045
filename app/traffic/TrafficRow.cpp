#include "app/traffic/TrafficRow.h"

#include <cstdio>

#include "decode/MessageFormat.h"

namespace corvane {

std::string RowKey::text() const {
    char buffer[32];
    if (instance < 0) {
        std::snprintf(buffer, sizeof buffer, "%02X-%X", source, dgn);
    } else {
        std::snprintf(buffer, sizeof buffer, "%02X-%X-%d", source, dgn, instance);
    }
    return buffer;
}

std::string TrafficRow::dgnText() const {
    char buffer[12];
    std::snprintf(buffer, sizeof buffer, "%X", key.dgn);
    return buffer;
}

FieldTexts fieldTexts(const decode::DecodedMessage& m) {
    FieldTexts out;
    out.reserve(m.fields.size() + 1);
    for (size_t i = 0; i < m.fields.size(); ++i) {
        if (static_cast<int>(i) == m.spec->instanceField) continue;
        out.emplace_back(m.fields[i].spec->name, decode::fieldText(m.fields[i]));
    }
    // Last, so that the fields keep their places whether or not it is there.
    if (m.showsData()) out.emplace_back("data", decode::dataText(m));
    return out;
}

TrafficRow makeTrafficRow(const decode::DecodedMessage& m, int64_t micros, std::string sourceName) {
    return makeTrafficRow(m, micros, std::move(sourceName), fieldTexts(m));
}

TrafficRow makeTrafficRow(const decode::DecodedMessage& m, int64_t micros, std::string sourceName,
                          const FieldTexts& texts) {
    TrafficRow row;
    row.micros = micros;
    row.dgn = m.dgn;
    row.key.source = m.source;
    row.key.dgn = m.spec ? m.spec->dgn : (decode::isPdu1(m.dgn) ? m.dgn & 0x3FF00 : m.dgn);
    row.key.instance = m.instance;
    row.name = m.known() ? m.spec->name : "unknown";
    row.sourceName = std::move(sourceName);
    for (const auto& [name, value] : texts) {
        if (!row.fields.empty()) row.fields += ' ';
        row.fields += name;
        row.fields += '=';
        row.fields += value;
    }
    row.data.assign(m.data.begin(), m.data.end());
    return row;
}

}  // namespace corvane
