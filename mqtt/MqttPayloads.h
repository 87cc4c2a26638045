#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>

#include "decode/DecodedMessage.h"
#include "health/HealthReport.h"

namespace corvane::mqtt {

// What the bridge publishes, as JSON. Pure.

// A payload as text. Text from the bus (a PRODUCT_ID, a text field) need not be UTF-8: a byte
// that is not becomes U+FFFD instead of ending the program (nlohmann's dump() throws on it).
std::string jsonText(const nlohmann::ordered_json& j);

// A decoded message without its time, so that two payloads compare equal when nothing
// changed:
//   {"name": "DC_SOURCE_STATUS_1", "dgn": "1FFFD", "instance": 1, "dc_voltage": 13.2,
//    "dc_current": null, ...}
// Field names are snake_case; values as the decoder gives them (numbers in the catalogue's
// unit, names as text, null for not available, "error"). The instance is null when the
// message has none; an unknown message carries its bytes as "data".
nlohmann::ordered_json messageContent(const decode::DecodedMessage& m);
// The content with "timestamp" (seconds since 1970) added.
nlohmann::ordered_json withTimestamp(nlohmann::ordered_json content, int64_t micros);

// The coach's retained state, from a health report:
//   devices: {"coach": "c1", "count": 3, "devices": [{"address": 66, "dsa": ..., "make": ...}]}
//   faults:  {"coach": "c1", "count": 1, "active": [{"device": ..., "text": ..., ...}]}
//   health:  {"coach": "c1", "bus_load": {...}, "silent_nodes": [...], "frames": N}
nlohmann::ordered_json devicesPayload(std::string_view coach, const health::HealthReport& r);
nlohmann::ordered_json faultsPayload(std::string_view coach, const health::HealthReport& r);
nlohmann::ordered_json healthPayload(std::string_view coach, const health::HealthReport& r);
// What decides whether the coach's state changed: the payload without what moves on its own
// (when a fault was last seen and how often, frame counts) and with the bus load to 0.1 %,
// so that a quiet coach does not republish every second.
nlohmann::ordered_json stableContent(const nlohmann::ordered_json& payload);

// One device's faults for its problem and text entities:
//   {"problem": "ON", "text": "Low level (FMI 1); ...", "count": 1}
nlohmann::ordered_json deviceFaultsPayload(const health::HealthReport& r, uint8_t address);

}  // namespace corvane::mqtt
