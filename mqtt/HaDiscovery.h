#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "decode/DecodedMessage.h"
#include "health/HealthReport.h"

namespace corvane::mqtt {

// Home Assistant's MQTT discovery for one coach. Pure: the same input gives the same configs.
// Every config is published retained under "<prefix>/<component>/<node_id>/<object_id>/config";
// node_id is "corvane_" and coachNodeId(coach), every unique_id starts with it, every entity's
// availability is the coach's status topic. Each RV-C node is a device (make, model and serial when
// it says), reached through the coach's own device (via_device).
struct HaContext {
    std::string coach;
    std::string root = "RVC";  // where decoded messages go
    std::string prefix = "homeassistant";

    std::string nodeId() const;
    std::string coachDeviceId() const;
    std::string deviceId(uint8_t address) const;
};

struct HaEntity {
    std::string topic;  // its config topic
    nlohmann::ordered_json config;
};

// The device block of the node at `address`, from the inventory rows of that address (the
// first with a make or model names it); a node not in the inventory is "Node 42".
nlohmann::ordered_json haDevice(const HaContext& c, const health::HealthReport& r, uint8_t address);

// Whether messages of that name give entities (below).
bool haWatches(std::string_view messageName);

// The sensors a decoded message gives: tank levels (in %), DC voltage, current, state of
// charge, temperatures, and the inverter's and charger's state as text. None for the rest.
std::vector<HaEntity> haMessageEntities(const HaContext& c, const decode::DecodedMessage& m,
                                        const nlohmann::ordered_json& device);

// A node's "problem" binary sensor and its faults in words, fed by its faults topic.
std::vector<HaEntity> haFaultEntities(const HaContext& c, uint8_t address,
                                      const nlohmann::ordered_json& device);

// The coach itself: active fault count and bus load, so that via_device names a device.
std::vector<HaEntity> haCoachEntities(const HaContext& c);

// A dimmable light taking JSON commands ({"state": "ON", "brightness": 0-255}) on its set topic.
HaEntity haLightEntity(const HaContext& c, int instance, const nlohmann::ordered_json& device);

// A switched load taking "ON" and "OFF" on its set topic.
HaEntity haSwitchEntity(const HaContext& c, int instance, const nlohmann::ordered_json& device);

}  // namespace corvane::mqtt
