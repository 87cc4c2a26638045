#include <gtest/gtest.h>

#include "mqtt/CommandGate.h"
#include "mqtt/LightCommand.h"
#include "mqtt/LoadCommand.h"

namespace corvane::mqtt {
namespace {

TEST(CommandGate, ParsesAllowLists) {
    std::string error;
    const auto list = parseAllowList("DC_DIMMER_COMMAND_2:1,2; DC_LOAD_COMMAND:5", error);
    ASSERT_TRUE(list.has_value()) << error;
    const std::vector<AllowedCommand> expected = {
        {"DC_DIMMER_COMMAND_2", 1}, {"DC_DIMMER_COMMAND_2", 2}, {"DC_LOAD_COMMAND", 5}};
    EXPECT_EQ(*list, expected);
    EXPECT_TRUE(parseAllowList("", error)->empty());
    for (const char* bad : {"DC_DIMMER_COMMAND_2", ":1", "X:", "X:1,,2", "X:253", "X:-1", "X:a"}) {
        error.clear();
        EXPECT_FALSE(parseAllowList(bad, error).has_value()) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(CommandGate, ChecksEveryCondition) {
    struct Row {
        bool enabled;
        const char* name;
        int instance;
        bool muted;
        bool connected;
        bool passes;
    };
    const Row rows[] = {
        {true, "DC_DIMMER_COMMAND_2", 1, false, true, true},
        {false, "DC_DIMMER_COMMAND_2", 1, false, true, false},  // off by default
        {true, "DC_DIMMER_COMMAND_2", 3, false, true, false},   // instance not allowed
        {true, "DC_LOAD_COMMAND", 1, false, true, false},       // message not allowed
        {true, "DC_DIMMER_COMMAND_2", 1, true, true, false},    // muted
        {true, "DC_DIMMER_COMMAND_2", 1, false, false, false},  // no adapter
    };
    for (const Row& r : rows) {
        CommandGate gate(r.enabled, {{"DC_DIMMER_COMMAND_2", 1}}, 200'000);
        const std::string why = gate.check(r.name, r.instance, r.muted, r.connected, 0);
        EXPECT_EQ(why.empty(), r.passes) << r.name << " " << r.instance << ": " << why;
    }
}

TEST(CommandGate, OneCommandPerIntervalPerLight) {
    CommandGate gate(true, {{"DC_DIMMER_COMMAND_2", 1}, {"DC_DIMMER_COMMAND_2", 2}}, 200'000);
    EXPECT_EQ(gate.check("DC_DIMMER_COMMAND_2", 1, false, true, 1'000'000), "");
    EXPECT_NE(gate.check("DC_DIMMER_COMMAND_2", 1, false, true, 1'100'000), "");
    EXPECT_EQ(gate.check("DC_DIMMER_COMMAND_2", 2, false, true, 1'100'000), "");
    EXPECT_EQ(gate.check("DC_DIMMER_COMMAND_2", 1, false, true, 1'200'000), "");
}

TEST(LightCommand, ParsesHomeAssistantJson) {
    struct Row {
        const char* payload;
        bool ok;
        bool on;
        int brightness;  // -1: none
    };
    const Row rows[] = {
        {R"({"state": "ON", "brightness": 255})", true, true, 255},
        {R"({"state": "ON"})", true, true, -1},
        {R"({"state": "OFF"})", true, false, -1},
        {R"({"state": "ON", "brightness": 0})", true, true, 0},
        {R"({"state": "ON", "brightness": 256})", false, false, -1},
        {R"({"state": "ON", "brightness": 4294967551})", false, false, -1},  // 255 in 32 bits
        {R"({"state": "ON", "brightness": -1})", false, false, -1},
        {R"({"state": "ON", "brightness": 128.0})", false, false, -1},
        {R"({"state": "ON", "brightness": "x"})", false, false, -1},
        {R"({"state": "on"})", false, false, -1},
        {R"({"brightness": 10})", false, false, -1},
        {"ON", false, false, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.payload);
        const auto c = parseLightCommand(r.payload);
        ASSERT_EQ(c.has_value(), r.ok);
        if (!r.ok) continue;
        EXPECT_EQ(c->on, r.on);
        EXPECT_EQ(c->brightness.value_or(-1), r.brightness);
    }
}

TEST(LightCommand, BecomesDimmerCommand2) {
    using Bytes = std::array<uint8_t, 8>;
    EXPECT_EQ(dimmerCommandData(1, {true, 255}), (Bytes{1, 0xFF, 200, 0, 0xFF, 0xFC, 0xFF, 0xFF}));
    EXPECT_EQ(dimmerCommandData(2, {true, 128}), (Bytes{2, 0xFF, 100, 0, 0xFF, 0xFC, 0xFF, 0xFF}));
    EXPECT_EQ(dimmerCommandData(1, {true, {}}), (Bytes{1, 0xFF, 0xFF, 0, 0xFF, 0xFC, 0xFF, 0xFF}));
    EXPECT_EQ(dimmerCommandData(1, {false, {}}), (Bytes{1, 0xFF, 0, 3, 0xFF, 0xFC, 0xFF, 0xFF}));
    EXPECT_EQ(lightStateFromPercent(100).brightness, 255);
    EXPECT_FALSE(lightStateFromPercent(0).on);
    EXPECT_EQ(lightStateFromPercent(50).brightness, 128);
}

TEST(LoadCommand, OnAndOffBecomeDcLoadCommand) {
    using Bytes = std::array<uint8_t, 8>;
    EXPECT_TRUE(parseLoadCommand("ON")->on);
    EXPECT_FALSE(parseLoadCommand("OFF")->on);
    for (const char* bad : {"on", "", "1", R"({"state": "ON"})", "ON "}) {
        EXPECT_FALSE(parseLoadCommand(bad).has_value()) << bad;
    }
    EXPECT_EQ(loadCommandData(1, {true}), (Bytes{1, 0xFF, 200, 0xF3, 0, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(loadCommandData(7, {false}), (Bytes{7, 0xFF, 0, 0xF3, 3, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace corvane::mqtt
