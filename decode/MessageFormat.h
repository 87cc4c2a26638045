#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "decode/DecodedMessage.h"

namespace corvane::decode {

// The DGN a decoded message is shown under: the catalogue's (a PDU1 family without its
// destination) when known, else as received. 0x1FFFD -> "1FFFD", 0xEA42 (request) -> "EA00".
std::string dgnText(const DecodedMessage& m);

// One line for a person: time, source and DGN in hex, name, then the fields; values with
// their unit, names as text (quoted when they hold blanks), "n/a" and "error" as such; then
// "data=" (dataText) when the message shows its bytes (DecodedMessage::showsData).
//   "1700000000.123456 42 1FFFD DC_SOURCE_STATUS_1 instance=1 dc_voltage=13.2V dc_current=n/a"
//   "1700000000.123456 42 1EF00 unknown data=0102030405060708"
//   "1700000000.123456 52 1FFE8 SLIDE_STATUS instance=1 ... data=......FFFF21FFFF"
std::string formatTextLine(const DecodedMessage& m, int64_t micros);

// The bytes as "data=" shows them: all of an unknown message's; of a known one, those no field
// reads, in hex, each byte a field reads as "..", so that every byte keeps its place.
//   unknown, 01 02 03 -> "010203";  fields read byte 0 only, 01 02 C8 FF -> "..02C8FF"
std::string dataText(const DecodedMessage& m);

// One field's value for a person, as formatTextLine shows it after the '=':
//   13.2 V field -> "13.2V";  named value -> "on";  not available -> "n/a";  error -> "error"
std::string fieldText(const DecodedField& f);

// One object for programs:
//   {"timestamp": 1700000000.123456, "source": 66, "dgn": "1FFFD", "name": "DC_SOURCE_STATUS_1",
//    "instance": 1, "fields": {"dc_voltage": 13.2, "dc_current": null, ...}, "data": "01..."}
// Numbers in the catalogue's unit, names as text, not available as null, error as "error".
// PDU1 messages add "destination"; unknown messages have a null name and no fields.
nlohmann::ordered_json toJson(const DecodedMessage& m, int64_t micros);

// Bytes as upper-case hex without separators.
std::string hexText(std::span<const uint8_t> bytes);

}  // namespace corvane::decode
