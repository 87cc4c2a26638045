#include "mqtt/HaDiscovery.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

#include "mqtt/MqttTopics.h"

namespace corvane::mqtt {

using Json = nlohmann::ordered_json;

namespace {

std::string hex2(uint8_t v) {
    char s[4];
    std::snprintf(s, sizeof s, "%02X", v);
    return s;
}

// Messages whose values an owner watches.
constexpr std::array<std::string_view, 9> kWatched = {
    "TANK_STATUS",        "DC_SOURCE_STATUS_1",          "DC_SOURCE_STATUS_2",
    "DC_SOURCE_STATUS_3", "THERMOSTAT_AMBIENT_STATUS",   "INVERTER_STATUS",
    "CHARGER_STATUS",     "INVERTER_TEMPERATURE_STATUS", "WATER_HEATER_STATUS"};

struct SensorKind {
    const char* deviceClass;  // null: none
    const char* unit;
};

// The Home Assistant class a unit implies; nothing for a unit it has no class for.
std::optional<SensorKind> kindOf(std::string_view field, std::string_view unit) {
    if (unit == "V") return SensorKind{"voltage", "V"};
    if (unit == "A") return SensorKind{"current", "A"};
    if (unit == "°C") return SensorKind{"temperature", "°C"};
    if (unit == "%" && field == "state_of_charge") return SensorKind{"battery", "%"};
    if (unit == "%") return SensorKind{nullptr, "%"};
    return std::nullopt;
}

HaEntity entity(const HaContext& c, std::string_view component, const std::string& objectId,
                Json config) {
    Json j;
    j["unique_id"] = c.nodeId() + "_" + objectId;
    j["object_id"] = c.nodeId() + "_" + objectId;
    for (auto& [k, v] : config.items()) j[k] = v;
    j["availability_topic"] = CoachTopics{c.coach}.status();
    j["payload_available"] = "online";
    j["payload_not_available"] = "offline";
    return {c.prefix + "/" + std::string(component) + "/" + c.nodeId() + "/" + objectId + "/config",
            std::move(j)};
}

}  // namespace

bool haWatches(std::string_view messageName) {
    for (auto w : kWatched) {
        if (w == messageName) return true;
    }
    return false;
}

std::string HaContext::nodeId() const { return "corvane_" + coachNodeId(coach); }
std::string HaContext::coachDeviceId() const { return nodeId(); }
std::string HaContext::deviceId(uint8_t address) const { return nodeId() + "_" + hex2(address); }

Json haDevice(const HaContext& c, const health::HealthReport& r, uint8_t address) {
    Json d;
    d["identifiers"] = Json::array({c.deviceId(address)});
    std::string name = "Node " + hex2(address);
    for (const auto& row : r.inventory) {
        if (row.address != address) continue;
        if (!row.type.empty() && name.starts_with("Node "))
            name = row.type + " at " + hex2(address);
        if (!row.make.empty() && !d.contains("manufacturer")) d["manufacturer"] = row.make;
        if (!row.model.empty() && !d.contains("model")) d["model"] = row.model;
        if (!row.serial.empty() && !d.contains("serial_number")) d["serial_number"] = row.serial;
    }
    d["name"] = name;
    d["via_device"] = c.coachDeviceId();
    return d;
}

std::vector<HaEntity> haMessageEntities(const HaContext& c, const decode::DecodedMessage& m,
                                        const Json& device) {
    std::vector<HaEntity> out;
    if (!m.known()) return out;
    const std::string& name = m.spec->name;
    if (!haWatches(name)) return out;
    const std::string topic = messageTopic(c.root, name, m.instance);
    const std::string stem = hex2(m.source) + "_" + snakeCase(name) +
                             (m.instance >= 0 ? "_" + std::to_string(m.instance) : "");
    const std::string label =
        snakeCase(name) + (m.instance >= 0 ? " " + std::to_string(m.instance) : "");
    for (const auto& f : m.fields) {
        const std::string& field = f.spec->name;
        if (field == "instance" || field == "device_priority") continue;
        Json cfg;
        cfg["name"] = label + " " + field;
        cfg["state_topic"] = topic;
        cfg["device"] = device;
        if (name == "TANK_STATUS" && field == "relative_level") {
            // The level is a fraction of the resolution the sender chose.
            cfg["unit_of_measurement"] = "%";
            cfg["state_class"] = "measurement";
            cfg["value_template"] =
                "{{ (value_json.relative_level / value_json.resolution * 100) | round(0) "
                "if value_json.resolution else none }}";
        } else if (auto kind = kindOf(field, f.spec->unit)) {
            if (kind->deviceClass != nullptr) cfg["device_class"] = kind->deviceClass;
            cfg["unit_of_measurement"] = kind->unit;
            cfg["state_class"] = "measurement";
            cfg["value_template"] = "{{ value_json." + field + " }}";
        } else if (!f.spec->values.empty() && (field == "status" || field == "state")) {
            cfg["value_template"] = "{{ value_json." + field + " }}";
        } else {
            continue;
        }
        out.push_back(entity(c, "sensor", stem + "_" + field, std::move(cfg)));
    }
    return out;
}

std::vector<HaEntity> haFaultEntities(const HaContext& c, uint8_t address, const Json& device) {
    const std::string topic = CoachTopics{c.coach}.deviceFaults(address);
    const std::string stem = hex2(address);
    Json problem;
    problem["name"] = "problem";
    problem["device_class"] = "problem";
    problem["state_topic"] = topic;
    problem["value_template"] = "{{ value_json.problem }}";
    problem["device"] = device;
    Json text;
    text["name"] = "faults";
    text["icon"] = "mdi:alert-circle-outline";
    text["state_topic"] = topic;
    text["value_template"] = "{{ value_json.text }}";
    text["device"] = device;
    std::vector<HaEntity> out;
    out.push_back(entity(c, "binary_sensor", stem + "_problem", std::move(problem)));
    out.push_back(entity(c, "sensor", stem + "_faults", std::move(text)));
    return out;
}

std::vector<HaEntity> haCoachEntities(const HaContext& c) {
    const CoachTopics t{c.coach};
    Json device;
    device["identifiers"] = Json::array({c.coachDeviceId()});
    device["name"] = "Coach " + c.coach;
    device["manufacturer"] = "Corvane";
    device["model"] = "RV-C bridge";
    Json faults;
    faults["name"] = "active faults";
    faults["state_topic"] = t.faults();
    faults["value_template"] = "{{ value_json.count }}";
    faults["state_class"] = "measurement";
    faults["device"] = device;
    Json load;
    load["name"] = "bus load";
    load["state_topic"] = t.health();
    load["unit_of_measurement"] = "%";
    load["state_class"] = "measurement";
    load["value_template"] = "{{ value_json.bus_load.average_percent }}";
    load["device"] = device;
    std::vector<HaEntity> out;
    out.push_back(entity(c, "sensor", "coach_faults", std::move(faults)));
    out.push_back(entity(c, "sensor", "coach_bus_load", std::move(load)));
    return out;
}

HaEntity haLightEntity(const HaContext& c, int instance, const Json& device) {
    Json cfg;
    cfg["name"] = "light " + std::to_string(instance);
    cfg["schema"] = "json";
    cfg["brightness"] = true;
    cfg["command_topic"] = CoachTopics{c.coach}.lightSet(instance);
    cfg["state_topic"] = CoachTopics{c.coach}.lightState(instance);
    cfg["device"] = device;
    return entity(c, "light", "light_" + std::to_string(instance), std::move(cfg));
}

HaEntity haSwitchEntity(const HaContext& c, int instance, const Json& device) {
    Json cfg;
    cfg["name"] = "load " + std::to_string(instance);
    cfg["command_topic"] = CoachTopics{c.coach}.switchSet(instance);
    cfg["state_topic"] = CoachTopics{c.coach}.switchState(instance);
    cfg["payload_on"] = "ON";
    cfg["payload_off"] = "OFF";
    cfg["device"] = device;
    return entity(c, "switch", "switch_" + std::to_string(instance), std::move(cfg));
}

}  // namespace corvane::mqtt
