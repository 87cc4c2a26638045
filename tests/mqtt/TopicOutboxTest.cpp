#include <gtest/gtest.h>

#include "mqtt/TopicOutbox.h"

namespace corvane::mqtt {
namespace {

constexpr int64_t kInterval = 250'000;

TEST(TopicOutbox, SendsOnlyWhatChanged) {
    TopicOutbox box(kInterval, 16);
    EXPECT_TRUE(box.offer("t", "a", "a@1", 0, false));
    ASSERT_EQ(box.due(0).size(), 1u);
    EXPECT_FALSE(box.offer("t", "a", "a@2", 0, false));  // same content, a newer time only
    EXPECT_TRUE(box.due(kInterval * 10).empty());
    EXPECT_TRUE(box.offer("t", "b", "b@3", 0, false));
    const auto out = box.due(kInterval * 10);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].payload, "b@3");
}

TEST(TopicOutbox, RateLimitKeepsTheLatestValue) {
    TopicOutbox box(kInterval, 16);
    box.offer("t", "1", "1", 1, true);
    ASSERT_EQ(box.due(1'000'000).size(), 1u);
    box.offer("t", "2", "2", 1, true);
    box.offer("t", "3", "3", 1, true);
    EXPECT_TRUE(box.due(1'000'000 + kInterval - 1).empty());
    const auto out = box.due(1'000'000 + kInterval);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].payload, "3");
    EXPECT_EQ(out[0].qos, 1);
    EXPECT_TRUE(out[0].retain);
    EXPECT_EQ(box.pending(), 0u);
}

TEST(TopicOutbox, UnsentAndEverythingOnReconnectionGoOutAgain) {
    TopicOutbox box(kInterval, 16);
    box.offer("state", "s", "s", 1, true);
    box.offer("value", "v", "v", 0, false);
    ASSERT_EQ(box.due(0).size(), 2u);
    box.unsent("value");  // it could not be handed over
    EXPECT_EQ(box.due(1).size(), 1u);
    box.resendAll();  // a new connection: what went into the old one may be lost
    EXPECT_EQ(box.due(2).size(), 2u);
}

// Names alone would send "RVC/..." before "corvane/..." before "homeassistant/...".
TEST(TopicOutbox, DiscoveryGoesOutBeforeStateBeforeValues) {
    TopicOutbox box(kInterval, 16);
    box.offer("RVC/TANK_STATUS/0", "v", "v", 0, false, TopicOutbox::Kind::Value);
    box.offer("corvane/c/device/48/faults", "f", "f", 1, true, TopicOutbox::Kind::State);
    box.offer("homeassistant/sensor/x/config", "c", "c", 1, true, TopicOutbox::Kind::Discovery);
    box.offer("RVC/DC_SOURCE_STATUS_1/1", "v", "v", 0, false, TopicOutbox::Kind::Value);
    const auto out = box.due(0);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].topic, "homeassistant/sensor/x/config");
    EXPECT_EQ(out[1].topic, "corvane/c/device/48/faults");
    EXPECT_EQ(out[2].topic, "RVC/DC_SOURCE_STATUS_1/1");
    EXPECT_EQ(out[3].topic, "RVC/TANK_STATUS/0");
}

TEST(TopicOutbox, IsBounded) {
    TopicOutbox box(kInterval, 2);
    EXPECT_TRUE(box.offer("a", "1", "1", 0, false));
    EXPECT_TRUE(box.offer("b", "1", "1", 0, false));
    EXPECT_FALSE(box.offer("c", "1", "1", 0, false));
    EXPECT_TRUE(box.offer("a", "2", "2", 0, false));  // known topics still change
    EXPECT_EQ(box.dropped(), 1u);
    // The coach's state and discovery are never crowded out by decoded values.
    EXPECT_TRUE(box.offer("s", "1", "1", 1, true, TopicOutbox::Kind::State));
    EXPECT_TRUE(box.offer("d", "1", "1", 1, true, TopicOutbox::Kind::Discovery));
    EXPECT_EQ(box.size(), 4u);
    box.forget("a");
    EXPECT_TRUE(box.offer("c", "1", "1", 0, false));
    EXPECT_FALSE(box.offer("e", "1", "1", 0, false));
    EXPECT_EQ(box.dropped(), 2u);
}

}  // namespace
}  // namespace corvane::mqtt
