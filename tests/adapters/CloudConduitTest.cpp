#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adapters/AdapterSelection.h"
#include "adapters/AdapterSettings.h"
#include "adapters/CloudConduit.h"
#include "sim/relay/CertificateAuthority.h"
#include "sim/relay/RelayServer.h"
#include "tests/core/TransmitHarness.h"
#include "tests/support/CapturingTrace.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using test::waitUntil;

using sim::CertificateAuthority;
using sim::CertifiedKey;
using sim::RelayServer;

// Answers the login prompt as a technician would, and remembers how it was pre-filled.
class ScriptedPrompt final : public CloudLoginPrompt {
  public:
    bool ask(KestrixLinkDetails& details) override {
        shown = details;
        ++calls;
        if (!pressOk) return false;
        details = answer;
        return true;
    }
    bool pressOk = true;
    KestrixLinkDetails answer;
    KestrixLinkDetails shown;
    int calls = 0;
};

class RecordingNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        std::lock_guard lock(mutex_);
        messages_.emplace_back(std::string(text), std::string(title));
    }
    std::vector<std::pair<std::string, std::string>> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        messages_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> messages_;
};

class CloudConduitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ca = CertificateAuthority::create("Corvane test CA");
        ASSERT_TRUE(ca);
        auto issued = ca->issue("localhost", "127.0.0.1");
        ASSERT_TRUE(issued);
        trusted = *issued;
        char pattern[] = "/tmp/corvane-cloud-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        caFile = dir + "/ca.pem";
        std::ofstream(caFile) << ca->certificatePem();

        dialog.answer.userName = "technician";
        dialog.answer.password = "service";
        dialog.answer.linkId = "RV-77";
        dialog.answer.otcText = "42";
    }
    void TearDown() override {
        cloud.reset();
        relay.reset();
        std::filesystem::remove_all(dir);
    }

    void startRelay(RelayServer::Options options = {}) {
        if (options.loginTls.certificatePem.empty()) options.loginTls = trusted;
        if (options.streamTls.certificatePem.empty()) options.streamTls = trusted;
        relay = std::make_unique<RelayServer>(options);
        std::string error;
        ASSERT_TRUE(relay->start(error)) << error;
    }
    void makeCloud(const std::string& host = "localhost") {
        cloud = std::make_unique<CloudConduit>(core.settings, core.transmit, core.manager,
                                               core.devices, dialog, notifier);
        cloud->hostSetting().set(host);
        cloud->loginPortSetting().set(relay ? relay->loginPort() : 1);
        cloud->streamPortSetting().set(relay ? relay->streamPort() : 1);
        cloud->caFileSetting().set(caFile);
    }
    // Logs in and services until the link is up, the first connect text sent.
    void link() {
        ASSERT_EQ(cloud->connect(), 1) << messagesText();
        ASSERT_TRUE(waitUntil([&] {
            cloud->service();
            return cloud->getState() == Conduit::kConnected;
        }));
        ASSERT_TRUE(waitUntil([&] { return relay->receivedTexts().size() == 1; }));
    }
    // What went wrong, for failure output.
    std::string messagesText() const {
        std::string text;
        for (const auto& m : notifier.messages()) text += m.first;
        text += trace.all();
        return text;
    }
    size_t connectTexts() const {
        size_t n = 0;
        for (const auto& t : relay->receivedTexts()) n += t.find("corvane-connect") != t.npos;
        return n;
    }

    test::CapturingTrace trace;
    test::TransmitHarness core;
    ScriptedPrompt dialog;
    RecordingNotifier notifier;
    std::optional<CertificateAuthority> ca;
    CertifiedKey trusted;
    std::string dir;
    std::string caFile;
    std::unique_ptr<RelayServer> relay;
    std::unique_ptr<CloudConduit> cloud;
};

