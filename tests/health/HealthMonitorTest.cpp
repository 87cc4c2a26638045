#include "health/HealthMonitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string_view>
#include <thread>
#include <vector>

#include "core/CanIdentifier.h"
#include "core/Dgn.h"
#include "core/RvcMessage.h"
#include "decode/LogClock.h"
#include "decode/LogNetwork.h"
#include "health/HealthReport.h"
#include "health/ReportFormats.h"

namespace corvane::health {
namespace {

RvcFrame frame(uint32_t id, std::vector<uint8_t> data) {
    return makeFrame(unpackIdentifier(id), 0, static_cast<uint16_t>(data.size()), data);
}

// A thermostat that stops talking after 10 s, and a second NAME claiming its address, through
// the real network core.
TEST(HealthMonitor, SilentNodeAndConflictReachTheReport) {
    decode::LogClock clock;
    decode::LogNetwork network(clock);
    HealthMonitor monitor([&clock] { return clock.micros(); });
    network.manager.setClientDelivery(&monitor);
    const auto feed = [&](int64_t micros, const RvcFrame& f) {
        clock.setMicros(micros);
        network.manager.intake(f);
    };
    for (int64_t s = 0; s <= 10; ++s) {
        feed(s * 1'000'000, frame(0x19FECA58, {0x05, 88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
        feed(s * 1'000'000 + 1, frame(0x19FF9C58, {1, 0x20, 0x25, 0xFF, 0xFF, 0xFF, 0xFF}));
        feed(s * 1'000'000 + 2, frame(0x19FFFD42, {1, 100, 0x0C, 0x01, 0xFF, 0xFF, 0xFF, 0xFF}));
    }
    feed(10'500'000, frame(0x18EEFF80, {1, 0, 0, 0, 0, 0, 0, 0}));
    feed(10'600'000, frame(0x18EEFF80, {2, 0, 0, 0, 0, 0, 0, 0}));
    for (int64_t s = 11; s <= 15; ++s) {
        feed(s * 1'000'000 + 2, frame(0x19FFFD42, {1, 100, 0x0C, 0x01, 0xFF, 0xFF, 0xFF, 0xFF}));
    }
    network.manager.setClientDelivery(nullptr);

    const HealthMonitor::Snapshot s = monitor.snapshot();
    EXPECT_EQ(s.micros, 15'000'002);
    ASSERT_EQ(s.silentDgns.size(), 2u);  // both of the thermostat's
    EXPECT_EQ(s.silentDgns[0].address, 0x58);
    EXPECT_EQ(s.silentDgns[0].interval, 1'000'000);
    EXPECT_EQ(s.frames, 11u * 3 + 2 + 5);
    // Second 14 held the inverter's one frame.
    const uint8_t inverter[8] = {1, 100, 0x0C, 0x01, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_DOUBLE_EQ(s.loadLastSecond, frameBitsOnWire(0x19FFFD42, inverter) / 2500.0);
    const HealthReport report =
        makeHealthReport(network.devices.devices(), network.devices.nodes(), s);
    ASSERT_EQ(report.silentNodes.size(), 1u);
    EXPECT_EQ(report.silentNodes[0].device, "Main Thermostat at 58");
    EXPECT_EQ(report.silentNodes[0].lastSeen, 10'000'001);
    ASSERT_EQ(report.conflicts.size(), 1u);
    EXPECT_EQ(report.conflicts[0].address, 0x80);
    const auto json = reportToJson(report);
    EXPECT_EQ(json["silent_nodes"][0]["dgns"][0], "1FECA");
    EXPECT_EQ(json["address_conflicts"][0]["names"][1], "0000000000000002");
}

}  // namespace
}  // namespace corvane::health

namespace corvane::health {
namespace {

// The reader's frames wait in its own queue, another thread's (the tool's echoes, and a long
// message it completes) in the shared one; a full queue counts what it could not keep instead
// of blocking the bus.
TEST(HealthMonitorConcurrency, FramesFromTwoThreadsAndAFullQueue) {
    std::atomic<int64_t> micros{0};
    HealthMonitor monitor([&micros] { return micros.load(); });
    const RvcFrame data = frame(0x19FFFD42, {1, 100, 0x0C, 0x01, 0xFF, 0xFF, 0xFF, 0xFF});
    const RvcFrame echo = frame(0x19FECAF9, {0xF5, 0xF9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    const std::string_view id = "Tindrel*Service Tool*T-1*";
    const auto productId = makeMessage(dgn::kProductId, 0xF9,
                                       {reinterpret_cast<const uint8_t*>(id.data()), id.size()});
    ASSERT_TRUE(productId);
    monitor.deliverRaw(data);  // this thread's frames go to the ring from now on
    std::thread echoes([&] {
        for (int i = 0; i < 500; ++i) monitor.deliverRaw(echo);
        monitor.deliverCooked(*productId);
    });
    for (size_t i = 1; i < HealthMonitor::kRingSlots + 7; ++i) {
        micros = static_cast<int64_t>(i) * 1000;
        monitor.deliverRaw(data);
    }
    echoes.join();
    const HealthMonitor::Snapshot s = monitor.snapshot();
    EXPECT_EQ(s.missed, 7u);
    EXPECT_EQ(s.frames, HealthMonitor::kRingSlots + 500);
    ASSERT_EQ(s.nodes.size(), 2u);
    EXPECT_EQ(s.nodes[0].frames, HealthMonitor::kRingSlots);
    EXPECT_EQ(s.nodes[1].address, 0xF9);
    EXPECT_EQ(s.nodes[1].frames, 500u);
    EXPECT_EQ(s.nodes[1].model, "Service Tool");
    // Once taken in, the queue has room again.
    monitor.deliverRaw(data);
    EXPECT_EQ(monitor.snapshot().frames, HealthMonitor::kRingSlots + 501);
}

// A long DM1 (two codes, a broadcast transfer put back together by the network core), then
// single-frame DM1s that clear one code and then the other, all taken in by one process():
// the history follows them in the order they were sent.
TEST(HealthMonitor, LongAndSingleFrameDm1sAreTakenInTheirOrder) {
    decode::LogClock clock;
    decode::LogNetwork network(clock);
    HealthMonitor monitor([&clock] { return clock.micros(); });
    network.manager.setClientDelivery(&monitor);
    const auto feed = [&](int64_t micros, const RvcFrame& f) {
        clock.setMicros(micros);
        network.manager.intake(f);
    };
    // Amber lamp; SPN 110 FMI 3 and SPN 96 FMI 5: ten bytes in two packets.
    feed(10'000'000, frame(0x1CECFF00, {0x20, 10, 0, 2, 0xFF, 0xCA, 0xFE, 0x00}));
    feed(10'050'000, frame(0x1CEBFF00, {1, 0x04, 0xFF, 0x6E, 0x00, 0x03, 0x01, 0x60}));
    feed(10'100'000, frame(0x1CEBFF00, {2, 0x00, 0x05, 0x01, 0xFF, 0xFF, 0xFF, 0xFF}));
    feed(11'000'000, frame(0x18FECA00, {0x04, 0xFF, 0x60, 0x00, 0x05, 0x01, 0xFF, 0xFF}));
    feed(12'000'000, frame(0x18FECA00, {0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF}));
    network.manager.setClientDelivery(nullptr);

    const HealthMonitor::Snapshot s = monitor.snapshot();
    ASSERT_EQ(s.faults.size(), 2u);
    const auto& coolant = s.faults[0];
    EXPECT_EQ(coolant.code.spn, 110u);
    EXPECT_FALSE(coolant.active);
    EXPECT_EQ(coolant.firstSeen, 10'100'000);
    EXPECT_EQ(coolant.lastSeen, 10'100'000);
    EXPECT_EQ(coolant.clearedAt, 11'000'000);
    const auto& fuel = s.faults[1];
    EXPECT_EQ(fuel.code.spn, 96u);
    EXPECT_FALSE(fuel.active);
    EXPECT_EQ(fuel.firstSeen, 10'100'000);
    EXPECT_EQ(fuel.lastSeen, 11'000'000);
    EXPECT_EQ(fuel.clearedAt, 12'000'000);
    EXPECT_EQ(fuel.raised, 1u);
}

// A long message noted across the end of the queue's storage is read back whole.
TEST(HealthMonitor, ALongMessageAcrossTheEndOfTheQueue) {
    int64_t micros = 0;
    HealthMonitor monitor([&micros] { return micros; });
    const RvcFrame data = frame(0x19FFFD42, {1, 100, 0x0C, 0x01, 0xFF, 0xFF, 0xFF, 0xFF});
    for (size_t i = 0; i + 2 < HealthMonitor::kRingSlots; ++i) monitor.deliverRaw(data);
    monitor.process();
    std::vector<uint8_t> dm1 = {0x04, 0xFF};  // 20 codes: 82 bytes, three slots after its own
    for (uint8_t i = 0; i < 20; ++i) {
        for (uint8_t b : {static_cast<uint8_t>(100 + i), uint8_t{0}, uint8_t{0x03}, uint8_t{1}}) {
            dm1.push_back(b);
        }
    }
    const auto message = makeMessage(dgn::kDm1, 0x00, dm1);
    ASSERT_TRUE(message);
    micros = 5'000'000;
    monitor.deliverCooked(*message);
    const auto s = monitor.snapshot();
    ASSERT_EQ(s.faults.size(), 20u);
    EXPECT_EQ(s.faults[0].code.spn, 100u);
    EXPECT_EQ(s.faults[19].code.spn, 119u);
    EXPECT_EQ(s.faults[19].firstSeen, 5'000'000);
    EXPECT_EQ(s.missed, 0u);
}

// Each status byte read by the layout of the message it came in.
TEST(HealthReport, StatusInWordsByTheMessagesLayout) {
    const struct {
        uint8_t status;
        bool legacy;
        const char* text;
    } cases[] = {
        {0x45, false, "on, red lamp on"},     // DM_RV: on, active, yellow off, red on
        {0x15, false, "on, yellow lamp on"},  // 00 01 01 01
        {0x00, false, "off"},
        {0xFF, false, ""},              // nothing available
        {0x04, true, "amber lamp on"},  // DM1: bits 2-3
        {0x10, true, "red lamp on"},    // bits 4-5
        {0x41, true, "protect lamp on, malfunction lamp on"},
        {0x00, true, "no lamp on"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(statusText(c.status, c.legacy), c.text) << int(c.status) << c.legacy;
    }
}

// An inverter that identified itself and went quiet after 5 s while the thermostat talks on
// to 30 s: the device table lets it go, the report keeps it, marked with when it was last
// heard; a J1939 engine's DM1 lamps read as lamps, not as an operating status.
TEST(HealthReport, AQuietDeviceStaysInTheInventory) {
    decode::LogClock clock;
    decode::LogNetwork network(clock);
    HealthMonitor monitor([&clock] { return clock.micros(); });
    network.manager.setClientDelivery(&monitor);
    const auto feed = [&](int64_t micros, const RvcFrame& f) {
        clock.setMicros(micros);
        network.manager.intake(f);
    };
    feed(0, frame(0x18FEEB42, {'N', '*', 'X', '1', '*', 'S', '7', '*'}));
    for (int64_t s = 0; s <= 30; ++s) {
        if (s <= 5) feed(s * 1'000'000 + 1, frame(0x19FECA42, {0x05, 66, 0xFF, 0xFF, 0xFF, 0xFF}));
        feed(s * 1'000'000 + 2, frame(0x19FECA58, {0x05, 88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
        feed(s * 1'000'000 + 3, frame(0x18FECA00, {0x04, 0xFF, 0x6E, 0x00, 0x03, 0x01}));
    }
    network.manager.setClientDelivery(nullptr);
    network.devices.age();
    const auto snapshot = monitor.snapshot();

    const HealthReport live = makeHealthReport(network.devices.devices(), network.devices.nodes(),
                                               snapshot, Inventory::HeardNow);
    const HealthReport full = makeHealthReport(network.devices.devices(), network.devices.nodes(),
                                               snapshot, Inventory::EverHeard);
    ASSERT_EQ(full.inventory.size(), 3u);
    // As the device list shows it now: the inverter is only a node that identified itself.
    ASSERT_EQ(live.inventory.size(), 3u);
    EXPECT_EQ(live.inventory[1].dsa, -1);
    const auto& engine = full.inventory[0];
    EXPECT_EQ(engine.address, 0x00);
    EXPECT_EQ(engine.status, "amber lamp on");
    EXPECT_FALSE(engine.quiet);
    const auto& inverter = full.inventory[1];
    EXPECT_EQ(inverter.address, 0x42);
    EXPECT_TRUE(inverter.quiet);
    EXPECT_EQ(inverter.lastHeard, 5'000'001);
    EXPECT_EQ(inverter.make, "N");
    EXPECT_EQ(inverter.serial, "S7");
    EXPECT_EQ(full.inventory[2].address, 0x58);
    EXPECT_FALSE(full.inventory[2].quiet);
    const auto json = reportToJson(full);
    EXPECT_EQ(json["inventory"][1]["last_heard"], "1970-01-01 00:00:05 UTC");
    EXPECT_TRUE(json["inventory"][1]["quiet"].get<bool>());
    EXPECT_NE(reportToText(full).find("not heard since 1970-01-01 00:00:05 UTC"),
              std::string::npos);
}

}  // namespace
}  // namespace corvane::health
