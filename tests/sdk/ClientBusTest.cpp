#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/ClientBus.h"
#include "core/RvcFrame.h"
#include "core/RvcMessage.h"
#include "platform/MailslotServer.h"
#include "platform/MailslotWriter.h"
#include "platform/RuntimeDir.h"
#include "tests/sdk/BusFixture.h"
#include "tests/support/CapturingTrace.h"

namespace corvane {

class ClientBusLockHolder {
  public:
    static BoundedWaitMutex& of(ClientBus& bus) { return bus.clientMutex_; }
};

namespace {

using namespace std::chrono_literals;
using sdk::ModuleClient;
using sdk::ModuleEvent;
using Bytes = std::vector<uint8_t>;

RvcFrame frameFrom(uint8_t sa, uint32_t dgn, Bytes data, uint8_t priority = 6) {
    return makeFrame(CanIdentifier{priority, dgn, sa, 0}, 1234, static_cast<uint16_t>(data.size()),
                     data);
}

Bytes tokenBytes(uint32_t token) {
    return {uint8_t(token), uint8_t(token >> 8), uint8_t(token >> 16), uint8_t(token >> 24)};
}

class ClientBusTest : public test::BusFixture {
  protected:
    // The next message from the tool, as bytes; empty when none comes within a second.
    Bytes next(ModuleClient& client, std::chrono::milliseconds wait = 1000ms) {
        auto event = client.receive(wait);
        return event ? event->bytes : Bytes{};
    }
    // Nothing more arrives within a short while.
    void expectQuiet(ModuleClient& client) {
        auto event = client.receive(100ms);
        EXPECT_FALSE(event) << "unexpected code " << int(event->code);
    }
    // Registers and waits until every request sent so far has been handled.
    void registerModule(ModuleClient& client, const std::string& name) {
        ASSERT_TRUE(client.registerAs(name));
    }
    // A request answered by the tool: the filter-added reply confirms it was handled.
    void addAddress(ModuleClient& client, uint8_t sa) {
        ASSERT_TRUE(client.addAddressFilter(sa));
        ASSERT_EQ(next(client), (Bytes{0x80, sa}));
    }
    // The tool has handled every earlier request of this client once the mode reply arrives.
    void sync(ModuleClient& client) {
        ASSERT_TRUE(client.setMode(0xFF, 0xFF));
        auto event = client.receive(1000ms);
        ASSERT_TRUE(event);
        ASSERT_EQ(event->code, 0xE3);
    }
};

TEST_F(ClientBusTest, RegistersAndInstallsAFilterByteForByte) {
    // A module with its own hand-made slot, to see the registration reply as it is.
    auto path = mailslotPath("ModA");
    ASSERT_TRUE(path);
    MailslotServer slot(*path);
    MailslotWriter tool(bus->slotPath());
    const Bytes registration{0xFF, 'M', 'o', 'd', 'A', 0};
    ASSERT_TRUE(tool.write(registration));
    ASSERT_TRUE(slot.waitReadable(1000));
    Bytes reply(64);
    auto size = slot.read(reply);
    ASSERT_EQ(size, 5u);
    EXPECT_EQ(reply[0], 0xFF);
    uint32_t token = reply[1] | reply[2] << 8 | reply[3] << 16 | uint32_t(reply[4]) << 24;
    EXPECT_EQ(bus->clientCount(), 1u);

    Bytes add{0x80};
    for (uint8_t b : tokenBytes(token)) add.push_back(b);
    add.push_back(0x42);
    ASSERT_TRUE(tool.write(add));
    ASSERT_TRUE(slot.waitReadable(1000));
    EXPECT_EQ(slot.read(reply), 2u);
    EXPECT_EQ(reply[0], 0x80);
    EXPECT_EQ(reply[1], 0x42);

    char handle[16];
    std::snprintf(handle, sizeof handle, "%08X", token);
    EXPECT_EQ(bus->report(), "Client ID: 0001  Slot: ModA  Handle: " + std::string(handle) +
                                 "\r\n  Raw Filters\r\n  Cooked Filters\r\n"
                                 "    0002 == 0002  Address: 42\r\n");
}

TEST_F(ClientBusTest, DeliversAnEightByteDmRvAsSixteenBytes) {
    ModuleClient client;
    registerModule(client, "ModA");
    addAddress(client, 0x42);
    manager.intake(frameFrom(0x42, 0x1FECA, {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(next(client),
              (Bytes{0x00, 0xCA, 0xFE, 0x01, 0x00, 0x42, 0x08, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}));
    manager.intake(frameFrom(0x43, 0x1FECA, {1, 2, 3, 4, 5, 6, 7, 8}));  // another address
    expectQuiet(client);
}

TEST_F(ClientBusTest, OneRemovalRequestRemovesEveryFilterItNames) {
    ModuleClient client;
    registerModule(client, "ModA");
    addAddress(client, 0x42);
    addAddress(client, 0x42);
    addAddress(client, 0xFF);
    ASSERT_TRUE(client.removeAddressFilter(0x42));
    EXPECT_EQ(next(client), (Bytes{0x81, 0x42}));
    EXPECT_EQ(next(client), (Bytes{0x81, 0x42}));
    expectQuiet(client);  // the 0xFF filter stays
    manager.intake(frameFrom(0x42, 0xFEEB, {1}));
    EXPECT_EQ(next(client), (Bytes{0x00, 0xEB, 0xFE, 0, 0, 0x42, 1, 0, 1}));
    // Removing what is not there removes nothing and says nothing.
    ASSERT_TRUE(client.removeAddressFilter(0x42));
    ASSERT_TRUE(client.removeDgnFilter(0xFEEB));
    sync(client);
    expectQuiet(client);
}

TEST_F(ClientBusTest, ModeCommandAppliesOnlyValidValues) {
    ModuleClient client;
    registerModule(client, "ModA");
    struct Case {
        uint8_t mode, echo;
        Bytes reply;
    } cases[] = {
        {7, 2, {0xE3, 0, 0}},  // nothing changes
        {3, 1, {0xE3, 3, 1}}, {4, 0, {0xE3, 3, 0}}, {0, 5, {0xE3, 0, 0}}, {2, 1, {0xE3, 2, 1}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(client.setMode(c.mode, c.echo));
        EXPECT_EQ(next(client), c.reply) << int(c.mode) << " " << int(c.echo);
        EXPECT_EQ(toWire(manager.muteMode()), c.reply[1]);
        EXPECT_EQ(adapter.echo.load(), c.reply[2]);
    }
    // An unknown token still sets mode and echo, but nobody is answered.
    ASSERT_TRUE(client.sendRaw(Bytes{0xE2, 0x78, 0x56, 0x34, 0x12, 1, 0}));
    sync(client);  // mode 0xFF: unchanged, so the answer shows what the stranger set
    expectQuiet(client);
    EXPECT_EQ(toWire(manager.muteMode()), 1);
    EXPECT_EQ(adapter.echo.load(), 0u);
}

TEST_F(ClientBusTest, DiscardsMessagesOf200BytesOrMore) {
    test::CapturingTrace trace;
    ModuleClient client;
    registerModule(client, "ModA");
    Bytes huge(250, 0x80);  // would add filters if it were read
    ASSERT_TRUE(client.sendRaw(huge));
    Bytes limit(200, 0x00);
    ASSERT_TRUE(client.sendRaw(limit));
    addAddress(client, 0x42);  // later requests are still handled
    EXPECT_NE(trace.all().find("Overflow "), std::string::npos);
    size_t overflows = 0;
    for (const auto& line : trace.lines()) overflows += line == "Overflow " ? 1 : 0;
    EXPECT_EQ(overflows, 2u);
    EXPECT_TRUE(adapter.frames().empty());
    EXPECT_EQ(bus->report().find("Address: 80"), std::string::npos);
}

TEST_F(ClientBusTest, UnregisteringSendsGoodbyeAndOneNoticePerFilter) {
    ModuleClient client;
    registerModule(client, "ModA");
    addAddress(client, 0x42);
    ASSERT_TRUE(client.addDgnFilter(0x1FECA));
    EXPECT_EQ(next(client), (Bytes{0x82, 0xCA, 0xFE, 0x01, 0x00}));
    ASSERT_TRUE(client.addRawFilter(0x10));
    EXPECT_EQ(next(client), (Bytes{0x86, 0x10}));
    ASSERT_TRUE(client.addLegacyRawFilter(0x11));
    EXPECT_EQ(next(client), (Bytes{0x84, 0x11}));

    ASSERT_TRUE(client.unregister());
    EXPECT_EQ(next(client), (Bytes{0xFE}));
    // Raw filters first, then cooked, each in ID order.
    EXPECT_EQ(next(client), (Bytes{0x87, 0x10}));
    EXPECT_EQ(next(client), (Bytes{0x85, 0x11}));
    EXPECT_EQ(next(client), (Bytes{0x81, 0x42}));
    EXPECT_EQ(next(client), (Bytes{0x83, 0xCA, 0xFE, 0x01, 0x00}));
    expectQuiet(client);
    EXPECT_EQ(bus->clientCount(), 0u);
    manager.intake(frameFrom(0x42, 0x1FECA, {1}));
    expectQuiet(client);
}

TEST_F(ClientBusTest, RawAndCookedFiltersDeliverTheirOwnCopies) {
    ModuleClient client;
    registerModule(client, "ModA");
    ASSERT_TRUE(client.addRawFilter(0x42));
    EXPECT_EQ(next(client), (Bytes{0x86, 0x42}));
    ASSERT_TRUE(client.addLegacyRawFilter(0x42));
    EXPECT_EQ(next(client), (Bytes{0x84, 0x42}));
    addAddress(client, 0x42);

    manager.intake(frameFrom(0x42, 0x1FECA, {9, 8}, 6));
    // Raw: the frame with its time stamp 1234 (D2 04 00 00), length, priority and reserved bit.
    EXPECT_EQ(next(client),
              (Bytes{0x03, 0xCA, 0xFE, 0x01, 0x00, 0x42, 0xD2, 0x04, 0, 0, 2, 0, 6, 0, 9, 8}));
    // Legacy raw: the same frame in the message layout.
    EXPECT_EQ(next(client), (Bytes{0x00, 0xCA, 0xFE, 0x01, 0x00, 0x42, 2, 0, 9, 8}));
    // Cooked: the complete message.
    EXPECT_EQ(next(client), (Bytes{0x00, 0xCA, 0xFE, 0x01, 0x00, 0x42, 2, 0, 9, 8}));
    expectQuiet(client);

    // Transport frames reach raw filters only.
    manager.intake(frameFrom(0x42, 0xEBFF, {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(next(client)[0], 0x03);
    EXPECT_EQ(next(client), (Bytes{0x00, 0xFF, 0xEB, 0, 0, 0x42, 8, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
    expectQuiet(client);
}

TEST_F(ClientBusTest, DgnFiltersMatchAllThirtyTwoBits) {
    ModuleClient client;
    registerModule(client, "ModA");
    for (uint32_t dgn : {0xEA42u, 0xFEEBu}) {
        ASSERT_TRUE(client.addDgnFilter(dgn));
        next(client);
    }
    manager.intake(frameFrom(0x10, 0xEAFF, {0xEB, 0xFE, 0x00}));  // a request to everyone
    manager.intake(frameFrom(0x10, 0xEC42, {0x10, 20, 0, 3, 0xFF, 0xEB, 0xFE, 0}));   // TP.CM
    manager.intake(frameFrom(0x10, 0xEB42, {1, 'T', 'i', 'n', 'd', 'r', 'e', 'l'}));  // TP.DT
    expectQuiet(client);

    manager.intake(frameFrom(0x10, 0xEA42, {0xEB, 0xFE, 0x00}));
    EXPECT_EQ(next(client), (Bytes{0x00, 0x42, 0xEA, 0, 0, 0x10, 3, 0, 0xEB, 0xFE, 0x00}));
    // A reassembled PRODUCT_ID re-enters dispatch as a complete message.
    Bytes text(20, '*');
    manager.dispatchMessage(*makeMessage(0xFEEB, 0x10, text));
    Bytes got = next(client);
    ASSERT_EQ(got.size(), 28u);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 8), (Bytes{0x00, 0xEB, 0xFE, 0, 0, 0x10, 20, 0}));
}

TEST_F(ClientBusTest, OverlappingFiltersGiveOneCookedButEveryRawCopy) {
    ModuleClient cooked, raw;
    registerModule(cooked, "Cooked");
    registerModule(raw, "Raw");
    addAddress(cooked, 0x42);
    addAddress(cooked, 0xFF);
    for (uint8_t sa : {0x42, 0xFF}) {
        ASSERT_TRUE(raw.addRawFilter(sa));
        next(raw);
    }
    manager.intake(frameFrom(0x42, 0x1FECA, {1}));
    EXPECT_EQ(next(cooked)[0], 0x00);
    expectQuiet(cooked);
    EXPECT_EQ(next(raw)[0], 0x03);
    EXPECT_EQ(next(raw)[0], 0x03);
    expectQuiet(raw);
}

TEST_F(ClientBusTest, SimulatedReceptionsReachEveryCookedClient) {
    ModuleClient listener, injector;
    registerModule(listener, "Listener");
    registerModule(injector, "Injector");
    addAddress(listener, 0xFF);
    ASSERT_TRUE(injector.addRawFilter(0xFF));
    next(injector);

    const Bytes data{0x01, 0x02, 0x03};
    ASSERT_TRUE(injector.simulateReception(0x1FFB7, 0x55, data));
    EXPECT_EQ(next(listener), (Bytes{0x00, 0xB7, 0xFF, 0x01, 0x00, 0x55, 3, 0, 1, 2, 3}));
    expectQuiet(injector);  // a simulated reception is a message, not a frame

    // Longer than one frame, and a length that claims more than the request holds.
    test::CapturingTrace trace;
    Bytes lie{0x02, 0xB7, 0xFF, 0x01, 0x00, 0x55, 100, 0, 1, 2, 3};
    ASSERT_TRUE(injector.sendRaw(lie));
    Bytes many(150, 0x5A);
    ASSERT_TRUE(injector.simulateReception(0x1FFB7, 0x55, many));
    Bytes got = next(listener);
    EXPECT_EQ(got.size(), 158u);
    expectQuiet(listener);
    EXPECT_NE(trace.all().find("does not hold its data"), std::string::npos);
}

TEST_F(ClientBusTest, SendsObeyTheMuteModeAndRejectShortRequests) {
    ModuleClient client;
    registerModule(client, "ModA");
    const Bytes data{1, 2, 3};
    struct Case {
        int32_t mute;
        size_t sends;  // of send, sendFrom and housekeeping, how many go out
    } cases[] = {{0, 3}, {1, 1}, {2, 0}, {3, 3}};
    for (const auto& c : cases) {
        manager.setMuteMode(static_cast<MuteMode>(c.mute));
        size_t before = adapter.frames().size();
        ASSERT_TRUE(client.send(0x1FFB7, 6, data));
        ASSERT_TRUE(client.sendFrom(0x33, 0x1FFB6, 3, data));
        ASSERT_TRUE(client.sendHousekeeping(0xEAFF, 6, data));
        ASSERT_TRUE(client.setMode(0xFF, 0xFF));
        next(client);
        EXPECT_EQ(adapter.frames().size() - before, c.sends) << c.mute;
    }
    manager.setMuteMode(MuteMode::TransmitNormally);
    auto frames = adapter.frames();
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(+frames[0].dgn, 0x1FFB7u);
    EXPECT_EQ(frames[0].sa, 0xF9);
    EXPECT_EQ(frames[0].data, data);
    EXPECT_EQ(frames[1].sa, 0x33);
    EXPECT_EQ(frames[1].priority, 3);

    // The largest send that fits a request goes out as a long message.
    Bytes biggest(191, 7);
    EXPECT_FALSE(client.send(0x1FFB7, 6, Bytes(192, 7)));
    size_t before = adapter.frames().size();
    ASSERT_TRUE(client.send(0x1FFB7, 6, biggest));
    sync(client);
    clock.advanceMs(BroadcastPacer::kGapMs);  // the first packet follows the announcement
    transmit.pacingStep();
    EXPECT_EQ(adapter.frames().size(), before + 2);

    test::CapturingTrace trace;
    before = adapter.frames().size();
    ASSERT_TRUE(client.sendRaw(Bytes{0x00, 0xB7, 0xFF, 0x01, 0x00, 6, 50, 0, 1, 2}));
    ASSERT_TRUE(client.sendRaw(Bytes{0x01, 0x33, 0xB7, 0xFF, 0x01, 0x00, 6, 9, 0}));
    ASSERT_TRUE(client.sendRaw(Bytes{0x80, 1, 2}));  // no token, no address
    sync(client);
    EXPECT_EQ(adapter.frames().size(), before);
    EXPECT_NE(trace.all().find("not sent"), std::string::npos);
    EXPECT_NE(trace.all().find("too short"), std::string::npos);
}

TEST_F(ClientBusTest, RawClientsSeeTheToolsOwnTransmissionsOnlyWithEcho) {
    ModuleClient client;
    registerModule(client, "ModA");
    ASSERT_TRUE(client.addRawFilter(0xF9));
    next(client);
    ASSERT_TRUE(client.send(0x1FFB7, 6, Bytes{1}));
    sync(client);
    expectQuiet(client);

    ASSERT_TRUE(client.setMode(0xFF, 1));
    next(client);
    ASSERT_TRUE(client.send(0x1FFB7, 6, Bytes{1}));
    auto event = client.receive(1000ms);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, ModuleEvent::Type::Frame);
    EXPECT_EQ(event->sa, 0xF9);
    EXPECT_EQ(+event->dgn, 0x1FFB7u);
}

TEST_F(ClientBusTest, ScanSwitchNeedsARegisteredToken) {
    ModuleClient client;
    registerModule(client, "ModA");
    ASSERT_TRUE(client.sendRaw(Bytes{0xE0, 0x78, 0x56, 0x34, 0x12}));  // a stranger
    sync(client);
    EXPECT_TRUE(manager.scanNetwork());
    ASSERT_TRUE(client.setScan(false));
    sync(client);
    EXPECT_FALSE(manager.scanNetwork());
    ASSERT_TRUE(client.setScan(true));
    sync(client);
    EXPECT_TRUE(manager.scanNetwork());
}

TEST_F(ClientBusTest, BadSlotNamesAndMissingSlotsAreRefused) {
    test::CapturingTrace trace;
    MailslotWriter tool(bus->slotPath());
    // The tool's own slot exists, but traffic for such a client would land in the tool's inbox.
    for (const Bytes& r : {Bytes{0xFF, '.', '.', '/', 'x', 0}, Bytes{0xFF, 0},
                           Bytes{0xFF, 'N', 'o', 'b', 'o', 'd', 'y', 0}, Bytes{0xFF},
                           Bytes{0xFF, 'R', 'V', 'C', 'M', 'a', 'n', 'a', 'g', 'e', 'r', 0}}) {
        ASSERT_TRUE(tool.write(r));
    }
    ModuleClient client;
    registerModule(client, "ModA");  // handled after the five above
    EXPECT_EQ(bus->clientCount(), 1u);
    EXPECT_NE(trace.all().find("bad slot name"), std::string::npos);
    EXPECT_NE(trace.all().find("Nobody cannot be opened"), std::string::npos);
    EXPECT_NE(trace.all().find("own slot name RVCManager refused"), std::string::npos);
}

TEST_F(ClientBusTest, ADeadClientStaysRegisteredAndNeverSlowsDispatch) {
    ModuleClient stuck;
    registerModule(stuck, "Stuck");
    addAddress(stuck, 0xFF);

    // A client whose process vanished: its slot exists no more.
    auto path = mailslotPath("Vanished");
    auto slot = std::make_unique<MailslotServer>(*path);
    MailslotWriter tool(bus->slotPath());
    ASSERT_TRUE(tool.write(Bytes{0xFF, 'V', 'a', 'n', 'i', 's', 'h', 'e', 'd', 0}));
    // It vanishes once it has its registration reply: a slot gone before the reply is a
    // registration that failed.
    ASSERT_TRUE(slot->waitReadable(2000));
    ASSERT_EQ(bus->clientCount(), 2u);
    slot.reset();

    auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 20000; ++i) manager.intake(frameFrom(0x42, 0x1FECA, {1, 2, 3}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(bus->clientCount(), 2u);
    EXPECT_EQ(next(stuck)[0], 0x00);  // the live one got (at least the first of) them
}

// A burst far longer than a datagram socket queues for its reader (ten messages by default)
// reaches a module that reads on its own thread whole and in order, and an unregistration
// right behind it still comes after the last frame.
TEST_F(ClientBusTest, ABurstReachesAReadingModuleWhole) {
    ModuleClient client;
    registerModule(client, "Burst");
    ASSERT_TRUE(client.addRawFilter(0xFF));
    ASSERT_EQ(next(client), (Bytes{0x86, 0xFF}));

    constexpr int kBurst = 5000;
    for (int i = 0; i < kBurst; ++i)
        manager.intake(frameFrom(0x42, 0x1FFB7, {uint8_t(i), uint8_t(i >> 8)}));
    ASSERT_TRUE(client.unregister());

    int frames = 0;
    int outOfOrder = 0;
    std::vector<uint8_t> after;  // the codes that follow the frames
    while (auto event = client.receive(2000ms)) {
        if (event->type == ModuleEvent::Type::Frame) {
            if (!after.empty() || event->data[0] != uint8_t(frames) ||
                event->data[1] != uint8_t(frames >> 8))
                ++outOfOrder;
            ++frames;
        } else {
            after.push_back(event->code);
            if (after.size() == 2) break;
        }
    }
    EXPECT_EQ(frames, kBurst);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(after, (std::vector<uint8_t>{0xFE, 0x87}));
}

TEST_F(ClientBusTest, DeliveriesSkippedOnABusyLockAreCounted) {
    ModuleClient client;
    registerModule(client, "ModA");
    addAddress(client, 0x42);
    {
        std::lock_guard busy(ClientBusLockHolder::of(*bus));
        for (int i = 0; i < 3; ++i) manager.intake(frameFrom(0x42, 0x1FECA, {1, 2, 3}));
    }
    // Each frame is offered raw and cooked: both skipped.
    EXPECT_EQ(manager.droppedWork().skippedDeliveries(), 6u);
    expectQuiet(client);
    manager.intake(frameFrom(0x42, 0x1FECA, {1, 2, 3}));
    EXPECT_FALSE(next(client).empty());
    EXPECT_EQ(manager.droppedWork().skippedDeliveries(), 6u);
    const std::string slots = manager.slots();
    EXPECT_NE(slots.find("\r\nDropped: client deliveries=6 adapter ring full=0 \r\n"),
              std::string::npos)
        << slots;
}

}  // namespace
}  // namespace corvane
