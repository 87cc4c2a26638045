#include <gtest/gtest.h>

#include "mqtt/BridgeSettings.h"

namespace corvane::mqtt {
namespace {

TEST(BridgeSettings, ReadsKeyValueLines) {
    BridgeSettings s;
    std::string error;
    ASSERT_TRUE(
        parseBridgeSettings("# the coach\n broker = mqtts://b:8883\ncoach_id=c9\r\n"
                            "username = owner\npassword = p=w d\nca_file=/x/ca.crt\n"
                            "commands_enabled = yes\n"
                            "command_allowlist = DC_DIMMER_COMMAND_2:1,2\n\n",
                            s, error))
        << error;
    EXPECT_EQ(s.broker, "mqtts://b:8883");
    EXPECT_EQ(s.coachId, "c9");
    EXPECT_EQ(s.topicRoot, "RVC");  // not given: kept
    EXPECT_EQ(s.username, "owner");
    EXPECT_EQ(s.password, "p=w d");
    EXPECT_EQ(s.caFile, "/x/ca.crt");
    EXPECT_TRUE(s.commandsEnabled);
    EXPECT_EQ(s.commandAllowlist, "DC_DIMMER_COMMAND_2:1,2");
}

TEST(BridgeSettings, ReadsJson) {
    BridgeSettings s;
    std::string error;
    ASSERT_TRUE(parseBridgeSettings(
        R"({"coach_id": "c2", "topic_root": "rv", "commands_enabled": true})", s, error))
        << error;
    EXPECT_EQ(s.coachId, "c2");
    EXPECT_EQ(s.topicRoot, "rv");
    EXPECT_TRUE(s.commandsEnabled);
}

TEST(BridgeSettings, RefusesWhatItDoesNotKnowWithoutShowingValues) {
    const char* bad[] = {"colour = red\n", "password secret\n", "commands_enabled = maybe\n",
                         R"({"password": 5})", "{not json"};
    for (const char* text : bad) {
        BridgeSettings s;
        std::string error;
        EXPECT_FALSE(parseBridgeSettings(text, s, error)) << text;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find("secret"), std::string::npos);
    }
}

}  // namespace
}  // namespace corvane::mqtt
