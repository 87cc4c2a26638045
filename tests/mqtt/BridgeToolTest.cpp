// corvane-bridge and corvane-fleet against a real broker.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "tests/mqtt/ChildProcess.h"
#include "tests/mqtt/TestBroker.h"
#include "tests/mqtt/TopicRecorder.h"
#include "tests/support/WaitUntil.h"

namespace corvane::test {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

const std::string kBridge = CORVANE_BRIDGE_TOOL;
const std::string kFleet = CORVANE_FLEET_TOOL;
const std::string kDemoLog = std::string(CORVANE_EXAMPLE_LOGS) + "/demo-vehicle.log";

Json lastJson(const TopicRecorder& r, const std::string& topic) {
    const auto p = r.last(topic);
    if (!p || p->empty()) return nullptr;
    return Json::parse(*p, nullptr, false);
}

// The demo minute played as fast as it goes: the water heater's fault has come and gone, the
// tank sensor's fault is active at the end.
TEST(BridgeTool, ReplayPublishesInventoryFaultsDiscoveryAndKeepsThemOverARestart) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    {
        ChildProcess bridge({kBridge, "--replay", kDemoLog, "--replay-speed", "0", "--broker",
                             broker.url(), "--coach-id", "c1"});
        ASSERT_EQ(bridge.waitForExit(60000), 0) << bridge.err();
    }
    // Everything below is retained: a subscriber arriving afterwards is told it all.
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "first" : "after the broker's restart");
        TopicRecorder r(broker.url());
        const std::string inverterVoltsTopic =
            "homeassistant/sensor/corvane_c1/42_dc_source_status_1_1_dc_voltage/config";
        // Retained messages come in a burst after subscribing: wait for the last of them.
        ASSERT_TRUE(waitUntil(
            [&] {
                const Json devices = lastJson(r, "corvane/c1/devices");
                return devices.is_object() && r.last("corvane/c1/faults") &&
                       r.last("corvane/c1/health") && r.last("corvane/c1/status") &&
                       r.last(inverterVoltsTopic) &&
                       r.under("corvane/c1/device/").size() == devices["count"].get<size_t>() &&
                       r.under("homeassistant/binary_sensor/corvane_c1/").size() ==
                           devices["count"].get<size_t>();
            },
            10s))
            << r.under("").size() << " topics";
        EXPECT_EQ(r.last("corvane/c1/status"), "offline");  // it said goodbye
        const Json devices = lastJson(r, "corvane/c1/devices");
        EXPECT_GE(devices["count"].get<int>(), 5);
        bool norvale = false;
        for (const auto& d : devices["devices"]) norvale = norvale || d["make"] == "Norvale Power";
        EXPECT_TRUE(norvale);
        const Json faults = lastJson(r, "corvane/c1/faults");
        ASSERT_EQ(faults["count"], 1);
        EXPECT_NE(faults["active"][0]["text"].get<std::string>().find("SPN 3509"),
                  std::string::npos);
        EXPECT_EQ(lastJson(r, "corvane/c1/device/48/faults")["problem"], "ON");
        EXPECT_EQ(lastJson(r, "corvane/c1/device/42/faults")["problem"], "OFF");
        EXPECT_TRUE(lastJson(r, "corvane/c1/health")["bus_load"].is_object());
        const auto configs = r.under("homeassistant/");
        for (const auto& [topic, payload] : configs) {
            const Json c = Json::parse(payload);
            EXPECT_EQ(c["availability_topic"], "corvane/c1/status") << topic;
            EXPECT_TRUE(c["unique_id"].get<std::string>().starts_with("corvane_c1_")) << topic;
        }
        const Json inverterVolts = lastJson(r, inverterVoltsTopic);
        ASSERT_TRUE(inverterVolts.is_object());
        EXPECT_EQ(inverterVolts["device"]["manufacturer"], "Norvale Power");
        EXPECT_EQ(inverterVolts["device"]["via_device"], "corvane_c1");
        EXPECT_EQ(inverterVolts["device_class"], "voltage");
        if (pass == 0) {
            ASSERT_TRUE(broker.restart());
        }
    }
}