TEST_F(CloudConduitTest, LoginOpensTheLinkListsTheToolAndKeepsThePasswordOutOfTraces) {
    startRelay();
    makeCloud();
    EXPECT_EQ(cloud->connectionId(), -1);
    ASSERT_EQ(cloud->connect(), 1) << messagesText();
    EXPECT_EQ(cloud->getState(), Conduit::kLoggedIn);
    EXPECT_EQ(cloud->connectionId(), 0);
    std::string port = std::to_string(relay->loginPort());
    EXPECT_TRUE(trace.contains("\r\nConnecting to: https://localhost:" + port +
                               "/login/credentials.php?username=technician&password=***\r\n"));
    EXPECT_FALSE(trace.contains("service"));
    EXPECT_TRUE(trace.contains("Created connection with id 0\r\n"));
    EXPECT_TRUE(trace.contains("  uri    : wss://localhost:" + std::to_string(relay->streamPort()) +
                               "\r\n"));
    EXPECT_TRUE(trace.contains("  error  : \r\n"));
    EXPECT_NE(core.devices.findNode(0xF9).address, 0xF9);  // not listed before the link opens

    ASSERT_TRUE(waitUntil([&] {
        cloud->service();
        return cloud->getState() == Conduit::kConnected;
    }));
    EXPECT_EQ(core.devices.findNode(0xF9).address, 0xF9);
    EXPECT_EQ(cloud->metadata()->server(), "corvane-relay");
    ASSERT_TRUE(waitUntil([&] { return relay->receivedTexts().size() == 1; }));
    EXPECT_EQ(relay->receivedTexts()[0].rfind("  {\"type\":\"corvane-connect\",\"token\":\"", 0),
              0u);
    EXPECT_NE(relay->receivedTexts()[0].find("\",\"account\":\"RV-77\",\"otc\":42} "),
              std::string::npos);
    EXPECT_TRUE(notifier.messages().empty());
    EXPECT_EQ(cloud->userNameSetting().value(), "technician");
    EXPECT_EQ(cloud->linkIdSetting().value(), "RV-77");
}

TEST_F(CloudConduitTest, EachLoginFailureIsReportedAndLeavesTheSettingsStored) {
    auto other = CertificateAuthority::create("Someone else");
    ASSERT_TRUE(other);
    auto foreign = other->issue("localhost", "127.0.0.1");
    auto dnsOnly = ca->issue("localhost");
    ASSERT_TRUE(foreign && dnsOnly);

    struct Case {
        const char* name;
        RelayServer::LoginMode mode;
        std::string password;
        std::optional<CertifiedKey> loginTls;  // none: no relay at all
        std::string host;
        std::string message;
    };
    const std::string unrecognised = "KestrixLink did not recognize the login.\r\n";
    const std::string invalid = "KestrixLink did not return a valid response.\r\n";
    const Case cases[] = {
        {"wrong password", RelayServer::LoginMode::kToken, "guess", trusted, "localhost",
         unrecognised},
        {"token not a string", RelayServer::LoginMode::kNumberToken, "service", trusted,
         "localhost", unrecognised},
        {"body not JSON", RelayServer::LoginMode::kNotJson, "service", trusted, "localhost",
         invalid},
        {"HTTP error", RelayServer::LoginMode::kHttpError, "service", trusted, "localhost",
         invalid},
        {"nobody listening", RelayServer::LoginMode::kToken, "service", std::nullopt, "localhost",
         "Error [7] connecting to KestrixLink account\r\n"},
        {"untrusted certificate", RelayServer::LoginMode::kToken, "service", *foreign, "localhost",
         "Error [60] connecting to KestrixLink account\r\n"},
        {"certificate for another host", RelayServer::LoginMode::kToken, "service", *dnsOnly,
         "127.0.0.1", "Error [60] connecting to KestrixLink account\r\n"},
        {"URL over 2000 characters", RelayServer::LoginMode::kToken, std::string(2000, 'x'),
         trusted, "localhost", unrecognised},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        relay.reset();
        if (c.loginTls) {
            RelayServer::Options options;
            options.loginTls = *c.loginTls;
            startRelay(options);
            relay->setLoginMode(c.mode);
        }
        core.settings.writeString("Corvane", "KestrixLinkUserName", "");
        core.settings.writeString("Corvane", "KestrixLinkID", "");
        core.settings.writeInteger("Corvane", "KestrixLinkIDType", 0);
        notifier.clear();
        dialog.answer.password = c.password;
        dialog.answer.linkIdType = KestrixLinkDetails::kByModuleId;
        makeCloud(c.host);

        EXPECT_EQ(cloud->connect(), 0);
        EXPECT_EQ(cloud->getState(), Conduit::kDisconnected);
        EXPECT_EQ(cloud->connectionId(), -1);
        auto messages = notifier.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].first, c.message);
        EXPECT_EQ(messages[0].second, "KestrixLink Connection Error");
        EXPECT_TRUE(trace.contains(c.message));
        EXPECT_EQ(core.settings.readString("Corvane", "KestrixLinkUserName"), "technician");
        EXPECT_EQ(core.settings.readString("Corvane", "KestrixLinkID"), "RV-77");
        EXPECT_EQ(core.settings.readInteger("Corvane", "KestrixLinkIDType"), 1);
        if (relay) {
            EXPECT_EQ(relay->openLinks(), 0u);
        }
        cloud.reset();
    }
}

