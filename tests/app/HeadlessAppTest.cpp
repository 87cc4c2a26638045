#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "adapters/VexorSeriesConduit.h"
#include "app/HeadlessApp.h"
#include "logs/LogFrameReader.h"
#include "logs/RecordingFolder.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"
#include "tests/support/FreshFolders.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/TestCore.h"

namespace corvane {
namespace {

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

using namespace std::chrono_literals;
using test::pumpUntil;

// An unattended run on a serial adapter reached through a stable device link, as udev gives
// one: the adapter is pulled out and plugged in again (a new terminal behind the same link).
// The run connects again by itself and says so once each way.
TEST(HeadlessApp, ReconnectsBySelfWhenTheSerialAdapterComesBack) {
    test::ensureApplication();
    test::FreshFolders folders;
    ASSERT_TRUE(folders.valid());
    const std::string link = folders.scratch("ttyVexor");
    const std::string outPath = folders.scratch("out.txt");
    auto output = [&] {
        std::ifstream in(outPath);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };

    sim::SimulatedVehicle vehicle;
    sim::VexorEmulator emulator(vehicle);
    ASSERT_TRUE(emulator.start());
    std::filesystem::create_symlink(emulator.path(), link);

    test::TestCore tool;
    // Left on by an earlier run: like the window, a headless run turns it off for the next.
    tool.settings.writeInteger("Corvane", "DebugPortEnabled", 1);
    StartOptions options;
    options.serialPort = link;
    options.debugPortNumber = 0;
    std::FILE* out = std::fopen(outPath.c_str(), "w");
    ASSERT_NE(out, nullptr);
    {
        ApplicationCore& core = tool.start(options);
        auto& serial = dynamic_cast<VexorSeriesConduit&>(core.serialConduit());
        HeadlessApp app(core, out);
        EXPECT_EQ(tool.settings.readInteger("Corvane", "DebugPortEnabled"), 0);
        app.start();
        // "Connect on Startup" finds the adapter behind the link.
        ASSERT_TRUE(pumpUntil([&] { return serial.connected(); }, 5000ms));

        emulator.stop();
        ASSERT_TRUE(pumpUntil([&] { return countOf(output(), "adapter lost") == 1; }, 5000ms));
        EXPECT_FALSE(serial.connected());

        ASSERT_TRUE(emulator.start());
        const uint64_t writtenBefore = emulator.framesWritten();
        std::filesystem::remove(link);
        std::filesystem::create_symlink(emulator.path(), link);
        ASSERT_TRUE(pumpUntil([&] { return countOf(output(), "is back") == 1; }, 10000ms))
            << output();
        EXPECT_TRUE(serial.connected());
        EXPECT_TRUE(pumpUntil([&] { return emulator.framesWritten() > writtenBefore; }, 3000ms));
        EXPECT_EQ(countOf(output(), "adapter lost"), 1u) << output();
    }
    tool.stop();
    std::fclose(out);
}

// A device that reports a fault has it printed in words under the list, and no longer once
// the device says it is gone.
TEST(HeadlessApp, PrintsActiveFaultsInWordsUnderTheList) {
    test::ensureApplication();
    test::FreshFolders folders;
    const std::string outPath = folders.scratch("out.txt");
    std::FILE* out = std::fopen(outPath.c_str(), "w");
    ASSERT_NE(out, nullptr);
    auto output = [&] {
        std::fflush(out);
        std::ifstream in(outPath);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    test::TestCore tool;
    StartOptions options;
    options.debugPortNumber = 0;
    ApplicationCore& core = tool.start(options);
    HeadlessApp app(core, out);
    app.start();
    // A water heater (DSA 101) at 65 with its red lamp on: SPN 168, FMI 1, counted 3 times.
    const uint8_t faulted[8] = {0x45, 101, 0x00, 0x15, 0x01, 0x03, 0xFF, 0xFF};
    const uint8_t clear[8] = {0x05, 101, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const auto send = [&](const uint8_t* data) {
        core.manager().intake(
            makeFrame(CanIdentifier{6, 0x1FECA, 0x65, 0}, 0, 8, std::span<const uint8_t>(data, 8)));
    };
    ASSERT_TRUE(pumpUntil(
        [&] {
            send(faulted);
            return output().find(
                       "Water Heater at 65: Red lamp on. SPN 168 (battery potential) "
                       "- FMI 1: ") != std::string::npos;
        },
        5000ms))
        << output();
    const size_t printed = output().size();
    EXPECT_TRUE(pumpUntil(
        [&] {
            send(clear);
            const std::string later = output().substr(printed);
            // A whole list printed since, without the section.
            return later.find("device(s)") != std::string::npos &&
                   later.find("Active faults") == std::string::npos;
        },
        5000ms))
        << output();
    tool.stop();
    std::fclose(out);
}

// `--headless --record FOLDER`: a replayed log recorded into the folder's rotating files,
// every frame there; the totals are told when the recording stops.
// A replay at the log's own pace says, with each list, how far into the log it has come.
TEST(HeadlessApp, TellsWhereAReplayIs) {
    test::ensureApplication();
    test::FreshFolders folders;
    const std::string outPath = folders.scratch("out.txt");
    std::FILE* out = std::fopen(outPath.c_str(), "w");
    ASSERT_NE(out, nullptr);
    test::TestCore tool;
    StartOptions options;
    options.replayFile = CORVANE_EXAMPLE_LOGS "/demo-vehicle.log";
    options.debugPortNumber = 0;
    {
        ApplicationCore& core = tool.start(options);
        HeadlessApp app(core, out);
        app.start();
        // The demo log spans a minute: the first lists come in its first seconds.
        EXPECT_TRUE(pumpUntil(
            [&] {
                std::fflush(out);
                std::ifstream in(outPath);
                const std::string text((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
                return text.find("  replay 0:00:0") != std::string::npos &&
                       text.find(" into the log, ") != std::string::npos;
            },
            10000ms));
    }
    tool.stop();
    std::fclose(out);
}

TEST(HeadlessApp, RecordsIntoRotatingFiles) {
    test::ensureApplication();
    test::FreshFolders folders;
    ASSERT_TRUE(folders.valid());
    const std::string folder = folders.scratch("recorded");
    std::filesystem::create_directories(folder);
    const std::string errPath = folders.scratch("err.txt");
    std::FILE* out = std::fopen(folders.scratch("out.txt").c_str(), "w");
    std::FILE* err = std::fopen(errPath.c_str(), "w");
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);

    test::TestCore tool;
    StartOptions options;
    options.replayFile = CORVANE_EXAMPLE_LOGS "/demo-vehicle.log";
    options.replaySpeed = 0;
    options.debugPortNumber = 0;
    uint64_t played = 0;
    {
        ApplicationCore& core = tool.start(options);
        HeadlessApp app(core, out);
        RotationSettings settings;
        settings.fileBytes = 20'000;  // several files out of one log
        EXPECT_FALSE(app.startRecording(folders.scratch("missing"), settings, err));
        ASSERT_TRUE(app.startRecording(folder, settings, err));
        app.start();
        // The replay began with the start-up; played again from the top while recording.
        ASSERT_EQ(core.replayConduit().reconnect(), 1);
        ASSERT_TRUE(pumpUntil([&] { return core.replayConduit().finished(); }, 20000ms));
        played = core.replayConduit().framesPlayed();
        app.stopRecording();
        EXPECT_FALSE(core.recorder().recording());
    }
    tool.stop();
    std::fclose(out);
    std::fclose(err);

    const auto files = RecordingFolder(folder).list();
    EXPECT_GE(files.size(), 2u);
    uint64_t recorded = 0;
    for (const auto& f : files) {
        LogFrameReader reader;
        ASSERT_TRUE(reader.open(f.path));
        CandumpRecord r;
        while (reader.next(r)) ++recorded;
        EXPECT_EQ(reader.fault(), LogByteSource::Fault::None);
    }
    // Everything played, and the tool's own frames on top.
    EXPECT_GE(recorded, played);
    std::ifstream in(errPath);
    const std::string errText((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    EXPECT_NE(errText.find("cannot record into"), std::string::npos) << errText;
    EXPECT_NE(errText.find("recording stopped: " + std::to_string(recorded) +
                           " frames recorded, 0 dropped\n"),
              std::string::npos)
        << errText;
}

}  // namespace
}  // namespace corvane
