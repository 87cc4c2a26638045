#include <gtest/gtest.h>

#include "core/DiagnosticStatus.h"
#include "core/Vocabulary.h"

namespace corvane {
namespace {

TEST(Vocabulary, NamesAndAbbreviationsAtTheBoundaries) {
    struct Case {
        uint8_t dsa;
        const char* name;
        const char* abbreviation;
    };
    const Case cases[] = {
        {0, "Engine", "  0"},
        {1, "Unknown Device Type", "  1"},
        {5, "Shift Console", "  5"},
        {33, "Chassis Data Collector", " 33"},
        {51, "Tire Monitor", " 51"},
        {63, "Unknown Device Type", " 63"},
        {64, "Generator", "GEN"},
        {66, "Inverter", "INV"},
        {71, "Battery", "CBT"},
        {75, "Converter", "CON"},
        {82, "Hydraulic Leveling System", "LVL"},
        {93, "Aux Thermostat", "THM"},
        {101, "Water Heater", "WHT"},
        {103, "Air Conditioner", "AC "},
        {106, "Air Conditioner", "AC "},
        {107, "Refrigerator", "REF"},
        {133, "Tire Monitor", "TPM"},
        {137, "AC Load", "ACL"},
        {148, "Generic Plumbing Valve", "VLV"},
        {149, "Unknown Device Type", "BKR"},
        {150, "Unknown Device Type", "150"},
        {248, "Unknown Device Type", "248"},
        {249, "Service Tool", "249"},
        {253, "Network Bridge", "253"},
        {254, "Unknown Device Type", "254"},
        {255, "Unknown Device Type", "255"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceTypeName(c.dsa), c.name) << int(c.dsa);
        EXPECT_EQ(DeviceTypeAbbreviation(c.dsa), c.abbreviation) << int(c.dsa);
    }
}

TEST(Vocabulary, EveryAbbreviationIsThreeCharacters) {
    for (int dsa = 0; dsa < 256; ++dsa) {
        EXPECT_EQ(DeviceTypeAbbreviation(static_cast<uint8_t>(dsa)).size(), 3u) << dsa;
        EXPECT_FALSE(DeviceTypeName(static_cast<uint8_t>(dsa)).empty()) << dsa;
    }
}

TEST(DiagnosticStatus, LampsAndStates) {
    struct Case {
        uint8_t status;
        const char* onOff;
        const char* activity;
        bool red;
        bool yellow;
    };
    const Case cases[] = {
        {0x45, "On", "Active", true, false},   // red lamp on
        {0x95, "On", "Active", false, true},   // red lamp in error does not count as red
        {0xF5, "On", "Active", false, false},  // the tool's own status
        {0x55, "On", "Active", true, false},   // both lamps on: red wins
        {0x00, "Off", "Inactive", false, false},
        {0x0A, "Off", "Inactive", false, false},  // error codes are not "on"
        {0x04, "Off", "Active", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(onOffText(c.status), c.onOff) << std::hex << int(c.status);
        EXPECT_STREQ(activityText(c.status), c.activity) << std::hex << int(c.status);
        EXPECT_EQ(redLampOn(c.status), c.red) << std::hex << int(c.status);
        EXPECT_EQ(yellowLampOn(c.status), c.yellow) << std::hex << int(c.status);
    }
}

}  // namespace
}  // namespace corvane
