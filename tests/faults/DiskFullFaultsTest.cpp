#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>

#include "app/MainWindowRun.h"
#include "app/MenuRules.h"
#include "logs/TrafficRecorder.h"
#include "script/ui/OpenScriptWindow.h"
#include "script/ui/ScriptDlg.h"
#include "tests/faults/FaultRig.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kVehicleRows = 5;
// Room for a few dozen bytes: less than any of the files below needs.
constexpr rlim_t kRoom = 64;

std::set<std::string> entriesOf(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(DiskFullFault, ExportingTheDeviceList) {
    FreshFolders folders;
    FaultRig rig({.ownVexor = true});
    // Every device the table holds goes into the file, listed in the window or not.
    ASSERT_TRUE(pumpUntil([&] { return rig.core().deviceTable().devices().size() >= kVehicleRows; },
                          kSettle));
    const std::string file = folders.scratch("vehicle.cvdl");
    const std::string earlier = "Created: an earlier export\r\nDSA   1 *Kept*Safe*\r\n";
    writeFile(file, earlier);
    CCorvaneDlg::Hooks hooks;
    hooks.chooseDeviceListFile = [&](bool) { return std::optional<std::string>(file); };
    rig.window().setHooks(hooks);

    {
        FileSizeLimit full(kRoom);
        ASSERT_TRUE(full.active());
        rig.window().command(command::kExportDeviceList);
    }
    // The user is told, and the earlier file is still there as it was, with nothing beside it.
    EXPECT_EQ(rig.messages.count("could not be written"), 1u) << rig.messages.all();
    EXPECT_EQ(readFile(file), earlier);
    EXPECT_EQ(entriesOf(folders.scratch()), std::set<std::string>{"vehicle.cvdl"});

    // With room again the export replaces it, without a word.
    rig.window().command(command::kExportDeviceList);
    const std::string written = readFile(file);
    EXPECT_TRUE(written.starts_with("Created: ")) << written;
    EXPECT_GE(countOf(written, "\r\nDSA "), kVehicleRows);
    EXPECT_EQ(rig.messages.shown().size(), 1u) << rig.messages.all();
    rig.expectStillAnswering(kVehicleRows);
}

TEST(DiskFullFault, SavingAScriptLog) {
    FreshFolders folders;
    FaultRig rig({.ownVexor = true});
    ASSERT_TRUE(rig.framesFlowing(kSettle));
    const std::string log = folders.scratch("run.log");
    const std::string earlier = "an earlier log\r\n";
    writeFile(log, earlier);
    std::string script;
    for (int i = 0; i < 20; ++i) script += "\"line " + std::to_string(i) + " of the run\n";
    script += "SAVE " + log + "\n";
    const std::string scriptFile = folders.scratch("save.scr");
    writeFile(scriptFile, script);

    ScriptServices services = ScriptServicesOf(rig.core());
    MessageLog shown;
    services.showMessage = [&](const std::string& text, const std::string& title) {
        shown.add(text, title);
    };
    ScriptDlg* window = OpenScriptWindow(services, scriptFile, "", 0x42, &rig.window());
    ASSERT_NE(window, nullptr);
    {
        FileSizeLimit full(kRoom);
        ASSERT_TRUE(full.active());
        for (int i = 0; i < 100 && window->engine().state().running; ++i) window->Step();
    }
    EXPECT_FALSE(window->engine().state().running);
    // The user is told, the status does not claim success, and the earlier log is intact.
    EXPECT_EQ(shown.count("Error Trying to Write File (" + log + ")"), 1u) << shown.all();
    EXPECT_NE(window->status(), "Saved");
    EXPECT_EQ(readFile(log), earlier);
    EXPECT_EQ(entriesOf(folders.scratch()), (std::set<std::string>{"run.log", "save.scr"}));

    // With room again the same save goes through.
    EXPECT_TRUE(window->SaveLog(log));
    EXPECT_EQ(window->status(), "Saved");
    EXPECT_TRUE(readFile(log).starts_with("line 0 of the run\r\n")) << readFile(log);
    EXPECT_EQ(shown.shown().size(), 1u) << shown.all();
    delete window;
    rig.expectStillAnswering(kVehicleRows);
}

TEST(DiskFullFault, RecordingTraffic) {
    constexpr rlim_t kRecordingRoom = 4096;
    FreshFolders folders;
    FaultRig rig({.ownVexor = true, .busLoad = 1000});
    ASSERT_TRUE(rig.framesFlowing(kSettle));
    const std::string file = folders.scratch("bus.log");
    CCorvaneDlg::Hooks hooks;
    hooks.chooseRecording = [&] {
        MainCommands::RecordingChoice choice;
        choice.path = file;
        return std::optional(choice);
    };
    rig.window().setHooks(hooks);
    TrafficRecorder& recorder = rig.core().recorder();

    {
        FileSizeLimit full(kRecordingRoom);
        ASSERT_TRUE(full.active());
        rig.window().command(command::kRecordTraffic);
        ASSERT_TRUE(recorder.recording());
        // The disk fills while the frames keep coming, and the recording is stopped.
        EXPECT_TRUE(pumpUntil([&] { return recorder.frameCount() > 500; }, kSettle));
        // The title says so while the recording still runs.
        EXPECT_TRUE(pumpUntil(
            [&] { return rig.window().windowTitle().endsWith(" frames (not all written)"); },
            3000ms))
            << rig.window().windowTitle().toStdString();
        rig.window().command(command::kRecordTraffic);
    }
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(rig.messages.count("could not be written completely"), 1u) << rig.messages.all();
    EXPECT_LE(readFile(file).size(), size_t(kRecordingRoom));
    EXPECT_TRUE(readFile(file).starts_with("(")) << "not a candump log";

    // With room again a new recording is written whole.
    rig.window().command(command::kRecordTraffic);
    EXPECT_TRUE(pumpUntil([&] { return recorder.frameCount() > 100; }, 3000ms));
    rig.window().command(command::kRecordTraffic);
    const std::string count = std::to_string(recorder.frameCount());
    EXPECT_EQ(rig.messages.count("Recording stopped: " + count + " frames written."), 1u)
        << rig.messages.all();
    EXPECT_EQ(countOf(readFile(file), "\n"), recorder.frameCount());
    rig.expectStillAnswering(kVehicleRows);
}

}  // namespace
}  // namespace corvane::test
