#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "adapters/SocketCanConduit.h"
#include "core/Dgn.h"
#include "platform/CanSocket.h"
#include "tests/adapters/ReplayRig.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using test::waitUntil;

struct Received {
    CanSocketFrame in;
    bool taken;
    uint8_t priority;
    uint32_t dgn;
    uint8_t sa;
    uint8_t reserved;
};

CanSocketFrame kernelFrame(uint32_t id, bool extended, std::vector<uint8_t> data,
                           bool remote = false, bool error = false) {
    CanSocketFrame f;
    f.id = id;
    f.extended = extended;
    f.remote = remote;
    f.error = error;
    f.length = static_cast<uint8_t>(data.size());
    for (size_t i = 0; i < data.size() && i < 8; ++i) f.data[i] = data[i];
    return f;
}

TEST(SocketCanConduit, ReceivedFramesBecomeRvcFrames) {
    const Received cases[] = {
        {kernelFrame(0x18FEEB42, true, {1, 2}), true, 6, 0xFEEB, 0x42, 0},
        {kernelFrame(0x1FFFFFFF, true, {0, 1, 2, 3, 4, 5, 6, 7}), true, 7, 0x1FFFF, 0xFF, 1},
        {kernelFrame(0x0CEAFFF9, true, {}), true, 3, 0xEAFF, 0xF9, 0},
        {kernelFrame(0x123, false, {1}), false, 0, 0, 0, 0},                  // 11-bit
        {kernelFrame(0x18FEEB42, true, {}, true), false, 0, 0, 0, 0},         // remote
        {kernelFrame(0x00000004, true, {}, false, true), false, 0, 0, 0, 0},  // error frame
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.id);
        auto f = SocketCanConduit::toRvcFrame(c.in);
        ASSERT_EQ(f.has_value(), c.taken);
        if (!f) continue;
        EXPECT_EQ(f->kind, RvcFrame::kKind);
        EXPECT_EQ(f->priority, c.priority);
        EXPECT_EQ(uint32_t{f->dgn}, c.dgn);
        EXPECT_EQ(f->sa, c.sa);
        EXPECT_EQ(f->reserved, c.reserved);
        ASSERT_EQ(uint16_t{f->length}, c.in.length);
        for (size_t i = 0; i < c.in.length; ++i) EXPECT_EQ(f->data[i], c.in.data[i]);
    }
}

TEST(SocketCanConduit, TransmissionsBecomeKernelFrames) {
    const uint8_t data[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    struct Case {
        uint32_t dgn;
        uint8_t sa;
        uint8_t priority;
        uint16_t length;
        bool sent;
        uint32_t id;
    };
    const Case cases[] = {
        {0xEAFF, kToolAddress, 6, 3, true, 0x18EAFFF9},
        {0x1FECA, kToolAddress, 6, 8, true, 0x19FECAF9},
        {0x3FFFF, 0x80, 7, 0, true, 0x1FFFFF80},  // bit 17 of the DGN lands in the reserved bit
        {0xEAFF, kToolAddress, 6, 9, false, 0},   // longer than one frame: nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dgn);
        auto f = SocketCanConduit::toSocketFrame(c.dgn, c.sa, c.priority, c.length, data);
        ASSERT_EQ(f.has_value(), c.sent);
        if (!f) continue;
        EXPECT_TRUE(f->extended);
        EXPECT_FALSE(f->remote);
        EXPECT_EQ(f->id, c.id);
        ASSERT_EQ(f->length, c.length);
        for (size_t i = 0; i < c.length; ++i) EXPECT_EQ(f->data[i], data[i]);
    }
}

struct SocketCanRig {
    explicit SocketCanRig(std::string interface = {})
        : conduit(settings, transmit, manager, notifier, std::move(interface)) {
        manager.setTransportStage(&stage);
        transmit.setSender(&conduit);
    }
    ~SocketCanRig() { conduit.disconnect(); }

    MemorySettingsStore settings;
    test::FakeClock clock;
    DeviceTable devices{clock};
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    LongMessages longMessages{manager, transmit};
    TransportStage stage{longMessages, transmit};
    test::ShownMessages notifier;
    SocketCanConduit conduit;
};

TEST(SocketCanConduit, InterfaceNameFromSettingOrCommandLine) {
    SocketCanRig plain;
    EXPECT_EQ(plain.conduit.interfaceName(), "can0");
    plain.conduit.interfaceSetting().set("can1");
    EXPECT_EQ(plain.conduit.interfaceName(), "can1");
    EXPECT_EQ(plain.settings.readString("Corvane", "SocketCanInterface"), "can1");
    SocketCanRig given("vcan7");
    given.conduit.interfaceSetting().set("can1");
    EXPECT_EQ(given.conduit.interfaceName(), "vcan7");
}

TEST(SocketCanConduit, MissingInterfaceOrSupportIsReported) {
    SocketCanRig rig("nosuchcan9");
    EXPECT_EQ(rig.conduit.connect(), 0);
    EXPECT_EQ(rig.conduit.getState(), Conduit::kDisconnected);
    auto shown = rig.notifier.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].second, "SocketCAN Error");
    if (CanSocket::supported()) {
        EXPECT_EQ(shown[0].first, "There is no CAN interface named \"nosuchcan9\".");
    } else {
        EXPECT_EQ(shown[0].first, "This machine has no SocketCAN support.");
    }
    // Sending while disconnected does nothing.
    const uint8_t data[1] = {1};
    rig.conduit.sendFrame(0xEAFF, kToolAddress, 6, 1, data);
}

