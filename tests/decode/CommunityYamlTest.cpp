#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decode/BuiltinCatalogue.h"
#include "decode/CatalogueFile.h"
#include "decode/CommunityYaml.h"
#include "decode/MessageDecoder.h"
#include "decode/MessageFormat.h"

namespace corvane::decode {
namespace {

const std::string kSampleFile = std::string(CORVANE_DECODE_TEST_DATA) + "/sample-catalogue.yml";
const std::string kReferenceFile = std::string(CORVANE_SHARED_REFERENCE) + "/rvc-spec.yml";

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CommunityYaml, LoadsTheSchema) {
    const CatalogueParse parsed = parseCommunityYaml(readAll(kSampleFile));
    EXPECT_TRUE(parsed.errors.empty());
    EXPECT_EQ(parsed.catalogue.size(), 3u);  // API_VERSION is not a message
    const MessageSpec* fan = parsed.catalogue.find(0x1FF00);
    ASSERT_NE(fan, nullptr);
    EXPECT_EQ(fan->name, "GALLEY_FAN_STATUS");

    // State 01 (binary) = running; 0x2500 x 0.03125 - 273 = 23 C; 0x64 / 2 = 50 %.
    DecodedMessage m;
    std::vector<uint8_t> data{4, 0x01, 0x00, 0x25, 0x64, 0xFF, 0xFF, 0xFF};
    decodeMessage(parsed.catalogue, 0x1FF00, 0x30, data, m);
    ASSERT_EQ(m.fields.size(), 4u);
    EXPECT_EQ(m.instance, 4);
    EXPECT_EQ(m.fields[1].spec->name, "fan_state");
    EXPECT_EQ(m.fields[1].text, "running");
    EXPECT_EQ(m.fields[2].spec->name, "motor_temperature");
    EXPECT_EQ(m.fields[2].spec->unit, "°C");
    EXPECT_DOUBLE_EQ(m.fields[2].value, 23.0);
    EXPECT_EQ(m.fields[3].spec->name, "speed_setting");
    EXPECT_DOUBLE_EQ(m.fields[3].value, 50.0);

    // The reserved patterns hold for a user's fields too: 10 is an error, not a value.
    data[1] = 0x02;
    decodeMessage(parsed.catalogue, 0x1FF00, 0x30, data, m);
    EXPECT_EQ(m.fields[1].status, FieldStatus::Error);

    // An alias takes the fields of the message it names.
    const MessageSpec* command = parsed.catalogue.find(0x1FF01);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->name, "GALLEY_FAN_COMMAND");
    EXPECT_EQ(command->fields.size(), 4u);
}

TEST(CommunityYaml, UserFileExtendsAndOverridesTheBuiltInCatalogue) {
    Catalogue catalogue = builtinCatalogue();
    std::vector<std::string> warnings;
    ASSERT_TRUE(loadCatalogueFile(kSampleFile, catalogue, warnings));
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(catalogue.size(), builtinCatalogue().size() + 2);
    DecodedMessage m;
    const std::vector<uint8_t> data{7, 0x50};
    decodeMessage(catalogue, 0x1FFB7, 0x48, data, m);
    ASSERT_EQ(m.fields.size(), 2u);
    EXPECT_EQ(m.fields[0].text, "coolant reserve");
    EXPECT_EQ(m.fields[1].spec->name, "level");
    EXPECT_DOUBLE_EQ(m.fields[1].value, 40.0);
}

TEST(CommunityYaml, BadParametersAreReportedAndTheRestKept) {
    const CatalogueParse parsed = parseCommunityYaml(
        "1FF20:\n  name: ODD\n  parameters:\n    - byte: 9-2\n      name: a\n"
        "    - byte: 1\n      bit: 3-9\n    - byte: 2\n      name: fine\n");
    ASSERT_EQ(parsed.errors.size(), 2u);
    EXPECT_EQ(parsed.errors[0], "1FF20 parameter 0: bad byte");
    EXPECT_EQ(parsed.errors[1], "1FF20 parameter 1: bad bit");
    ASSERT_EQ(parsed.catalogue.size(), 1u);
    EXPECT_EQ(parsed.catalogue.find(0x1FF20)->fields.size(), 1u);
}

// Files repeat names (the shared one does in INVERTER_CONFIGURATION_STATUS_2): both fields
// stay, under their own names, and neither hides the other in JSON.
TEST(CommunityYaml, RepeatedNamesAreNumbered) {
    const CatalogueParse parsed = parseCommunityYaml(
        "1FF21:\n  name: TWICE\n  parameters:\n    - byte: 0\n      name: level\n"
        "    - byte: 1\n      name: Level\n    - byte: 2\n      name: level\n");
    EXPECT_TRUE(parsed.errors.empty());
    DecodedMessage m;
    const std::vector<uint8_t> data{1, 2, 3};
    ASSERT_TRUE(decodeMessage(parsed.catalogue, 0x1FF21, 0x30, data, m));
    const auto fields = toJson(m, 0)["fields"];
    EXPECT_EQ(fields, (nlohmann::ordered_json{{"level", 1}, {"level_2", 2}, {"level_3", 3}}));
}

