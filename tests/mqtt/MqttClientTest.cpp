// The client against real brokers, plain and TLS.
#include "mqtt/MqttClient.h"

#include <gtest/gtest.h>

#include "tests/mqtt/TestBroker.h"
#include "tests/mqtt/TopicRecorder.h"
#include "tests/support/WaitUntil.h"

namespace corvane::test {
namespace {

using namespace std::chrono_literals;

mqtt::MqttClient::Options optionsFor(const std::string& url) {
    mqtt::MqttClient::Options o;
    o.url = *mqtt::parseMqttUrl(url).url;
    return o;
}

TEST(MqttClient, RefusesAPasswordInTheClearToAnotherMachine) {
    struct Row {
        const char* url;
        bool starts;
    };
    const Row rows[] = {
        {"mqtt://10.1.2.3:1883", false},
        {"mqtt://broker.example:1883", false},
        {"mqtt://127.0.0.1:1", true},
        {"mqtt://localhost:1", true},
        {"mqtts://10.1.2.3:1", true},
        {"mqtt://127.evil.example:1", false},
        {"mqtt://127.0.0.1.nip.example:1", false},
        {"mqtt://localhost.example:1", false},
        {"mqtt://127.9.8.7:1", true},
        {"mqtt://[::1]:1", true},
        {"mqtt://[::ffff:127.0.0.1]:1", true},
        {"mqtt://[::2]:1", false},
        {"mqtt://127.1:1", false},  // not an address inet_pton reads: a name
    };
    for (const Row& r : rows) {
        mqtt::MqttClient client;
        auto o = optionsFor(r.url);
        o.username = "owner";
        o.password = "hunter2";
        std::string error;
        EXPECT_EQ(client.start(o, error), r.starts) << r.url;
        EXPECT_EQ(error.find("hunter2"), std::string::npos);
        if (!r.starts) {
            EXPECT_NE(error.find("clear"), std::string::npos) << error;
        }
        client.stop();
    }
}

TEST(MqttClient, RetainedMessageReachesALaterSubscriber) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    mqtt::MqttClient client;
    std::string error;
    ASSERT_TRUE(client.start(optionsFor(broker.url()), error)) << error;
    ASSERT_TRUE(waitUntil([&] { return client.connected(); }));
    ASSERT_TRUE(client.publish("t/kept", "42", 1, true));
    ASSERT_TRUE(waitUntil([&] { return client.unacknowledged() == 0; }));
    TopicRecorder r(broker.url(), "t/#");
    EXPECT_TRUE(waitUntil([&] { return r.last("t/kept") == "42"; }));
}

TEST(MqttClient, TlsBrokerWithItsCertificateAuthority) {
    TestBroker broker(TestBrokerTls{true, "127.0.0.1"});
    ASSERT_TRUE(broker.start());
    TopicRecorder r(broker.url(), "t/#", {broker.caFile(), "", ""});
    ASSERT_TRUE(waitUntil([&] { return r.connected(); }, 10s)) << r.client().lastError();
    mqtt::MqttClient client;
    auto o = optionsFor(broker.url());
    o.caFile = broker.caFile();
    std::string error;
    ASSERT_TRUE(client.start(o, error)) << error;
    ASSERT_TRUE(waitUntil([&] { return client.connected(); }, 10s)) << client.lastError();
    client.publish("t/secure", "yes", 1, false);
    EXPECT_TRUE(waitUntil([&] { return r.last("t/secure") == "yes"; }));
}

TEST(MqttClient, TlsRefusesACertificateForAnotherHost) {
    TestBroker broker(TestBrokerTls{true, "wrong.example"});
    ASSERT_TRUE(broker.start());
    mqtt::MqttClient client;
    auto o = optionsFor(broker.url());
    o.caFile = broker.caFile();
    std::string error;
    ASSERT_TRUE(client.start(o, error)) << error;
    EXPECT_TRUE(waitUntil(
        [&] {
            return client.lastError().find("host name verification failed") != std::string::npos;
        },
        10s))
        << client.lastError();
    EXPECT_FALSE(client.connected());
}

TEST(MqttClient, TlsRefusesAnAuthorityTheSystemDoesNotKnow) {
    TestBroker broker(TestBrokerTls{true, "127.0.0.1"});
    ASSERT_TRUE(broker.start());
    mqtt::MqttClient client;
    std::string error;
    ASSERT_TRUE(client.start(optionsFor(broker.url()), error)) << error;
    EXPECT_TRUE(waitUntil(
        [&] { return client.lastError().find("certificate verify failed") != std::string::npos; },
        10s))
        << client.lastError();
    EXPECT_FALSE(client.connected());
}

TEST(MqttClient, UnreadableCaFileIsRefusedAtOnce) {
    mqtt::MqttClient client;
    auto o = optionsFor("mqtts://127.0.0.1:1");
    o.caFile = "/nonexistent/ca.crt";
    std::string error;
    EXPECT_FALSE(client.start(o, error));
    EXPECT_NE(error.find("/nonexistent/ca.crt"), std::string::npos);
}

}  // namespace
}  // namespace corvane::test
