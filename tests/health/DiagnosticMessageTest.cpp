#include "health/DiagnosticMessage.h"

#include <gtest/gtest.h>

#include <vector>

#include "health/FaultText.h"

namespace corvane::health {
namespace {

using Bytes = std::vector<uint8_t>;

struct DmRvCase {
    Bytes data;
    LampState red, yellow, operating;
    uint8_t dsa;
    bool hasCode;
    uint32_t spn;
    uint8_t fmi, occurrences, dsaExtension, bank;
};

// SPNs worked out by hand: byte 2 is bits 18-11, byte 3 bits 10-3, byte 4 bits 7-5 bits 2-0.
//   SPN 168 = 0b000_0000_0001_0101_000 -> 00 15, low bits 000; FMI 1 -> byte 4 = 0x01
//   SPN 0x7F000 (520192) -> FE 00, low 000; FMI 31 -> 0x1F
//   SPN 0x5AB6D (371565) = 1011010_10110110_1101 -> 10110101 = B5, 01101101 = 6D, low 101
//   -> byte 4 = 101 00110 = 0xA6 for FMI 6
TEST(DmRvDecode, FieldsWorkedOutByHand) {
    const std::vector<DmRvCase> cases = {
        {{0x15, 0x42, 0x00, 0x15, 0x01, 0x03, 0xFF, 0xFF},
         LampState::Off,
         LampState::On,
         LampState::On,
         66,
         true,
         168,
         1,
         3,
         0xFF,
         0x0F},
        {{0x45, 0x58, 0xFE, 0x00, 0x1F, 0x7F, 0x02, 0xF3},
         LampState::On,
         LampState::Off,
         LampState::On,
         88,
         true,
         0x7F000,
         31,
         127,
         0x02,
         0x03},
        {{0xC4, 0x65, 0xB5, 0x6D, 0xA6, 0x85, 0xFF, 0xFF},
         LampState::NotAvailable,
         LampState::Off,
         LampState::Off,
         101,
         true,
         0x5AB6D,
         6,
         5,
         0xFF,
         0x0F},
        {{0x05, 0x42, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         LampState::Off,
         LampState::Off,
         LampState::On,
         66,
         false,
         0,
         0,
         0,
         0xFF,
         0x0F},
        // A short frame: the missing fault bytes are not available, so no fault.
        {{0x85, 0x8E},
         LampState::Error,
         LampState::Off,
         LampState::On,
         142,
         false,
         0,
         0,
         0,
         0xFF,
         0x0F},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.data));
        const auto r = decodeDmRv(c.data);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->redLamp, c.red);
        EXPECT_EQ(r->yellowLamp, c.yellow);
        EXPECT_EQ(r->operatingStatus, c.operating);
        EXPECT_EQ(r->dsa, c.dsa);
        EXPECT_EQ(r->dsaExtension, c.dsaExtension);
        EXPECT_EQ(r->bankSelect, c.bank);
        ASSERT_EQ(r->code.has_value(), c.hasCode);
        if (!c.hasCode) continue;
        EXPECT_EQ(r->code->spn, c.spn);
        EXPECT_EQ(r->code->fmi, c.fmi);
        EXPECT_EQ(r->code->occurrences, c.occurrences);
    }
    EXPECT_FALSE(decodeDmRv(Bytes{0x05}));
}

// DM1 codes run low byte first: SPN 110 = 6E 00, FMI 3 in the low five bits of the third byte.
//   SPN 0x5AB6D: 6D AB, top bits 101 -> third byte 101 00100 = 0xA4 for FMI 4
TEST(Dm1Decode, SingleFrameAndLongListWorkedOutByHand) {
    const auto single = decodeDm1(Bytes{0x04, 0xFF, 0x6E, 0x00, 0x03, 0x05, 0xFF, 0xFF});
    ASSERT_TRUE(single);
    EXPECT_EQ(single->amberLamp, LampState::On);
    EXPECT_EQ(single->redLamp, LampState::Off);
    EXPECT_EQ(single->protectLamp, LampState::Off);
    ASSERT_EQ(single->codes.size(), 1u);
    EXPECT_EQ(single->codes[0].spn, 110u);
    EXPECT_EQ(single->codes[0].fmi, 3);
    EXPECT_EQ(single->codes[0].occurrences, 5);

    // 0xD0 = 11 01 00 00: malfunction lamp n/a, red on. Three codes, the last with the
    // conversion flag set in its count byte, then two stray bytes that make no code.
    const auto list = decodeDm1(Bytes{0xD0, 0xFF, 0x6E, 0x00, 0x03, 0x05, 0x6D, 0xAB, 0xA4, 0x01,
                                      0xA8, 0x00, 0x01, 0x82, 0x00, 0x00});
    ASSERT_TRUE(list);
    EXPECT_EQ(list->redLamp, LampState::On);
    EXPECT_EQ(list->malfunctionLamp, LampState::NotAvailable);
    ASSERT_EQ(list->codes.size(), 3u);
    EXPECT_EQ(list->codes[1].spn, 0x5AB6Du);
    EXPECT_EQ(list->codes[1].fmi, 4);
    EXPECT_EQ(list->codes[1].occurrences, 1);
    EXPECT_EQ(list->codes[2].spn, 168u);
    EXPECT_EQ(list->codes[2].fmi, 1);
    EXPECT_EQ(list->codes[2].occurrences, 2);
    EXPECT_FALSE(list->codes[1].olderSpnLayout);
    EXPECT_TRUE(list->codes[2].olderSpnLayout);  // 0x82: count 2, conversion method 1

    const auto none = decodeDm1(Bytes{0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF});
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->codes.empty());
    EXPECT_FALSE(decodeDm1(Bytes{0x00}));
}

TEST(FaultText, NamedAndUnnamedCodesInWords) {
    EXPECT_EQ(describeCode({168, 1, 3}),
              "SPN 168 (battery potential) - FMI 1: Data valid but below normal operational "
              "range - most severe level - counted 3 times by the device");
    EXPECT_EQ(describeCode({4711, 6, 127}),
              "SPN 4711 - FMI 6: Current above normal or grounded circuit");
    EXPECT_EQ(describeCode({110, 31, 1}),
              "SPN 110 (engine coolant temperature) - FMI 31: Condition exists - counted 1 "
              "time by the device");
    EXPECT_EQ(failureModeText(25), "Reserved failure mode");
    EXPECT_EQ(lampText(LampState::Error), "error");
    // The same bits in an older layout are not named after what they would mean today.
    TroubleCode older{168, 1, 2};
    older.olderSpnLayout = true;
    EXPECT_EQ(describeCode(older),
              "SPN 168 (older SPN layout) - FMI 1: Data valid but below normal operational range "
              "- most severe level - counted 2 times by the device");
}

// Hand-picked from the J1939 parameter list; 2000 + an address names the device there.
TEST(FaultText, ParametersAnRvsEquipmentReports) {
    const std::pair<uint32_t, std::string> cases[] = {
        {100, "engine oil pressure"},
        {177, "transmission oil temperature"},
        {3511, "sensor supply voltage 3"},
        {2066, "device at address 42"},
        {2000, "device at address 00"},
        {2254, ""},
        {0, ""},
        {524287, ""},
    };
    for (const auto& [spn, name] : cases) EXPECT_EQ(parameterName(spn), name) << spn;
}

}  // namespace
}  // namespace corvane::health
