// The bridge in the network core, fed a log frame by frame, against a real broker.
#include "mqtt/MqttBridge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <nlohmann/json.hpp>

#include "adapters/CandumpLogParser.h"
#include "decode/LogClock.h"
#include "decode/LogNetwork.h"
#include "health/HealthMonitor.h"
#include "logs/LogFrameReader.h"
#include "mqtt/MqttClient.h"
#include "sim/SimulatedVehicle.h"
#include "tests/mqtt/TestBroker.h"
#include "tests/mqtt/TopicRecorder.h"
#include "tests/support/WaitUntil.h"

namespace corvane::test {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

const std::string kDemoLog = std::string(CORVANE_EXAMPLE_LOGS) + "/demo-vehicle.log";

// The network core reading the demo log, with the bridge behind the health monitor.
struct BridgeRig {
    explicit BridgeRig(const std::string& coach,
                       const std::function<void(mqtt::MqttBridge::Config&)>& tweak = {}) {
        mqtt::MqttBridge::Config config;
        config.coach = coach;
        config.stateIntervalMicros = 0;  // the coach's state at every round
        if (tweak) tweak(config);
        bridge = std::make_unique<mqtt::MqttBridge>(
            config, client,
            mqtt::MqttBridge::Network{&monitor, &network.devices, nullptr, nullptr, {}},
            [this] { return logMicros.load(); }, &monitor);
        network.manager.setClientDelivery(bridge.get());
        reader = std::make_unique<LogFrameReader>();
        EXPECT_TRUE(reader->open(kDemoLog));
    }
    ~BridgeRig() {
        network.manager.setClientDelivery(nullptr);
        bridge->stop();
        client.stop();
    }
    bool connect(const std::string& url) {
        mqtt::MqttClient::Options o;
        o.url = *mqtt::parseMqttUrl(url).url;
        std::string error;
        if (!client.start(o, error)) return false;
        bridge->start();
        return true;
    }
    // Feeds the log up to `seconds` after its start (all of it for a negative number).
    void playUntil(double seconds) {
        CandumpRecord record;
        while (reader->next(record)) {
            if (first == 0) first = record.micros;
            clock.setMicros(record.micros);
            logMicros = record.micros;
            network.manager.intake(frameFromCandump(record));
            if (seconds >= 0 && record.micros - first >= static_cast<int64_t>(seconds * 1e6))
                return;
        }
    }

    std::unique_ptr<LogFrameReader> reader;
    int64_t first = 0;
    std::atomic<int64_t> logMicros{0};
    decode::LogClock clock;
    decode::LogNetwork network{clock};
    health::HealthMonitor monitor{[this] { return logMicros.load(); }};
    mqtt::MqttClient client;
    std::unique_ptr<mqtt::MqttBridge> bridge;
};

Json faultsOf(const TopicRecorder& r, const std::string& coach) {
    const auto p = r.last("corvane/" + coach + "/faults");
    return p ? Json::parse(*p, nullptr, false) : Json();
}

bool hasFault(const Json& faults, const std::string& spn) {
    if (!faults.is_object()) return false;
    for (const auto& f : faults["active"]) {
        if (f["text"].get<std::string>().find("SPN " + spn + " ") != std::string::npos) return true;
    }
    return false;
}

// The water heater's fault is raised at 15 s and cleared at 35 s; the tank's from 40 s on.
TEST(MqttBridge, FaultRaisedAndClearedReachesTheBroker) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    TopicRecorder r(broker.url(), "corvane/#");
    BridgeRig rig("c5");
    ASSERT_TRUE(rig.connect(broker.url()));
    rig.playUntil(25);
    ASSERT_TRUE(waitUntil([&] { return hasFault(faultsOf(r, "c5"), "168"); }, 10s));
    EXPECT_FALSE(hasFault(faultsOf(r, "c5"), "3509"));
    rig.playUntil(-1);
    ASSERT_TRUE(waitUntil([&] { return hasFault(faultsOf(r, "c5"), "3509"); }, 10s));
    EXPECT_TRUE(waitUntil([&] { return !hasFault(faultsOf(r, "c5"), "168"); }, 10s));
    EXPECT_EQ(faultsOf(r, "c5")["count"], 1);
}

