#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/ApplicationCore.h"
#include "core/DeviceListFile.h"
#include "modules/ProgramFile.h"
#include "platform/MemorySettingsStore.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FreshFolders.h"
#include "tests/support/TestCore.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

bool toolMailslotExists(const test::FreshFolders& folders) {
    return fs::exists(folders.runtime() + "/mailslot/RVC/" + ClientBus::kToolSlot);
}

// Runs `step` once per timer tick, as the window's timer would, until it returns true or a
// generous deadline passes.
bool tickUntil(const std::function<bool()>& step) {
    return test::waitUntil(step, std::chrono::seconds(30),
                           std::chrono::milliseconds(PeriodicDuties::kTickMs));
}

TEST(StartupOrder, AStartHandedToTheUpdaterCreatesNoClientBus) {
    test::FreshFolders folders;
    ASSERT_TRUE(folders.valid());
    QTemporaryDir program;
    const std::string updater = program.path().toStdString() + "/" + Updater::kProgramName;
    {
        std::ofstream out(updater);
        out << "#!/bin/sh\necho \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n";
    }
    ASSERT_EQ(chmod(updater.c_str(), 0755), 0);

    // A first start: AutoUpdate on, never updated.
    MemorySettingsStore settings;
    test::FakeClock clock;
    StartOptions options;
    options.programFolder = program.path().toStdString();
    options.debugPortNumber = 0;
    ApplicationCore core(settings, clock, options);
    ASSERT_EQ(core.decideStartupUpdate("corvane "), Updater::StartupOutcome::Started);
    std::string arguments;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            std::ifstream in(updater + ".args");
            return static_cast<bool>(std::getline(in, arguments));
        },
        std::chrono::seconds(30)));
    EXPECT_EQ(arguments, "-AUTO -KILL -RETURN");
    // The updater runs while nothing of the network exists: no mailslot for modules.
    EXPECT_FALSE(core.networkStarted());
    EXPECT_FALSE(toolMailslotExists(folders));

    // The same look sees the client bus of a start that goes on.
    core.startNetwork();
    EXPECT_TRUE(toolMailslotExists(folders));
}

// `corvane --demo` as the build leaves it: the example modules beside the program, and the
// shipped device list module that finds the demo vehicle as it is.
TEST(DemoStart, FindsTheExampleModulesAndItsDeviceListMatchesTheVehicle) {
    test::FreshFolders folders;
    ASSERT_TRUE(folders.valid());
    StartOptions options;
    options.demo = DemoAdapter::Vexor;
    options.programFolder = fs::path(CORVANE_PROGRAM).parent_path().string();
    options.debugPortNumber = 0;
    test::TestCore testCore;
    ApplicationCore& core = testCore.start(options);

    std::shared_ptr<Module> watch, compare;
    for (const auto& m : core.catalogue().modules()) {
        if (m->type == ModuleType::Program && m->file == "rvc-watch") watch = m;
        if (m->type == ModuleType::DeviceList) compare = m;
    }
    ASSERT_NE(watch, nullptr) << "no example modules in " << options.programFolder;
    ASSERT_NE(compare, nullptr);
    EXPECT_EQ(core.catalogue().modules().size(), 4u);
    EXPECT_TRUE(ProgramFile::isLinuxProgram(watch->resolve(watch->file)));
    // The user's settings keep their module folder.
    EXPECT_FALSE(testCore.settings.readString("Corvane", "ModuleFolder").has_value());

    // Every device the vehicle shows, hidden ones and the tool itself included, is in the
    // list, and nothing else.
    std::string report;
    const bool matched = tickUntil([&] {
        core.tick(false);
        core.manager().divertIntake();
        report =
            CompareDeviceList(compare->resolve(compare->file), core.deviceTable()).value_or("");
        core.manager().drainIntake();
        return report.find("Device Lists Match.") != std::string::npos;
    });
    EXPECT_TRUE(matched) << report;

    // Fault and health tracking sits in the delivery chain: its report, renewed by the ticks,
    // counts the frames and lists the vehicle's devices.
    EXPECT_TRUE(tickUntil([&] {
        core.tick(false);
        return core.health().snapshot().frames > 0 && core.health().report().inventory.size() >= 3;
    }));
    // Options, Connection Options, Data Rate: the bus load is counted at the rate picked.
    EXPECT_EQ(core.health().snapshot().bitRate, 250'000u);
    core.adapters().selectDataRate(AdapterSettings::kRate500k);
    EXPECT_TRUE(tickUntil([&] {
        core.tick(false);
        return core.health().snapshot().bitRate == 500'000u &&
               core.health().report().bitRate == 500'000u;
    }));
}

}  // namespace
}  // namespace corvane
