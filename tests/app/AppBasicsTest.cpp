#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "app/CommandLine.h"
#include "app/DeviceListText.h"
#include "app/QSettingsStore.h"
#include "core/Dgn.h"
#include "platform/IntegerSetting.h"
#include "platform/MemorySettingsStore.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

TEST(CommandLine, OptionsAnywhereAndNoUpdatesInAnyCase) {
    struct Case {
        std::vector<std::string> args;
        bool headless, demo, debugPort, noUpdates;
        std::string serial;
        size_t unknown;
    };
    const Case cases[] = {
        {{"corvane"}, false, false, false, false, "", 0},
        {{"corvane", "--headless", "--demo"}, true, true, false, false, "", 0},
        {{"corvane", "-noupdates"}, false, false, false, true, "", 0},
        {{"corvane", "--demo", "-NoUpdates", "--debug-port"}, false, true, true, true, "", 0},
        {{"corvane", "--serial-port", "/dev/pts/3", "--headless"},
         true,
         false,
         false,
         false,
         "/dev/pts/3",
         0},
        {{"corvane", "--serial-port"}, false, false, false, false, "", 1},
        {{"corvane", "--bogus"}, false, false, false, false, "", 1},
    };
    for (const auto& c : cases) {
        auto cl = parseCommandLine(c.args);
        EXPECT_EQ(cl.headless, c.headless);
        EXPECT_EQ(cl.demo, c.demo);
        EXPECT_EQ(cl.debugPort, c.debugPort);
        EXPECT_EQ(cl.noUpdates, c.noUpdates);
        EXPECT_EQ(cl.serialPort, c.serial);
        EXPECT_EQ(cl.unknown.size(), c.unknown);
    }
}

TEST(CommandLine, ReplayAndSocketCanOptions) {
    struct Case {
        std::vector<std::string> args;
        std::string replay;
        double speed;
        bool loop;
        std::string socketCan;
        size_t unknown;
    };
    const Case cases[] = {
        {{"corvane", "--replay", "a.log"}, "a.log", 1.0, false, "", 0},
        {{"corvane", "--replay", "a.log", "--replay-speed", "10", "--replay-loop"},
         "a.log",
         10.0,
         true,
         "",
         0},
        {{"corvane", "--replay-speed", "0", "--replay", "b.log"}, "b.log", 0.0, false, "", 0},
        {{"corvane", "--replay-speed", "0.5"}, "", 0.5, false, "", 0},
        // A speed it cannot use leaves the default and both words are reported.
        {{"corvane", "--replay-speed", "-2"}, "", 1.0, false, "", 2},
        {{"corvane", "--replay-speed", "fast"}, "", 1.0, false, "", 2},
        {{"corvane", "--replay-speed", "inf"}, "", 1.0, false, "", 2},
        {{"corvane", "--replay"}, "", 1.0, false, "", 1},
        {{"corvane", "--socketcan", "can1", "--headless"}, "", 1.0, false, "can1", 0},
        {{"corvane", "--socketcan"}, "", 1.0, false, "", 1},
    };
    for (const auto& c : cases) {
        const CommandLine cl = parseCommandLine(c.args);
        EXPECT_EQ(cl.replayFile, c.replay) << c.args.size();
        EXPECT_DOUBLE_EQ(cl.replaySpeed, c.speed) << c.args.size();
        EXPECT_EQ(cl.replayLoop, c.loop);
        EXPECT_EQ(cl.socketCan, c.socketCan);
        EXPECT_EQ(cl.unknown.size(), c.unknown) << c.args.back();
    }
}

