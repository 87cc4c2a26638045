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

// Counts raw deliveries and checks they arrive in the order they were taken in.
class OrderCheckingDelivery final : public ClientDelivery {
  public:
    void deliverRaw(const RvcFrame& frame) override {
        uint32_t seq =
            frame.data[0] | (uint32_t{frame.data[1]} << 8) | (uint32_t{frame.data[2]} << 16);
        std::lock_guard lock(mutex_);
        if (seq < last_) outOfOrder_++;
        last_ = seq;
        delivered_++;
    }
    void deliverCooked(const RvcMessage&) override {}
    std::string report() const override { return {}; }

    int delivered() const {
        std::lock_guard lock(mutex_);
        return delivered_;
    }
    int outOfOrder() const {
        std::lock_guard lock(mutex_);
        return outOfOrder_;
    }

  private:
    mutable std::mutex mutex_;
    uint32_t last_ = 0;
    int delivered_ = 0;
    int outOfOrder_ = 0;
};

RvcFrame statusFrame(uint32_t seq) {
    // Alternate DM_RV and PRODUCT_ID-free data from 40 addresses so the table grows and shrinks.
    const uint8_t sa = static_cast<uint8_t>(0x40 + seq % 40);
    const uint8_t data[8] = {static_cast<uint8_t>(seq),
                             static_cast<uint8_t>(seq >> 8),
                             static_cast<uint8_t>(seq >> 16),
                             0xFF,
                             0xFF,
                             0xFF,
                             0xFF,
                             0xFF};
    return makeFrame(CanIdentifier{6, dgn::kDmRv, sa, 0}, seq, 8, data);
}

// One thread takes frames in while another diverts, drains, ages and reads the table: every
// frame is dispatched exactly once, in order, and none is left parked in the ring.
TEST(IntakeConcurrency, DiversionHandsOverWithoutLosingOrReorderingFrames) {
    test::FakeClock clock;
    MemorySettingsStore settings;
    DeviceTable table(clock);
    RVCManager manager(settings, table);
    OrderCheckingDelivery clients;
    manager.setClientDelivery(&clients);

    constexpr uint32_t kFrames = 200'000;
    std::atomic<bool> done{false};
    std::atomic<bool> diverting{false};
    std::thread adapter([&] {
        // Frames start once the diversions do: on a busy machine this thread could otherwise
        // be through before the first one, and nothing would have been handed over.
        while (!diverting) std::this_thread::yield();
        for (uint32_t i = 1; i <= kFrames; ++i) {
            manager.intake(statusFrame(i));
            if (i % 64 == 0) std::this_thread::yield();  // let the ring drain now and then
        }
        done = true;
    });
    size_t reads = 0;
    do {
        manager.divertIntake();
        diverting = true;
        reads += table.devices().size() + table.nodes().size();
        (void)table.findNode(0x41);
        manager.drainIntake();
        table.age();
        manager.statisticsStep();
        clock.advanceSeconds(1);
    } while (!done);
    adapter.join();
    manager.divertIntake();
    manager.drainIntake();

    EXPECT_EQ(clients.delivered() + manager.overruns(), static_cast<int>(kFrames));
    EXPECT_EQ(clients.outOfOrder(), 0);
    EXPECT_FALSE(manager.intakeDiverted());
    EXPECT_GT(reads, 0u);
}

// The device table on its own: updates from two dispatching threads while the interface
// thread ages, clears and copies.
TEST(DeviceTableConcurrency, UpdatesAgingAndReadersDoNotRace) {
    test::FakeClock clock;
    DeviceTable table(clock);
    std::atomic<bool> stop{false};
    auto feed = [&](uint8_t base) {
        uint32_t i = 0;
        while (!stop) {
            const uint8_t data[8] = {
                0x05, static_cast<uint8_t>(i % 7), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
            table.update(*makeMessage(dgn::kDmRv, static_cast<uint8_t>(base + i % 16), data));
            const char text[] = "M*N*S*I*";
            table.update(*makeMessage(dgn::kProductId, static_cast<uint8_t>(base + i % 16),
                                      std::span(reinterpret_cast<const uint8_t*>(text), 8)));
            ++i;
        }
    };
    std::thread a(feed, 0x10), b(feed, 0x30);
    for (int round = 0; round < 2000; ++round) {
        table.age();
        auto devices = table.devices();
        for (const auto& d : devices) table.clearStatusChanged(d.sa, d.dsa);
        if (round % 100 == 0) {
            table.clear();
            table.addToolEntries();
        }
        clock.advanceSeconds(round % 3 == 0 ? 20 : 0);
    }
    stop = true;
    a.join();
    b.join();
    EXPECT_EQ(table.findNode(0xF9).model, "Service Tool");
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// Counts what it is offered; poisoned after destruction so a late call would be seen.
class CountingSink final : public MessageSink {
  public:
    ~CountingSink() override { alive.store(false); }
    void offer(const RvcMessage&) override {
        if (!alive.load()) lateCalls.fetch_add(1);
        offered.fetch_add(1);
    }
    std::atomic<bool> alive{true};
    std::atomic<int> offered{0};
    static inline std::atomic<int> lateCalls{0};
};

// A script's data fields are replaced while an adapter thread dispatches: once the sink is
// swapped out, nothing calls the old one, so it may go at once.
TEST(DataFieldConcurrency, ReplacedSinkIsNeverCalledAgain) {
    test::FakeClock clock;
    MemorySettingsStore settings;
    DeviceTable table(clock);
    RVCManager manager(settings, table);
    std::atomic<bool> stop{false};
    std::thread adapter([&] {
        const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        while (!stop) manager.intake(makeFrame(CanIdentifier{6, 0x1FFF7, 0x65, 0}, 0, 8, data));
    });
    int offered = 0;
    for (int round = 0; round < 300; ++round) {
        auto sink = std::make_unique<CountingSink>();
        manager.setDataFieldSink(sink.get());
        std::this_thread::yield();
        manager.setDataFieldSink(nullptr);
        offered += sink->offered.load();
        sink.reset();
    }
    stop = true;
    adapter.join();
    EXPECT_EQ(CountingSink::lateCalls.load(), 0);
    EXPECT_GE(offered, 0);
}

}  // namespace
}  // namespace corvane
