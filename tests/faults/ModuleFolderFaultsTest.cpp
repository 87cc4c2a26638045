#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <filesystem>
#include <set>

#include "app/DeviceListBox.h"
#include "app/ModuleListBox.h"
#include "tests/faults/FaultRig.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kVehicleRows = 5;

TEST(ModuleFolderFault, FiveThousandDefinitionsAndFolderLinksThatLoop) {
    constexpr int kDefinitions = 5000;
    constexpr int kFitEverything = 50;  // every 100th definition fits every device
    constexpr int kInSubfolder = 10;
    FreshFolders folders;
    const std::string base = folders.scratch("modules");
    fs::create_directories(base + "/vendor/deeper");
    for (int i = 0; i < kDefinitions; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/M%04d.RVC", i);
        writeFile(base + name, "description=Module " + std::to_string(i) +
                                   "\nfile=m.exe\ndefaddress=0-255\naddress=" +
                                   (i % 100 == 0 ? std::string("0-255") : std::string("3")) + "\n");
    }
    for (int i = 0; i < kInSubfolder; ++i) {
        writeFile(base + "/vendor/deeper/V" + std::to_string(i) + ".RVC",
                  "description=Vendor " + std::to_string(i) + "\nfile=v.exe\n");
    }
    // Links that lead back up the tree: each walk through them would meet the same folders
    // again, down to the walk's last level.
    fs::create_directory_symlink(".", base + "/again");
    fs::create_directory_symlink("..", base + "/vendor/up");
    fs::create_directory_symlink("../..", base + "/vendor/deeper/top");

    MemorySettingsStore settings;
    settings.writeString("Corvane", "ModuleFolder", base);
    QElapsedTimer took;
    took.start();
    FaultRig rig({.ownVexor = true, .settings = &settings});
    const int64_t startMs = took.elapsed();
    std::printf("start-up with the module folder: %lld ms\n", static_cast<long long>(startMs));
    EXPECT_LT(startMs, 10000);

    // Every definition is in the catalogue once, however many ways lead to its folder.
    const auto modules = rig.core().catalogue().modules();
    std::set<std::string> descriptions;
    for (const auto& m : modules) descriptions.insert(m->description);
    EXPECT_EQ(descriptions.size(), size_t(kDefinitions + kInSubfolder));
    EXPECT_EQ(modules.size(), size_t(kDefinitions + kInSubfolder)) << "modules listed twice";

    // The window lists the devices and, for the selected one, the modules that fit it.
    ASSERT_TRUE(pumpUntil([&] { return rig.rows() >= 1; }, 3000ms));
    took.restart();
    rig.window().deviceList().selectRow(0);
    pumpFor(50ms);
    EXPECT_EQ(rig.window().moduleList().count(), kFitEverything);
    EXPECT_LT(took.elapsed(), 2000);

    // A rescan takes no longer than the scan at start-up did.
    took.restart();
    rig.core().catalogue().rescan();
    EXPECT_LT(took.elapsed(), 10000);
    EXPECT_EQ(rig.core().catalogue().modules().size(), size_t(kDefinitions + kInSubfolder));

    const std::string report = rig.askDebugPort("mods", 5000ms);
    EXPECT_NE(report.find("Module Report     Folder=" + base), std::string::npos);
    EXPECT_NE(report.find("Module 4999"), std::string::npos) << "the report was cut short";
    rig.expectStillAnswering(kVehicleRows);
}

}  // namespace
}  // namespace corvane::test
