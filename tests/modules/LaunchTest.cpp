#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "modules/AppKiller.h"
#include "modules/ExternalModuleList.h"
#include "modules/MessageText.h"
#include "modules/ModuleLauncher.h"
#include "tests/core/TransmitHarness.h"
#include "tests/modules/ModuleDoubles.h"

namespace corvane {
namespace {

using Open = test::RecordingShell::Open;

TEST(MessageTextTest, Table) {
    struct Case {
        std::string text;
        uint8_t target;
        bool accepted;
        uint32_t dgn;
        std::vector<uint8_t> data;
    } cases[] = {
        {"EAXX EB FE 00", 0x42, true, 0xEA42, {0xEB, 0xFE, 0x00}},
        {"  EAXX   EB  FE 00  ", 0x42, true, 0xEA42, {0xEB, 0xFE, 0x00}},
        {"EAxx 00", 0x42, true, 0xEA, {0x00}},  // only capital XX is replaced
        {"00000 01", 0x42, true, 0, {0x01}},
        {"0 01", 0x42, false, 0, {}},
        {"1FEDA", 0x42, false, 0, {}},
        {"XX 01", 0x0A, true, 0x0A, {0x01}},
        {"EAXXXX 01", 0x42, true, 0xEA42, {0x01}},  // reading stops at the second X
        {"1FFFF 1FF zz 7", 0x42, true, 0x1FFFF, {0xFF, 0x00, 0x07}},
        {"", 0x42, false, 0, {}},
        {"GG 01", 0x42, false, 0, {}},
    };
    for (const auto& c : cases) {
        auto r = ParseMessageText(c.text, c.target);
        ASSERT_EQ(r.has_value(), c.accepted) << c.text;
        if (!r) continue;
        EXPECT_EQ(+r->dgn, +c.dgn) << c.text;
        EXPECT_EQ(r->priority, 6) << c.text;
        EXPECT_EQ(std::vector<uint8_t>(r->data, r->data + r->length), c.data) << c.text;
    }
    std::string longest = "1FFFF", tooLong = "1FFFF";
    for (int i = 0; i < 1785; ++i) longest += " 01";
    tooLong = longest + " 02";
    ASSERT_TRUE(ParseMessageText(longest, 0).has_value());
    EXPECT_EQ(ParseMessageText(longest, 0)->length, 1785);
    EXPECT_FALSE(ParseMessageText(tooLong, 0).has_value());
}

class LaunchTest : public ::testing::Test {
  protected:
    std::shared_ptr<Module> module(ModuleType type, std::string file, std::string params) {
        return Module::fromPlainFile(type, file, params, "d", "/mods/sub");
    }

