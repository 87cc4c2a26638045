#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "logs/RecordingFolder.h"
#include "logs/RotatingRecorder.h"
#include "tests/logs/LogFiles.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using test::ScratchFolder;

constexpr int64_t kHour = 3'600'000'000;
constexpr int64_t kDay = 24 * kHour;
// 2026-12-10 07:02:26 UTC.
constexpr int64_t kStart = 1'796'886'146'000'000;

std::vector<std::string> namesIn(const RecordingFolder& folder) {
    std::vector<std::string> names;
    for (const auto& f : folder.list()) {
        names.push_back(std::filesystem::path(f.path).filename().string());
    }
    return names;
}

void record(RotatingRecorder& recorder, int64_t micros, uint32_t number) {
    const uint8_t data[4] = {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16),
                             uint8_t(number >> 24)};
    recorder.record(micros, 0x19FFD442, 4, data);
}

TEST(RecordingFolder, NamesSortInTimeOrder) {
    struct Case {
        const char* name;
        bool ours;
        int64_t start;
        unsigned sequence;
    };
    const Case cases[] = {
        {"corvane-20261210-070226.log", true, kStart, 1},
        {"corvane-20261210-070226-2.log.gz", true, kStart, 2},
        {"corvane-20261210-070226-12.log.zst", true, kStart, 12},
        {"corvane-20261210-070226-1.log", false, 0, 0},  // the first of a second has no number
        {"corvane-20261210-070226.log.bz2", false, 0, 0},
        {"corvane-2026121-070226.log", false, 0, 0},
        {"notes-20261210-070226.log", false, 0, 0},
        {"corvane-20261210-070226.txt", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int64_t start = 0;
        unsigned sequence = 0;
        EXPECT_EQ(RecordingFolder::parseName(c.name, start, sequence), c.ours);
        if (!c.ours) continue;
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(sequence, c.sequence);
    }
    ScratchFolder dir;
    const RecordingFolder folder(dir.path());
    // Written out of order; listed in time order, strangers left out.
    for (const char* name :
         {"corvane-20261210-080000.log", "corvane-20261210-070226-10.log.gz",
          "corvane-20261210-070226.log", "corvane-20261210-070226-2.log", "other.log"}) {
        test::writeBytes(dir.file(name), "x");
    }
    EXPECT_EQ(namesIn(folder),
              (std::vector<std::string>{
                  "corvane-20261210-070226.log", "corvane-20261210-070226-2.log",
                  "corvane-20261210-070226-10.log.gz", "corvane-20261210-080000.log"}));
    EXPECT_EQ(folder.freshPath(kStart + 999'999, LogCompression::Zstd),
              dir.file("corvane-20261210-070226-11.log.zst"));
    EXPECT_EQ(folder.freshPath(kStart + 1'000'000, LogCompression::None),
              dir.file("corvane-20261210-070227.log"));
}

TEST(RecordingFolder, TheRingKeepsWhatTheSettingsSay) {
    // Six files an hour apart, 100 bytes each; the last is the one being written.
    struct Case {
        uint64_t keepBytes;
        int keepDays;
        int64_t now;
        size_t kept;
    };
    const Case cases[] = {
        {0, 0, kStart + 30 * kDay, 6},         // no limits
        {350, 0, kStart, 3},                   // the newest 300 bytes
        {600, 0, kStart, 6},                   // exactly at the limit
        {1, 0, kStart, 1},                     // never the file being written
        {0, 1, kStart + 5 * kHour, 6},         // all within a day
        {0, 1, kStart + kDay + 2 * kHour, 4},  // the first two ended over a day ago
        {0, 1, kStart + 30 * kDay, 1},
        {250, 1, kStart + kDay + 1 * kHour, 2},  // both limits: the stricter wins
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.keepBytes) + " bytes, " + std::to_string(c.keepDays) +
                     " days, now + " + std::to_string((c.now - kStart) / kHour) + " h");
        ScratchFolder dir;
        const RecordingFolder folder(dir.path());
        std::string current;
        for (int i = 0; i < 6; ++i) {
            current = folder.freshPath(kStart + i * kHour, LogCompression::None);
            test::writeBytes(current, std::string(100, 'x'));
        }
        test::writeBytes(dir.file("keep-me.log"), std::string(1000, 'x'));
        const std::vector<std::string> before = namesIn(folder);
        EXPECT_EQ(folder.prune(c.keepBytes, c.keepDays, c.now, current), 6 - c.kept);
        const std::vector<std::string> after = namesIn(folder);
        // Always the newest ones.
        EXPECT_EQ(after,
                  std::vector<std::string>(before.end() - static_cast<long>(c.kept), before.end()));
        EXPECT_TRUE(std::filesystem::exists(dir.file("keep-me.log")));
    }
}

