#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/MenuRules.h"
#include "app/SettingsOpener.h"
#include "tests/faults/FaultRig.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kVehicleRows = 5;

std::set<std::string> entriesOf(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// Starts the tool on the settings file as the program does, on the simulated vehicle, and
// switches "Show Phantom Devices" once from the menu. Returns the setting as the tool holds it
// afterwards.
bool runAndTogglePhantoms(SettingsOpener::Result& opened, bool& phantomsBefore) {
    FaultRig rig({.ownVexor = true, .settings = opened.store.get()});
    EXPECT_TRUE(pumpUntil([&] { return rig.rows() >= int(kVehicleRows); }, 5000ms))
        << "the tool did not connect on the default settings";
    phantomsBefore = rig.core().manager().showPhantoms();
    rig.window().command(command::kShowPhantoms);
    const bool after = rig.core().manager().showPhantoms();
    rig.expectStillAnswering(kVehicleRows);
    return after;
}

TEST(SettingsFault, AFileThatCannotBeReadOrParsedIsSetAsideAndDefaultsApply) {
    struct Case {
        const char* what;
        std::function<void(const std::string& file)> spoil;
    };
    const Case cases[] = {
        {"a folder where the file should be",
         [](const std::string& file) {
             fs::create_directory(file);
             writeFile(file + "/inside", "kept");
         }},
        {"binary garbage",
         [](const std::string& file) { writeFile(file, "\x89PNG\r\n\x1a\n\0\0"); }},
        {"a line that is no setting",
         [](const std::string& file) { writeFile(file, "[Corvane]\nShowPhantoms=1\n<<<<<<<\n"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FreshFolders folders;
        const std::string file = folders.settingsFile();
        c.spoil(file);
        const std::string spoiltBytes = fs::is_regular_file(file) ? readFile(file) : "";

        SettingsOpener::Result opened = SettingsOpener::open();
        ASSERT_NE(opened.store, nullptr);
        EXPECT_FALSE(opened.inMemoryOnly);
        EXPECT_EQ(opened.setAsideAs, file + ".bad");
        bool before = true;
        EXPECT_TRUE(runAndTogglePhantoms(opened, before));
        EXPECT_FALSE(before) << "not the default";

        // The spoilt file is kept as it was, and the change went to a new file.
        if (spoiltBytes.empty()) {
            EXPECT_EQ(readFile(file + ".bad/inside"), "kept");
        } else {
            EXPECT_EQ(readFile(file + ".bad"), spoiltBytes);
        }
        EXPECT_NE(readFile(file).find("ShowPhantoms=1"), std::string::npos) << readFile(file);
    }
}

TEST(SettingsFault, AFileThatCanNeitherBeReadNorSetAsideLeavesTheRunInMemory) {
    FreshFolders folders;
    const std::string file = folders.settingsFile();
    fs::create_directory(file);
    Unchangeable folder(folders.config());
    if (!folder.active()) GTEST_SKIP() << "the file system cannot make a folder unchangeable";
    const std::set<std::string> entries = entriesOf(folders.config());

    SettingsOpener::Result opened = SettingsOpener::open();
    ASSERT_NE(opened.store, nullptr);
    EXPECT_TRUE(opened.inMemoryOnly);
    EXPECT_TRUE(opened.setAsideAs.empty());
    bool before = true;
    EXPECT_TRUE(runAndTogglePhantoms(opened, before)) << "the change holds for this run";
    EXPECT_FALSE(before);
    EXPECT_EQ(entriesOf(folders.config()), entries);
    EXPECT_TRUE(fs::is_directory(file));
}

TEST(SettingsFault, AReadOnlyFileIsReadAndChangesHoldForTheRunOnly) {
    FreshFolders folders;
    const std::string file = folders.settingsFile();
    const std::string text = "[Corvane]\nShowPhantoms=1\nAutoUpdate=0\n";
    writeFile(file, text);
    Unchangeable readOnlyFile(file);
    Unchangeable readOnlyFolder(folders.config());
    if (!readOnlyFile.active() || !readOnlyFolder.active())
        GTEST_SKIP() << "the file system cannot make the settings file read-only";

    SettingsOpener::Result opened = SettingsOpener::open();
    ASSERT_NE(opened.store, nullptr);
    EXPECT_TRUE(opened.setAsideAs.empty());
    bool before = false;
    EXPECT_FALSE(runAndTogglePhantoms(opened, before)) << "the change holds for this run";
    EXPECT_TRUE(before) << "the stored value was not read";
    EXPECT_EQ(readFile(file), text) << "the read-only file changed";
    EXPECT_EQ(entriesOf(folders.config()), std::set<std::string>{"Corvane.ini"});
}

}  // namespace
}  // namespace corvane::test