TEST_F(CloudConduitTest, UserNameAndPasswordReachTheServiceEscaped) {
    RelayServer::Options options;
    options.userName = "tech &=?x";
    options.password = "p&w=d? x+y";
    startRelay(options);
    makeCloud();
    dialog.answer.userName = options.userName;
    dialog.answer.password = options.password;
    ASSERT_EQ(cloud->connect(), 1) << messagesText();
    auto logins = relay->logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].path, "/login/credentials.php");
    EXPECT_EQ(logins[0].userName, "tech &=?x");
    EXPECT_EQ(logins[0].password, "p&w=d? x+y");
    EXPECT_TRUE(trace.contains("?username=tech%20%26%3D%3Fx&password=***\r\n"));
    EXPECT_FALSE(trace.contains("p%26w"));
}

TEST_F(CloudConduitTest, CancellingTheDialogChangesNothing) {
    startRelay();
    core.settings.writeString("Corvane", "KestrixLinkUserName", "earlier");
    core.settings.writeString("Corvane", "KestrixLinkID", "M-5");
    core.settings.writeInteger("Corvane", "KestrixLinkIDType", 1);
    makeCloud();
    dialog.pressOk = false;
    EXPECT_EQ(cloud->connect(), 0);
    EXPECT_EQ(dialog.shown.userName, "earlier");
    EXPECT_EQ(dialog.shown.linkId, "M-5");
    EXPECT_EQ(dialog.shown.linkIdType, 1);
    EXPECT_EQ(dialog.shown.password, "");
    EXPECT_EQ(dialog.shown.otcText, "");
    EXPECT_EQ(cloud->getState(), Conduit::kDisconnected);
    EXPECT_EQ(core.settings.readString("Corvane", "KestrixLinkUserName"), "earlier");
    EXPECT_EQ(core.settings.readString("Corvane", "KestrixLinkID"), "M-5");
    EXPECT_EQ(core.settings.readInteger("Corvane", "KestrixLinkIDType"), 1);
    EXPECT_TRUE(notifier.messages().empty());
    EXPECT_TRUE(relay->logins().empty());
}

TEST_F(CloudConduitTest, ALoginAskedBeforehandIsUsedOnceAndNamesTheLink) {
    startRelay();
    makeCloud();
    dialog.pressOk = false;
    EXPECT_FALSE(cloud->prepareConnect());
    dialog.pressOk = true;
    ASSERT_TRUE(cloud->prepareConnect());
    EXPECT_TRUE(relay->logins().empty());  // asked only: nothing has gone out yet
    ASSERT_EQ(cloud->connect(), 1) << messagesText();
    EXPECT_EQ(dialog.calls, 2);
    EXPECT_EQ(relay->logins().size(), 1u);
    EXPECT_EQ(cloud->location(), "relay localhost, RV ID RV-77");
    cloud->disconnect();
    // The next connect asks again.
    EXPECT_EQ(cloud->connect(), 1) << messagesText();
    EXPECT_EQ(dialog.calls, 3);
}

