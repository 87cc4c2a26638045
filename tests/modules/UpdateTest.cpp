#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "modules/AppKiller.h"
#include "modules/DateStamp.h"
#include "modules/Updater.h"
#include "platform/IntegerSetting.h"
#include "platform/MemorySettingsStore.h"
#include "tests/modules/ModuleDoubles.h"
#include "tests/sdk/BusFixture.h"
#include "tests/support/FakeClock.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using Open = test::RecordingShell::Open;

// Noon local time on the given day, as seconds since 1970.
int64_t localNoon(int year, int month, int day) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&t));
}

TEST(DateStampTest, LocalDateAsOneNumber) {
    EXPECT_EQ(DateStamp(test::FakeClock(localNoon(2024, 3, 5))), 20240305);
    EXPECT_EQ(DateStamp(test::FakeClock(localNoon(1999, 12, 31))), 19991231);
    EXPECT_EQ(DateStamp(test::FakeClock(localNoon(2024, 2, 29))), 20240229);
}

TEST(UpdaterTest, StartupDecision) {
    struct Case {
        int32_t autoUpdate;
        int32_t lastUpdate;
        int64_t today;
        std::string commandLine;
        bool updaterStarts;  // the shell's answer
        Updater::StartupOutcome outcome;
        int32_t lastUpdateAfter;
    } cases[] = {
        {1, 20240305, localNoon(2024, 3, 5), "", true, Updater::StartupOutcome::NotDue, 20240305},
        {1, 20240305, localNoon(2024, 3, 6), "", true, Updater::StartupOutcome::Started, 20240306},
        {1, 20991231, localNoon(2024, 3, 6), "", true, Updater::StartupOutcome::NotDue, 20991231},
        {1, 0, localNoon(2024, 3, 6), "corvane -noupdates", true, Updater::StartupOutcome::NotDue,
         0},
        {1, 0, localNoon(2024, 3, 6), "CORVANE --DEMO-NOUPDATES", true,
         Updater::StartupOutcome::NotDue, 0},
        {0, 0, localNoon(2024, 3, 6), "", true, Updater::StartupOutcome::NotDue, 0},
        // No updater installed: the start-up goes on, and today counts as tried.
        {1, 20240305, localNoon(2024, 3, 6), "", false, Updater::StartupOutcome::FailedToStart,
         20240306},
    };
    for (const auto& c : cases) {
        MemorySettingsStore settings;
        settings.writeInteger("Corvane", "AutoUpdate", c.autoUpdate);
        settings.writeInteger("Corvane", "LastUpdate", c.lastUpdate);
        IntegerSetting autoUpdate(settings, "Corvane", "AutoUpdate", 1);
        IntegerSetting lastUpdate(settings, "Corvane", "LastUpdate", 0);
        test::FakeClock clock(c.today);
        test::RecordingShell shell;
        shell.startSucceeds = c.updaterStarts;
        AppKiller killer(shell, [] { return size_t{1}; });
        Updater updater(autoUpdate, lastUpdate, shell, clock, killer, "/opt/CorvaneUpdater.exe");

        const std::string label = std::to_string(c.lastUpdate) + " " + c.commandLine;
        EXPECT_EQ(updater.startupDecision(c.commandLine), c.outcome) << label;
        EXPECT_EQ(settings.readInteger("Corvane", "LastUpdate"), c.lastUpdateAfter) << label;
        const bool tried = c.outcome != Updater::StartupOutcome::NotDue;
        std::vector<Open> expected;
        if (tried) expected.push_back({"/opt/CorvaneUpdater.exe", "-AUTO -KILL -RETURN"});
        EXPECT_EQ(shell.opens, expected) << label;
    }
}

TEST(UpdaterTest, UpdateNowAndToggle) {
    MemorySettingsStore settings;
    IntegerSetting autoUpdate(settings, "Corvane", "AutoUpdate", 1);
    IntegerSetting lastUpdate(settings, "Corvane", "LastUpdate", 20991231);
    test::FakeClock clock(localNoon(2024, 3, 6));
    test::RecordingShell shell;
    AppKiller killer(shell, [] { return size_t{1}; });
    killer.add("tool.exe");
    Updater updater(autoUpdate, lastUpdate, shell, clock, killer, "/u/CorvaneUpdater.exe");

    EXPECT_TRUE(updater.updateNow());
    EXPECT_EQ(shell.kills, std::vector<std::string>{"tool.exe"});
    EXPECT_EQ(shell.opens, (std::vector<Open>{{"/u/CorvaneUpdater.exe", "-KILL -AUTO"}}));
    EXPECT_EQ(settings.readInteger("Corvane", "LastUpdate"), 20240306);

    EXPECT_FALSE(updater.toggleAutoUpdate());
    EXPECT_EQ(settings.readInteger("Corvane", "AutoUpdate"), 0);
    EXPECT_TRUE(updater.toggleAutoUpdate());
    EXPECT_EQ(settings.readInteger("Corvane", "AutoUpdate"), 1);
}

// The client count comes from a real client bus with a real module client on it.
class AppKillerTest : public test::BusFixture {};

TEST_F(AppKillerTest, KillsOnlyWhileAModuleClientIsRegistered) {
    test::RecordingShell shell;
    AppKiller killer(shell, [this] { return bus->clientCount(); });
    killer.add("tool.exe");
    killer.add("tool.exe");
    killer.add("/opt/mods/watch");
    EXPECT_EQ(killer.report(), "AppKiller Report\n\rtool.exe\n\rtool.exe\n\r/opt/mods/watch\n\r");

    killer.killAll();
    EXPECT_TRUE(shell.kills.empty());

    sdk::ModuleClient client;
    ASSERT_TRUE(client.registerAs("KillerTest"));
    ASSERT_TRUE(test::waitUntil([&] { return bus->clientCount() == 1; }));
    killer.killAll();
    EXPECT_EQ(shell.kills, (std::vector<std::string>{"tool.exe", "tool.exe", "/opt/mods/watch"}));
    EXPECT_EQ(killer.names().size(), 3u);  // the list is kept
    client.unregister();
}

}  // namespace
}  // namespace corvane
