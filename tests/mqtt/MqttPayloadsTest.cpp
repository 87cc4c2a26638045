#include <gtest/gtest.h>

#include <array>

#include "decode/BuiltinCatalogue.h"
#include "decode/MessageDecoder.h"
#include "mqtt/MqttPayloads.h"

namespace corvane::mqtt {
namespace {

using Json = nlohmann::ordered_json;

Json content(uint32_t dgn, uint8_t sa, std::array<uint8_t, 8> bytes) {
    decode::DecodedMessage m;
    decode::decodeMessage(decode::builtinCatalogue(), dgn, sa, bytes, m);
    return messageContent(m);
}

TEST(MqttPayloads, DecodedMessageHasNameDgnInstanceAndFlatFields) {
    const Json j = content(0x1FFFD, 0x42, {0x01, 0x64, 0x08, 0x01, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(j["name"], "DC_SOURCE_STATUS_1");
    EXPECT_EQ(j["dgn"], "1FFFD");
    EXPECT_EQ(j["instance"], 1);
    EXPECT_DOUBLE_EQ(j["dc_voltage"].get<double>(), 13.2);
    EXPECT_TRUE(j["dc_current"].is_null());
    EXPECT_EQ(j["device_priority"], "inverter-charger");
    EXPECT_FALSE(j.contains("fields"));
    EXPECT_FALSE(j.contains("timestamp"));  // content compares equal while nothing changes
    const Json stamped = withTimestamp(j, 1'765'000'000'123'456);
    EXPECT_DOUBLE_EQ(stamped["timestamp"].get<double>(), 1765000000.123);
}

TEST(MqttPayloads, UnknownMessageKeepsItsBytes) {
    const Json j = content(0x1EF00, 0x42, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(j["name"].is_null());
    EXPECT_TRUE(j["instance"].is_null());
    EXPECT_EQ(j["data"], "0102030405060708");
}

health::HealthReport sampleReport() {
    health::HealthReport r;
    r.inventory.push_back({0x42, 1, "Inverter", "Norvale Power", "NV30", "S1", "on"});
    r.inventory.push_back({0x48, 2, "Tank", "", "", "", "on"});
    health::HealthReport::Fault f;
    f.address = 0x48;
    f.device = "Tank at 48";
    f.text = "sensor supply low";
    r.activeFaults.push_back(f);
    f.text = "level unknown";
    r.activeFaults.push_back(f);
    r.loadAverage = 3.5;
    r.frames = 1200;
    return r;
}

TEST(MqttPayloads, CoachStateCountsDevicesAndFaults) {
    const auto r = sampleReport();
    const Json d = devicesPayload("c1", r);
    EXPECT_EQ(d["coach"], "c1");
    EXPECT_EQ(d["count"], 2);
    EXPECT_EQ(d["devices"][0]["make"], "Norvale Power");
    const Json f = faultsPayload("c1", r);
    EXPECT_EQ(f["count"], 2);
    EXPECT_EQ(f["active"][1]["text"], "level unknown");
    const Json h = healthPayload("c1", r);
    EXPECT_DOUBLE_EQ(h["bus_load"]["average_percent"].get<double>(), 3.5);
    EXPECT_EQ(h["frames"], 1200);
}

TEST(MqttPayloads, DeviceFaultsJoinTheTextsOfThatAddressOnly) {
    const auto r = sampleReport();
    const Json tank = deviceFaultsPayload(r, 0x48);
    EXPECT_EQ(tank["problem"], "ON");
    EXPECT_EQ(tank["count"], 2);
    EXPECT_EQ(tank["text"], "sensor supply low; level unknown");
    const Json inverter = deviceFaultsPayload(r, 0x42);
    EXPECT_EQ(inverter["problem"], "OFF");
    EXPECT_EQ(inverter["count"], 0);
}

}  // namespace
}  // namespace corvane::mqtt

namespace corvane::mqtt {
namespace {

TEST(MqttPayloads, StableContentIgnoresWhatMovesOnItsOwn) {
    auto r = sampleReport();
    r.activeFaults[0].lastSeen = 1'000'000;
    const Json before = stableContent(faultsPayload("c1", r));
    r.activeFaults[0].lastSeen = 9'000'000;
    r.activeFaults[0].seen = 40;
    EXPECT_EQ(stableContent(faultsPayload("c1", r)), before);
    r.activeFaults[0].text = "another";
    EXPECT_NE(stableContent(faultsPayload("c1", r)), before);

    r.loadAverage = 3.52;
    r.frames = 5000;
    const Json load = stableContent(healthPayload("c1", r));
    r.loadAverage = 3.48;
    r.frames = 6000;
    EXPECT_EQ(stableContent(healthPayload("c1", r)), load);
    r.loadAverage = 3.7;
    EXPECT_NE(stableContent(healthPayload("c1", r)), load);
}

}  // namespace
}  // namespace corvane::mqtt