TEST_F(CloudConduitTest, ALoginAskedForAConnectThatDidNotRunIsNotKept) {
    startRelay();
    makeCloud();
    dialog.answer.userName = "earlier";
    ASSERT_TRUE(cloud->prepareConnect());
    cloud->setState(Conduit::kDisabled);  // switched off between the question and the connect
    EXPECT_EQ(cloud->connect(), 0);
    cloud->setState(Conduit::kDisconnected);
    dialog.answer.userName = "technician";
    ASSERT_EQ(cloud->connect(), 1) << messagesText();
    EXPECT_EQ(dialog.calls, 2);  // asked again
    ASSERT_EQ(relay->logins().size(), 1u);
    EXPECT_EQ(relay->logins().front().userName, "technician");
}

TEST_F(CloudConduitTest, StateTwoWaitsWhileTheStreamIsStillConnecting) {
    startRelay();
    relay->holdHandshakes(true);
    makeCloud();
    ASSERT_EQ(cloud->connect(), 1) << messagesText();
    const uint8_t bytes[] = {1};
    for (int i = 0; i < 20; ++i) {
        cloud->service();
        cloud->sendFrame(0x1FECA, 249, 6, 1, bytes);  // dropped: the link is not up
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(cloud->getState(), Conduit::kLoggedIn);
    EXPECT_EQ(cloud->metadata()->status(), "Connecting");
    EXPECT_EQ(cloud->serviceCounter(), 0);
    relay->holdHandshakes(false);
    ASSERT_TRUE(waitUntil([&] {
        cloud->service();
        return cloud->getState() == Conduit::kConnected;
    }));
    ASSERT_TRUE(waitUntil([&] { return relay->receivedTexts().size() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(relay->receivedTexts().size(), 1u);  // only the connect text
}

TEST_F(CloudConduitTest, ConnectTextGoesOutOnServiceCallsOneSixElevenAndSoOn) {
    startRelay();
    makeCloud();
    link();  // call 1
    struct Step {
        int calls;  // further service calls
        size_t texts;
    };
    const Step steps[] = {{4, 1}, {1, 2}, {4, 2}, {1, 3}, {5, 4}};
    for (const auto& s : steps) {
        for (int i = 0; i < s.calls; ++i) cloud->service();
        EXPECT_TRUE(
            waitUntil([&] { return connectTexts() >= s.texts; }, std::chrono::milliseconds(2000)));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(connectTexts(), s.texts);
    }
}

TEST_F(CloudConduitTest, FramesBothWays) {
    RelayServer::Options options;
    options.liveVehicle = false;
    startRelay(options);
    makeCloud();
    link();

    const uint8_t bytes[] = {0x11, 0x22, 0xFF};
    cloud->sendFrame(0x1FECA, 249, 6, 3, bytes);
    ASSERT_TRUE(waitUntil([&] { return relay->framesToVehicle().size() == 1; }));
    std::string sent = relay->receivedTexts().back();
    EXPECT_EQ(sent.rfind(" {\"type\":\"corvane-send\", \"token\":\"", 0), 0u) << sent;
    EXPECT_NE(sent.find("\",\"account\":\"RV-77\",\"otc\":42,\"pgn\":130762,\"address\":249,"
                        "\"priority\":6,\"data\":[17,34,255]}"),
              std::string::npos)
        << sent;
    RvcFrame onBus = relay->framesToVehicle()[0];
    EXPECT_EQ(+onBus.dgn, 0x1FECAu);
    EXPECT_EQ(onBus.sa, 249);
    EXPECT_EQ(onBus.priority, 6);
    EXPECT_EQ(+onBus.length, 3);

    // Dropped ones first; the last one proves everything before it has been handled.
    relay->sendToLinks(R"({"code":42,"sa":66,"pgn":130762,"data":[]})");
    relay->sendToLinks(R"({"code":42,"sa":66,"pgn":130762,"data":[1,2,3,4,5,6,7,8,9]})");
    relay->sendToLinks(R"({"code":7,"sa":66,"pgn":130762,"data":[1]})");
    relay->sendToLinks("{not json");
    relay->sendToLinks(R"({"type":"frame","code":42,"sa":66,"pgn":130762,"priority":2,)"
                       R"("data":[1,2,3]})");
    ASSERT_TRUE(waitUntil([&] { return !core.clients.raw().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    auto raw = core.clients.raw();
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw[0].sa, 66);
    EXPECT_EQ(+raw[0].dgn, 130762u);
    EXPECT_EQ(raw[0].priority, 7);
    EXPECT_EQ(+raw[0].length, 3);
    EXPECT_EQ(raw[0].data[2], 3);
    EXPECT_TRUE(trace.contains("\r\n[Bad JSON Object] {not json\r\n"));
}

TEST_F(CloudConduitTest, CloudAgainReplacesTheLinkAndNothingArrivesAfterDisconnect) {
    RelayServer::Options options;
    options.liveVehicle = false;
    startRelay(options);
    makeCloud();
    link();
    auto framesFrom = [&](uint8_t sa) {
        size_t n = 0;
        for (const auto& f : core.clients.raw()) n += f.sa == sa;
        return n;
    };
    auto frameText = [](int sa) {
        return R"({"code":42,"sa":)" + std::to_string(sa) + R"(,"pgn":130762,"data":[1]})";
    };

    // "Cloud" pressed again: a new login and link, and the old link closed.
    ASSERT_EQ(cloud->connect(), 1) << messagesText();
    ASSERT_TRUE(waitUntil([&] {
        cloud->service();
        return cloud->getState() == Conduit::kConnected;
    }));
    ASSERT_TRUE(waitUntil([&] { return connectTexts() >= 2; }));  // the relay has the new one
    ASSERT_TRUE(waitUntil([&] { return relay->openLinks() == 1; }));
    relay->sendToLinks(frameText(66));
    relay->sendToLinks(frameText(67));
    ASSERT_TRUE(waitUntil([&] { return framesFrom(67) == 1; }));
    EXPECT_EQ(framesFrom(66), 1u);

    cloud->disconnect();
    relay->sendToLinks(frameText(68));  // on its way while the link closes
    ASSERT_TRUE(waitUntil([&] { return cloud->metadata()->status() == "Closed"; },
                          std::chrono::milliseconds(8000)));
    EXPECT_EQ(framesFrom(68), 0u);
    EXPECT_EQ(framesFrom(66), 1u);
}

TEST_F(CloudConduitTest, AnEchoChosenWhileDisconnectedAppliesToTheNextLink) {
    RelayServer::Options options;
    options.liveVehicle = false;
    startRelay(options);
    makeCloud();
    AdapterSettings adapterSettings(core.settings);
    Conduit none(core.settings, core.transmit);
    Conduit ft(core.settings, core.transmit);
    Conduit serial(core.settings, core.transmit);
    AdapterSelection selection(adapterSettings, core.transmit, notifier,
                               {none, ft, *cloud, serial});
    selection.toggleEchoTransmits();  // nothing connected: the no-adapter conduit's copy

    selection.connectCloud();
    ASSERT_TRUE(selection.isCurrent(*cloud)) << messagesText();
    EXPECT_TRUE(cloud->echoTransmits());
    ASSERT_TRUE(waitUntil([&] {
        cloud->service();
        return cloud->getState() == Conduit::kConnected;
    }));
    const uint8_t bytes[] = {0x5A};
    cloud->send(0x1FECA, 249, 6, 1, bytes);
    ASSERT_TRUE(waitUntil([&] { return relay->framesToVehicle().size() == 1; }));
    // The tool's own frame comes back to the modules.
    ASSERT_TRUE(waitUntil([&] { return !core.clients.raw().empty(); }));
    EXPECT_EQ(core.clients.raw()[0].sa, 249);
    EXPECT_EQ(core.clients.raw()[0].data[0], 0x5A);
    selection.disconnect();
    core.transmit.setSender(&core.sender);  // the conduits of this test go now
}

TEST_F(CloudConduitTest, TheSimulatedVehicleShowsUpThroughTheRelay) {
    startRelay();
    makeCloud();
    link();
    ASSERT_TRUE(waitUntil([&] { return core.clients.raw().size() >= 10; }));
    for (const auto& f : core.clients.raw()) EXPECT_EQ(f.priority, 7);
    // A PRODUCT_ID request for everyone goes through the relay and is answered.
    const uint8_t request[] = {0xEB, 0xFE, 0x00};
    cloud->sendFrame(0xEAFF, 0xF9, 6, 3, request);
    ASSERT_TRUE(waitUntil([&] {
        for (const auto& f : core.clients.raw()) {
            if (f.dgn == 0xECFF) return true;  // the transfer announcing a PRODUCT_ID
        }
        return false;
    }));
}

TEST_F(CloudConduitTest, ARelayThatClosesTheLinkDisconnects) {
    startRelay();
    makeCloud();
    link();
    relay->closeLinks();
    ASSERT_TRUE(waitUntil([&] { return cloud->metadata()->status() == "Closed"; }));
    EXPECT_EQ(cloud->metadata()->errorReason(),
              "close code: 1000 (Normal close), close reason: relay closed the link");
    cloud->service();
    EXPECT_EQ(cloud->getState(), Conduit::kDisconnected);
    EXPECT_TRUE(trace.contains("Connection failed to Open.  Id=0  Sts=Closed\r\n"));
    EXPECT_TRUE(notifier.messages().empty());
    EXPECT_EQ(cloud->connectionId(), 0);
}

TEST_F(CloudConduitTest, AnUntrustedStreamCertificateIsRefused) {
    auto other = CertificateAuthority::create("Someone else");
    ASSERT_TRUE(other);
    RelayServer::Options options;
    options.streamTls = *other->issue("localhost", "127.0.0.1");
    startRelay(options);
    makeCloud();
    ASSERT_EQ(cloud->connect(), 1) << messagesText();
    ASSERT_TRUE(waitUntil([&] { return cloud->metadata()->status() == "Failed"; }));
    EXPECT_TRUE(cloud->metadata()->verificationFailed());
    cloud->service();
    EXPECT_EQ(cloud->getState(), Conduit::kDisconnected);
    EXPECT_EQ(relay->openLinks(), 0u);
    auto messages = notifier.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "Failed to make secure connection to KestrixLink data stream\r\n");
}

TEST_F(CloudConduitTest, DisconnectClosesTheLinkAndKeepsTheId) {
    startRelay();
    makeCloud();
    link();
    ASSERT_EQ(relay->openLinks(), 1u);
    cloud->disconnect();
    EXPECT_EQ(cloud->getState(), Conduit::kDisconnected);
    EXPECT_EQ(cloud->connectionId(), 0);
    EXPECT_TRUE(
        waitUntil([&] { return relay->openLinks() == 0; }, std::chrono::milliseconds(8000)));
    const uint8_t bytes[] = {1};
    cloud->sendFrame(0x1FECA, 249, 6, 1, bytes);
    cloud->service();  // nothing to do in state 0
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(relay->framesToVehicle().size(), 0u);
    cloud->setState(Conduit::kDisabled);
    EXPECT_EQ(cloud->connect(), 0);
    EXPECT_EQ(dialog.calls, 1);
}

}  // namespace
}  // namespace corvane
