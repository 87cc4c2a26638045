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
