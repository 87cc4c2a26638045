#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "adapters/CandumpLogFormat.h"
#include "adapters/CandumpLogReader.h"
#include "core/Dgn.h"
#include "core/MessageSink.h"
#include "core/RvcMessage.h"
#include "logs/LogFrameReader.h"
#include "logs/LogWriter.h"
#include "tests/adapters/ReplayRig.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;
using test::ReplayRig;
using test::ScratchFolder;
using test::waitUntil;

// The checked-in demo recording.
std::string demoLogPath() { return CORVANE_EXAMPLE_LOGS "/demo-vehicle.log"; }

// Notes when each complete message reaches the data fields, and its first data byte.
class ArrivalSink final : public MessageSink {
  public:
    void offer(const RvcMessage& message) override {
        std::lock_guard lock(mutex_);
        arrivals_.push_back({Steady::now(), message.data[0], message.sa});
    }
    struct Arrival {
        Steady::time_point at;
        uint8_t first;
        uint8_t sa;
    };
    std::vector<Arrival> arrivals() const {
        std::lock_guard lock(mutex_);
        return arrivals_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Arrival> arrivals_;
};

// A log of `count` frames from SA 0x42, the n-th carrying n as its first byte, at the given
// offsets (milliseconds) from a fixed start.
std::string logAt(const std::vector<int64_t>& offsetsMs) {
    std::string text;
    char line[kCandumpLineMax];
    for (size_t i = 0; i < offsetsMs.size(); ++i) {
        const uint8_t data[2] = {static_cast<uint8_t>(i), 0x55};
        size_t n = formatCandumpLine(1'700'000'000'000'000 + offsetsMs[i] * 1000, "can0",
                                     0x19FFD442, 2, data, line);
        text.append(line, n);
    }
    return text;
}

// The arrivals keep the log's timing divided by `speed`: in order, and judged by how late
// each frame is against its schedule. The replay never plays a frame before it is due, so the
// least late arrival marks when the schedule began; measuring from it keeps one late first
// frame from making every later one look early. A shared test machine may delay any single
// frame by a scheduler slice, so the median must be within `medianMs` and nine frames in ten
// within `ninetiethMs`; a replay too slow, too fast or bunched misses both by far. The strict
// figure (every frame within 5 ms at 1x) is measured by bench_replay_timing.
void expectTiming(const std::vector<ArrivalSink::Arrival>& arrivals,
                  const std::vector<int64_t>& offsetsMs, double speed, double medianMs,
                  double ninetiethMs) {
    ASSERT_EQ(arrivals.size(), offsetsMs.size());
    std::vector<double> lateness;
    for (size_t i = 0; i < arrivals.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(arrivals[i].first, static_cast<uint8_t>(i));
        const double actual =
            std::chrono::duration<double, std::milli>(arrivals[i].at - arrivals[0].at).count();
        lateness.push_back(actual - static_cast<double>(offsetsMs[i] - offsetsMs[0]) / speed);
    }
    const double origin = *std::min_element(lateness.begin(), lateness.end());
    for (double& late : lateness) late -= origin;
    std::sort(lateness.begin(), lateness.end());
    EXPECT_LE(lateness[lateness.size() / 2], medianMs);
    EXPECT_LE(lateness[lateness.size() * 9 / 10], ninetiethMs);
}

TEST(ReplayConduitTiming, OriginalTiming) {
    std::vector<int64_t> offsets;
    for (int64_t t = 0, gap = 3; offsets.size() < 25; t += gap, gap = (gap * 7) % 41 + 1) {
        offsets.push_back(t);
    }
    ScratchFolder folder;
    test::writeFile(folder.file("timed.log"), logAt(offsets));
    ReplayRig rig;
    ArrivalSink sink;
    rig.manager.setDataFieldSink(&sink);
    rig.replay.setFile(folder.file("timed.log"));
    const auto started = Steady::now();
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }));
    expectTiming(sink.arrivals(), offsets, 1.0, 10.0, 50.0);
    // The first frame goes out at once, not after a gap of the log's or a wait of its own (a
    // busy machine may take a scheduler slice or two to start the thread).
    EXPECT_LT(sink.arrivals().front().at - started, 200ms);
}

