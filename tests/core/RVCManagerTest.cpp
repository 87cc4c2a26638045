#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "core/Dgn.h"
#include "core/RVCManager.h"
#include "platform/MemorySettingsStore.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

RvcFrame frameFrom(uint8_t sa, uint32_t dgn = 0x1FFF7, uint32_t sequence = 0, uint16_t length = 8) {
    const uint8_t data[8] = {static_cast<uint8_t>(sequence),
                             static_cast<uint8_t>(sequence >> 8),
                             static_cast<uint8_t>(sequence >> 16),
                             static_cast<uint8_t>(sequence >> 24),
                             5,
                             6,
                             7,
                             8};
    return makeFrame(CanIdentifier{6, dgn, sa, 0}, 0, length, data);
}

uint32_t sequenceOf(const uint8_t* data) {
    return data[0] | (uint32_t{data[1]} << 8) | (uint32_t{data[2]} << 16) |
           (uint32_t{data[3]} << 24);
}

// Records what dispatch hands to module clients.
class RecordingDelivery final : public ClientDelivery {
  public:
    void deliverRaw(const RvcFrame& frame) override {
        std::lock_guard lock(mutex);
        raw.push_back(frame);
    }
    void deliverCooked(const RvcMessage& message) override {
        std::lock_guard lock(mutex);
        cooked.push_back({message.dgn, message.sa, message.length,
                          std::vector<uint8_t>(message.data, message.data + 8)});
    }
    std::string report() const override { return "clients\n\r"; }

    struct Cooked {
        uint32_t dgn;
        uint8_t sa;
        uint16_t length;
        std::vector<uint8_t> first8;
    };
    std::mutex mutex;
    std::vector<RvcFrame> raw;
    std::vector<Cooked> cooked;
};

class RecordingStage final : public MessageSink {
  public:
    void offer(const RvcMessage& message) override { dgns.push_back(uint32_t{message.dgn}); }
    std::vector<uint32_t> dgns;
};

class RVCManagerTest : public ::testing::Test {
  protected:
    RVCManagerTest() {
        manager.setClientDelivery(&clients);
        manager.setTransportStage(&stage);
        manager.setDataFieldSink(&dataFields);
    }
    test::FakeClock clock;
    MemorySettingsStore settings;
    DeviceTable table{clock};
    RVCManager manager{settings, table};
    RecordingDelivery clients;
    RecordingStage stage;
    RecordingStage dataFields;
};

TEST_F(RVCManagerTest, RingHoldsAtMost1023AndDrainsInOrder) {
    manager.divertIntake();
    for (uint32_t i = 0; i < 1024; ++i) manager.intake(frameFrom(0x42, 0x1FFF7, i));
    EXPECT_EQ(manager.overruns(), 1);
    EXPECT_TRUE(clients.raw.empty());
    EXPECT_EQ(manager.addressStats(0x42).count, 0);  // queued frames are not counted yet

    manager.drainIntake();
    EXPECT_FALSE(manager.intakeDiverted());
    ASSERT_EQ(clients.raw.size(), 1023u);
    for (uint32_t i = 0; i < 1023; ++i) ASSERT_EQ(sequenceOf(clients.raw[i].data), i);
    EXPECT_EQ(manager.addressStats(0x42).count, 1023);

    // Direct dispatch resumes.
    manager.intake(frameFrom(0x42, 0x1FFF7, 5000));
    EXPECT_EQ(clients.raw.size(), 1024u);
}

TEST_F(RVCManagerTest, StatisticsWindowsAndActiveFlag) {
    manager.intake(frameFrom(0x42));
    manager.statisticsStep();
    auto s = manager.addressStats(0x42);
    EXPECT_EQ(s.last, 1);
    EXPECT_EQ(s.total, 1);
    EXPECT_EQ(s.sum5, 1);
    EXPECT_EQ(s.rate, 0);  // (1 + 2) / 5
    EXPECT_EQ(s.active, 1);
    EXPECT_EQ(manager.networkStats().total, 1);

    for (int i = 0; i < 9; ++i) manager.statisticsStep();
    s = manager.addressStats(0x42);
    EXPECT_EQ(s.active, 1);  // still within the last ten intervals
    EXPECT_EQ(s.sum5, 0);
    manager.statisticsStep();
    s = manager.addressStats(0x42);
    EXPECT_EQ(s.active, 0);
    EXPECT_EQ(s.sum10, 0);
    EXPECT_EQ(s.total, 1);
}

TEST_F(RVCManagerTest, RateIsTheRoundedAverageOfFiveIntervals) {
    struct Case {
        int perInterval;
        int intervals;
        int rate;
    };
    const Case cases[] = {{3, 5, 3}, {3, 4, 2}, {1, 2, 0}, {1, 3, 1}, {10, 7, 10}};
    uint8_t sa = 0x10;
    for (const auto& c : cases) {
        for (int i = 0; i < c.intervals; ++i) {
            for (int f = 0; f < c.perInterval; ++f) manager.intake(frameFrom(sa));
            manager.statisticsStep();
        }
        auto s = manager.addressStats(sa);
        EXPECT_EQ(s.rate, c.rate) << c.perInterval << "x" << c.intervals;
        EXPECT_EQ(s.sum5, c.perInterval * std::min(c.intervals, 5));
        ++sa;
        // Let earlier addresses' windows run empty so each case starts clean.
        for (int i = 0; i < 10; ++i) manager.statisticsStep();
    }
}

