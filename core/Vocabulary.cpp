#include "core/Vocabulary.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace corvane {

namespace {

constexpr std::string_view kUnknown = "Unknown Device Type";

struct NameRange {
    uint8_t first;
    uint8_t last;
    std::string_view name;
};

constexpr NameRange kNames[] = {
    {0, 0, "Engine"},
    {2, 2, "Turbocharger"},
    {3, 3, "Transmission"},
    {5, 5, "Shift Console"},
    {33, 33, "Chassis Data Collector"},
    {51, 51, "Tire Monitor"},
    {64, 64, "Generator"},
    {65, 65, "Genstart Controller"},
    {66, 66, "Inverter"},
    {67, 67, "Inverter #2"},
    {68, 68, "Control Panel"},
    {69, 69, "Battery SOC"},
    {70, 71, "Battery"},
    {72, 72, "Water/Waste Tank System"},
    {73, 73, "LPG Tank System"},
    {74, 75, "Converter"},
    {76, 76, "Charge Controller"},
    {77, 77, "AC Load Monitor / Controller"},
    {78, 78, "AC Fault Protection System"},
    {79, 79, "Transfer Switch"},
    {80, 80, "Weather Station"},
    {81, 81, "Hydraulic System Controller"},
    {82, 82, "Hydraulic Leveling System"},
    {83, 83, "Air Leveling System"},
    {84, 84, "Slide Room #1"},
    {85, 85, "Slide Room #2"},
    {86, 86, "Slide Room #3"},
    {87, 87, "Slide Room #4"},
    {88, 88, "Main Thermostat"},
    {89, 89, "Bedroom Thermostat"},
    {90, 93, "Aux Thermostat"},
    {94, 94, "Furnace (Conventional)"},
    {95, 96, "Aux. Furnace"},
    {97, 99, "Aux. Heat"},
    {100, 100, "Furnace (Hydronic)"},
    {101, 102, "Water Heater"},
    {103, 106, "Air Conditioner"},
    {107, 107, "Refrigerator"},
    {108, 108, "Aux. Refer / Wine Cooler"},
    {109, 109, "Aux. Freezer"},
    {110, 110, "Ice Maker"},
    {111, 111, "Stove"},
    {112, 114, "Audio Entertainment"},
    {115, 117, "Video Entertainment"},
    {118, 119, "TV Lift"},
    {120, 125, "Gas Detector"},
    {126, 126, "Active Air Suspension"},
    {127, 127, "Water Pump"},
    {128, 128, "AutoFill"},
    {129, 129, "Waste Dump"},
    {130, 130, "Awning"},
    {131, 131, "DC Load Control"},
    {132, 132, "DC Input / Keypad"},
    {133, 133, "Tire Monitor"},
    {134, 134, "Window Shade Control"},
    {135, 135, "Door / Window Control"},
    {136, 136, "GPS"},
    {137, 137, "AC Load"},
    {138, 138, "DC Motor"},
    {139, 139, "DC Disconnect"},
    {140, 140, "AC Source"},
    {141, 141, "Solar Controller"},
    {142, 142, "Roof Fan"},
    {143, 143, "External Interface"},
    {144, 144, "Generic Alarm"},
    {145, 145, "Window Control"},
    {146, 146, "DC Load"},
    {147, 147, "Step Control"},
    {148, 148, "Generic Plumbing Valve"},
    {249, 249, "Service Tool"},
    {250, 250, "System Clock"},
    {251, 251, "Data Logger"},
    {252, 252, "Chassis Bridge"},
    {253, 253, "Network Bridge"},
};

// Four-character slots for DSAs 64-149: three characters and a "." separator. DSAs 150 and
// up are written as their number.
constexpr std::string_view kLetterCodes =
    "GEN.AGS.INV.INV.CON.SOC.BAT.CBT.TNK.LPG.CON.CON.CHG.ACL.ACF.ATS."  // 64-79
    "WEA.LVL.LVL.ALV.SLD.SLD.SLD.SLD.THM.THM.THM.THM.THM.THM.FUR.FUR."  // 80-95
    "FUR.AHT.AHT.AHT.HYD.WHT.WHT.AC .AC .AC .AC .REF.ARF.AFZ.ICE.STO."  // 96-111
    "AUD.AUD.AUD.VID.VID.VID.TVL.TVL.GAS.GAS.GAS.GAS.GAS.GAS.AAS.PMP."  // 112-127
    "FIL.DMP.AWN.DIM.KPD.TPM.SHD.LCK.GPS.ACL.MTR.DSC.ACS.SOL.FAN.EXT."  // 128-143
    "ALM.WDW.DCL.STP.VLV.BKR.";                                         // 144-149
static_assert(kLetterCodes.size() == size_t{150 - 64} * 4);

}  // namespace

std::string DeviceTypeName(uint8_t dsa) {
    for (const auto& range : kNames) {
        if (dsa >= range.first && dsa <= range.last) return std::string(range.name);
    }
    return std::string(kUnknown);
}

std::string DeviceTypeAbbreviation(uint8_t dsa) {
    if (dsa >= 64 && dsa < 150)
        return std::string(kLetterCodes.substr(static_cast<size_t>(dsa - 64) * 4, 3));
    char text[4];
    std::snprintf(text, sizeof text, "%3d", dsa);
    return text;
}

}  // namespace corvane
