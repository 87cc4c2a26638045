#include "mqtt/MqttPayloads.h"

#include <cmath>

#include "decode/MessageFormat.h"
#include "health/ReportFormats.h"
#include "mqtt/MqttTopics.h"

namespace corvane::mqtt {

using Json = nlohmann::ordered_json;

std::string jsonText(const Json& j) {
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json messageContent(const decode::DecodedMessage& m) {
    const Json full = decode::toJson(m, 0);
    Json j;
    j["name"] = m.known() ? Json(m.spec->name) : Json(nullptr);
    j["dgn"] = full["dgn"];
    j["instance"] = m.instance >= 0 ? Json(m.instance) : Json(nullptr);
    if (full.contains("fields")) {
        for (const auto& [key, value] : full["fields"].items()) {
            if (key == "instance") continue;
            j[snakeCase(key)] = value;
        }
    }
    if (!m.known()) j["data"] = full["data"];
    return j;
}

Json withTimestamp(Json content, int64_t micros) {
    // Milliseconds are enough, and keep the number short.
    const int64_t millis = micros / 1000;
    content["timestamp"] = static_cast<double>(millis) / 1000.0;
    return content;
}

Json devicesPayload(std::string_view coach, const health::HealthReport& r) {
    const Json full = health::reportToJson(r);
    Json j;
    j["coach"] = coach;
    j["count"] = r.inventory.size();
    j["devices"] = full["inventory"];
    return j;
}

Json faultsPayload(std::string_view coach, const health::HealthReport& r) {
    const Json full = health::reportToJson(r);
    Json j;
    j["coach"] = coach;
    j["count"] = r.activeFaults.size();
    j["active"] = full["faults"]["active"];
    return j;
}

Json healthPayload(std::string_view coach, const health::HealthReport& r) {
    const Json full = health::reportToJson(r);
    Json j;
    j["coach"] = coach;
    j["bus_load"] = full["bus_load"];
    j["silent_nodes"] = full["silent_nodes"];
    j["frames"] = r.frames;
    return j;
}

Json stableContent(const Json& payload) {
    Json j = payload;
    if (auto a = j.find("active"); a != j.end() && a->is_array()) {
        for (auto& f : *a) {
            for (const char* key : {"last_seen", "last_seen_us", "times_seen"}) f.erase(key);
        }
    }
    if (auto load = j.find("bus_load"); load != j.end() && load->is_object()) {
        for (auto& [key, value] : load->items()) {
            if (value.is_number_float()) value = std::round(value.get<double>() * 10) / 10;
        }
    }
    j.erase("frames");
    return j;
}

Json deviceFaultsPayload(const health::HealthReport& r, uint8_t address) {
    std::string text;
    size_t count = 0;
    for (const auto& f : r.activeFaults) {
        if (f.address != address) continue;
        if (!text.empty()) text += "; ";
        text += f.text;
        ++count;
    }
    Json j;
    j["problem"] = count > 0 ? "ON" : "OFF";
    j["text"] = count > 0 ? text : "no fault";
    j["count"] = count;
    return j;
}

}  // namespace corvane::mqtt