    test::TransmitHarness net;
    test::RecordingShell shell;
    test::RecordingHost host;
    test::ScriptedDialogs dialogs;
    AppKiller killer{shell, [] { return size_t{1}; }};
    ModuleLauncher launcher{shell,   killer,       host,
                            dialogs, net.transmit, [] { return std::string("/mods"); }};
    const RVCDevice device{.dsa = 64, .sa = 66};
};

TEST_F(LaunchTest, RunModuleByType) {
    launcher.runModule(*module(ModuleType::Program, "tool.exe", "-v"), device);
    launcher.runModule(*module(ModuleType::Program, "/opt/bin/tool", ""), device);
    launcher.runModule(*module(ModuleType::QuillonModule, "Quillon.exe", "x.def"), device);
    launcher.runModule(*module(ModuleType::QuillonModule, "/q/Q", "/d/x.def"), device);
    EXPECT_EQ(shell.opens, (std::vector<Open>{{"/mods/sub/tool.exe", "-v 66 64 "},
                                              {"/opt/bin/tool", " 66 64 "},
                                              {"/mods/Quillon.exe", " 66 64 /mods/sub/x.def"},
                                              {"/q/Q", " 66 64 /d/x.def"}}));
    EXPECT_EQ(killer.names(),
              (std::vector<std::string>{"tool.exe", "/opt/bin/tool", "Quillon.exe", "/q/Q"}));

    launcher.runModule(*module(ModuleType::Script, "s.scp", "p1"), device);
    launcher.runModule(*module(ModuleType::DeviceList, "l.cvdl", ""), device);
    launcher.runModule(*module(ModuleType::None, "x", ""), device);
    EXPECT_EQ(host.scripts,
              (std::vector<test::RecordingHost::Script>{{"/mods/sub/s.scp", "p1", 66}}));
    EXPECT_EQ(host.comparisons, std::vector<std::string>{"/mods/sub/l.cvdl"});
    EXPECT_EQ(shell.opens.size(), 4u);
}

TEST_F(LaunchTest, MessageModulesTransmitOrComplain) {
    launcher.runModule(*module(ModuleType::Message, "", "EAXX EB FE 00"),
                       RVCDevice{.dsa = 66, .sa = 0x42});
    auto frames = net.sender.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(+frames[0].dgn, 0xEA42u);
    EXPECT_EQ(frames[0].sa, 0xF9);
    EXPECT_EQ(frames[0].priority, 6);
    EXPECT_EQ(frames[0].data, (std::vector<uint8_t>{0xEB, 0xFE, 0x00}));
    EXPECT_TRUE(dialogs.messages.empty());

    launcher.runModule(*module(ModuleType::Message, "", "1FEDA"), device);
    EXPECT_EQ(dialogs.messages, (std::vector<test::ScriptedDialogs::Message>{
                                    {"Failed to tranmit message\r\n1FEDA", "Module Error"}}));
    EXPECT_EQ(net.sender.frames().size(), 1u);
    // A DGN the transmit path refuses still counts as transmitted here.
    EXPECT_TRUE(launcher.transmitText("FFFFFF 01", 0x42));
    EXPECT_EQ(net.sender.frames().size(), 1u);
}

TEST_F(LaunchTest, RunSelectedModuleNeedsDeviceAndModule) {
    auto m = module(ModuleType::Program, "tool.exe", "");
    launcher.runSelectedModule(std::nullopt, m);
    launcher.runSelectedModule(device, nullptr);
    EXPECT_EQ(dialogs.messages, (std::vector<test::ScriptedDialogs::Message>{
                                    {"No Device Selected", "Module Selection Error"},
                                    {"No Diagnostic Module Selected", "Module Selection Error"}}));
    EXPECT_TRUE(shell.opens.empty());
    launcher.runSelectedModule(device, m);
    EXPECT_EQ(shell.opens.size(), 1u);
}

TEST_F(LaunchTest, RunUnlistedModuleByChosenFile) {
    test::ScratchFolder folder;
    std::string program = folder.write("Tools/checker", "#!/bin/sh\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    std::string script = folder.write("Tools/run.SCP", "\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    // Programs whatever their names say: an interpreter line, and a built program.
    std::string shellScript = folder.write("Tools/probe.scp", "#!/bin/sh\n");
    std::filesystem::permissions(shellScript, std::filesystem::perms::owner_all);
    const std::string built = folder.path() + "/Tools/watch.scr";
    std::filesystem::copy_file(RVC_WATCH_PATH, built);
    // An interpreter line without an execute bit is no program.
    std::string notExecutable = folder.write("Tools/plain.scp", "#!/bin/sh\n");

    struct Case {
        std::optional<std::string> chosen;
        std::optional<RVCDevice> device;
        std::vector<Open> opens = {};
        std::vector<std::string> killed = {};
        std::vector<test::RecordingHost::Script> scripts = {};
        std::vector<std::string> comparisons = {};
    } cases[] = {
        {"/Tools/Check.exe", std::nullopt, {{"/Tools/Check.exe", "255 255"}}, {"Check.exe"}},
        {"/Tools/Check.EXE", device, {{"/Tools/Check.EXE", "66 64"}}, {"Check.EXE"}},
        {"/T/Diag.DEF", device, {{"/mods/Quillon.exe", "66 64 /T/Diag.DEF"}}, {"Quillon.exe"}},
        {"/T/x.exe.d/file.txt", device, {{"/T/x.exe.d/file.txt", "66 64"}}, {"file.txt"}},
        {"/T/List.cvdl", device, {}, {}, {}, {"/T/List.cvdl"}},
        {program, device, {{program, "66 64"}}, {"checker"}},
        {script, device, {}, {}, {{script, "", 66}}},
        {shellScript, device, {{shellScript, "66 64"}}, {"probe.scp"}},
        {built, device, {{built, "66 64"}}, {"watch.scr"}},
        {notExecutable, device, {}, {}, {{notExecutable, "", 66}}},
        {"/T/s.scr", std::nullopt, {}, {}, {{"/T/s.scr", "", 255}}},
        {std::nullopt, device, {}, {}},
    };
    for (const auto& c : cases) {
        test::RecordingShell caseShell;
        test::RecordingHost caseHost;
        test::ScriptedDialogs caseDialogs;
        AppKiller caseKiller(caseShell, [] { return size_t{0}; });
        ModuleLauncher l(caseShell, caseKiller, caseHost, caseDialogs, net.transmit,
                         [] { return std::string("/mods"); });
        caseDialogs.file = c.chosen;
        l.runUnlistedModule(c.device);
        const std::string label = c.chosen.value_or("(cancelled)");
        EXPECT_EQ(caseDialogs.filters, std::vector<std::string>{ModuleLauncher::kUnlistedFilter});
        EXPECT_EQ(caseShell.opens, c.opens) << label;
        EXPECT_EQ(caseKiller.names(), c.killed) << label;
        EXPECT_EQ(caseHost.scripts, c.scripts) << label;
        EXPECT_EQ(caseHost.comparisons, c.comparisons) << label;
    }
}

TEST_F(LaunchTest, RunModuleRequestsFindTheirDeviceWhenHandled) {
    net.devices.addToolEntries();
    const uint8_t status[8] = {0x05, 0x42, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    net.receive(0x1FECA, 0x42, std::vector<uint8_t>(status, status + 8));  // DSA 66 at 0x42
    ASSERT_EQ(net.devices.deviceCount(), 2u);

    auto m = module(ModuleType::Program, "tool", "");
    struct Case {
        uint16_t code;
        std::optional<RVCDevice> selected;
        bool run;
        std::string parameters;
    } cases[] = {
        {RunModuleRequest::kSelectedDevice, std::nullopt, true, " 249 249 "},
        {RunModuleRequest::kSelectedDevice, RVCDevice{.dsa = 1, .sa = 2}, true, " 2 1 "},
        {RunModuleRequest::deviceCode(0x42, 66), std::nullopt, true, " 66 66 "},
        {RunModuleRequest::deviceCode(0x42, 67), std::nullopt, false, ""},
        {RunModuleRequest::deviceCode(0x43, 66), RVCDevice{.dsa = 1, .sa = 2}, false, ""},
    };
    for (const auto& c : cases) {
        shell.opens.clear();
        EXPECT_EQ(launcher.handleRunModuleRequest({m, c.code}, c.selected, net.devices), c.run)
            << c.code;
        if (c.run) {
            ASSERT_EQ(shell.opens.size(), 1u) << c.code;
            EXPECT_EQ(shell.opens[0].parameters, c.parameters) << c.code;
        } else {
            EXPECT_TRUE(shell.opens.empty()) << c.code;
        }
    }
    EXPECT_FALSE(launcher.handleRunModuleRequest({nullptr, 0xFFFF}, std::nullopt, net.devices));

    // The device ages out between posting and handling: the request is dropped.
    net.clock.advanceSeconds(20);
    net.devices.age();
    shell.opens.clear();
    EXPECT_FALSE(launcher.handleRunModuleRequest({m, RunModuleRequest::deviceCode(0x42, 66)},
                                                 std::nullopt, net.devices));
    EXPECT_TRUE(shell.opens.empty());
}

TEST(ExternalModuleListTest, DefinitionsThenPlainFilesWithoutDuplicates) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> descriptions;
    } cases[] = {
        {{{"Tool.RVC", "file=Tool.exe\ndescription=Tool module\n"}, {"Tool.exe", ""}},
         {"Tool module"}},
        {{{"Tool.RVC", "file=Tool.EXE\ndescription=Tool module\n"}, {"Tool.exe", ""}},
         {"Tool module", "Tool.exe"}},
        {{{"b.exe", ""}, {"a.cvdl", ""}, {"q.def", ""}, {"s.scp", ""}, {"t.scr", ""}},
         {"b.exe", "a.cvdl", "q.def", "s.scp"}},
        {{{"sub/x.RVC", "description=in a subfolder\n"}}, {}},
    };
    for (const auto& c : cases) {
        test::ScratchFolder folder;
        for (const auto& [name, text] : c.files) folder.write(name, text);
        ExternalModuleList list;
        list.fill(folder.path());
        std::vector<std::string> descriptions;
        for (const auto& m : list.modules()) {
            descriptions.push_back(m->description);
            EXPECT_EQ(m->folder, folder.path());
        }
        EXPECT_EQ(descriptions, c.descriptions);
    }

    {
        // Linux programs have no ".exe": they are listed as programs by what they are.
        test::ScratchFolder folder;
        for (const char* name : {"checker", "notes", "run.scp"}) {
            const std::string path =
                folder.write(name, std::string(name) == "notes" ? "text\n" : "#!/bin/sh\n");
            std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        }
        ExternalModuleList list;
        list.fill(folder.path());
        std::vector<std::pair<std::string, ModuleType>> listed;
        for (const auto& m : list.modules()) listed.emplace_back(m->file, m->type);
        EXPECT_EQ(listed, (std::vector<std::pair<std::string, ModuleType>>{
                              {"checker", ModuleType::Program}, {"run.scp", ModuleType::Program}}));
    }

    test::ScratchFolder folder;
    folder.write("q.DEF", "");
    ExternalModuleList list;
    list.fill(folder.path());
    ASSERT_EQ(list.modules().size(), 1u);
    const Module& q = *list.modules()[0];
    EXPECT_EQ(q.type, ModuleType::QuillonModule);
    EXPECT_EQ(q.file, "Quillon.exe");
    EXPECT_EQ(q.parameters, "q.DEF");
    EXPECT_TRUE(q.definitionFile.empty());
    EXPECT_EQ(q.addresses.count() + q.defaultAddresses.count() + q.tests.size(), 0u);
}

}  // namespace
}  // namespace corvane
