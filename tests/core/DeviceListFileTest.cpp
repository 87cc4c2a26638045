#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/DeviceListFile.h"
#include "core/Dgn.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

class DeviceListFileTest : public ::testing::Test {
  protected:
    void node(uint8_t sa, const std::string& productId) {
        table.update(*makeMessage(dgn::kProductId, sa, bytesOf(productId)));
    }
    void device(uint8_t sa, uint8_t dsa) {
        const uint8_t status[8] = {0x05, dsa, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        table.update(*makeMessage(dgn::kDmRv, sa, status));
    }
    std::string compare(std::string_view fileText) {
        return CompareDeviceListText("saved.cvdl", bytesOf(fileText), table);
    }
    std::string exported() { return DeviceListText(table, "Created: now\r\n"); }

    test::FakeClock clock;
    DeviceTable table{clock};
};

TEST(DeviceListCreated, EnglishNamesTwoDigitDayTwoBlanksBeforeAt) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 4;
    t.tm_wday = 1;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(DeviceListCreatedLine(t), "Created: Monday, March 04, 2024  at 14:05:09\r\n");
}

TEST(DeviceListLine, ParsesDsaMakeAndModel) {
    struct Case {
        const char* line;
        bool entry;
        int dsa;
        const char* make;
        const char* model;
    };
    const Case cases[] = {
        {"DSA  66 *Acme Power*PX-2000*", true, 66, "Acme Power", "PX-2000"},
        {"DSA 255 *Not Found*Not Found*", true, 255, "Not Found", "Not Found"},
        {"DSA   0 **X1*", true, 0, "X1", ""},             // empty separators are skipped
        {"DSA 300 *A*B*", true, 44, "A", "B"},            // kept in 8 bits
        {"DSA  66 *OnlyMake", true, 66, "OnlyMake", ""},  // missing tokens stay empty
        {"DSA", true, 0, "", ""},
        {"DSA  7x*A*B*", true, 7, "A", "B"},  // the number stops at the first non-digit
        {"Created: Monday, March 04, 2024  at 14:05:09", false, 0, "", ""},
        {"dsa  66 *Acme*X1*", false, 0, "", ""},
        {"", false, 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto entry = ParseDeviceListLine(c.line);
        ASSERT_EQ(entry.has_value(), c.entry);
        if (!entry) continue;
        EXPECT_EQ(entry->dsa, c.dsa);
        EXPECT_EQ(entry->make, c.make);
        EXPECT_EQ(entry->model, c.model);
    }
}

TEST(DeviceListLine, ReaderDropsControlAndHighBytesAndLosesUnterminatedLastLine) {
    const std::string text =
        "DSA\t 1\r\nA\x80\xff"
        "B\x0f\nlast";
    size_t position = 0;
    std::string line;
    ASSERT_TRUE(ReadDeviceListLine(bytesOf(text), position, line));
    EXPECT_EQ(line, "DSA 1");
    EXPECT_EQ(position, 8u);
    ASSERT_TRUE(ReadDeviceListLine(bytesOf(text), position, line));
    EXPECT_EQ(line, "AB");
    EXPECT_FALSE(ReadDeviceListLine(bytesOf(text), position, line));
}

TEST(DeviceListSortKey, DsaFirstSixOfModelThenMake) {
    EXPECT_EQ(DeviceListSortKey({66, "Acme", "PX-2000-B"}), " 66PX-200Acme");
    EXPECT_EQ(DeviceListSortKey({5, "M", ""}), "  5M");
    EXPECT_EQ(DeviceListSortKey({255, "", "abc"}), "255abc");
}

TEST(DeviceListExportPath, AddsExtensionOnlyWhenTheNameHasNone) {
    const std::pair<const char*, const char*> cases[] = {
        {"/v/bus", "/v/bus.cvdl"}, {"/v/bus.txt", "/v/bus.txt"},   {"/v.d/bus", "/v.d/bus.cvdl"},
        {"bus", "bus.cvdl"},       {"/v/bus.cvdl", "/v/bus.cvdl"}, {"/v/.hidden", "/v/.hidden"},
    };
    for (const auto& [chosen, expected] : cases) EXPECT_EQ(DeviceListExportPath(chosen), expected);
}

TEST_F(DeviceListFileTest, ExportWritesOneLinePerDeviceWithNodeTexts) {
    node(0x42, "Acme Power*PX-2000*1*2*");
    device(0x42, 66);
    device(0x50, 88);  // no node: the placeholder's texts
    EXPECT_EQ(exported(),
              "Created: now\r\n"
              "DSA  66 *Acme Power*PX-2000*\r\n"
              "DSA  88 *Not Found*Not Found*\r\n");
}

TEST_F(DeviceListFileTest, EmptyListExportsOnlyCreatedLineAndMatchesItself) {
    EXPECT_EQ(exported(), "Created: now\r\n");
    EXPECT_EQ(compare(exported()), "Comparing saved.cvdl\r\nDevice Lists Match.");
}

TEST_F(DeviceListFileTest, ExportThenCompareMatches) {
    node(0x42, "Acme*X1*1*2*");
    node(0x44, "Zeta*Heat 3000*1*2*");
    device(0x44, 88);
    device(0x42, 66);
    device(0x42, 88);
    device(0x60, 1);
    EXPECT_EQ(compare(exported()), "Comparing saved.cvdl\r\nDevice Lists Match.");
}

TEST_F(DeviceListFileTest, ModelDifferingAfterSixthCharacterStillMatches) {
    node(0x42, "Acme*PX-2000-B*1*2*");
    device(0x42, 66);
    EXPECT_EQ(compare("DSA  66 *Acme*PX-2000-A*\r\n"),
              "Comparing saved.cvdl\r\nDevice Lists Match.");
    EXPECT_EQ(compare("DSA  66 *Acme*PX-20X0*\r\n"),  // differs at the sixth character
              "Comparing saved.cvdl\r\n"
              "Extra  :  66 INV Acme PX-2000-B\r\n"
              "Missing:  66 INV Acme PX-20X0\r\n");
}

TEST_F(DeviceListFileTest, MissingAndExtraLinesInKeyOrderWithAbbreviations) {
    node(0x42, "Acme*X1*1*2*");
    device(0x42, 88);
    device(0x42, 66);
    const std::string saved =
        "Created: Monday, March 04, 2024  at 14:05:09\r\n"
        "DSA  88 *Acme*X1*\r\n"
        "DSA  66 *Acme*X2*\r\n"
        "DSA   1 *Old*Box*\r\n";
    // DSA 1 sorts first; of the two DSA 66 keys " 66X1Acme" < " 66X2Acme".
    EXPECT_EQ(compare(saved),
              "Comparing saved.cvdl\r\n"
              "Missing:   1   1 Old Box\r\n"
              "Extra  :  66 INV Acme X1\r\n"
              "Missing:  66 INV Acme X2\r\n");
}

TEST_F(DeviceListFileTest, ChangedMakeGivesOneMissingAndOneExtra) {
    node(0x42, "Newco*X1*1*2*");
    device(0x42, 66);
    EXPECT_EQ(compare("DSA  66 *Acme*X1*\r\n"),
              "Comparing saved.cvdl\r\n"
              "Missing:  66 INV Acme X1\r\n"
              "Extra  :  66 INV Newco X1\r\n");
}

TEST_F(DeviceListFileTest, HighBytesAreLostOnReadingBack) {
    node(0x42, "Caf\xe9*X1*1*2*");
    device(0x42, 66);
    EXPECT_EQ(compare(exported()),
              "Comparing saved.cvdl\r\n"
              "Missing:  66 INV Caf X1\r\n"
              "Extra  :  66 INV Caf\xe9 X1\r\n");
}

TEST_F(DeviceListFileTest, FinalLineWithoutLineFeedIsLost) {
    node(0x42, "Acme*X1*1*2*");
    device(0x42, 66);
    EXPECT_EQ(compare("DSA  66 *Acme*X1*\r\nDSA  88 *Acme*X1*"),
              "Comparing saved.cvdl\r\nDevice Lists Match.");
}

TEST_F(DeviceListFileTest, FiveHundredDevicesAreComparedWhole) {
    // 250 addresses with two functions each: far past the 199 entries a side once held.
    for (int sa = 0; sa < 250; ++sa) {
        device(static_cast<uint8_t>(sa), 66);
        device(static_cast<uint8_t>(sa), 88);
    }
    ASSERT_EQ(table.deviceCount(), 500u);
    const std::string file = exported();
    EXPECT_EQ(compare(file), "Comparing saved.cvdl\r\nDevice Lists Match.");

    // Against an empty network every saved line is Missing, the last one included.
    DeviceTable empty(clock);
    const std::string report = CompareDeviceListText("saved.cvdl", bytesOf(file), empty);
    size_t missing = 0;
    for (size_t at = report.find("Missing:"); at != std::string::npos;
         at = report.find("Missing:", at + 1)) {
        ++missing;
    }
    EXPECT_EQ(missing, 500u);
    EXPECT_TRUE(report.ends_with("Missing:  88 THM Not Found Not Found\r\n"));
}

TEST_F(DeviceListFileTest, ExportReplacesFileThroughRenameAndCompareReadsIt) {
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("corvane-devlist-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "bus.cvdl").string();
    { std::ofstream(path) << "old contents that must go"; }

    node(0x42, "Acme*X1*1*2*");
    device(0x42, 66);
    clock.setUtcOffsetSeconds(2 * 3600);  // 1'700'000'000 is 22:13:20 UTC on a Tuesday
    ASSERT_TRUE(ExportDeviceList(path, table, clock));
    std::ifstream in(path, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(written.starts_with("Created: Wednesday, November 15, 2023  at 00:13:20\r\n"))
        << written;
    EXPECT_TRUE(written.ends_with("\r\nDSA  66 *Acme*X1*\r\n"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);  // no temporary left behind

    EXPECT_EQ(CompareDeviceList(path, table), "Comparing " + path + "\r\nDevice Lists Match.");
    EXPECT_EQ(CompareDeviceList((folder / "absent.cvdl").string(), table), std::nullopt);
    EXPECT_FALSE(ExportDeviceList((folder / "no-such-folder" / "x.cvdl").string(), table));
    std::filesystem::remove_all(folder);
}

// Only a saved list is compared: not a device that never ends (the compare once ran out of
// memory on /dev/zero), not a file far larger than any list.
TEST_F(DeviceListFileTest, CompareRefusesWhatIsNotASavedList) {
    char pattern[] = "/tmp/corvane-devlist-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    { std::ofstream(folder + "/huge.cvdl") << "Created: now\r\n"; }
    std::filesystem::resize_file(folder + "/huge.cvdl", kMaxDeviceListBytes + 1);
    for (const std::string& path :
         {std::string("/dev/zero"), folder + "/fifo.cvdl", folder + "/huge.cvdl"}) {
        EXPECT_EQ(CompareDeviceList(path, table), std::nullopt) << path;
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace corvane
