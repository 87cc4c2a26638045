#include <gtest/gtest.h>

#include "mqtt/MqttUrl.h"

namespace corvane::mqtt {
namespace {

TEST(MqttUrl, ParsesSchemesHostsAndPorts) {
    struct Row {
        const char* text;
        bool ok;
        bool tls;
        const char* host;
        int port;
    };
    const Row rows[] = {
        {"mqtt://broker.local", true, false, "broker.local", 1883},
        {"mqtts://broker.local", true, true, "broker.local", 8883},
        {"mqtt://10.0.0.5:1884", true, false, "10.0.0.5", 1884},
        {"mqtts://10.0.0.5:9000/", true, true, "10.0.0.5", 9000},
        {"mqtt://[::1]:1884", true, false, "::1", 1884},
        {"mqtt://[::1]", true, false, "::1", 1883},
        {"http://broker", false, false, "", 0},
        {"broker:1883", false, false, "", 0},
        {"mqtt://", false, false, "", 0},
        {"mqtt://:1883", false, false, "", 0},
        {"mqtt://h:", false, false, "", 0},
        {"mqtt://h:0", false, false, "", 0},
        {"mqtt://h:65536", false, false, "", 0},
        {"mqtt://h:12x", false, false, "", 0},
        {"mqtt://user@h:1883", false, false, "", 0},
        {"mqtt://[::1", false, false, "", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        const MqttUrlResult u = parseMqttUrl(r.text);
        ASSERT_EQ(u.url.has_value(), r.ok);
        if (!r.ok) {
            EXPECT_FALSE(u.error.empty());
            continue;
        }
        EXPECT_EQ(u.url->tls, r.tls);
        EXPECT_EQ(u.url->host, r.host);
        EXPECT_EQ(u.url->port, r.port);
    }
}

TEST(MqttUrl, LoopbackHostsAreTheMachineItself) {
    EXPECT_TRUE(isLoopbackHost("localhost"));
    EXPECT_TRUE(isLoopbackHost("127.0.0.1"));
    EXPECT_TRUE(isLoopbackHost("127.1.2.3"));
    EXPECT_TRUE(isLoopbackHost("::1"));
    EXPECT_FALSE(isLoopbackHost("10.0.0.5"));
    EXPECT_FALSE(isLoopbackHost("localhost.example.com"));
    EXPECT_FALSE(isLoopbackHost("broker"));
}

}  // namespace
}  // namespace corvane::mqtt