// A folder of catalogues: its files in the order of their names, a later one over an earlier
// one; what is not a catalogue is left alone, and a broken file is reported and skipped.
TEST(CatalogueFolder, LoadsItsFilesInNameOrder) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("corvane-catalogues-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "20-coach.yml") << "1FF40:\n  name: SECOND\n";
    std::ofstream(folder / "10-maker.cat") << "1FF40 FIRST\n1FF41 ONLY_FIRST\n";
    std::ofstream(folder / "30-broken.yml") << "1FF42: [\n";
    std::ofstream(folder / "notes.txt") << "1FF43 NOT_A_CATALOGUE\n";
    Catalogue catalogue;
    std::vector<std::string> warnings;
    EXPECT_EQ(loadCatalogueFolder(folder.string(), catalogue, warnings), 2u);
    EXPECT_EQ(catalogue.find(0x1FF40)->name, "SECOND");
    EXPECT_NE(catalogue.find(0x1FF41), nullptr);
    EXPECT_EQ(catalogue.find(0x1FF43), nullptr);
    ASSERT_EQ(warnings.size(), 2u);  // not YAML, and so no message in it
    EXPECT_NE(warnings[0].find("30-broken.yml: not YAML"), std::string::npos) << warnings[0];
    fs::remove_all(folder);

    warnings.clear();
    EXPECT_EQ(loadCatalogueFolder(folder.string(), catalogue, warnings), 0u);
    EXPECT_TRUE(warnings.empty());  // no folder: no catalogues of one's own, nothing wrong
}

TEST(CommunityYaml, NotYamlGivesOneErrorAndNoMessages) {
    const CatalogueParse parsed = parseCommunityYaml("1FF20: [unclosed\n");
    EXPECT_EQ(parsed.errors.size(), 1u);
    EXPECT_EQ(parsed.catalogue.size(), 0u);
    Catalogue catalogue;
    std::vector<std::string> warnings;
    EXPECT_FALSE(loadCatalogueFile("/nonexistent/catalogue.yml", catalogue, warnings));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "/nonexistent/catalogue.yml: cannot be read");
}

// One map of a thousand value names, named by every parameter through a YAML alias: a small
// file that would make millions. It is read up to the limit of a catalogue file.
TEST(CommunityYaml, CopiesByAnchorCountTowardsTheFilesLimit) {
    std::string text = "1FF10:\n  name: FIRST\n  parameters:\n";
    text += "    - byte: 0\n      name: p\n      values: &many\n";
    for (int v = 0; v < 1000; ++v) text += "        " + std::to_string(v) + ": v\n";
    for (int m = 0; m < 4; ++m) {
        if (m > 0) text += "1FF1" + std::to_string(m) + ":\n  name: M\n  parameters:\n";
        for (int p = 0; p < 100; ++p) text += "    - byte: 1\n      values: *many\n";
    }
    const CatalogueParse parsed = parseCommunityYaml(text);
    ASSERT_EQ(parsed.errors.size(), 1u);
    EXPECT_NE(parsed.errors[0].find("the rest of the file is not read"), std::string::npos);
    size_t names = 0;
    for (const MessageSpec& m : parsed.catalogue.messages())
        for (const FieldSpec& f : m.fields) names += 1 + f.values.size();
    EXPECT_LE(names, kMaxEntriesPerFile + 1001);
    EXPECT_GT(names, kMaxEntriesPerFile / 2);
}

TEST(CommunityYaml, LoadsTheSharedReferenceFile) {
    if (!std::filesystem::exists(kReferenceFile)) GTEST_SKIP() << "no " << kReferenceFile;
    const CatalogueParse parsed = parseCommunityYaml(readAll(kReferenceFile));
    EXPECT_GE(parsed.catalogue.size(), 150u);
    DecodedMessage m;
    const std::vector<uint8_t> source{0x01, 0x64, 0x08, 0x01, 0xD4, 0xC4, 0x35, 0x77};
    ASSERT_TRUE(decodeMessage(parsed.catalogue, 0x1FFFD, 0x42, source, m));
    ASSERT_GE(m.fields.size(), 4u);
    EXPECT_DOUBLE_EQ(m.fields[2].value, 13.2);
    EXPECT_DOUBLE_EQ(m.fields[3].value, 12.5);
    // Bit-field value names are binary there: mode 0010 is heat.
    const std::vector<uint8_t> thermostat{0x02, 0x02, 0xC8, 0xE0, 0x24, 0x60, 0x25, 0xFF};
    ASSERT_TRUE(decodeMessage(parsed.catalogue, 0x1FFE2, 0x58, thermostat, m));
    EXPECT_EQ(m.fields[1].text, "heat");
    // Its repeated name: 0x0118 x 0.05 = 14 V and 0x00F0 x 0.05 = 12 V, both kept.
    const std::vector<uint8_t> limits{0x01, 0x18, 0x01, 0xFF, 0xFF, 0xF0, 0x00, 0xFF};
    ASSERT_TRUE(decodeMessage(parsed.catalogue, 0x1FFD1, 0x42, limits, m));
    const auto fields = toJson(m, 0)["fields"];
    EXPECT_EQ(fields["dc_source_shutdown_voltage_maximum"], 14.0);
    EXPECT_EQ(fields["dc_source_shutdown_voltage_maximum_2"], 12.0);
}

}  // namespace
}  // namespace corvane::decode