TEST_F(RVCManagerTest, TransportFramesReachRawClientsAndTheTableOnly) {
    manager.intake(frameFrom(0x42, dgn::kTransportData | 0xFF));
    manager.intake(frameFrom(0x42, dgn::kTransportControl | 0xF9));
    EXPECT_EQ(clients.raw.size(), 2u);
    EXPECT_TRUE(clients.cooked.empty());
    EXPECT_TRUE(dataFields.dgns.empty());
    EXPECT_EQ(stage.dgns.size(), 2u);  // long-message handling sees them

    manager.intake(frameFrom(0x42, dgn::kDmRv, 0, 3));
    ASSERT_EQ(clients.cooked.size(), 1u);
    EXPECT_EQ(+clients.cooked[0].length, 3);
    EXPECT_EQ(clients.cooked[0].first8[3], 0xFF);
    EXPECT_EQ(dataFields.dgns.size(), 1u);
    EXPECT_EQ(table.devices().size(), 1u);
}

TEST_F(RVCManagerTest, TheTapSeesCompleteMessagesOnlyWhileSet) {
    RecordingDelivery tap;
    manager.setMessageTap(&tap);
    manager.intake(frameFrom(0x42, dgn::kTransportData | 0xFF));
    manager.intake(frameFrom(0x42, dgn::kDmRv, 0, 3));
    EXPECT_TRUE(tap.raw.empty());
    ASSERT_EQ(tap.cooked.size(), 1u);
    EXPECT_EQ(+tap.cooked[0].length, 3);
    EXPECT_EQ(clients.cooked.size(), 1u);  // the module clients are served as before
    manager.setMessageTap(nullptr);
    manager.intake(frameFrom(0x42, dgn::kDmRv, 0, 3));
    EXPECT_EQ(tap.cooked.size(), 1u);
    EXPECT_EQ(clients.cooked.size(), 2u);
}

TEST_F(RVCManagerTest, ResetForgetsTheNetworkButKeepsClients) {
    manager.intake(frameFrom(0x42, dgn::kDmRv));
    manager.statisticsStep();
    manager.divertIntake();
    for (int i = 0; i < 1100; ++i) manager.intake(frameFrom(0x42));
    ASSERT_GT(manager.overruns(), 0);
    manager.setHousekeepingCountdown(5);

    manager.reset();
    EXPECT_EQ(manager.overruns(), 0);
    EXPECT_EQ(manager.addressStats(0x42).total, 0);
    EXPECT_EQ(manager.addressStats(0x42).active, 0);
    EXPECT_EQ(manager.networkStats().total, 0);
    EXPECT_TRUE(table.devices().empty());
    EXPECT_TRUE(table.changed());
    EXPECT_EQ(manager.housekeepingCountdown(), 2);

    manager.drainIntake();  // the ring was emptied by the reset
    size_t before = clients.raw.size();
    manager.intake(frameFrom(0x42));
    EXPECT_EQ(clients.raw.size(), before + 1);  // the client is still served
}

TEST_F(RVCManagerTest, RecentSourcesWrapAt128) {
    for (int i = 0; i < 127; ++i) manager.intake(frameFrom(1));
    EXPECT_EQ(manager.recentIndex(), 127);
    manager.intake(frameFrom(0x42));
    EXPECT_EQ(manager.recentIndex(), 0);
    EXPECT_EQ(manager.recentSource(127), 0x42);
    manager.intake(frameFrom(0x43));
    EXPECT_EQ(manager.recentSource(0), 0x43);
}

TEST_F(RVCManagerTest, OptionsPersistAndMarkTheListChanged) {
    EXPECT_FALSE(manager.showPhantoms());
    EXPECT_TRUE(manager.supportLegacyDM1());
    table.takeChanged();
    manager.setShowPhantoms(true);
    EXPECT_TRUE(table.takeChanged());
    EXPECT_EQ(settings.readInteger("Corvane", "ShowPhantoms"), 1);
    manager.setSupportLegacyDM1(false);
    EXPECT_EQ(settings.readInteger("Corvane", "SupportLegacyDM1"), 0);

    // DM1 gating follows the option.
    manager.intake(frameFrom(0x48, dgn::kDm1));
    EXPECT_TRUE(table.devices().empty());

    RVCManager reloaded(settings, table);
    EXPECT_TRUE(reloaded.showPhantoms());
    EXPECT_FALSE(reloaded.supportLegacyDM1());
}

TEST_F(RVCManagerTest, SlotsReportListsActiveAddresses) {
    for (int sa = 0; sa < 9; ++sa) manager.intake(frameFrom(static_cast<uint8_t>(sa)));
    manager.statisticsStep();
    manager.intake(frameFrom(0));
    manager.intake(frameFrom(0));
    EXPECT_EQ(manager.slots(),
              "RVCManager    RVC overruns=0 \r\n"
              "00:2 01:0 02:0 03:0 04:0 05:0 06:0 07:0 \n\r"
              "08:0 clients\n\r"
              "Dropped: client deliveries=0 adapter ring full=0 \r\n");
}

}  // namespace
}  // namespace corvane
