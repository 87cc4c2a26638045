#include <gtest/gtest.h>

#include <array>
#include <map>

#include "decode/BuiltinCatalogue.h"
#include "decode/MessageDecoder.h"
#include "mqtt/HaDiscovery.h"

namespace corvane::mqtt {
namespace {

using Json = nlohmann::ordered_json;

const HaContext kCoach{"Coach 7", "RVC", "homeassistant"};

std::vector<HaEntity> entities(uint32_t dgn, std::array<uint8_t, 8> bytes) {
    decode::DecodedMessage m;
    decode::decodeMessage(decode::builtinCatalogue(), dgn, 0x42, bytes, m);
    return haMessageEntities(kCoach, m, Json::object());
}

std::map<std::string, Json> byObject(const std::vector<HaEntity>& list) {
    std::map<std::string, Json> out;
    for (const auto& e : list) out[e.config["unique_id"]] = e.config;
    return out;
}

TEST(HaDiscovery, EveryConfigHasItsTopicUniqueIdAndAvailability) {
    for (const auto& e : entities(0x1FFFD, {1, 0x64, 0x08, 0x01, 0x10, 0x27, 0, 0})) {
        SCOPED_TRACE(e.topic);
        EXPECT_TRUE(e.topic.starts_with("homeassistant/sensor/corvane_Coach-207/"));
        EXPECT_TRUE(e.topic.ends_with("/config"));
        const std::string id = e.config["unique_id"];
        EXPECT_TRUE(id.starts_with("corvane_Coach-207_42_dc_source_status_1_1_"));
        EXPECT_NE(e.topic.find(id.substr(std::string("corvane_Coach-207_").size())),
                  std::string::npos);
        EXPECT_EQ(e.config["availability_topic"], "corvane/Coach 7/status");
        EXPECT_EQ(e.config["state_topic"], "RVC/DC_SOURCE_STATUS_1/1");
    }
}

TEST(HaDiscovery, SensorsTakeTheirClassFromTheUnit) {
    struct Row {
        uint32_t dgn;
        std::array<uint8_t, 8> bytes;
        const char* uniqueId;
        const char* deviceClass;  // "" for none
        const char* unit;         // "" for none
    };
    const Row rows[] = {
        {0x1FFFD,
         {1, 0x64, 0x08, 0x01, 0, 0, 0, 0},
         "corvane_Coach-207_42_dc_source_status_1_1_dc_voltage",
         "voltage",
         "V"},
        {0x1FFFD,
         {1, 0x64, 0x08, 0x01, 0, 0, 0, 0},
         "corvane_Coach-207_42_dc_source_status_1_1_dc_current",
         "current",
         "A"},
        {0x1FFFC,
         {1, 0x64, 0x00, 0x25, 150, 0xFF, 0xFF, 0xFF},
         "corvane_Coach-207_42_dc_source_status_2_1_state_of_charge",
         "battery",
         "%"},
        {0x1FFFC,
         {1, 0x64, 0x00, 0x25, 150, 0xFF, 0xFF, 0xFF},
         "corvane_Coach-207_42_dc_source_status_2_1_source_temperature",
         "temperature",
         "°C"},
        {0x1FF9C,
         {1, 0x00, 0x25, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "corvane_Coach-207_42_thermostat_ambient_status_1_ambient_temperature",
         "temperature",
         "°C"},
        {0x1FFB7,
         {0, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "corvane_Coach-207_42_tank_status_0_relative_level",
         "",
         "%"},
        {0x1FFD4,
         {1, 2, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "corvane_Coach-207_42_inverter_status_1_status",
         "",
         ""},
        {0x1FFC7,
         {1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0xFF},
         "corvane_Coach-207_42_charger_status_1_state",
         "",
         ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.uniqueId);
        const auto all = byObject(entities(r.dgn, r.bytes));
        ASSERT_TRUE(all.contains(r.uniqueId));
        const Json& c = all.at(r.uniqueId);
        EXPECT_EQ(c.value("device_class", ""), r.deviceClass);
        EXPECT_EQ(c.value("unit_of_measurement", ""), r.unit);
        EXPECT_NE(c.value("value_template", "").find("value_json."), std::string::npos);
    }
}

TEST(HaDiscovery, FieldsAndMessagesWithoutMeaningForAnOwnerGiveNothing) {
    const auto source = byObject(entities(0x1FFFD, {1, 0x64, 0x08, 0x01, 0, 0, 0, 0}));
    EXPECT_FALSE(source.contains("corvane_Coach-207_42_dc_source_status_1_1_device_priority"));
    EXPECT_FALSE(source.contains("corvane_Coach-207_42_dc_source_status_1_1_instance"));
    EXPECT_TRUE(entities(0x1FECA, {0x05, 0x42, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).empty());
    EXPECT_TRUE(entities(0x1EF00, {1, 2, 3, 4, 5, 6, 7, 8}).empty());
}

TEST(HaDiscovery, DeviceBlockNamesTheNodeAndTheCoachAsVia) {
    health::HealthReport r;
    r.inventory.push_back({0x42, 0x05, "Inverter", "", "", "", "on"});
    r.inventory.push_back({0x42, 0x06, "Charger", "Norvale Power", "NV30", "S-118", "on"});
    const Json d = haDevice(kCoach, r, 0x42);
    EXPECT_EQ(d["identifiers"][0], "corvane_Coach-207_42");
    EXPECT_EQ(d["name"], "Inverter at 42");
    EXPECT_EQ(d["manufacturer"], "Norvale Power");
    EXPECT_EQ(d["model"], "NV30");
    EXPECT_EQ(d["serial_number"], "S-118");
    EXPECT_EQ(d["via_device"], "corvane_Coach-207");
    const Json unknown = haDevice(kCoach, r, 0x8E);
    EXPECT_EQ(unknown["name"], "Node 8E");
    EXPECT_FALSE(unknown.contains("manufacturer"));
}

TEST(HaDiscovery, FaultEntitiesPerDeviceAndTheCoachDevice) {
    const auto faults = haFaultEntities(kCoach, 0x5A, Json::object());
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_EQ(faults[0].topic, "homeassistant/binary_sensor/corvane_Coach-207/5A_problem/config");
    EXPECT_EQ(faults[0].config["device_class"], "problem");
    EXPECT_EQ(faults[0].config["state_topic"], "corvane/Coach 7/device/5A/faults");
    EXPECT_EQ(faults[1].topic, "homeassistant/sensor/corvane_Coach-207/5A_faults/config");
    const auto coach = haCoachEntities(kCoach);
    ASSERT_FALSE(coach.empty());
    EXPECT_EQ(coach[0].config["device"]["identifiers"][0], "corvane_Coach-207");
}

TEST(HaDiscovery, LightsAndSwitchesTakeCommandsOnTheirSetTopics) {
    const HaEntity l = haLightEntity(kCoach, 2, Json::object());
    EXPECT_EQ(l.topic, "homeassistant/light/corvane_Coach-207/light_2/config");
    EXPECT_EQ(l.config["schema"], "json");
    EXPECT_EQ(l.config["command_topic"], "corvane/Coach 7/light/2/set");
    EXPECT_EQ(l.config["state_topic"], "corvane/Coach 7/light/2/state");
    const HaEntity s = haSwitchEntity(kCoach, 5, Json::object());
    EXPECT_EQ(s.topic, "homeassistant/switch/corvane_Coach-207/switch_5/config");
    EXPECT_EQ(s.config["command_topic"], "corvane/Coach 7/switch/5/set");
    EXPECT_EQ(s.config["state_topic"], "corvane/Coach 7/switch/5/state");
    EXPECT_EQ(s.config["payload_on"], "ON");
    EXPECT_EQ(s.config["availability_topic"], "corvane/Coach 7/status");
}

}  // namespace
}  // namespace corvane::mqtt
