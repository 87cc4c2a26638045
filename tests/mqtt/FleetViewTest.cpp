#include <gtest/gtest.h>

#include "mqtt/FleetView.h"

namespace corvane::mqtt {
namespace {

TEST(FleetView, OneRowPerCoachFromItsTopics) {
    FleetView v;
    EXPECT_TRUE(v.take("corvane/b2/status", "online"));
    EXPECT_TRUE(v.take("corvane/a1/status", "offline"));
    EXPECT_TRUE(v.take("corvane/b2/devices", R"({"count": 5, "devices": []})"));
    EXPECT_TRUE(v.take("corvane/b2/faults",
                       R"({"count": 1, "active": [{"device": "Tank at 48", "text": "low"}]})"));
    EXPECT_TRUE(v.take("corvane/b2/health", R"({"bus_load": {"average_percent": 2.5}})"));
    EXPECT_FALSE(v.take("corvane/b2/device/48/faults", R"({"problem": "ON"})"));
    EXPECT_FALSE(v.take("corvane/b2/devices", "not json"));
    EXPECT_FALSE(v.take("RVC/DM_RV", "{}"));
    const auto rows = v.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].coach, "a1");
    EXPECT_FALSE(rows[0].online);
    EXPECT_EQ(rows[1].devices, 5u);
    EXPECT_EQ(rows[1].faults, 1u);
    EXPECT_DOUBLE_EQ(rows[1].busLoad, 2.5);
    const auto j = v.toJson();
    EXPECT_EQ(j[1]["faults"][0], "Tank at 48: low");
    const std::string text = v.toText();
    EXPECT_NE(text.find("b2     online         5       1      2.5%"), std::string::npos) << text;
}

// Any client of a shared broker may publish under corvane/: a value of the wrong type is
// refused, and the coach's row keeps what it had.
TEST(FleetView, MalformedValuesAreRefusedAndChangeNothing) {
    const std::pair<const char*, const char*> rows[] = {
        {"corvane/c1/devices", R"({"count": "5"})"},
        {"corvane/c1/devices", R"({"count": -1})"},
        {"corvane/c1/devices", R"({"count": 2.5})"},
        {"corvane/c1/devices", R"({"count": null})"},
        {"corvane/c1/faults", R"({"count": [1]})"},
        {"corvane/c1/faults", R"({"count": 1, "active": {"device": "x"}})"},
        {"corvane/c1/faults", R"({"count": 1, "active": ["low"]})"},
        {"corvane/c1/faults", R"({"count": 1, "active": [{"device": 5, "text": "low"}]})"},
        {"corvane/c1/faults", R"({"count": 1, "active": [{"device": "Tank", "text": null}]})"},
        {"corvane/c1/faults", R"({"count": 1, "active": [{"device": "Tank"}]})"},
        {"corvane/c1/health", R"({"bus_load": 3})"},
        {"corvane/c1/health", R"({"bus_load": {"average_percent": "3"}})"},
        {"corvane/c1/health", R"({"bus_load": {"average_percent": {}}})"},
        {"corvane/c1/health", R"([1, 2])"},
    };
    FleetView v;
    ASSERT_TRUE(v.take("corvane/c1/devices", R"({"count": 4})"));
    ASSERT_TRUE(v.take("corvane/c1/faults",
                       R"({"count": 1, "active": [{"device": "Tank at 48", "text": "low"}]})"));
    ASSERT_TRUE(v.take("corvane/c1/health", R"({"bus_load": {"average_percent": 1.5}})"));
    for (const auto& [topic, payload] : rows) {
        SCOPED_TRACE(payload);
        EXPECT_FALSE(v.take(topic, payload));
        const auto r = v.rows().at(0);
        EXPECT_EQ(r.devices, 4u);
        EXPECT_EQ(r.faults, 1u);
        EXPECT_EQ(r.faultTexts, std::vector<std::string>{"Tank at 48: low"});
        EXPECT_DOUBLE_EQ(r.busLoad, 1.5);
    }
    EXPECT_EQ(v.coaches(), 1u);
}

}  // namespace
}  // namespace corvane::mqtt
