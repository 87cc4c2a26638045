#include "mqtt/FleetView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "mqtt/MqttTopics.h"

namespace corvane::mqtt {

namespace {

using Json = nlohmann::json;

// A count: absent is 0, a whole number from 0 is itself, anything else is malformed.
std::optional<size_t> countIn(const Json& j) {
    const auto it = j.find("count");
    if (it == j.end()) return size_t{0};
    if (!it->is_number_unsigned()) return std::nullopt;
    return it->get<size_t>();
}

// "Device: text" for each active fault; nothing when a fault is not an object of two texts.
std::optional<std::vector<std::string>> faultTextsIn(const Json& j) {
    std::vector<std::string> out;
    const auto a = j.find("active");
    if (a == j.end()) return out;
    if (!a->is_array()) return std::nullopt;
    for (const auto& f : *a) {
        if (!f.is_object()) return std::nullopt;
        const auto device = f.find("device");
        const auto text = f.find("text");
        if (device == f.end() || !device->is_string() || text == f.end() || !text->is_string()) {
            return std::nullopt;
        }
        out.push_back(device->get<std::string>() + ": " + text->get<std::string>());
    }
    return out;
}

// The average bus load in %: absent or null is 0; anything but a number is malformed.
std::optional<double> busLoadIn(const Json& j) {
    const auto load = j.find("bus_load");
    if (load == j.end() || load->is_null()) return 0.0;
    if (!load->is_object()) return std::nullopt;
    const auto average = load->find("average_percent");
    if (average == load->end() || average->is_null()) return 0.0;
    if (!average->is_number()) return std::nullopt;
    return average->get<double>();
}

}  // namespace

bool FleetView::take(std::string_view topic, std::string_view payload) {
    const CoachTopicParts parts = splitCoachTopic(topic);
    if (parts.coach.empty()) return false;
    if (parts.rest == "status") {
        if (payload.empty()) return false;
        Row& r = coaches_[parts.coach];
        r.coach = parts.coach;
        r.online = payload == "online";
        return true;
    }
    if (parts.rest != "devices" && parts.rest != "faults" && parts.rest != "health") return false;
    // Anyone on a shared broker may publish here: every value is checked for its type before
    // it is read, and a payload with one wrong value changes nothing.
    const auto j = Json::parse(payload, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return false;
    if (parts.rest == "devices") {
        const auto count = countIn(j);
        if (!count) return false;
        Row& r = coaches_[parts.coach];
        r.coach = parts.coach;
        r.devices = *count;
    } else if (parts.rest == "faults") {
        const auto count = countIn(j);
        auto texts = faultTextsIn(j);
        if (!count || !texts) return false;
        Row& r = coaches_[parts.coach];
        r.coach = parts.coach;
        r.faults = *count;
        r.faultTexts = std::move(*texts);
    } else {
        const auto load = busLoadIn(j);
        if (!load) return false;
        Row& r = coaches_[parts.coach];
        r.coach = parts.coach;
        r.busLoad = *load;
    }
    return true;
}

std::vector<FleetView::Row> FleetView::rows() const {
    std::vector<Row> out;
    out.reserve(coaches_.size());
    for (const auto& [coach, row] : coaches_) out.push_back(row);
    return out;
}

std::string FleetView::toText() const {
    size_t width = 5;
    for (const auto& [coach, row] : coaches_) width = std::max(width, coach.size());
    std::string out;
    char line[512];
    std::snprintf(line, sizeof line, "%-*s  %-7s  %7s  %6s  %8s\n", static_cast<int>(width),
                  "COACH", "STATUS", "DEVICES", "FAULTS", "BUS LOAD");
    out += line;
    for (const auto& [coach, r] : coaches_) {
        std::snprintf(line, sizeof line, "%-*s  %-7s  %7zu  %6zu  %7.1f%%\n",
                      static_cast<int>(width), coach.c_str(), r.online ? "online" : "offline",
                      r.devices, r.faults, r.busLoad);
        out += line;
    }
    return out;
}

nlohmann::ordered_json FleetView::rowJson(std::string_view coach) const {
    const auto it = coaches_.find(std::string(coach));
    if (it == coaches_.end()) return nullptr;
    const Row& r = it->second;
    nlohmann::ordered_json j;
    j["coach"] = r.coach;
    j["online"] = r.online;
    j["devices"] = r.devices;
    j["active_faults"] = r.faults;
    j["bus_load_percent"] = std::round(r.busLoad * 100) / 100;
    j["faults"] = r.faultTexts;
    return j;
}

nlohmann::ordered_json FleetView::toJson() const {
    auto out = nlohmann::ordered_json::array();
    for (const auto& [coach, r] : coaches_) out.push_back(rowJson(coach));
    return out;
}

}  // namespace corvane::mqtt