TEST(ReplayConduitTiming, TenTimesFaster) {
    std::vector<int64_t> offsets;
    for (int64_t t = 0; t <= 2000; t += 100) offsets.push_back(t);
    ScratchFolder folder;
    test::writeFile(folder.file("fast.log"), logAt(offsets));
    ReplayRig rig;
    ArrivalSink sink;
    rig.manager.setDataFieldSink(&sink);
    rig.replay.setFile(folder.file("fast.log"));
    rig.replay.setSpeed(10.0);
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }));
    expectTiming(sink.arrivals(), offsets, 10.0, 10.0, 50.0);
}

TEST(ReplayConduitTiming, AsFastAsPossibleIgnoresTheGaps) {
    // 20,000 frames a second apart: more than five hours at the original speed.
    std::vector<int64_t> offsets;
    for (int64_t i = 0; i < 20000; ++i) offsets.push_back(i * 1000);
    ScratchFolder folder;
    test::writeFile(folder.file("long.log"), logAt(offsets));
    ReplayRig rig;
    rig.replay.setFile(folder.file("long.log"));
    rig.replay.setSpeed(ReplayConduit::kAsFastAsPossible);
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }, 20s));
    EXPECT_EQ(rig.replay.framesPlayed(), 20000u);
    EXPECT_EQ(rig.manager.addressStats(0x42).count + rig.manager.addressStats(0x42).total, 20000);
    EXPECT_EQ(rig.replay.logTime(), 1'700'000'000'000'000 + 19999LL * 1'000'000);
}

TEST(ReplayConduitConcurrency, ReproducesTheDemoVehicle) {
    // The live demo, run for the minute the recording covers.
    test::DemoVehicleRun live;
    live.run(60'000, [](const RvcFrame&, int64_t) {});
    ReplayRig rig;
    rig.replay.setFile(demoLogPath());
    rig.replay.setSpeed(ReplayConduit::kAsFastAsPossible);
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }, 20s));
    EXPECT_EQ(rig.replay.skippedLines(), 0u);

    const auto nodes = test::nodeSet(rig.devices);
    const auto devices = test::deviceSet(rig.devices);
    EXPECT_EQ(nodes, test::nodeSet(live.devices));
    EXPECT_EQ(devices, test::deviceSet(live.devices));
    // Four of the five simulated nodes identify themselves; all five report a status; the
    // tool lists itself in both.
    EXPECT_EQ(nodes.size(), sim::standardNodes().size());
    EXPECT_EQ(devices.size(), sim::standardNodes().size() + 1);
}

TEST(ReplayConduitConcurrency, DemoLogIsTheRecordedMinute) {
    // The checked-in file is exactly what recording the demo for a minute writes. Set
    // CORVANE_WRITE_DEMO_LOG=1 to write it again after the simulated vehicle changed.
    ScratchFolder folder;
    test::DemoVehicleRun run;
    ASSERT_TRUE(test::recordDemoMinute(folder.file("demo.log"), run));
    const std::string fresh = test::readFile(folder.file("demo.log"));
    if (std::getenv("CORVANE_WRITE_DEMO_LOG") != nullptr) {
        test::writeFile(demoLogPath(), fresh);
    }
    EXPECT_GT(fresh.size(), 10'000u);
    EXPECT_LT(fresh.size(), 2'000'000u);
    EXPECT_TRUE(fresh == test::readFile(demoLogPath()))
        << "examples/logs/demo-vehicle.log is stale";
}

TEST(ReplayConduitConcurrency, MalformedLinesAreCountedAndReported) {
    const std::string log =
        "(1700000000.000000) can0 19FFD442#00\n"
        "(1700000000.001000) can0 19FFD442#0G\n"    // bad hex
        "(1700000000.002000) can0 1F4#00\n"         // 11-bit
        "(1700000000.003000) can0 19FFD44200\n"     // missing '#'
        "(1700000000.004000) can0 19FFD442##100\n"  // CAN FD
        "(1700000000.005000) can0 19FFD442#01\n"
        "(1700000000.002500) can0 19FFD442#02\n"  // out of order
        "(1700000000.006000) can0 19FFD442#03\n";
    ScratchFolder folder;
    test::writeFile(folder.file("bad.log"), log);
    ReplayRig rig;
    ArrivalSink sink;
    rig.manager.setDataFieldSink(&sink);
    rig.replay.setFile(folder.file("bad.log"));
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }));
    EXPECT_EQ(rig.replay.skippedLines(), 5u);
    std::vector<uint8_t> firsts;
    for (const auto& a : sink.arrivals()) firsts.push_back(a.first);
    EXPECT_EQ(firsts, (std::vector<uint8_t>{0, 1, 3}));
    auto shown = rig.notifier.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "Replay finished: 3 frames played, 5 lines skipped.");
    EXPECT_EQ(shown[0].second, "Replay");
    // Still connected: the device list stays until the user disconnects.
    EXPECT_EQ(rig.replay.getState(), Conduit::kConnected);
}

