#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "decode/Catalogue.h"
#include "decode/DecodedMessage.h"

namespace corvane {

// What a row of the traffic window stands for: a source, a DGN (a PDU1 family without its
// destination) and an instance (-1 for none). The key of the values table and of given names.
struct RowKey {
    uint8_t source = 0;
    uint32_t dgn = 0;
    int32_t instance = -1;

    // The key as names are saved under it: {0x42, 0x1FFFD, 1} -> "42-1FFFD-1";
    // {0x42, 0x1FEEB, -1} -> "42-1FEEB".
    std::string text() const;
    friend auto operator<=>(const RowKey&, const RowKey&) = default;
};

// One received message as the Messages tab lists it, decoded once when it is taken in.
struct TrafficRow {
    int64_t micros = 0;  // time of reception, microseconds since 1970
    uint32_t dgn = 0;    // as received, destination included
    RowKey key;
    std::string name;        // the catalogue's name, "unknown" when it has none
    std::string sourceName;  // the sender's device as known when the message came
    std::string fields;      // "dc_voltage=13.2V dc_current=n/a", the instance left out
    std::vector<uint8_t> data;

    // The DGN as shown: "1FFFD".
    std::string dgnText() const;
};

// A decoded message -> its row. The instance field is left out of `fields` (it has a column).
//   DC_SOURCE_STATUS_1 from 0x42, instance 1, 13.2 V
//     -> key {0x42, 0x1FFFD, 1}, name "DC_SOURCE_STATUS_1", fields "device_priority=100
//        dc_voltage=13.2V dc_current=n/a"
//   an unknown DGN -> name "unknown", fields "data=0102..."
TrafficRow makeTrafficRow(const decode::DecodedMessage& m, int64_t micros, std::string sourceName);

// The fields of a decoded message as (name, value) texts, the instance left out, then its
// bytes as a last field "data" when it shows them (unknown, or bits no field reads that are
// not ones): a change there is a change like any other.
using FieldTexts = std::vector<std::pair<std::string_view, std::string>>;
FieldTexts fieldTexts(const decode::DecodedMessage& m);
// The same row from texts already worked out.
TrafficRow makeTrafficRow(const decode::DecodedMessage& m, int64_t micros, std::string sourceName,
                          const FieldTexts& texts);

}  // namespace corvane