TEST(BridgeTool, DecodedMessagesGoUnderTheTopicRoot) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    TopicRecorder r(broker.url(), "rv/#");
    ASSERT_TRUE(waitUntil([&] { return r.connected(); }));
    ChildProcess bridge({kBridge, "--replay", kDemoLog, "--replay-speed", "0", "--broker",
                         broker.url(), "--coach-id", "c2", "--topic-root", "rv"});
    ASSERT_EQ(bridge.waitForExit(60000), 0) << bridge.err();
    ASSERT_TRUE(waitUntil([&] { return r.last("rv/DC_SOURCE_STATUS_1/1").has_value(); }));
    const Json m = lastJson(r, "rv/DC_SOURCE_STATUS_1/1");
    EXPECT_EQ(m["name"], "DC_SOURCE_STATUS_1");
    EXPECT_EQ(m["dgn"], "1FFFD");
    EXPECT_EQ(m["instance"], 1);
    EXPECT_TRUE(m["dc_voltage"].is_number());
    EXPECT_GT(m["timestamp"].get<double>(), 1.7e9);
}

// A catalogue named by the settings decodes what the bridge publishes: its layout of
// TANK_STATUS replaces the built-in one.
TEST(BridgeTool, SettingsCatalogueDecodesThePublishedMessages) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    char folder[] = "/tmp/corvane-bridge-catalogue-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string catalogue = std::string(folder) + "/tanks.yml";
    const std::string settings = std::string(folder) + "/bridge.conf";
    std::ofstream(catalogue) << "1FFB7:\n  name: TANK_STATUS\n  parameters:\n"
                                "    - byte: 0\n      name: instance\n"
                                "    - byte: 1\n      name: level\n      unit: pct\n";
    std::ofstream(settings) << "catalogue = " << catalogue << "\n";
    TopicRecorder r(broker.url(), "rv/#");
    ASSERT_TRUE(waitUntil([&] { return r.connected(); }));
    ChildProcess bridge({kBridge, "--replay", kDemoLog, "--replay-speed", "0", "--broker",
                         broker.url(), "--coach-id", "c4", "--topic-root", "rv", "--settings",
                         settings});
    ASSERT_EQ(bridge.waitForExit(60000), 0) << bridge.err();
    ASSERT_TRUE(waitUntil([&] { return !r.under("rv/TANK_STATUS/").empty(); }));
    for (const auto& [topic, payload] : r.under("rv/TANK_STATUS/")) {
        const Json m = Json::parse(payload);
        EXPECT_TRUE(m["level"].is_number()) << topic << " " << payload;
        EXPECT_FALSE(m.contains("relative_level")) << topic;
    }
    ChildProcess missing({kBridge, "--catalogue", std::string(folder) + "/none.yml"});
    EXPECT_EQ(missing.waitForExit(10000), 2);
    std::remove(catalogue.c_str());
    std::remove(settings.c_str());
    ::rmdir(folder);
}

TEST(BridgeTool, FleetListsEveryCoach) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    for (const char* coach : {"east-1", "west-2"}) {
        ChildProcess bridge({kBridge, "--replay", kDemoLog, "--replay-speed", "0", "--broker",
                             broker.url(), "--coach-id", coach});
        ASSERT_EQ(bridge.waitForExit(60000), 0) << bridge.err();
    }
    ChildProcess fleet({kFleet, "--broker", broker.url(), "--json"});
    ASSERT_EQ(fleet.waitForExit(30000), 0) << fleet.err();
    const Json j = Json::parse(fleet.out());
    ASSERT_EQ(j.size(), 2u);
    EXPECT_EQ(j[0]["coach"], "east-1");
    EXPECT_EQ(j[1]["coach"], "west-2");
    for (const auto& row : j) {
        EXPECT_EQ(row["online"], false);
        EXPECT_GE(row["devices"].get<int>(), 5);
        EXPECT_EQ(row["active_faults"], 1);
    }
    ChildProcess text({kFleet, "--broker", broker.url(), "--seconds", "2"});
    ASSERT_EQ(text.waitForExit(30000), 0) << text.err();
    EXPECT_NE(text.out().find("west-2"), std::string::npos) << text.out();
    // --follow: once the retained state has settled, a line per coach as --json has it (and
    // nothing more here, since nothing changes).
    ChildProcess follow({kFleet, "--broker", broker.url(), "--json", "--follow", "--seconds", "3"});
    ASSERT_EQ(follow.waitForExit(30000), 0) << follow.err();
    std::vector<Json> rows;
    std::istringstream lines(follow.out());
    for (std::string line; std::getline(lines, line);)
        rows.push_back(Json::parse(line, nullptr, false));
    ASSERT_EQ(rows.size(), 2u) << follow.out();
    EXPECT_EQ(rows[0], j[0]);
    EXPECT_EQ(rows[1], j[1]);
}

