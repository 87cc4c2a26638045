#include <gtest/gtest.h>

#include <set>
#include <string>

#include "mqtt/MqttTopics.h"

namespace corvane::mqtt {
namespace {

TEST(MqttTopics, SnakeCase) {
    const std::pair<const char*, const char*> rows[] = {
        {"DC_SOURCE_STATUS_1", "dc_source_status_1"},
        {"Fresh water 2", "fresh_water_2"},
        {"dcVoltage", "dc_voltage"},
        {"already_snake", "already_snake"},
        {"  spaced -- out  ", "spaced_out"},
        {"coach-7", "coach_7"},
        {"", ""},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(snakeCase(in), out) << in;
}

// Two coach ids never share a node id; plain ones keep theirs.
TEST(MqttTopics, CoachNodeIdsAreOneToOne) {
    const std::pair<const char*, const char*> rows[] = {
        {"coach", "coach"},       {"coach-7", "coach_7"},
        {"c-1", "c_1"},           {"c_1", "c-5f1"},
        {"C-1", "C_1"},           {"c--1", "c__1"},
        {"Coach 7", "Coach-207"}, {"caf\xC3\xA9", "caf-c3-a9"},
        {"a.b", "a-2eb"},
    };
    std::set<std::string> seen;
    for (const auto& [in, out] : rows) {
        EXPECT_EQ(coachNodeId(in), out) << in;
        EXPECT_TRUE(seen.insert(coachNodeId(in)).second) << in;
    }
}

TEST(MqttTopics, PrintableEscapesWhatATerminalWouldObey) {
    const std::pair<const char*, const char*> rows[] = {
        {"corvane/c1/light/1/set", "corvane/c1/light/1/set"},
        {"a\nb", "a\\x0Ab"},
        {"\x1B[2J", "\\x1B[2J"},
        {"back\\slash", "back\\x5Cslash"},
        {"caf\xC3\xA9\x7F", "caf\\xC3\\xA9\\x7F"},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(printable(in), out) << out;
}

TEST(MqttTopics, CommandTopicsNameAKindAndAnInstance) {
    struct Row {
        const char* topic;
        bool ok;
        CommandTopic::Kind kind;
        int instance;
    };
    using K = CommandTopic::Kind;
    const Row rows[] = {
        {"corvane/c1/light/2/set", true, K::Light, 2},
        {"corvane/c1/switch/252/set", true, K::Switch, 252},
        {"corvane/c1/switch/0/set", true, K::Switch, 0},
        {"corvane/c1/light/253/set", false, K::Light, 0},
        {"corvane/c1/light/007/set", false, K::Light, 0},
        {"corvane/c1/light/-1/set", false, K::Light, 0},
        {"corvane/c1/light/1000/set", false, K::Light, 0},
        {"corvane/c1/light//set", false, K::Light, 0},
        {"corvane/c1/light/2/state", false, K::Light, 0},
        {"corvane/c1/fan/2/set", false, K::Light, 0},
        {"corvane/c2/light/2/set", false, K::Light, 0},
        {"corvane/c1/light/2/x/set", false, K::Light, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.topic);
        const auto c = parseCommandTopic(CoachTopics{"c1"}, r.topic);
        ASSERT_EQ(c.has_value(), r.ok);
        if (!r.ok) continue;
        EXPECT_EQ(c->kind, r.kind);
        EXPECT_EQ(c->instance, r.instance);
    }
}

TEST(MqttTopics, TopicLevelsHaveNoSeparatorsOrWildcards) {
    EXPECT_TRUE(isTopicLevel("coach-7"));
    EXPECT_TRUE(isTopicLevel("RVC"));
    for (const char* bad : {"", "a/b", "+", "c#", "x+y"}) EXPECT_FALSE(isTopicLevel(bad)) << bad;
}

TEST(MqttTopics, TopicRootsAreLevelsWithoutWildcards) {
    for (const char* good : {"RVC", "fleet/coach-7/RVC"}) EXPECT_TRUE(isTopicRoot(good)) << good;
    for (const char* bad : {"", "/RVC", "RVC/", "a//b", "RVC/#", "+/RVC"}) {
        EXPECT_FALSE(isTopicRoot(bad)) << bad;
    }
}

TEST(MqttTopics, MessageAndCoachTopics) {
    EXPECT_EQ(messageTopic("RVC", "DC_SOURCE_STATUS_1", 1), "RVC/DC_SOURCE_STATUS_1/1");
    EXPECT_EQ(messageTopic("rv", "DM_RV", -1), "rv/DM_RV");
    EXPECT_EQ(messageTopic("RVC", "TANK_STATUS", 0), "RVC/TANK_STATUS/0");
    const CoachTopics t{"c7"};
    EXPECT_EQ(t.status(), "corvane/c7/status");
    EXPECT_EQ(t.devices(), "corvane/c7/devices");
    EXPECT_EQ(t.faults(), "corvane/c7/faults");
    EXPECT_EQ(t.health(), "corvane/c7/health");
    EXPECT_EQ(t.deviceFaults(0x5A), "corvane/c7/device/5A/faults");
    EXPECT_EQ(t.lightSet(2), "corvane/c7/light/2/set");
    EXPECT_EQ(t.lightState(2), "corvane/c7/light/2/state");
    EXPECT_EQ(t.switchSet(5), "corvane/c7/switch/5/set");
    EXPECT_EQ(t.switchState(5), "corvane/c7/switch/5/state");
}

TEST(MqttTopics, SplitsCoachTopics) {
    EXPECT_EQ(splitCoachTopic("corvane/c1/status").coach, "c1");
    EXPECT_EQ(splitCoachTopic("corvane/c1/device/42/faults").rest, "device/42/faults");
    EXPECT_EQ(splitCoachTopic("corvane/c1").coach, "");
    EXPECT_EQ(splitCoachTopic("corvane//status").coach, "");
    EXPECT_EQ(splitCoachTopic("RVC/DM_RV").coach, "");
}

}  // namespace
}  // namespace corvane::mqtt
