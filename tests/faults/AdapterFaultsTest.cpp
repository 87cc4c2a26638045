#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "adapters/CloudConduit.h"
#include "adapters/TarvikConduit.h"
#include "adapters/VexorSeriesConduit.h"
#include "app/MenuRules.h"
#include "core/CanIdentifier.h"
#include "demo/DemoTechnician.h"
#include "sdk/ModuleClient.h"
#include "sim/FtFirmwareEmulator.h"
#include "sim/relay/CertificateAuthority.h"
#include "sim/relay/RelayServer.h"
#include "tests/faults/FaultRig.h"

namespace corvane::test {
namespace {

// The demo vehicle's four identified nodes and the tool.
constexpr size_t kVehicleRows = 5;

// A source address no simulated node uses: a frame from it can only have come from the line
// that was cut.
constexpr uint8_t kCutSource = 0x77;

// Every event a module has received so far.
std::vector<sdk::ModuleEvent> drain(sdk::ModuleClient& module) {
    std::vector<sdk::ModuleEvent> events;
    while (auto event = module.receive(0ms)) events.push_back(*event);
    return events;
}

TEST(SerialAdapterFault, VanishesHalfWayThroughALineAndComesBack) {
    FreshFolders folders;
    FaultRig rig({.ownVexor = true, .busLoad = 500});
    sdk::ModuleClient watcher;
    ASSERT_TRUE(watcher.registerAs("CutWatcher"));
    ASSERT_TRUE(watcher.addRawFilter(kCutSource));
    ASSERT_TRUE(rig.framesFlowing(kSettle));
    auto& serial = dynamic_cast<VexorSeriesConduit&>(rig.core().serialConduit());
    ASSERT_TRUE(serial.connected());

    // Half of a frame line goes out, then the adapter is pulled.
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    rig.vexor()->unplugMidLine(makeFrame(CanIdentifier{6, 0x1FFFD, kCutSource, 0}, 1234, 8, data));
    EXPECT_TRUE(pumpUntil([&] { return serial.getState() == Conduit::kDisconnected; }, 2000ms))
        << "the adapter did not notice the line going";
    EXPECT_FALSE(serial.connected());
    EXPECT_FALSE(rig.framesFlowing(300ms));
    rig.expectStillAnswering(0);

    // Connecting while it is still gone says so.
    serial.setPreferredPort("");
    serial.serialPorts().set(folders.scratch("no-such-tty"));
    rig.window().command(command::kUsb);
    EXPECT_EQ(rig.messages.count(VexorSeriesConduit::kNotFoundText), 1u) << rig.messages.all();
    EXPECT_FALSE(serial.connected());

    // Plugged in again (a new terminal): the next connection finds it and frames flow again.
    ASSERT_TRUE(rig.vexor()->start());
    serial.setPreferredPort(rig.vexor()->path());
    rig.window().command(command::kUsb);
    EXPECT_TRUE(serial.connected());
    EXPECT_TRUE(rig.framesFlowing());

    // The cut line never became a frame.
    for (const auto& event : drain(watcher)) {
        EXPECT_NE(event.type, sdk::ModuleEvent::Type::Frame) << "a frame from the cut line";
    }
    rig.expectStillAnswering(kVehicleRows);
}

TEST(FtSeriesAdapterFault, FirmwareStopsAnsweringMidConnection) {
    FreshFolders folders;
    FaultRig rig({.demo = DemoAdapter::Ft});
    auto& firmware = dynamic_cast<sim::FtFirmwareEmulator&>(rig.core().ftDriver());
    Conduit& ft = rig.core().ftSeriesConduit();
    ASSERT_TRUE(rig.framesFlowing(kSettle));

    firmware.hang();
    EXPECT_FALSE(rig.framesFlowing(500ms)) << "frames from a hung firmware";

    // The user reconnects: the firmware does not answer, and the user is told so, within
    // the reply waits of the stop and state commands.
    QElapsedTimer took;
    took.start();
    rig.window().command(command::kUsb);
    EXPECT_LT(took.elapsed(), 5000);
    pumpFor(100ms);
    EXPECT_EQ(rig.messages.count(TarvikConduit::kNotRespondingText), 1u) << rig.messages.all();
    EXPECT_EQ(ft.getState(), Conduit::kFailed);

    // Unplugged and plugged in again, it starts and its frames flow again.
    firmware.unplug();
    firmware.plugIn();
    rig.window().command(command::kUsb);
    EXPECT_EQ(ft.getState(), Conduit::kConnected) << rig.messages.all();
    EXPECT_TRUE(rig.framesFlowing());
    rig.expectStillAnswering(kVehicleRows);
}

// A relay of the test's own, with a certificate authority the tool is told to trust.
class Relay {
  public:
    explicit Relay(const std::string& caFile) {
        auto ca = sim::CertificateAuthority::create("Fault test relay CA");
        auto server = ca ? ca->issue("localhost", "127.0.0.1") : std::nullopt;
        if (!server) return;
        writeFile(caFile, ca->certificatePem());
        sim::RelayServer::Options options;
        options.loginTls = *server;
        options.streamTls = *server;
        server_ = std::make_unique<sim::RelayServer>(options);
        std::string error;
        if (!server_->start(error)) server_.reset();
    }
    sim::RelayServer* operator->() { return server_.get(); }
    sim::RelayServer& operator*() { return *server_; }
    bool running() const { return server_ != nullptr; }

