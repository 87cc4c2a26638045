#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "modules/AddressList.h"
#include "modules/Module.h"
#include "modules/ModuleCatalogue.h"
#include "modules/ModuleDefinition.h"
#include "platform/MemorySettingsStore.h"
#include "tests/modules/ModuleDoubles.h"

namespace corvane {
namespace {

std::vector<unsigned> members(const AddressSet& set) {
    std::vector<unsigned> out;
    for (unsigned a = 0; a < 256; ++a) {
        if (set[a]) out.push_back(a);
    }
    return out;
}

std::vector<unsigned> range(unsigned first, unsigned last) {
    std::vector<unsigned> out;
    for (unsigned a = first; a <= last; ++a) out.push_back(a);
    return out;
}

TEST(AddressListTest, NumbersAndRanges) {
    struct Case {
        std::string text;
        std::vector<unsigned> expected;
    } cases[] = {
        {"80h, 90h-9Fh",
         [] {
             auto v = range(144, 159);
             v.insert(v.begin(), 128);
             return v;
         }()},
        {"66", {66}},
        {"10-10", {}},
        {"20-10", {}},
        {"", {0}},
        {"1,,3", {0, 1, 3}},
        {"abc", {0}},
        {"1FFH", {255}},
        {"300", {44}},
        {" 5 - 7 ", {5, 6, 7}},
        {"0-255", range(0, 255)},
        {"250-3", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(members(ParseAddressList(c.text)), c.expected) << c.text;
}

TEST(AddressListTest, CompactRangeList) {
    auto setOf = [](std::vector<unsigned> v) {
        AddressSet s;
        for (unsigned a : v) s.set(a);
        return s;
    };
    struct Case {
        std::vector<unsigned> set;
        std::string text;
    } cases[] = {
        {{1, 2, 3, 7}, "1-3,7,"},
        {range(0, 255), "0-255"},
        {{}, ""},
        {{254}, "254,"},
        {{253, 254}, "253-254"},
        {{254, 255}, "254-255"},
        {{0, 255}, "0,255"},
        {{66}, "66,"},
    };
    for (const auto& c : cases) EXPECT_EQ(CompactRangeList(setOf(c.set)), c.text);
}

TEST(DefinitionLinesTest, LineEndsAndDroppedBytes) {
    EXPECT_EQ(DefinitionLines("a=1\r\nb=2\n"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(DefinitionLines("a=1\nrightclick=1"), (std::vector<std::string>{"a=1"}));
    EXPECT_EQ(DefinitionLines("ma\tke=\xB0X\x01Y\n"), (std::vector<std::string>{"make=XY"}));
    EXPECT_TRUE(DefinitionLines("no line feed").empty());
}

TEST(ModuleDefinitionTest, KeysAndTypeInference) {
    const std::string path = "/mods/def.RVC";
    struct Case {
        std::string text;
        ModuleType type;
        std::string file;
        std::string parameters;
    } cases[] = {
        {"file=tool.exe\n", ModuleType::Program, "tool.exe", ""},
        {"params=test.def\n", ModuleType::QuillonModule, path, "test.def"},
        {"file=list.cvdl\n", ModuleType::DeviceList, "list.cvdl", ""},
        {"description=X\n", ModuleType::Program, path, ""},
        {"script=a.scp\nfile=b.scp\n", ModuleType::Script, "b.scp", ""},
        {"message=EAXX EB FE 00\n", ModuleType::Message, path, "EAXX EB FE 00"},
        {"command=1 2\nparams=x\n", ModuleType::Message, path, "x"},
        {"file=.cvdl\n", ModuleType::Program, ".cvdl", ""},      // the name must precede it
        {"params=T.DEF\n", ModuleType::Program, path, "T.DEF"},  // case-sensitive
        {"  FILE  =  Tool.exe  \n", ModuleType::Program, "Tool.exe", ""},
        {"file=a=b\n", ModuleType::Program, "a=b", ""},  // split at the first "="
        {"unknown=1\nno equals\n", ModuleType::Program, path, ""},
    };
    for (const auto& c : cases) {
        auto d = ParseModuleDefinition(c.text, path);
        EXPECT_EQ(d.type, c.type) << c.text;
        EXPECT_EQ(d.file, c.file) << c.text;
        EXPECT_EQ(d.parameters, c.parameters) << c.text;
    }
}

TEST(ModuleDefinitionTest, FlagsAddressesAndTests) {
    struct Case {
        std::string text;
        bool isDefault;
        bool onRightClick;
    } flags[] = {
        {"default=1\n", true, false},
        {"default=yes\n", false, false},
        {"default=1\ndefault=0\n", false, false},
        {"rightclick=1\n", false, true},
        {"rightclick=1", false, false},
        {"default= 1 \n", true, false},
    };
    for (const auto& c : flags) {
        auto d = ParseModuleDefinition(c.text, "p");
        EXPECT_EQ(d.isDefault, c.isDefault) << c.text;
        EXPECT_EQ(d.onRightClick, c.onRightClick) << c.text;
    }

    auto d = ParseModuleDefinition(
        "Address = 80h, 90h-9Fh\nDEFADDRESS=66\naddress=1\nmake=X\nMakeGrep=^Tin\nmodel=Z\n"
        "sn=1?3\nsngrep=.*\nid=7\nidgrep=7$\nmodelgrep=Heat\n",
        "p");
    EXPECT_TRUE(d.addresses[128] && d.addresses[144] && d.addresses[159] && d.addresses[1]);
    EXPECT_EQ(d.addresses.count(), 18u);
    EXPECT_EQ(members(d.defaultAddresses), std::vector<unsigned>{66});
    std::vector<ModuleTestKind> kinds;
    for (const auto& t : d.tests) kinds.push_back(t.kind);
    using K = ModuleTestKind;
    EXPECT_EQ(kinds,
              (std::vector<K>{K::Make, K::MakeGrep, K::Model, K::SerialNumber, K::SerialNumberGrep,
                              K::IDNumber, K::IDNumberGrep, K::ModelGrep}));
    EXPECT_EQ(d.tests[1].pattern, "^Tin");
}

TEST(ModuleLoadTest, OpensOnlyWritableExistingFiles) {
    test::ScratchFolder folder;
    Module missing;
    EXPECT_FALSE(missing.loadDefinition(folder.path() + "/none.RVC"));

    std::string path = folder.write("ro.RVC", "file=tool.exe\n");
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    Module readOnly;
    EXPECT_FALSE(readOnly.loadDefinition(path));

    Module dir;
    std::filesystem::create_directory(folder.path() + "/dir.RVC");
    EXPECT_FALSE(dir.loadDefinition(folder.path() + "/dir.RVC"));

    Module ok;
    path = folder.write("ok.RVC", "file=tool.exe\ndescription=Tool\nmake=A\ndefaddress=1-3,7\n");
    ASSERT_TRUE(ok.loadDefinition(path));
    EXPECT_EQ(ok.definitionFile, path);
    EXPECT_EQ(ok.reportLines(), "tool.exe  Tool\n\r  A\n\r1-3,7,\n\r");
}

TEST(ModuleFileDateTest, PathChoiceAndFormat) {
    test::ScratchFolder folder;
    std::string tool = folder.write("tool.exe", "x");
    // 5 March 2024 14:05 local time.
    std::tm when{};
    when.tm_year = 124;
    when.tm_mon = 2;
    when.tm_mday = 5;
    when.tm_hour = 14;
    when.tm_min = 5;
    when.tm_isdst = -1;
    auto stamp = std::filesystem::file_time_type::clock::from_sys(
        std::chrono::system_clock::from_time_t(std::mktime(&when)));
    std::filesystem::last_write_time(tool, stamp);
    std::filesystem::last_write_time(folder.write("m.def", "x"), stamp);

    auto module = [&](ModuleType type, std::string file, std::string params) {
        return Module::fromPlainFile(type, file, params, "", folder.path());
    };
    EXPECT_EQ(module(ModuleType::Program, "tool.exe", "")->fileDate(), " 3/ 5/24  14:05");
    EXPECT_EQ(module(ModuleType::DeviceList, tool, "")->fileDate(), " 3/ 5/24  14:05");
    EXPECT_EQ(module(ModuleType::QuillonModule, "Quillon.exe", "m.def")->fileDate(),
              " 3/ 5/24  14:05");
    EXPECT_EQ(module(ModuleType::Program, "gone.exe", "")->fileDate(), "");
    EXPECT_EQ(module(ModuleType::None, "tool.exe", "")->fileDate(), "");
    auto message = module(ModuleType::Message, "tool.exe", "EAXX 00");
    EXPECT_EQ(message->fileDate(), "");  // no definition file
    message->definitionFile = "tool.exe";
    EXPECT_EQ(message->fileDate(), " 3/ 5/24  14:05");
}

TEST(ModuleCatalogueTest, ScansFourFolderLevelsBaseFirst) {
    test::ScratchFolder base;
    base.write("b.RVC", "description=base b\n");
    base.write("a.rvc", "description=base a\n");  // the pattern ignores case
    base.write("x/one.RVC", "description=level 1\n");
    base.write("x/y/z/w/four.RVC", "description=level 4\n");
    base.write("x/y/z/w/v/five.RVC", "description=level 5\n");
    base.write("notes.txt", "description=not a definition\n");
    base.write("last.RVC", "description=no line feed");
    std::string ro = base.write("x/ro.RVC", "description=read-only\n");
    std::filesystem::permissions(ro, std::filesystem::perms::owner_read);

    MemorySettingsStore settings;
    settings.writeString("Corvane", "ModuleFolder", base.path());
    ModuleCatalogue catalogue(settings, "/opt/corvane");
    std::vector<std::string> found;
    for (const auto& m : catalogue.modules()) found.push_back(m->description);
    EXPECT_EQ(found, (std::vector<std::string>{"base a", "base b", "", "level 1", "level 4"}));
    EXPECT_EQ(catalogue.modules()[3]->folder, base.path() + "/x");

    // A rescan replaces the list; modules still held elsewhere stay alive.
    auto held = catalogue.modules().front();
    std::filesystem::remove(base.path() + "/a.rvc");
    catalogue.rescan();
    EXPECT_EQ(catalogue.modules().size(), 4u);
    EXPECT_EQ(held->description, "base a");

    EXPECT_EQ(catalogue.autoUpdate().value(), 1);
    EXPECT_EQ(catalogue.lastUpdate().value(), 0);
}

// A FIFO carrying the extension would block the scan (and start-up) for ever, a device such
// as /dev/zero would never end: both are skipped, the real definitions beside them load.
TEST(ModuleCatalogueTest, SkipsDefinitionsThatAreNotRegularFiles) {
    test::ScratchFolder base;
    base.write("good.RVC", "description=good\n");
    ASSERT_EQ(mkfifo((base.path() + "/fifo.RVC").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", base.path() + "/zero.RVC");

    MemorySettingsStore settings;
    settings.writeString("Corvane", "ModuleFolder", base.path());
    ModuleCatalogue catalogue(settings, "/opt/corvane");
    ASSERT_EQ(catalogue.modules().size(), 1u);
    EXPECT_EQ(catalogue.modules()[0]->description, "good");
    Module zero;
    EXPECT_FALSE(zero.loadDefinition("/dev/zero"));
}

TEST(ModuleCatalogueTest, MissingFolderAndDefaults) {
    MemorySettingsStore settings;
    ModuleCatalogue fromDefault(settings, "/nonexistent/corvane-bin");
    EXPECT_EQ(fromDefault.moduleFolder(), "/nonexistent/corvane-bin");
    EXPECT_TRUE(fromDefault.modules().empty());
    EXPECT_EQ(fromDefault.report(), "Module Report     Folder=/nonexistent/corvane-bin\r\n");
}

TEST(ModuleCatalogueTest, FolderCommands) {
    test::ScratchFolder base;
    base.write("t.RVC", "file=tool.exe\ndescription=Tool\n");
    MemorySettingsStore settings;
    ModuleCatalogue catalogue(settings, base.path());
    ASSERT_EQ(catalogue.modules().size(), 1u);

    test::ScriptedDialogs dialogs;
    EXPECT_FALSE(catalogue.changeModuleBaseFolder(dialogs));  // cancelled
    EXPECT_EQ(dialogs.folderTitles, std::vector<std::string>{"Module Folder|" + base.path()});
    dialogs.folder = "/nonexistent";
    EXPECT_TRUE(catalogue.changeModuleBaseFolder(dialogs));
    EXPECT_EQ(settings.readString("Corvane", "ModuleFolder"), "/nonexistent");
    EXPECT_TRUE(catalogue.modules().empty());

    EXPECT_FALSE(catalogue.resetFoldersToDefaults(dialogs));  // answered No
    EXPECT_EQ(catalogue.moduleFolder(), "/nonexistent");
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].rfind("Confirmation|", 0), 0u);
    dialogs.yes = true;
    EXPECT_TRUE(catalogue.resetFoldersToDefaults(dialogs));
    EXPECT_EQ(catalogue.moduleFolder(), base.path());
    EXPECT_EQ(catalogue.modules().size(), 1u);
}

}  // namespace
}  // namespace corvane
