#include <gtest/gtest.h>

#include <vector>

#include "core/Dgn.h"
#include "core/PeriodicDuties.h"
#include "platform/MemorySettingsStore.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

class RecordingView final : public DeviceListView {
  public:
    explicit RecordingView(RVCManager& m) : manager(m) {}
    void rebuildDeviceList() override {
        divertedDuringRebuild = manager.intakeDiverted();
        ++rebuilds;
    }
    RVCManager& manager;
    int rebuilds = 0;
    bool divertedDuringRebuild = false;
};

class PeriodicDutiesTest : public ::testing::Test {
  protected:
    test::FakeClock clock;
    MemorySettingsStore settings;
    DeviceTable table{clock};
    RVCManager manager{settings, table};
    PeriodicDuties duties{manager, table};
};

TEST_F(PeriodicDutiesTest, ScheduleOverOneFiveSecondCycle) {
    std::vector<int> housekeepingAt;
    std::vector<int> statisticsAt;
    duties.setHousekeeping([&] { housekeepingAt.push_back(duties.counter()); });
    RecordingView view(manager);
    duties.setDeviceListView(&view);
    int previousTotal = 0;
    for (int t = 0; t < 200; ++t) {  // two cycles of 100 ticks
        manager.intake(makeFrame(CanIdentifier{6, 0x1FFF7, 0x42, 0}, 0, 0, {}));
        duties.tick();
        int total = manager.addressStats(0x42).total;
        if (total != previousTotal) statisticsAt.push_back(duties.counter());
        previousTotal = total;
    }
    // Statistics ran at 900 ... 4500 in each cycle (counter read after the wrap at 5000).
    EXPECT_EQ(statisticsAt,
              (std::vector<int>{900, 1800, 2700, 3600, 4500, 900, 1800, 2700, 3600, 4500}));
    EXPECT_EQ(housekeepingAt.size(), 50u);  // 25 a cycle: 200, 400, ..., 5000
    EXPECT_EQ(housekeepingAt.front(), 200);
    EXPECT_EQ(housekeepingAt[24], 5000);  // the last tick of a cycle, before it starts over
}

TEST_F(PeriodicDutiesTest, HousekeepingNeedsScanningAndAMuteModeOfZeroOrOne) {
    struct Case {
        int mute;
        int scan;
        bool runs;
    };
    const Case cases[] = {{0, 1, true},  {1, 1, true},  {2, 1, false},
                          {3, 1, false}, {0, 0, false}, {1, 0, false}};
    for (const auto& c : cases) {
        int runs = 0;
        int services = 0;
        int paced = 0;
        duties.setHousekeeping([&] { ++runs; });
        duties.setServiceStep([&] { ++services; });
        duties.setPacingStep([&] { ++paced; });
        manager.setMuteMode(static_cast<MuteMode>(c.mute));
        manager.setScanNetwork(c.scan != 0);
        for (int t = 0; t < 4; ++t) duties.tick();
        EXPECT_EQ(runs > 0, c.runs) << "mute " << c.mute << " scan " << c.scan;
        EXPECT_EQ(services, 1);  // the adapter service ignores mute mode
        EXPECT_EQ(paced, 4);     // so does the pacing of long transfers, every tick
    }
}

TEST_F(PeriodicDutiesTest, RebuildOnlyWhenChangedAndWhileDiverted) {
    RecordingView view(manager);
    duties.setDeviceListView(&view);
    for (int t = 0; t < 18; ++t) duties.tick();
    EXPECT_EQ(view.rebuilds, 0);

    const uint8_t status[8] = {0x05, 0x58, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    manager.intake(makeFrame(CanIdentifier{6, dgn::kDmRv, 0x40, 0}, 0, 8, status));
    for (int t = 0; t < 18; ++t) duties.tick();
    EXPECT_EQ(view.rebuilds, 1);
    EXPECT_TRUE(view.divertedDuringRebuild);
    EXPECT_FALSE(manager.intakeDiverted());
    EXPECT_FALSE(table.changed());

    // Aging out a silent device rebuilds again.
    clock.advanceSeconds(16);
    for (int t = 0; t < 18; ++t) duties.tick();
    EXPECT_EQ(view.rebuilds, 2);
    EXPECT_TRUE(table.devices().empty());
}

}  // namespace
}  // namespace corvane