  private:
    std::unique_ptr<sim::RelayServer> server_;
};

void pointAt(CloudConduit& cloud, sim::RelayServer& relay, const std::string& caFile) {
    cloud.hostSetting().set("localhost");
    cloud.loginPortSetting().set(relay.loginPort());
    cloud.streamPortSetting().set(relay.streamPort());
    cloud.caFileSetting().set(caFile);
}

TEST(CloudRelayFault, StreamClosedLoginsRefusedAndConnectionsRefused) {
    FreshFolders folders;
    MemorySettingsStore settings;
    settings.writeInteger("Corvane", "TarvikAutoStart", 0);  // no serial adapter is looked for
    DemoTechnician technician;
    FaultRig rig({.settings = &settings});
    rig.core().loginPrompt().route(&technician);
    auto& cloud = dynamic_cast<CloudConduit&>(rig.core().cloudConduit());
    const std::string caFile = folders.scratch("relay-ca.pem");
    auto relay = std::make_unique<Relay>(caFile);
    ASSERT_TRUE(relay->running());
    pointAt(cloud, **relay, caFile);

    auto connectCloud = [&] {
        rig.window().command(command::kCloud);
        return pumpUntil([&] { return cloud.getState() == Conduit::kConnected; }, 3000ms) &&
               rig.framesFlowing(kSettle);
    };
    ASSERT_TRUE(connectCloud()) << rig.messages.all();

    // The relay closes the stream: the adapter notices at its next service and lets go.
    (*relay)->closeLinks();
    EXPECT_TRUE(pumpUntil([&] { return cloud.getState() == Conduit::kDisconnected; }, 2000ms));
    EXPECT_FALSE(rig.framesFlowing(300ms));
    EXPECT_EQ(rig.messages.shown().size(), 0u) << rig.messages.all();
    EXPECT_TRUE(connectCloud()) << "the user's reconnection; " << rig.messages.all();

    // The login is refused (the service answers with an error page): the user is told, and
    // the link stays down.
    (*relay)->setLoginMode(sim::RelayServer::LoginMode::kHttpError);
    (*relay)->closeLinks();
    EXPECT_TRUE(pumpUntil([&] { return cloud.getState() == Conduit::kDisconnected; }, 2000ms));
    rig.window().command(command::kCloud);
    EXPECT_EQ(rig.messages.count("KestrixLink did not return a valid response."), 1u)
        << rig.messages.all();
    EXPECT_NE(cloud.getState(), Conduit::kConnected);
    (*relay)->setLoginMode(sim::RelayServer::LoginMode::kToken);
    EXPECT_TRUE(connectCloud()) << rig.messages.all();

    // The relay goes away altogether: connections are refused, and the user is told.
    relay.reset();
    EXPECT_TRUE(pumpUntil([&] { return cloud.getState() == Conduit::kDisconnected; }, 2000ms));
    rig.window().command(command::kCloud);
    EXPECT_EQ(rig.messages.count("connecting to KestrixLink account"), 1u) << rig.messages.all();
    EXPECT_NE(cloud.getState(), Conduit::kConnected);
    rig.expectStillAnswering(0);

    // It comes back at a new address, which the user enters.
    relay = std::make_unique<Relay>(caFile);
    ASSERT_TRUE(relay->running());
    pointAt(cloud, **relay, caFile);
    EXPECT_TRUE(connectCloud()) << rig.messages.all();
    rig.expectStillAnswering(kVehicleRows);
}

}  // namespace
}  // namespace corvane::test