TEST(SocketCanConduit, NonCanInterfaceIsRefused) {
    // The loopback interface exists but is not a CAN interface.
    if (!CanSocket::supported()) GTEST_SKIP() << "no SocketCAN support on this machine";
    SocketCanRig rig("lo");
    EXPECT_EQ(rig.conduit.connect(), 0);
    ASSERT_EQ(rig.notifier.shown().size(), 1u);
}

// The name of a virtual CAN interface that is up, if the machine has one ("vcan0" by default,
// CORVANE_VCAN to choose another).
std::string virtualCan() {
    const char* chosen = std::getenv("CORVANE_VCAN");
    std::string name = chosen ? chosen : "vcan0";
    CanSocket probe;
    return probe.open(name) == CanSocket::Result::Ok ? name : std::string();
}

TEST(SocketCanConduitConcurrency, FramesBothWaysOverVirtualCan) {
    const std::string name = virtualCan();
    if (name.empty()) {
        GTEST_SKIP() << "no virtual CAN interface here (create one: ip link add vcan0 type vcan; "
                        "ip link set vcan0 up)";
    }
    SocketCanRig rig(name);
    CanSocket peer;
    ASSERT_EQ(peer.open(name), CanSocket::Result::Ok);
    ASSERT_EQ(rig.conduit.connect(), 1);
    EXPECT_EQ(rig.conduit.getState(), Conduit::kConnected);

    // Received: the extended frame is taken in, the 11-bit one is filtered out.
    ASSERT_EQ(peer.write(kernelFrame(0x123, false, {9})), CanSocket::Result::Ok);
    ASSERT_EQ(peer.write(kernelFrame(0x19FFD442, true, {1, 2})), CanSocket::Result::Ok);
    EXPECT_TRUE(waitUntil([&] { return rig.manager.addressStats(0x42).count > 0; }));
    EXPECT_EQ(rig.manager.addressStats(0x23).count, 0);

    // Transmitted: the peer sees it; the conduit does not hear its own frame.
    const uint8_t data[3] = {0xA, 0xB, 0xC};
    rig.conduit.sendFrame(0xEAFF, kToolAddress, 6, 3, data);
    CanSocketFrame got;
    CanSocket::Result r;
    do {
        r = peer.read(got, 1000);
    } while (r == CanSocket::Result::Ok && got.id != 0x18EAFFF9);
    ASSERT_EQ(r, CanSocket::Result::Ok);
    EXPECT_EQ(got.length, 3);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(rig.manager.addressStats(kToolAddress).count, 0);

    rig.conduit.disconnect();
    EXPECT_EQ(rig.conduit.getState(), Conduit::kDisconnected);
    EXPECT_EQ(rig.conduit.connect(), 1);
}

}  // namespace
}  // namespace corvane