TEST(ReplayConduitConcurrency, FilesThatCannotBePlayed) {
    enum class Kind { Missing, Text, Fifo, Device };
    struct Case {
        const char* name;  // in a fresh folder, or the device itself
        Kind kind;
        const char* content;
        const char* message;  // how the message starts
        const char* reason;   // and what it says further on
    };
    const Case cases[] = {
        {"missing.log", Kind::Missing, "", "Could not open the log file ", ""},
        {"empty.log", Kind::Text, "", "The log file ", "holds no extended CAN frame"},
        {"standard.log", Kind::Text, "(1700000000.000000) can0 123#01\n", "The log file ",
         "holds no extended CAN frame"},
        // Would block the start for ever, or read until memory runs out.
        {"fifo.log", Kind::Fifo, "", "The log file ", "is not a regular file"},
        {"/dev/zero", Kind::Device, "", "The log file /dev/zero", "is not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const std::string path = c.kind == Kind::Device ? c.name : folder.file(c.name);
        if (c.kind == Kind::Text) test::writeFile(path, c.content);
        if (c.kind == Kind::Fifo) {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }
        ReplayRig rig;
        rig.replay.setFile(path);
        EXPECT_EQ(rig.replay.connect(), 0);
        EXPECT_EQ(rig.replay.getState(), Conduit::kDisconnected);
        auto shown = rig.notifier.shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].first.rfind(c.message, 0), 0u) << shown[0].first;
        EXPECT_NE(shown[0].first.find(c.reason), std::string::npos) << shown[0].first;
        EXPECT_EQ(shown[0].second, "Replay");
    }
}

TEST(ReplayConduitConcurrency, LoopsUntilDisconnected) {
    ScratchFolder folder;
    test::writeFile(folder.file("loop.log"), logAt({0, 10, 20}));
    ReplayRig rig;
    rig.replay.setFile(folder.file("loop.log"));
    rig.replay.setLoop(true);
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.passes() >= 3; }));
    EXPECT_FALSE(rig.replay.finished());
    EXPECT_TRUE(rig.replay.playing());
    rig.replay.disconnect();
    EXPECT_GE(rig.replay.framesPlayed(), 9u);
    EXPECT_EQ(rig.replay.getState(), Conduit::kDisconnected);
    EXPECT_TRUE(rig.notifier.shown().empty());
}

// A loop of a log with a single frame (or played as fast as possible) still pauses between
// passes: it once restarted without end and kept a core busy.
TEST(ReplayConduitConcurrency, ALoopPausesBetweenPassesWhateverTheLog) {
    struct Case {
        std::vector<int64_t> offsetsMs;
        double speed;
    };
    const Case cases[] = {{{0}, 1.0},
                          {{0}, ReplayConduit::kAsFastAsPossible},
                          {{0, 1, 2}, ReplayConduit::kAsFastAsPossible}};
    constexpr uint64_t kPasses = 21;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.offsetsMs.size()) + " frames at speed " +
                     std::to_string(c.speed));
        ScratchFolder folder;
        test::writeFile(folder.file("short.log"), logAt(c.offsetsMs));
        ReplayRig rig;
        rig.replay.setFile(folder.file("short.log"));
        rig.replay.setSpeed(c.speed);
        rig.replay.setLoop(true);
        ASSERT_EQ(rig.replay.connect(), 1);
        ASSERT_TRUE(waitUntil([&] { return rig.replay.passes() >= 1; }));
        const auto since = Steady::now();
        const uint64_t from = rig.replay.passes();
        ASSERT_TRUE(waitUntil([&] { return rig.replay.passes() >= from + kPasses; }));
        const auto took = Steady::now() - since;
        rig.replay.disconnect();
        // Each pass waited at least the shortest pause; half of that is margin enough.
        EXPECT_GE(took, (kPasses - 1) * ReplayConduit::kMinLoopPause / 2);
    }
}