// A bridge that dies without a word is reported offline by the broker (its last will).
TEST(BridgeTool, KilledBridgeGoesOfflineThroughItsWill) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    TopicRecorder r(broker.url(), "corvane/#");
    ChildProcess bridge({kBridge, "--demo", "--broker", broker.url(), "--coach-id", "c4"});
    ASSERT_TRUE(waitUntil([&] { return r.last("corvane/c4/status") == "online"; }, 20s))
        << bridge.err();
    bridge.kill(SIGKILL);
    EXPECT_TRUE(waitUntil([&] { return r.last("corvane/c4/status") == "offline"; }, 20s));
}

// Light and load commands: only the allowed instances reach the simulated vehicle; Home
// Assistant coming back online gets the discovery again.
TEST(BridgeTool, AllowedDimmerAndLoadCommandsReachTheVehicle) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    char folder[] = "/tmp/corvane-bridge-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string settings = std::string(folder) + "/bridge.conf";
    std::ofstream(settings) << "coach_id = c3\nbroker = " << broker.url()
                            << "\ncommands_enabled = true\n"
                               "command_allowlist = DC_DIMMER_COMMAND_2:1 DC_LOAD_COMMAND:1\n";
    TopicRecorder r(broker.url());
    // A command left retained at the broker from long ago: never carried out.
    ASSERT_TRUE(waitUntil([&] { return r.connected(); }, 10s));
    ASSERT_TRUE(r.client().publish("corvane/c3/switch/1/set", "ON", 1, true));
    ASSERT_TRUE(waitUntil([&] { return r.last("corvane/c3/switch/1/set") == "ON"; }, 10s));
    ChildProcess bridge({kBridge, "--demo", "--settings", settings});
    const std::string lightConfig = "homeassistant/light/corvane_c3/light_1/config";
    const std::string switchConfig = "homeassistant/switch/corvane_c3/switch_1/config";
    ASSERT_TRUE(waitUntil([&] { return r.last(lightConfig) && r.last(switchConfig); }, 20s))
        << bridge.err();
    EXPECT_FALSE(r.last("homeassistant/light/corvane_c3/light_2/config").has_value());
    EXPECT_FALSE(r.last("homeassistant/switch/corvane_c3/switch_2/config").has_value());
    ASSERT_TRUE(waitUntil([&] { return r.last("corvane/c3/light/1/state").has_value(); }, 10s));
    EXPECT_EQ(lastJson(r, "corvane/c3/light/1/state")["state"], "OFF");
    ASSERT_TRUE(waitUntil([&] { return r.last("corvane/c3/switch/1/state") == "OFF"; }, 10s));
    EXPECT_EQ(lastJson(r, switchConfig)["command_topic"], "corvane/c3/switch/1/set");

    r.client().publish("corvane/c3/light/2/set", R"({"state": "ON", "brightness": 255})", 1, false);
    r.client().publish("corvane/c3/light/1/set", R"({"state": "ON", "brightness": 255})", 1, false);
    r.client().publish("corvane/c3/switch/2/set", "ON", 1, false);
    r.client().publish("corvane/c3/switch/1/set", "ON", 1, false);
    ASSERT_TRUE(waitUntil(
        [&] { return lastJson(r, "RVC/DC_DIMMER_STATUS_3/1")["brightness"] == 100; }, 20s))
        << bridge.err();
    ASSERT_TRUE(waitUntil([&] { return lastJson(r, "RVC/DC_LOAD_STATUS/1")["level"] == 100; }, 20s))
        << bridge.err();
    EXPECT_TRUE(
        waitUntil([&] { return lastJson(r, "corvane/c3/light/1/state")["state"] == "ON"; }));
    EXPECT_TRUE(waitUntil([&] { return r.last("corvane/c3/switch/1/state") == "ON"; }));
    EXPECT_EQ(lastJson(r, "RVC/DC_DIMMER_STATUS_3/2")["brightness"], 0);
    EXPECT_EQ(lastJson(r, "RVC/DC_LOAD_STATUS/2")["level"], 0);
    // A second setting of the light right after the first is held, not lost: the light ends
    // at what was asked last (128 of 255 is 50 %).
    r.client().publish("corvane/c3/light/1/set", R"({"state": "ON", "brightness": 26})", 1, false);
    r.client().publish("corvane/c3/light/1/set", R"({"state": "ON", "brightness": 128})", 1, false);
    EXPECT_TRUE(
        waitUntil([&] { return lastJson(r, "RVC/DC_DIMMER_STATUS_3/1")["brightness"] == 50; }, 20s))
        << bridge.err();

    const int before = r.count(lightConfig);
    r.client().publish("homeassistant/status", "online", 1, false);
    EXPECT_TRUE(waitUntil([&] { return r.count(lightConfig) > before; }, 10s));
    bridge.kill(SIGTERM);
    const std::string err = bridge.err();
    EXPECT_NE(err.find("light 2: DC_DIMMER_COMMAND_2 instance 2 is not on the allow list"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("switch 2: DC_LOAD_COMMAND instance 2 is not on the allow list"),
              std::string::npos);
    EXPECT_NE(err.find("command refused: corvane/c3/switch/1/set was kept by the broker"),
              std::string::npos)
        << err;
    // Once only: the command published just now.
    EXPECT_NE(err.find("command: switch 1 on"), std::string::npos);
    EXPECT_EQ(err.find("command: switch 1 on"), err.rfind("command: switch 1 on"));
    std::remove(settings.c_str());
    ::rmdir(folder);
}