TEST(RotatingRecorderConcurrency, ANewFileEveryPeriodAndEverySize) {
    // Frames every 10 minutes over three hours: one file per whole hour; then at 1000 bytes.
    ScratchFolder dir;
    RotationSettings settings;
    settings.fileSeconds = 3600;
    settings.fileBytes = 0;
    settings.keepBytes = 0;
    settings.keepDays = 0;
    RotatingRecorder recorder;
    ASSERT_TRUE(recorder.startFolder(dir.path(), settings, [] { return kStart; }));
    for (uint32_t i = 0; i < 24; ++i) record(recorder, kStart + i * 600'000'000LL, i);
    EXPECT_TRUE(recorder.stop());
    EXPECT_EQ(
        namesIn(RecordingFolder(dir.path())),
        (std::vector<std::string>{"corvane-20261210-070226.log", "corvane-20261210-080226.log",
                                  "corvane-20261210-090226.log", "corvane-20261210-100226.log"}));
    EXPECT_EQ(recorder.filesStarted(), 4u);

    ScratchFolder sized;
    settings.fileSeconds = 0;
    settings.fileBytes = 1000;
    ASSERT_TRUE(recorder.startFolder(sized.path(), settings, [] { return kStart; }));
    for (uint32_t i = 0; i < 100; ++i) record(recorder, kStart + i, i);
    EXPECT_TRUE(recorder.stop());
    const auto files = RecordingFolder(sized.path()).list();
    ASSERT_GE(files.size(), 4u);
    uint32_t next = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].path);
        if (i + 1 < files.size()) {
            // Each file reaches the size and stops at the line that passes it.
            EXPECT_GE(files[i].bytes, 1000u);
            EXPECT_LT(files[i].bytes, 1000u + kCandumpLineMax);
        }
        LogFrameReader reader;
        for (const auto& f : test::readFrames(files[i].path, reader)) {
            EXPECT_EQ(std::get<2>(f)[0], uint8_t(next++));  // in order, none lost
        }
    }
    EXPECT_EQ(next, 100u);
}

TEST(RotatingRecorderConcurrency, CompressedFilesAndTheRingWhileRecording) {
    // Hourly .gz files for three days, keeping two days: what is left is what was recorded in
    // the last two days' files, readable.
    ScratchFolder dir;
    RotationSettings settings;
    settings.fileSeconds = 3600;
    settings.fileBytes = 0;
    settings.keepDays = 2;
    settings.keepBytes = 0;
    settings.compression = LogCompression::Gzip;
    std::atomic<int64_t> now{kStart};
    RotatingRecorder recorder;
    ASSERT_TRUE(recorder.startFolder(dir.path(), settings, [&now] { return now.load(); }));
    for (uint32_t i = 0; i < 72; ++i) {
        now = kStart + i * kHour;
        // The writer judges the age by the clock when it starts a file, which may by then be
        // up to three days on: never more than the last frame's time, so the result is fixed.
        record(recorder, now, i);
    }
    EXPECT_TRUE(recorder.stop());
    const auto files = RecordingFolder(dir.path()).list();
    // Hour 71 is current; hours whose file ended at least two days ago went: 0..22.
    ASSERT_EQ(files.size(), 49u);
    uint32_t expected = 23;
    for (const auto& f : files) {
        EXPECT_EQ(f.path.substr(f.path.size() - 7), ".log.gz");
        LogFrameReader reader;
        const auto frames = test::readFrames(f.path, reader);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(std::get<2>(frames[0])[0], uint8_t(expected++));
        EXPECT_EQ(reader.fault(), LogByteSource::Fault::None);
    }
}

TEST(RotatingRecorderConcurrency, AFullQueueDropsAndCountsNeverWaits) {
    // The writer is held at a gate the test controls: the queue fills, the rest is dropped.
    ScratchFolder dir;
    RotatingRecorder recorder(100);
    ASSERT_TRUE(recorder.startFile(dir.file("slow.log.zst")));
    recorder.holdWriter(true);
    for (uint32_t i = 0; i < 250; ++i) record(recorder, kStart + i, i);
    EXPECT_EQ(recorder.dropped(), 150u);
    recorder.holdWriter(false);
    ASSERT_TRUE(test::waitUntil([&] { return recorder.framesWritten() == 100; }));
    // Room again once the writer caught up.
    record(recorder, kStart + 1000, 1000);
    EXPECT_TRUE(recorder.stop());
    EXPECT_EQ(recorder.dropped(), 150u);
    LogFrameReader reader;
    const auto frames = test::readFrames(dir.file("slow.log.zst"), reader);
    ASSERT_EQ(frames.size(), 101u);
    EXPECT_EQ(std::get<2>(frames[99])[0], 99u);
    EXPECT_EQ(std::get<0>(frames[100]), kStart + 1000);
}

// Frames that arrive while a recording is being stopped are not drops: a stop on a busy bus
// once reported that the disk could not keep up. The queue is large enough that nothing here
// can fill it, so any drop counted is a wrong one.
TEST(RotatingRecorderConcurrency, FramesArrivingWhileItStopsAreNotDrops) {
    constexpr uint32_t kBacklog = 20000;
    constexpr uint32_t kMostFromTheBus = 70000;
    ScratchFolder dir;
    RotatingRecorder recorder(kBacklog + kMostFromTheBus + 1000);
    ASSERT_TRUE(recorder.startFile(dir.file("busy.log.gz")));
    // A backlog, so that the stop takes a while to write it.
    recorder.holdWriter(true);
    for (uint32_t i = 0; i < kBacklog; ++i) record(recorder, kStart + i, i);
    std::atomic<uint32_t> offered{0};
    std::thread bus([&] {
        for (uint32_t i = 0; recorder.running() && i < kMostFromTheBus; ++i) {
            record(recorder, kStart + kBacklog + i, kBacklog + i);
            offered.store(i + 1);
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    });
    EXPECT_TRUE(test::waitUntil([&] { return offered.load() >= 100; }));
    EXPECT_TRUE(recorder.stop());
    bus.join();
    EXPECT_EQ(recorder.dropped(), 0u);
    LogFrameReader reader;
    EXPECT_EQ(test::readFrames(dir.file("busy.log.gz"), reader).size(), recorder.framesWritten());
    EXPECT_GE(recorder.framesWritten(), kBacklog + 100);
}

}  // namespace
}  // namespace corvane