// Intake never waits for the broker: with none there, the latest values wait in the bridge
// and go out once it comes.
TEST(MqttBridge, BrokerAwayKeepsTheLatestValuesForLater) {
    TestBroker broker;
    broker.usePort(freeLoopbackPort());
    BridgeRig rig("c6");
    ASSERT_TRUE(rig.connect(broker.url()));
    const auto started = std::chrono::steady_clock::now();
    rig.playUntil(-1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    EXPECT_EQ(rig.bridge->dropped(), 0u);
    EXPECT_FALSE(rig.bridge->idle());
    EXPECT_EQ(rig.bridge->published(), 0u);
    ASSERT_TRUE(broker.start());
    TopicRecorder r(broker.url());
    ASSERT_TRUE(waitUntil([&] { return hasFault(faultsOf(r, "c6"), "3509"); }, 30s))
        << rig.client.connected() << " " << rig.client.lastError() << " " << r.under("").size()
        << " " << rig.bridge->published();
    EXPECT_TRUE(waitUntil([&] { return r.last("corvane/c6/status") == "online"; }));
    EXPECT_TRUE(waitUntil([&] { return r.last("RVC/DC_SOURCE_STATUS_1/1").has_value(); }));
    EXPECT_TRUE(waitUntil([&] { return rig.bridge->idle(); }));
}

}  // namespace
}  // namespace corvane::test

namespace corvane::test {
namespace {

// No ghosts in Home Assistant: a node gone from the tables takes every entity of its own along,
// and a config an earlier run of the coach left is removed; each by an empty retained config.
TEST(MqttBridge, EntitiesOfAVanishedNodeAndOfAnEarlierRunAreRemoved) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    const std::string stale = "homeassistant/sensor/corvane_c7/99_old_reading/config";
    {
        mqtt::MqttClient earlier;
        mqtt::MqttClient::Options o;
        o.url = *mqtt::parseMqttUrl(broker.url()).url;
        std::string error;
        ASSERT_TRUE(earlier.start(o, error)) << error;
        ASSERT_TRUE(waitUntil([&] { return earlier.connected(); }));
        ASSERT_TRUE(earlier.publish(stale, R"({"name": "old"})", 1, true));
        ASSERT_TRUE(waitUntil([&] { return earlier.unacknowledged() == 0; }));
    }
    TopicRecorder r(broker.url(), "homeassistant/#");
    ASSERT_TRUE(waitUntil([&] { return r.last(stale).value_or("") != ""; }));
    BridgeRig rig("c7", [](mqtt::MqttBridge::Config& c) {
        c.commandsEnabled = true;
        c.allowed = {{"DC_DIMMER_COMMAND_2", 1}};
        c.leftoverGraceMicros = 0;
    });
    ASSERT_TRUE(rig.connect(broker.url()));
    rig.playUntil(-1);
    const std::string problem = "homeassistant/binary_sensor/corvane_c7/48_problem/config";
    const std::string volts =
        "homeassistant/sensor/corvane_c7/42_dc_source_status_1_1_dc_voltage/config";
    const std::string light = "homeassistant/light/corvane_c7/light_1/config";
    const std::string coachFaults = "homeassistant/sensor/corvane_c7/coach_faults/config";
    const auto present = [&](const std::string& t) { return !r.last(t).value_or("").empty(); };
    ASSERT_TRUE(waitUntil(
        [&] {
            return present(problem) && present(volts) && present(light) && present(coachFaults);
        },
        10s));
    EXPECT_TRUE(waitUntil([&] { return r.last(stale) == ""; }, 10s));
    rig.network.devices.clear();
    EXPECT_TRUE(waitUntil(
        [&] { return r.last(problem) == "" && r.last(volts) == "" && r.last(light) == ""; }, 10s));
    EXPECT_TRUE(present(coachFaults));  // the coach itself stays
}

// Home Assistant reads an entity's config before it subscribes to its state: the config goes
// out first, and a value that never changes (the black tank at 25 %) is sent again after Home
// Assistant asks for the discovery once more.
TEST(MqttBridge, HomeAssistantGetsConfigsBeforeStatesAndStatesAfterRediscovery) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    TopicRecorder all(broker.url());
    ASSERT_TRUE(waitUntil([&] { return all.connected(); }));
    BridgeRig rig("c8");
    ASSERT_TRUE(rig.connect(broker.url()));
    rig.playUntil(-1);
    const std::string config =
        "homeassistant/sensor/corvane_c8/48_tank_status_1_relative_level/config";
    const std::string state = "RVC/TANK_STATUS/1";
    ASSERT_TRUE(waitUntil([&] { return all.last(config) && all.last(state); }, 10s));
    EXPECT_LT(all.firstArrival(config), all.firstArrival(state));
    ASSERT_TRUE(waitUntil([&] { return rig.bridge->idle(); }, 10s));