// Over TLS, verified against the ca_file setting, with the user and password the broker
// requires. A broker that crashes and comes back on its port has the coach online again (a
// TLS connection lost this way once ended libmosquitto's own reconnecting for good).
TEST(BridgeTool, TlsWithAPasswordAndOnlineAgainAfterTheBrokerCrashed) {
    TestBroker broker(TestBrokerTls{true, "127.0.0.1"});
    const std::string password = "s3cret-Passw0rd";
    ASSERT_TRUE(broker.requirePassword("coach-9", password));
    ASSERT_TRUE(broker.start());
    char folder[] = "/tmp/corvane-bridge-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string settings = std::string(folder) + "/bridge.conf";
    std::ofstream(settings) << "coach_id = c9\nbroker = " << broker.url()
                            << "\nusername = coach-9\npassword = " << password
                            << "\nca_file = " << broker.caFile() << "\n";
    const TopicRecorder::Login login{broker.caFile(), "coach-9", password};
    ChildProcess bridge({kBridge, "--demo", "--settings", settings});
    {
        TopicRecorder r(broker.url(), "corvane/#", login);
        ASSERT_TRUE(waitUntil([&] { return r.last("corvane/c9/status") == "online"; }, 20s))
            << bridge.err() << r.client().lastError();
        TopicRecorder stranger(broker.url(), "#", {broker.caFile(), "", ""});
        EXPECT_TRUE(waitUntil(
            [&] { return stranger.client().lastError().find("not authori") != std::string::npos; },
            10s))
            << stranger.client().lastError();
        EXPECT_FALSE(stranger.connected());
    }
    const int port = broker.port();
    broker.kill();
    ASSERT_TRUE(broker.start());
    ASSERT_EQ(broker.port(), port);
    // The crashed broker kept nothing: "online" is the bridge's, sent again.
    TopicRecorder r(broker.url(), "corvane/#", login);
    EXPECT_TRUE(waitUntil([&] { return r.last("corvane/c9/status") == "online"; }, 30s))
        << bridge.err();
    EXPECT_TRUE(waitUntil([&] { return r.last("corvane/c9/devices").has_value(); }, 10s));
    bridge.kill(SIGTERM);
    EXPECT_EQ(bridge.err().find(password), std::string::npos) << bridge.err();
    std::remove(settings.c_str());
    ::rmdir(folder);
}

// A serial adapter that is not there is tried again every few seconds; the coach is online
// meanwhile, and offline once the bridge is stopped.
TEST(BridgeTool, MissingSerialAdapterIsTriedAgain) {
    TestBroker broker;
    ASSERT_TRUE(broker.start());
    TopicRecorder r(broker.url(), "corvane/#");
    ChildProcess bridge({kBridge, "--serial-port", "/dev/corvane-no-such-port", "--broker",
                         broker.url(), "--coach-id", "c8"});
    ASSERT_TRUE(waitUntil([&] { return r.last("corvane/c8/status") == "online"; }, 20s));
    const auto attempts = [&] {
        const std::string err = bridge.err();
        size_t n = 0;
        for (size_t at = err.find("Could not"); at != std::string::npos;
             at = err.find("Could not", at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_TRUE(waitUntil([&] { return attempts() >= 2; }, 20s)) << bridge.err();
    EXPECT_NE(bridge.err().find("retrying"), std::string::npos);
    bridge.kill(SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return r.last("corvane/c8/status") == "offline"; }));
}

TEST(BridgeTool, RefusesWrongCommandLinesAndSettings) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"--bogus"},
             {"--broker", "http://x"},
             {"--coach-id", "a/b"},
             {"--broker"},
         }) {
        args.insert(args.begin(), kBridge);
        ChildProcess p(args);
        EXPECT_EQ(p.waitForExit(10000), 2) << args[1];
    }
    ChildProcess help({kBridge, "--help"});
    EXPECT_EQ(help.waitForExit(10000), 0);
    EXPECT_NE(help.out().find("--broker URL"), std::string::npos);
}

}  // namespace
}  // namespace corvane::test