TEST(ReplayConduitConcurrency, DisconnectStopsALongWaitAndForgetsTheNetwork) {
    ScratchFolder folder;
    test::writeFile(folder.file("slow.log"), logAt({0, 60'000}));
    ReplayRig rig;
    rig.replay.setFile(folder.file("slow.log"));
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.framesPlayed() == 1; }));
    EXPECT_FALSE(rig.devices.nodes().empty());  // the tool's own entries
    const auto before = Steady::now();
    rig.replay.disconnect();
    EXPECT_LT(Steady::now() - before, 1s);
    EXPECT_EQ(rig.replay.framesPlayed(), 1u);
    EXPECT_TRUE(rig.devices.nodes().empty());
    // Playing again starts from the top.
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.framesPlayed() == 1; }));
}

TEST(ReplayConduitConcurrency, TransmissionsAreAcceptedAndEchoed) {
    ScratchFolder folder;
    test::writeFile(folder.file("one.log"), logAt({0}));
    for (bool echo : {false, true}) {
        SCOPED_TRACE(echo);
        ReplayRig rig;
        ArrivalSink sink;
        rig.manager.setDataFieldSink(&sink);
        rig.replay.setEchoTransmits(echo);
        rig.replay.setFile(folder.file("one.log"));
        ASSERT_EQ(rig.replay.connect(), 1);
        ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }));
        const uint8_t data[3] = {0x77, 1, 2};
        rig.replay.send(0x1FFFD, kToolAddress, 6, 3, data);
        rig.replay.sendFrame(0x1FFFD, kToolAddress, 6, 3, data);
        size_t echoed = 0;
        for (const auto& a : sink.arrivals()) echoed += a.sa == kToolAddress && a.first == 0x77;
        EXPECT_EQ(echoed, echo ? 1u : 0u);
        EXPECT_EQ(rig.replay.getState(), Conduit::kConnected);
    }
}

TEST(ReplayConduit, StartOffsets) {
    struct Case {
        const char* text;
        int64_t micros;  // -1: refused
    };
    const Case cases[] = {
        {"0", 0},
        {"90", 90'000'000},
        {"1.5", 1'500'000},
        {"01:30", 90'000'000},
        {"1:02:03", 3'723'000'000},
        {"0:00:00.25", 250'000},
        {"", -1},
        {"1:", -1},
        {":5", -1},
        {"1.5:00", -1},
        {"1:2:3:4", -1},
        {"-5", -1},
        {"5s", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto got = ReplayConduit::parseStartOffset(c.text);
        EXPECT_EQ(got.has_value(), c.micros >= 0);
        if (got && c.micros >= 0) {
            EXPECT_EQ(*got, c.micros);
        }
    }
}

// A compressed log played from a time into it: the frames before are not played, the
// position is published as log time and share of the file.
TEST(ReplayConduitConcurrency, PlaysACompressedLogFromAStartTime) {
    std::vector<int64_t> offsets;
    for (int64_t t = 0; t < 100; ++t) offsets.push_back(t * 10);
    ScratchFolder folder;
    LogWriter writer;
    ASSERT_TRUE(writer.open(folder.file("part.log.zst")));
    ASSERT_TRUE(writer.write(logAt(offsets)));
    ASSERT_TRUE(writer.close());
    ReplayRig rig;
    ArrivalSink sink;
    rig.manager.setDataFieldSink(&sink);
    rig.replay.setFile(folder.file("part.log.zst"));
    rig.replay.setSpeed(ReplayConduit::kAsFastAsPossible);
    rig.replay.setStartOffset(*ReplayConduit::parseStartOffset("0.705"));
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }));
    EXPECT_EQ(rig.replay.framesPlayed(), 29u);  // 710 ms to 990 ms
    ASSERT_FALSE(sink.arrivals().empty());
    EXPECT_EQ(sink.arrivals().front().first, 71u);
    EXPECT_EQ(rig.replay.logStart(), 1'700'000'000'000'000);
    EXPECT_EQ(rig.replay.logTime() - rig.replay.logStart(), 990'000);
    EXPECT_EQ(rig.replay.percentRead(), 100.0);
    EXPECT_EQ(rig.replay.framesInLog(), 100u);
}

TEST(ReplayConduitConcurrency, ATruncatedGzipPlaysItsWholePartAndSaysSo) {
    std::vector<int64_t> offsets;
    for (int64_t t = 0; t < 40000; ++t) offsets.push_back(t);
    ScratchFolder folder;
    const std::string path = folder.file("cut.log.gz");
    LogWriter writer;
    ASSERT_TRUE(writer.open(path));
    ASSERT_TRUE(writer.write(logAt(offsets)));
    ASSERT_TRUE(writer.close());
    std::string bytes = test::readFile(path);
    bytes.resize(bytes.size() / 2);
    test::writeFile(path, bytes);
    // What a reader gets out of the part that is there.
    LogFrameReader reader;
    ASSERT_TRUE(reader.open(path));
    CandumpRecord r;
    uint64_t readable = 0;
    while (reader.next(r)) ++readable;
    ASSERT_GT(readable, 10'000u);

    ReplayRig rig;
    rig.replay.setFile(path);
    rig.replay.setSpeed(ReplayConduit::kAsFastAsPossible);
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }, 20s));
    EXPECT_EQ(rig.replay.framesPlayed(), readable);
    auto shown = rig.notifier.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "Replay finished: " + std::to_string(readable) + " frames played, " +
                                  std::to_string(reader.skipped()) +
                                  " lines skipped. The log file " + path + " is cut short after " +
                                  std::to_string(readable) + " frames.");
}