    // Home Assistant starting later: it subscribes to what the retained config names, then
    // says it is online.
    std::atomic<bool> subscribed{false};
    std::atomic<int> states{0};
    mqtt::MqttClient ha;  // after what its callback touches, so that it ends first
    ha.onMessage([&](const std::string& topic, const std::string& payload, bool) {
        if (topic == config && !payload.empty() && !subscribed) {
            const Json c = Json::parse(payload, nullptr, false);
            if (c.is_object() && c["state_topic"] == state) {
                ha.subscribe(state, 0);
                subscribed = true;
            }
        } else if (topic == state) {
            ++states;
        }
    });
    ha.subscribe("homeassistant/#", 1);
    mqtt::MqttClient::Options o;
    o.url = *mqtt::parseMqttUrl(broker.url()).url;
    std::string error;
    ASSERT_TRUE(ha.start(o, error)) << error;
    ASSERT_TRUE(waitUntil([&] { return subscribed.load(); }, 10s));
    ha.publish("homeassistant/status", "online", 1, false);
    EXPECT_TRUE(waitUntil([&] { return states > 0; }, 10s));
    ha.stop();
}

// Text from the bus that is not UTF-8 (here E9 2A: an accented letter in Latin-1, then the
// field separator) is published as that letter in UTF-8, and the bridge goes on.
TEST(MqttBridge, TextThatIsNotUtf8IsReplacedAndTheBridgeGoesOn) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    TopicRecorder r(broker.url());
    BridgeRig rig("c10");
    ASSERT_TRUE(rig.connect(broker.url()));
    rig.playUntil(-1);
    // After the log, so that no other node's PRODUCT_ID takes the topic over.
    sim::SimNode node{0x77, 0, "Caf\xE9", "Model", "SN-1", "1"};
    for (const RvcFrame& f : sim::SimulatedVehicle::productIdTransfer(node)) {
        rig.network.manager.intake(f);
    }
    const std::string replaced = "Caf\xC3\xA9";
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto p = r.last("RVC/PRODUCT_ID");
            const Json j = p ? Json::parse(*p, nullptr, false) : Json();
            return j.is_object() && j.value("make", "") == replaced;
        },
        10s));
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto p = r.last("corvane/c10/devices");
            const Json j = p ? Json::parse(*p, nullptr, false) : Json();
            if (!j.is_object()) return false;
            for (const auto& d : j["devices"]) {
                if (d["address"] == 0x77 && d["make"] == replaced) return true;
            }
            return false;
        },
        10s));
    EXPECT_TRUE(waitUntil([&] { return rig.bridge->idle(); }, 10s));
}

// The outbox keeps so many decoded topics; past that new ones are turned away, counted in the
// coach's health, and never crowd out the coach's own state.
TEST(MqttBridge, AFullOutboxIsReportedAndKeepsTheCoachState) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    TopicRecorder r(broker.url(), "corvane/#");
    BridgeRig rig("c11", [](mqtt::MqttBridge::Config& c) { c.maxTopics = 3; });
    ASSERT_TRUE(rig.connect(broker.url()));
    rig.playUntil(-1);
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto p = r.last("corvane/c11/health");
            const Json j = p ? Json::parse(*p, nullptr, false) : Json();
            return j.is_object() && j["bridge"]["dropped_topics"].get<int>() > 0;
        },
        10s));
    EXPECT_TRUE(waitUntil([&] { return hasFault(faultsOf(r, "c11"), "3509"); }, 10s));
    EXPECT_GT(rig.bridge->droppedTopics(), 0u);
}

}  // namespace
}  // namespace corvane::test