// The rotating recording's settings: the command line over the stored settings over the
// defaults; a value it cannot use is reported, not taken.
TEST(CommandLine, RecordingOptions) {
    struct Case {
        std::vector<std::string> args;
        bool stored;  // settings hold FileMinutes 30, KeepGB 2, Compression 2
        int64_t fileSeconds;
        uint64_t fileMB;
        int keepDays;
        uint64_t keepGB;
        LogCompression compression;
        size_t unknown;
    };
    const Case cases[] = {
        {{"corvane", "--record", "/r"}, false, 3600, 100, 7, 10, LogCompression::None, 0},
        {{"corvane", "--record", "/r"}, true, 1800, 100, 7, 2, LogCompression::Zstd, 0},
        {{"corvane", "--record", "/r", "--record-minutes", "15", "--record-mb", "0", "--keep-days",
          "1", "--keep-gb", "0", "--record-compress", "gz"},
         true,
         900,
         0,
         1,
         0,
         LogCompression::Gzip,
         0},
        {{"corvane", "--record", "/r", "--record-compress", "none"},
         true,
         1800,
         100,
         7,
         2,
         LogCompression::None,
         0},
        {{"corvane", "--record-minutes", "-1"}, false, 3600, 100, 7, 10, LogCompression::None, 2},
        {{"corvane", "--keep-gb", "1.5"}, false, 3600, 100, 7, 10, LogCompression::None, 2},
        {{"corvane", "--record-compress", "bz2"}, false, 3600, 100, 7, 10, LogCompression::None, 2},
        {{"corvane", "--record"}, false, 3600, 100, 7, 10, LogCompression::None, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const CommandLine cl = parseCommandLine(c.args);
        MemorySettingsStore store;
        if (c.stored) {
            store.writeInteger("Recording", "FileMinutes", 30);
            store.writeInteger("Recording", "KeepGB", 2);
            store.writeInteger("Recording", "Compression", 2);
        }
        const RotationSettings s = cl.recording.settings(store);
        EXPECT_EQ(cl.recordFolder, c.args.size() > 2 && c.args[1] == "--record" ? "/r" : "");
        EXPECT_EQ(s.fileSeconds, c.fileSeconds);
        EXPECT_EQ(s.fileBytes, c.fileMB << 20);
        EXPECT_EQ(s.keepDays, c.keepDays);
        EXPECT_EQ(s.keepBytes, c.keepGB << 30);
        EXPECT_EQ(s.compression, c.compression);
        EXPECT_EQ(cl.unknown.size(), c.unknown);
    }
}

TEST(CommandLine, StartOptionsPreferTheDemoThenTheLogThenTheInterface) {
    struct Case {
        std::vector<std::string> args;
        DemoAdapter demo;
        std::string replay, socketCan;
    };
    const Case cases[] = {
        {{"corvane", "--demo"}, DemoAdapter::Vexor, "", ""},
        {{"corvane", "--demo", "--demo-adapter", "ft"}, DemoAdapter::Ft, "", ""},
        {{"corvane", "--demo-adapter", "cloud", "--demo"}, DemoAdapter::Cloud, "", ""},
        {{"corvane", "--demo", "--replay", "a.log"}, DemoAdapter::Vexor, "", ""},
        {{"corvane", "--replay", "a.log", "--socketcan", "can0"}, DemoAdapter::None, "a.log", ""},
        {{"corvane", "--socketcan", "vcan0"}, DemoAdapter::None, "", "vcan0"},
        {{"corvane"}, DemoAdapter::None, "", ""},
    };
    for (const auto& c : cases) {
        const StartOptions start = startOptionsOf(parseCommandLine(c.args));
        EXPECT_EQ(start.demo, c.demo) << c.args.size();
        EXPECT_EQ(start.replayFile, c.replay);
        EXPECT_EQ(start.socketCanInterface, c.socketCan);
    }
    // An adapter the demo does not know is reported, and the serial demo runs.
    const CommandLine odd = parseCommandLine({"corvane", "--demo", "--demo-adapter", "usb"});
    EXPECT_EQ(odd.unknown, (std::vector<std::string>{"--demo-adapter", "usb"}));
    EXPECT_EQ(startOptionsOf(odd).demo, DemoAdapter::Vexor);
}

TEST(QSettingsStore, WritesReachTheFileAtOnce) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    setenv("CORVANE_CONFIG_DIR", dir.path().toLocal8Bit().constData(), 1);
    {
        QSettingsStore store;
        IntegerSetting phantoms(store, "Corvane", "ShowPhantoms", 0);
        phantoms.set(1);
        EXPECT_TRUE(store.writeString("Corvane", "QuickScriptFileName", "a b.scp"));
        QFile file(store.fileName());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        EXPECT_TRUE(text.contains("[Corvane]"));
        EXPECT_TRUE(text.contains("ShowPhantoms=1"));
    }
    QSettingsStore again;
    EXPECT_EQ(again.readInteger("Corvane", "ShowPhantoms"), 1);
    EXPECT_EQ(again.readString("Corvane", "QuickScriptFileName"), "a b.scp");
    EXPECT_FALSE(again.readInteger("Corvane", "Missing"));
    unsetenv("CORVANE_CONFIG_DIR");
}

TEST(DeviceListText, OrderedByDsaWithPhantomsOnRequest) {
    test::FakeClock clock;
    DeviceTable table(clock);
    auto add = [&](uint8_t sa, uint8_t dsa, uint8_t status) {
        const uint8_t data[8] = {status, dsa, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        table.update(*makeMessage(dgn::kDmRv, sa, data));
    };
    const std::string text = "ACME*Heater 5*SN123*7*";
    table.update(
        *makeMessage(dgn::kProductId, 0x65,
                     std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
    add(0x65, 101, 0x45);
    add(0x42, 66, 0x05);
    auto lines = deviceListLines(table, false);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 7), " 65 101");
    EXPECT_NE(lines[1].find("Water Heater"), std::string::npos);
    EXPECT_NE(lines[1].find("RED"), std::string::npos);
    EXPECT_NE(lines[1].find("ACME / Heater 5"), std::string::npos);

    lines = deviceListLines(table, true);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 7), " 42  66");
    EXPECT_NE(lines[1].find("phantom"), std::string::npos);
}

}  // namespace
}  // namespace corvane
