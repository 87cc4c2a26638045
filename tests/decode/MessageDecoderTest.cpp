#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decode/BuiltinCatalogue.h"
#include "decode/MessageDecoder.h"
#include "decode/MessageFormat.h"

namespace corvane::decode {
namespace {

using Json = nlohmann::ordered_json;

// One message with its meaning worked out by hand from the RV-C layout. `fields` lists the
// fields checked, as the JSON output gives them.
struct Case {
    const char* what;
    uint32_t dgn;
    uint8_t sa;
    std::vector<uint8_t> data;
    Json name;
    Json instance;
    Json fields;
};

std::vector<uint8_t> textBytes(const std::string& s) { return {s.begin(), s.end()}; }

const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        // 0x0108 x 0.05 = 13.2 V; 0x7735C4D4 = 2,000,012,500 mA -> +12.5 A.
        {"DC source charging",
         0x1FFFD,
         0x42,
         {0x01, 0x64, 0x08, 0x01, 0xD4, 0xC4, 0x35, 0x77},
         "DC_SOURCE_STATUS_1",
         1,
         {{"instance", "house battery"},
          {"device_priority", "inverter-charger"},
          {"dc_voltage", 13.2},
          {"dc_current", 12.5}}},
        // 0x00F0 x 0.05 = 12 V; 0x7735874E = 1,999,996,750 mA -> -3.25 A. Any source.
        {"DC source discharging",
         0x1FFFD,
         0x99,
         {0x02, 0x78, 0xF0, 0x00, 0x4E, 0x87, 0x35, 0x77},
         "DC_SOURCE_STATUS_1",
         2,
         {{"instance", "chassis battery"},
          {"device_priority", "battery monitor"},
          {"dc_voltage", 12.0},
          {"dc_current", -3.25}}},
        {"error and not available",
         0x1FFFD,
         0x42,
         {0x01, 0x64, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "DC_SOURCE_STATUS_1",
         1,
         {{"dc_voltage", "error"}, {"dc_current", nullptr}}},
        {"bytes the frame does not hold",
         0x1FFFD,
         0x42,
         {0x01, 0x64, 0x08, 0x01},
         "DC_SOURCE_STATUS_1",
         1,
         {{"dc_voltage", 13.2}, {"dc_current", nullptr}}},
        {"tank",
         0x1FFB7,
         0x48,
         {0x02, 0x0A, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "TANK_STATUS",
         2,
         {{"instance", "grey water"},
          {"relative_level", 10},
          {"resolution", 16},
          {"absolute_level", nullptr}}},
        // 0x24E0 x 0.03125 - 273 = 22 C; 0x2560 -> 26 C; 0xC8 / 2 = 100 %.
        {"thermostat",
         0x1FFE2,
         0x58,
         {0x02, 0x12, 0xC8, 0xE0, 0x24, 0x60, 0x25, 0xFF},
         "THERMOSTAT_STATUS_1",
         2,
         {{"operating_mode", "heat"},
          {"fan_mode", "on"},
          {"schedule_mode", "disabled"},
          {"fan_speed", 100.0},
          {"heat_setpoint", 22.0},
          {"cool_setpoint", 26.0}}},
        {"inverter",
         0x1FFD4,
         0x42,
         {0x01, 0x01, 0x05, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "INVERTER_STATUS",
         1,
         {{"status", "inverting"}, {"battery_sensor", "present"}, {"load_sense", "enabled"}}},
        // Instance 1, line 1, output; 2400 x 0.05 = 120 V; 32170 x 0.05 - 1600 = 8.5 A;
        // 7680 / 128 = 60 Hz.
        {"inverter AC output",
         0x1FFD7,
         0x42,
         {0x41, 0x60, 0x09, 0xAA, 0x7D, 0x00, 0x1E, 0x00},
         "INVERTER_AC_STATUS_1",
         1,
         {{"line", "line 1"},
          {"direction", "output"},
          {"rms_voltage", 120.0},
          {"rms_current", 8.5},
          {"frequency", 60.0},
          {"open_ground", "ok"}}},
        {"dimmer",
         0x1FEDA,
         0x65,
         {0x05, 0xFF, 0x64, 0x00, 0xFF, 0x05, 0x04, 0xFF},
         "DC_DIMMER_STATUS_3",
         5,
         {{"group", nullptr},
          {"brightness", 50.0},
          {"lock", "unlocked"},
          {"enable", "enabled"},
          {"delay_duration", nullptr},
          {"last_command", "toggle"},
          {"interlock", "inactive"},
          {"load", "on or flashing"},
          {"undercurrent", nullptr}}},
        // SPN 4660 = 0x1234: bytes 0x02, 0x46 and 0b100 in the top of byte 4, FMI 3 below.
        {"DM_RV",
         0x1FECA,
         0x80,
         {0x15, 0x80, 0x02, 0x46, 0x83, 0x02, 0xFF, 0xF0},
         "DM_RV",
         nullptr,
         {{"operating_status", "on"},
          {"activity", "active"},
          {"yellow_lamp", "on"},
          {"red_lamp", "off"},
          {"dsa", 128},
          {"spn", 4660},
          {"fmi", 3},
          {"occurrence_count", 2},
          {"dsa_extension", nullptr},
          {"bank_select", 0}}},
        // J1939 order: SPN 110 low byte first.
        {"DM1",
         0xFECA,
         0x00,
         {0x04, 0xFF, 0x6E, 0x00, 0x04, 0x01, 0xFF, 0xFF},
         "DM1",
         nullptr,
         {{"protect_lamp", "off"}, {"amber_lamp", "on"}, {"spn", 110}, {"fmi", 4}}},
        {"product id, a long message",
         0xFEEB,
         0x42,
         textBytes("Norvale Power*NV-3000*SN42*7*"),
         "PRODUCT_ID",
         nullptr,
         {{"make", "Norvale Power"},
          {"model", "NV-3000"},
          {"serial_number", "SN42"},
          {"unit_number", "7"}}},
        // A PDU1 DGN is found by its family whatever the destination.
        {"request to 0x42",
         0xEA42,
         0xF9,
         {0xEB, 0xFE, 0x00},
         "REQUEST",
         nullptr,
         {{"requested_dgn", "FEEB"}}},
        // Identity 0x12345 and maker 165 share bytes 0-3: 0x14A12345.
        {"address claim, bits across bytes",
         0xEEFF,
         0x42,
         {0x45, 0x23, 0xA1, 0x14, 0x11, 0x80, 0x20, 0x80},
         "ADDRESS_CLAIM",
         nullptr,
         {{"identity_number", 74565},
          {"manufacturer_code", 165},
          {"ecu_instance", 1},
          {"function_instance", 2},
          {"function", 128},
          {"vehicle_system", 16},
          {"arbitrary_address_capable", "yes"}}},
        // Byte 1: 01 in bits 0-1, 00 in bits 2-3; byte 2: 1.
        {"slide extending with its seal let down",
         0x1FFE8,
         0x52,
         {0x01, 0xF1, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "SLIDE_STATUS",
         1,
         {{"air_seal", "deflated"}, {"vacuum", "off"}, {"motion", "extending"}}},
        // Byte 1: 00 in bits 0-1, 11 (not available) in bits 2-3; byte 2: 2.
        {"slide told to retract",
         0x1FFE7,
         0x44,
         {0x02, 0xFC, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "SLIDE_COMMAND",
         2,
         {{"air_seal", "inflate"}, {"vacuum", nullptr}, {"movement", "retract"}}},
        // 0x64 / 2 = 50 %; byte 4 0x7F: 01 in bits 6-7; byte 5 0xF1: 01 then 00.
        {"awning half out, held by its lock-out",
         0x1FEF3,
         0x5C,
         {0x01, 0x00, 0x64, 0xFF, 0x7F, 0xF1, 0xFF, 0xFF},
         "AWNING_STATUS",
         1,
         {{"motion", "no motion"},
          {"position", 50.0},
          {"extension_lockout", "held in"},
          {"light", "on"},
          {"secondary_light", "off"}}},
        // Byte 0 0x05: 01, 01, 00, 00; byte 1 0x10: 00, 00, 01, 00; quiet from 22:00 to 7:30.
        {"generator wanted by the start controller's own criteria",
         0x1FF80,
         0x40,
         {0x05, 0x10, 22, 0, 7, 30, 0xFF, 0xFF},
         "GENERATOR_DEMAND_STATUS",
         nullptr,
         {{"demand", "yes"},
          {"internal_demand", "yes"},
          {"network_demand", "no"},
          {"external_activity", "no"},
          {"manual_override", "inactive"},
          {"quiet_time", "inactive"},
          {"quiet_time_override", "active"},
          {"generator_lock", "unlocked"},
          {"quiet_time_begin_hour", 22},
          {"quiet_time_begin_minute", 0},
          {"quiet_time_end_hour", 7},
          {"quiet_time_end_minute", 30}}},
        // Bus text is untrusted: 0xC3 before '(' starts no UTF-8 character and reads as the
        // Latin-1 letter (C3 83 in UTF-8); the bell (07) is a control byte and becomes U+FFFD.
        {"terminal text that is not UTF-8",
         0x17EFF,
         0x42,
         {0x41, 0xC3, 0x28, 0x42, 0x07, 0x44, 0x45, 0x46},
         "TERMINAL",
         nullptr,
         {{"text",
           "A\xC3\x83(B\xEF\xBF\xBD"
           "DEF"}}},
        {"unknown DGN", 0x1FE00, 0x42, {0x01, 0x02}, nullptr, nullptr, Json::object()},
    };
    return table;
}

TEST(MessageDecoder, DecodesHandWorkedMessages) {
    DecodedMessage decoded;
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        const bool known = decodeMessage(builtinCatalogue(), c.dgn, c.sa, c.data, decoded);
        EXPECT_EQ(known, !c.name.is_null());
        const Json j = toJson(decoded, 0);
        EXPECT_EQ(j["name"], c.name);
        EXPECT_EQ(j["instance"], c.instance);
        EXPECT_EQ(j["source"], c.sa);
        for (const auto& [field, expected] : c.fields.items()) {
            ASSERT_TRUE(j["fields"].contains(field)) << field;
            EXPECT_EQ(j["fields"][field], expected) << field;
        }
        if (c.fields.empty()) {
            EXPECT_TRUE(j["fields"].empty());
        }
        EXPECT_EQ(j["data"], hexText(c.data));
        EXPECT_NO_THROW((void)j.dump());  // valid UTF-8 throughout
    }
}

TEST(MessageDecoder, PduOneMessagesShowTheirFamilyAndDestination) {
    DecodedMessage decoded;
    const std::vector<uint8_t> data{0xEB, 0xFE, 0x00};
    decodeMessage(builtinCatalogue(), 0xEA42, 0xF9, data, decoded);
    const Json j = toJson(decoded, 0);
    EXPECT_EQ(j["dgn"], "EA00");
    EXPECT_EQ(j["destination"], 0x42);
    decodeMessage(builtinCatalogue(), 0x1EF42, 0xF9, data, decoded);  // unknown PDU1 family
    EXPECT_EQ(toJson(decoded, 0)["dgn"], "1EF00");
}

TEST(MessageDecoder, TextLineShowsUnitsNamesAndReservedValues) {
    DecodedMessage decoded;
    const std::vector<uint8_t> data{0x01, 0x64, 0x08, 0x01, 0xFF, 0xFF, 0xFF, 0xFF};
    decodeMessage(builtinCatalogue(), 0x1FFFD, 0x42, data, decoded);
    EXPECT_EQ(formatTextLine(decoded, 1700000000123456),
              "1700000000.123456 42 1FFFD DC_SOURCE_STATUS_1 instance=\"house battery\" "
              "device_priority=inverter-charger dc_voltage=13.2V dc_current=n/a");
    const std::vector<uint8_t> unknown{0xAB, 0x01};
    decodeMessage(builtinCatalogue(), 0x1FE00, 0x07, unknown, decoded);
    EXPECT_EQ(formatTextLine(decoded, 5000001), "5.000001 07 1FE00 unknown data=AB01");
}

// Bytes no field reads are shown, each byte a field reads as "..", unless they hold only ones.
TEST(MessageDecoder, TextLineShowsTheBytesNoFieldReads) {
    struct Row {
        const char* what;
        uint32_t dgn;
        std::vector<uint8_t> data;
        const char* shown;  // after " data=", null for nothing shown
    };
    const Row rows[] = {
        {"slide, bytes 3-7 unread",
         0x1FFE8,
         {1, 0xF1, 1, 0xFF, 0xFF, 0x21, 0xFF, 0xFF},
         "......FFFF21FFFF"},
        {"the same slide, one unread byte changed",
         0x1FFE8,
         {1, 0xF1, 1, 0xFF, 0xFF, 0x22, 0xFF, 0xFF},
         "......FFFF22FFFF"},
        {"unread bytes all ones", 0x1FFE8, {1, 0xF1, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, nullptr},
        {"a byte read in part counts as read",
         0x1FEF3,
         {1, 0, 0x64, 0xFF, 0x00, 0xF1, 0xFF, 0xFF},
         nullptr},
        {"a message longer than its fields",
         0x1FFDA,
         {1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00},
         "..FFFFFFFFFFFF00"},
        {"text to the end reads everything", 0x17E00, {0x41, 0x00, 0x42}, nullptr},
        {"unknown: every byte", 0x1FE00, {0xAB, 0x01}, "AB01"},
    };
    DecodedMessage decoded;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        decodeMessage(builtinCatalogue(), r.dgn, 0x52, r.data, decoded);
        const std::string line = formatTextLine(decoded, 0);
        const size_t at = line.find(" data=");
        if (r.shown == nullptr) {
            EXPECT_EQ(at, std::string::npos) << line;
        } else {
            ASSERT_NE(at, std::string::npos) << line;
            EXPECT_EQ(line.substr(at + 6), r.shown);
        }
    }
}

TEST(MessageDecoder, TimestampKeepsItsMicroseconds) {
    DecodedMessage decoded;
    decodeMessage(builtinCatalogue(), 0x1FE00, 0x07, std::vector<uint8_t>{}, decoded);
    EXPECT_EQ(toJson(decoded, 1700000000123456).dump().substr(0, 31),
              "{\"timestamp\":1700000000.123456,");
}

TEST(MessageDecoder, ReusedRecordKeepsItsFieldStorage) {
    DecodedMessage decoded;
    const std::vector<uint8_t> data{0x02, 0x12, 0xC8, 0xE0, 0x24, 0x60, 0x25, 0xFF};
    decodeMessage(builtinCatalogue(), 0x1FFE2, 0x58, data, decoded);
    const DecodedField* storage = decoded.fields.data();
    decodeMessage(builtinCatalogue(), 0x1FFFD, 0x42, data, decoded);
    decodeMessage(builtinCatalogue(), 0x1FFE2, 0x58, data, decoded);
    EXPECT_EQ(decoded.fields.data(), storage);
}

}  // namespace
}  // namespace corvane::decode