// A stop while the replay reads its way to a start time returns at once, not when the
// reading is done: the log here holds 20 million frames before the start time, seconds of
// reading (stored as 200 copies of one gzip member, so that it takes no room).
TEST(ReplayConduitConcurrency, AStopDuringALongSkipReturnsPromptly) {
    constexpr uint64_t kPerMember = 100'000;
    constexpr int kMembers = 200;
    ScratchFolder folder;
    std::string text;
    for (uint64_t i = 0; i < kPerMember; ++i)
        text += "(1700000000.000000) can0 19FFD442#0102030405060708\n";
    LogWriter writer;
    ASSERT_TRUE(writer.open(folder.file("member.log.gz")) && writer.write(text) && writer.close());
    ASSERT_TRUE(writer.open(folder.file("last.log.gz")) &&
                writer.write("(1700003600.000000) can0 19FFD442#AA\n") && writer.close());
    const std::string member = test::readFile(folder.file("member.log.gz"));
    std::string bytes;
    for (int i = 0; i < kMembers; ++i) bytes += member;
    test::writeFile(folder.file("long.log.gz"), bytes + test::readFile(folder.file("last.log.gz")));

    ReplayRig rig;
    rig.replay.setFile(folder.file("long.log.gz"));
    rig.replay.setStartOffset(1800 * int64_t{1'000'000});
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.framesRead() > 10 * 1024; }));
    rig.replay.disconnect();
    EXPECT_EQ(rig.replay.getState(), Conduit::kDisconnected);
    // Stopped on the way, long before the start time.
    EXPECT_LT(rig.replay.framesRead(), kPerMember * kMembers / 2);
    EXPECT_EQ(rig.replay.framesPlayed(), 0u);
    EXPECT_FALSE(rig.replay.finished());
    EXPECT_TRUE(rig.notifier.shown().empty());
}

// The connect reads only the start of a log for its first frame; one that comes later is
// found by the replay thread, and a log that has none says so when its replay ends.
TEST(ReplayConduitConcurrency, AFirstFrameFarIntoTheLogIsFoundWhilePlaying) {
    std::string standard;
    for (uint64_t i = 0; i < 2 * ReplayConduit::kLinesReadOnConnect; ++i)
        standard += "(1700000000.000000) can0 123#01\n";
    const struct {
        std::string text;
        uint64_t played;
        const char* message;
    } cases[] = {
        {standard + "(1700000001.000000) can0 19FFD442#AA\n", 1,
         "Replay finished: 1 frames played"},
        {standard, 0, "Replay stopped: The log file "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ScratchFolder folder;
        test::writeFile(folder.file("late.log"), c.text);
        ReplayRig rig;
        rig.replay.setFile(folder.file("late.log"));
        rig.replay.setSpeed(ReplayConduit::kAsFastAsPossible);
        ASSERT_EQ(rig.replay.connect(), 1);
        ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }));
        EXPECT_EQ(rig.replay.framesPlayed(), c.played);
        EXPECT_EQ(rig.replay.skippedLines(), 2 * ReplayConduit::kLinesReadOnConnect);
        const auto shown = rig.notifier.shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].first.rfind(c.message, 0), 0u) << shown[0].first;
        if (c.played == 0) {
            EXPECT_NE(shown[0].first.find("holds no extended CAN frame"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace corvane
