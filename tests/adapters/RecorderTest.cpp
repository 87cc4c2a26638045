#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "adapters/CandumpLogParser.h"
#include "adapters/CandumpLogReader.h"
#include "logs/LogFrameReader.h"
#include "logs/RecordingFolder.h"
#include "logs/TrafficRecorder.h"
#include "platform/BufferedFileWriter.h"
#include "tests/adapters/ReplayRig.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using test::ReplayRig;
using test::ScratchFolder;
using test::waitUntil;

int64_t nowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A frame whose first four data bytes carry `sequence` and whose fifth names the sender.
RvcFrame numbered(uint32_t sequence, uint8_t sender) {
    const uint8_t data[5] = {static_cast<uint8_t>(sequence), static_cast<uint8_t>(sequence >> 8),
                             static_cast<uint8_t>(sequence >> 16),
                             static_cast<uint8_t>(sequence >> 24), sender};
    return makeFrame(CanIdentifier{6, 0x1FFB7, static_cast<uint8_t>(0x40 + sender), 0}, 0, 5, data);
}

uint32_t sequenceOf(const CandumpRecord& r) {
    return r.data[0] | (uint32_t{r.data[1]} << 8) | (uint32_t{r.data[2]} << 16) |
           (uint32_t{r.data[3]} << 24);
}

TEST(RecorderConcurrency, RecordThenReplayRoundTripsByteForByte) {
    // The demo minute recorded from the simulated vehicle...
    ScratchFolder folder;
    test::DemoVehicleRun run;
    ASSERT_TRUE(test::recordDemoMinute(folder.file("first.log"), run));
    const std::string first = test::readFile(folder.file("first.log"));
    ASSERT_FALSE(first.empty());

    // ...replayed with a recording running, stamped with the log's own times.
    ReplayRig rig;
    TrafficRecorder recorder([&] { return rig.replay.logTime(); });
    rig.manager.setClientDelivery(&recorder);
    ASSERT_TRUE(recorder.start(folder.file("second.log"), "can0"));
    rig.replay.setFile(folder.file("first.log"));
    rig.replay.setSpeed(ReplayConduit::kAsFastAsPossible);
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }, 20s));
    EXPECT_TRUE(recorder.stop());
    EXPECT_EQ(recorder.frameCount(), rig.replay.framesPlayed());
    EXPECT_TRUE(test::readFile(folder.file("second.log")) == first);
}

