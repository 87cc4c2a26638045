#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "adapters/AdapterSettings.h"
#include "adapters/TarvikConduit.h"
#include "adapters/UserNotifier.h"
#include "sim/FtFirmwareEmulator.h"
#include "sim/SimulatedVehicle.h"
#include "tests/core/TransmitHarness.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

class SilentNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view, std::string_view) override { ++count; }
    std::atomic<int> count{0};
};

// Senders on several threads while the user-interface thread reconnects and the vehicle
// streams in: every frame that reaches the adapter is whole (writes are never interleaved),
// and no port is freed under a sender.
TEST(TarvikConcurrency, SendersDuringReconnectsAndUnplug) {
    sim::SimulatedVehicle vehicle;
    test::TransmitHarness core;
    AdapterSettings adapterSettings(core.settings);
    SilentNotifier notifier;
    sim::FtFirmwareEmulator emulator(&vehicle);
    TarvikConduit conduit(core.settings, core.transmit, core.manager, adapterSettings, emulator,
                          notifier);
    ASSERT_EQ(conduit.connect(), 1);

    std::atomic<bool> stop{false};
    std::vector<std::thread> senders;
    for (uint8_t id = 1; id <= 3; ++id) {
        senders.emplace_back([&, id] {
            uint8_t n = 0;
            while (!stop.load()) {
                // Each frame carries its sender and a counter twice; DLEs on purpose.
                const uint8_t data[8] = {id, n, 0x10, n, 0x10, id, 0x10, 0x10};
                conduit.sendFrame(0x1FFFD, static_cast<uint8_t>(0x80 + id), 6, 8, data);
                ++n;
                std::this_thread::yield();
            }
        });
    }
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(conduit.reconnect(), 1);
    }
    std::this_thread::sleep_for(50ms);
    emulator.unplug();
    auto until = std::chrono::steady_clock::now() + 3s;
    while (conduit.getState() != Conduit::kDisconnected && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(conduit.getState(), Conduit::kDisconnected);
    stop.store(true);
    for (auto& t : senders) t.join();
    conduit.disconnect();

    auto frames = emulator.framesFromTool();
    ASSERT_GT(frames.size(), 10u);
    for (const auto& f : frames) {
        ASSERT_EQ(+f.length, 8);
        const uint8_t id = f.data[0];
        ASSERT_TRUE(id >= 1 && id <= 3);
        EXPECT_EQ(f.sa, 0x80 + id);
        EXPECT_EQ(+f.dgn, 0x1FFFDu);
        EXPECT_EQ(f.data[1], f.data[3]);
        EXPECT_EQ(f.data[5], id);
        EXPECT_EQ(f.data[2] & f.data[4] & f.data[6] & f.data[7], 0x10);
    }
    EXPECT_EQ(notifier.count.load(), 0);
}

}  // namespace
}  // namespace corvane
