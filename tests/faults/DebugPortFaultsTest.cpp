#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <atomic>
#include <future>
#include <thread>

#include "debugport/DebugPrint.h"
#include "tests/app/StallProbe.h"
#include "tests/faults/FaultRig.h"

namespace corvane::test {
namespace {

constexpr size_t kVehicleRows = 5;

TEST(DebugPortFault, AClientThatNeverReadsWhileTracesPourOut) {
    constexpr int kTraces = 20000;  // 20 MB of text, far more than a connection holds
    FreshFolders folders;
    FaultRig rig({.ownVexor = true});
    ASSERT_TRUE(rig.framesFlowing(kSettle));
    DebugClient silent(rig.debugPort());
    ASSERT_TRUE(silent.connected());
    ASSERT_TRUE(pumpUntil([&] { return rig.core().debugPort().clientConnected(); }, 1000ms));

    // A background thread traces as fast as it can, for at most five seconds.
    std::atomic<bool> done{false};
    int traced = 0;
    int slowTraces = 0;
    int64_t longestTraceMs = 0;
    std::thread tracer([&] {
        const std::string text(1000, 'x');
        QElapsedTimer total;
        total.start();
        for (; traced < kTraces && total.elapsed() < 5000; ++traced) {
            QElapsedTimer one;
            one.start();
            DebugPrint("%05d %s\r\n", traced, text.c_str());
            const int64_t took = one.elapsed();
            longestTraceMs = std::max(longestTraceMs, took);
            slowTraces += took > 100;
        }
        done = true;
    });

    // Meanwhile the window keeps its rhythm.
    StallProbe probe;
    pumpUntil([&] { return done.load(); }, 10000ms);
    probe.stop();
    tracer.join();

    // The connection filled up once; the client that does not take its text was let go a
    // second later, and the traces after it went nowhere, at once.
    EXPECT_EQ(traced, kTraces);
    EXPECT_LE(slowTraces, 3);
    EXPECT_LT(longestTraceMs, 2000);
    EXPECT_LT(probe.longestGapMs(), 1500) << "the window stalled";
    EXPECT_TRUE(silent.readToEnd(5000ms)) << "the silent client was not let go";

    rig.expectStillAnswering(kVehicleRows);
}

TEST(DebugPortFault, OneClientAtATimeTheNextWaitsItsTurn) {
    FreshFolders folders;
    FaultRig rig({.ownVexor = true});
    ASSERT_TRUE(rig.framesFlowing(kSettle));

    // A client that is connected and quiet (no traces to fill its connection) holds the port;
    // the next one waits in the backlog and is served as soon as the first leaves.
    auto first = std::make_unique<DebugClient>(rig.debugPort());
    ASSERT_TRUE(pumpUntil([&] { return rig.core().debugPort().clientConnected(); }, 1000ms));
    auto second = std::async(std::launch::async, askDevs, rig.debugPort(), 3000ms);
    pumpFor(300ms);
    EXPECT_EQ(second.wait_for(0s), std::future_status::timeout) << "two clients at once";
    first.reset();
    pumpUntil([&] { return second.wait_for(0s) == std::future_status::ready; }, 4000ms);
    EXPECT_TRUE(second.get().has_value()) << "the waiting client was not served";

    rig.expectStillAnswering(kVehicleRows);
}

}  // namespace
}  // namespace corvane::test