TEST(RecorderConcurrency, EchoedTransmissionsAreRecordedToo) {
    ScratchFolder folder;
    ReplayRig rig;
    TrafficRecorder recorder([] { return int64_t{1'700'000'000'250'000}; });
    rig.manager.setClientDelivery(&recorder);
    rig.replay.setFile(folder.file("none.log"));
    test::writeFile(folder.file("none.log"), "(1700000000.000000) can0 19FFD442#00\n");
    ASSERT_EQ(rig.replay.connect(), 1);
    ASSERT_TRUE(waitUntil([&] { return rig.replay.finished(); }));
    ASSERT_TRUE(recorder.start(folder.file("echo.log")));
    const uint8_t data[2] = {0xAB, 0xCD};
    rig.replay.send(0x1FFFD, kToolAddress, 6, 2, data);  // echo off: not taken in
    rig.replay.setEchoTransmits(true);
    rig.replay.send(0x1FFFD, kToolAddress, 6, 2, data);
    EXPECT_TRUE(recorder.stop());
    EXPECT_EQ(test::readFile(folder.file("echo.log")), "(1700000000.250000) can0 19FFFDF9#ABCD\n");
}

TEST(RecorderConcurrency, ThreadsRecordWholeLinesInTheirOrder) {
    constexpr int kThreads = 4;
    constexpr uint32_t kEach = 5000;
    ScratchFolder folder;
    TrafficRecorder recorder;
    ASSERT_TRUE(recorder.start(folder.file("threads.log")));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&recorder, t] {
            for (uint32_t i = 0; i < kEach; ++i) {
                recorder.recordAt(numbered(i, static_cast<uint8_t>(t)), 1'700'000'000'000'000);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_TRUE(recorder.stop());
    EXPECT_EQ(recorder.frameCount(), kThreads * kEach);

    const std::string text = test::readFile(folder.file("threads.log"));
    CandumpLogReader reader(text);
    CandumpRecord r;
    std::vector<uint32_t> next(kThreads, 0);
    size_t frames = 0;
    while (reader.next(r)) {
        ++frames;
        const uint8_t sender = r.data[4];
        ASSERT_LT(sender, kThreads);
        EXPECT_EQ(sequenceOf(r), next[sender]);
        next[sender] = sequenceOf(r) + 1;
    }
    EXPECT_EQ(frames, kThreads * kEach);
    EXPECT_EQ(reader.skipped(), 0u);
}

TEST(RecorderConcurrency, FlushesWithinASecondWhileRecording) {
    ScratchFolder folder;
    TrafficRecorder recorder;
    ASSERT_TRUE(recorder.start(folder.file("live.log")));
    recorder.record(numbered(1, 0));
    EXPECT_TRUE(
        waitUntil([&] { return !test::readFile(folder.file("live.log")).empty(); }, 1000ms));
    EXPECT_TRUE(recorder.recording());
    EXPECT_TRUE(recorder.stop());
}

TEST(Recorder, StartAndStop) {
    ScratchFolder folder;
    TrafficRecorder recorder([] { return int64_t{5'000'000}; });
    EXPECT_FALSE(recorder.start(folder.file("no/such/folder/x.log")));
    EXPECT_FALSE(recorder.recording());
    recorder.record(numbered(1, 0));  // not recording: ignored
    EXPECT_EQ(recorder.frameCount(), 0u);

    ASSERT_TRUE(recorder.start(folder.file("a.log"), "vcan3"));
    EXPECT_FALSE(recorder.start(folder.file("b.log")));  // one recording at a time
    recorder.record(numbered(0x04030201, 2));
    EXPECT_EQ(recorder.frameCount(), 1u);
    EXPECT_TRUE(recorder.stop());
    EXPECT_FALSE(recorder.recording());
    recorder.record(numbered(2, 0));
    EXPECT_EQ(recorder.frameCount(), 1u);
    EXPECT_EQ(test::readFile(folder.file("a.log")),
              "(0000000005.000000) vcan3 19FFB742#0102030402\n");

    // A new recording replaces the file and starts counting again.
    ASSERT_TRUE(recorder.start(folder.file("a.log")));
    EXPECT_EQ(recorder.frameCount(), 0u);
    EXPECT_TRUE(recorder.stop());
    EXPECT_EQ(test::readFile(folder.file("a.log")), "");
}

// A plain file goes through the same bounded queue as a compressed one: a writer that cannot
// keep up never holds up the threads that take frames in, and what it could not take is
// counted, never lost in silence.
TEST(RecorderConcurrency, APlainFileNeverHoldsUpIntake) {
    constexpr uint32_t kOver = 500;
    ScratchFolder folder;
    TrafficRecorder recorder([] { return int64_t{1'700'000'000'000'000}; });
    ASSERT_TRUE(recorder.start(folder.file("held.log")));
    recorder.holdWriter(true);
    const uint32_t offered = RotatingRecorder::kDefaultQueueFrames + kOver;
    for (uint32_t i = 0; i < offered; ++i) recorder.record(numbered(i, 0));
    EXPECT_EQ(recorder.frameCount(), RotatingRecorder::kDefaultQueueFrames);
    EXPECT_EQ(recorder.dropped(), kOver);
    recorder.holdWriter(false);
    EXPECT_TRUE(recorder.stop());
    EXPECT_EQ(recorder.dropped(), kOver);

    const std::string text = test::readFile(folder.file("held.log"));
    CandumpLogReader reader(text);
    CandumpRecord r;
    uint32_t next = 0;
    while (reader.next(r)) {
        ASSERT_EQ(sequenceOf(r), next);
        ++next;
    }
    EXPECT_EQ(next, recorder.frameCount());
    EXPECT_EQ(reader.skipped(), 0u);
}

TEST(Recorder, LargeBurstsReachTheFileBeforeTheInterval) {
    ScratchFolder folder;
    BufferedFileWriter writer(std::chrono::milliseconds(60'000));
    ASSERT_TRUE(writer.open(folder.file("burst.txt")));
    const std::string chunk(1000, 'x');
    for (size_t written = 0; written < BufferedFileWriter::kFlushSize; written += chunk.size()) {
        writer.append(chunk);
    }
    EXPECT_GE(writer.bytesWritten(), BufferedFileWriter::kFlushSize);
    writer.append("tail");
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(test::readFile(folder.file("burst.txt")).size(), 66'004u);
}

TEST(Recorder, SigkillLosesAtMostTheLastSecond) {
    ScratchFolder folder;
    const std::string path = folder.file("killed.log");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child records a numbered frame every millisecond until it is killed.
        TrafficRecorder recorder;
        if (!recorder.start(path)) _exit(2);
        for (uint32_t i = 0;; ++i) {
            recorder.record(numbered(i, 0));
            std::this_thread::sleep_for(1ms);
        }
    }
    ASSERT_TRUE(waitUntil([&] { return test::readFile(path).size() > 1000; }, 5000ms));
    std::this_thread::sleep_for(1500ms);
    const int64_t killedAt = nowMicros();
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));

    std::string text = test::readFile(path);
    // Whatever reached the file is whole lines, numbered without a gap.
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    CandumpLogReader reader(text);
    CandumpRecord r;
    uint32_t expected = 0;
    int64_t last = 0;
    while (reader.next(r)) {
        ASSERT_EQ(sequenceOf(r), expected);
        ++expected;
        last = r.micros;
    }
    EXPECT_EQ(reader.skipped(), 0u);
    EXPECT_GT(expected, 500u);
    EXPECT_GE(last, killedAt - 1'000'000) << "more than the last second was lost";
}

// "Record Traffic..." to a .gz or .zst name writes that compression, and the file reads
// back frame for frame; the frames are counted the same as in a plain file.
TEST(RecorderConcurrency, CompressedRecordingsReadBack) {
    const std::pair<const char*, std::string> cases[] = {{"traffic.log.gz", "\x1f\x8b"},
                                                         {"traffic.log.zst", "\x28\xb5\x2f\xfd"}};
    for (const auto& [name, magic] : cases) {
        SCOPED_TRACE(name);
        ScratchFolder folder;
        int64_t at = 1'700'000'000'000'000;
        TrafficRecorder recorder([&at] { return at; });
        ASSERT_TRUE(recorder.start(folder.file(name), "can1"));
        EXPECT_TRUE(recorder.recording());
        EXPECT_FALSE(recorder.start(folder.file("other.log")));
        for (uint32_t i = 0; i < 3000; ++i, at += 1000) recorder.record(numbered(i, 1));
        EXPECT_TRUE(recorder.stop());
        EXPECT_FALSE(recorder.recording());
        EXPECT_EQ(recorder.frameCount(), 3000u);
        EXPECT_EQ(recorder.dropped(), 0u);
        const std::string bytes = test::readFile(folder.file(name));
        EXPECT_EQ(bytes.substr(0, magic.size()), magic);
        EXPECT_LT(bytes.size(), 3000u * 10);  // compressed: a fraction of the text
        LogFrameReader reader;
        ASSERT_TRUE(reader.open(folder.file(name)));
        CandumpRecord r;
        uint32_t next = 0;
        while (reader.next(r)) {
            EXPECT_EQ(sequenceOf(r), next);
            EXPECT_EQ(r.micros, 1'700'000'000'000'000 + int64_t{next} * 1000);
            EXPECT_EQ(r.interface, "can1");
            ++next;
        }
        EXPECT_EQ(next, 3000u);
        EXPECT_EQ(reader.fault(), LogByteSource::Fault::None);
    }
}

// The headless rotating recording: into a folder, named by the first frame's time.
TEST(RecorderConcurrency, RecordsIntoAFolder) {
    ScratchFolder folder;
    TrafficRecorder recorder([] { return int64_t{1'796'886'146'000'000}; });
    EXPECT_FALSE(recorder.startFolder(folder.file("missing"), RotationSettings{}));
    RotationSettings settings;
    settings.compression = LogCompression::Zstd;
    ASSERT_TRUE(recorder.startFolder(folder.file(""), settings));
    recorder.record(numbered(7, 0));
    EXPECT_TRUE(recorder.stop());
    const auto files = RecordingFolder(folder.file("")).list();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].path, folder.file("corvane-20261210-070226.log.zst"));
    LogFrameReader reader;
    ASSERT_TRUE(reader.open(files[0].path));
    CandumpRecord r;
    ASSERT_TRUE(reader.next(r));
    EXPECT_EQ(sequenceOf(r), 7u);
}

}  // namespace
}  // namespace corvane
