#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "decode/BuiltinCatalogue.h"
#include "decode/CatalogueText.h"
#include "decode/MessageDecoder.h"

namespace corvane::decode {
namespace {

TEST(CatalogueText, FieldPositions) {
    struct Row {
        const char* text;
        bool ok;
        uint16_t firstByte, byteCount;
        uint8_t firstBit, bitCount;
    };
    const Row rows[] = {
        {"0", true, 0, 1, 0, 0},
        {"2-3", true, 2, 2, 0, 0},
        {"1.2-3", true, 1, 1, 2, 2},
        {"7.7", true, 7, 1, 7, 1},
        {"0-", true, 0, 0, 0, 0},
        {"0-3.21-31", true, 0, 4, 21, 11},
        {"", false, 0, 0, 0, 0},
        {"3-2", false, 0, 0, 0, 0},
        {"1.8", false, 0, 0, 0, 0},
        {"1.3-2", false, 0, 0, 0, 0},
        {"0-.1", false, 0, 0, 0, 0},
        {"0-4.0-1", false, 0, 0, 0, 0},
        {"x", false, 0, 0, 0, 0},
        {"1.0-8", false, 0, 0, 0, 0},
        // The longest message is 1785 bytes.
        {"1784", true, 1784, 1, 0, 0},
        {"1785", false, 0, 0, 0, 0},
        {"0-1785", false, 0, 0, 0, 0},
        {"0-65535", false, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        FieldSpec spec;
        ASSERT_EQ(parseFieldPosition(r.text, spec), r.ok);
        if (!r.ok) continue;
        EXPECT_EQ(spec.firstByte, r.firstByte);
        EXPECT_EQ(spec.byteCount, r.byteCount);
        EXPECT_EQ(spec.firstBit, r.firstBit);
        EXPECT_EQ(spec.bitCount, r.bitCount);
    }
}

constexpr const char* kSample = R"(# a test catalogue
names onoff 0:off|1:on
1FF10 PUMP_STATUS
  0     instance
  1.0-1 power @onoff
  2     flow x0.1 o-5 L/min
  3-4   pressure V   # a unit with a standard conversion
  5     mode = 0:idle|2:priming fast
  6-    tail
1FF11 PUMP_COMMAND like 1FF10
1FF12
  9x nonsense
1FF13 BROKEN like 1ABCD
)";

TEST(CatalogueText, ReadsMessagesSharedNamesAndConversions) {
    const CatalogueParse parsed = parseCatalogueText(kSample);
    const MessageSpec* pump = parsed.catalogue.find(0x1FF10);
    ASSERT_NE(pump, nullptr);
    EXPECT_EQ(pump->name, "PUMP_STATUS");
    EXPECT_EQ(pump->instanceField, 0);
    ASSERT_EQ(pump->fields.size(), 6u);
    EXPECT_EQ(pump->fields[5].kind, FieldKind::Hex);  // no number runs to the end
    EXPECT_EQ(pump->fields[1].valueName(1), "on");
    EXPECT_EQ(pump->fields[2].scale, 0.1);
    EXPECT_EQ(pump->fields[2].offset, -5);
    EXPECT_EQ(pump->fields[2].unit, "L/min");
    EXPECT_EQ(pump->fields[3].scale, 0.05);
    EXPECT_EQ(pump->fields[4].valueName(2), "priming fast");

    DecodedMessage m;
    const std::vector<uint8_t> data{3, 0xFD, 75, 0x08, 0x01, 2, 0xAB};
    decodeMessage(parsed.catalogue, 0x1FF11, 1, data, m);  // the copied layout
    EXPECT_EQ(m.spec->name, "PUMP_COMMAND");
    EXPECT_EQ(m.instance, 3);
    EXPECT_EQ(m.fields[1].text, "on");
    EXPECT_DOUBLE_EQ(m.fields[2].value, 2.5);  // 75 x 0.1 - 5
    EXPECT_DOUBLE_EQ(m.fields[3].value, 13.2);
    EXPECT_EQ(m.fields[4].text, "priming fast");
    EXPECT_EQ(m.fields[5].text, "\xAB");
}

TEST(CatalogueText, ValuesAreRoundedToTheScaleAndNeverReadMinusZero) {
    const Catalogue catalogue = parseCatalogueText("1FF30 T\n  0 v x0.001 o-0.0004\n").catalogue;
    DecodedMessage m;
    const std::vector<uint8_t> zero{0x00}, one{0x01};
    decodeMessage(catalogue, 0x1FF30, 1, zero, m);
    EXPECT_EQ(m.fields[0].value, 0.0);
    EXPECT_FALSE(std::signbit(m.fields[0].value));
    decodeMessage(catalogue, 0x1FF30, 1, one, m);
    EXPECT_EQ(m.fields[0].value, 0.001);  // 0.0006 to the scale's three decimals
}

TEST(CatalogueText, ReportsBadLinesByNumberAndKeepsTheRest) {
    const CatalogueParse parsed = parseCatalogueText(kSample);
    ASSERT_EQ(parsed.errors.size(), 3u);
    EXPECT_EQ(parsed.errors[0], "line 11: expected a DGN and a name");
    EXPECT_EQ(parsed.errors[1], "line 12: a field outside a message");
    EXPECT_EQ(parsed.errors[2], "line 13: \"like\" names no earlier message");
    EXPECT_EQ(parsed.catalogue.size(), 3u);  // the broken message is kept, without fields
}

// Files made to take the memory or the time of the start-up are read only so far: a message
// of too many fields, copies of copies, too many messages.
TEST(CatalogueText, AFileIsReadWithinItsLimits) {
    std::string fields;
    for (size_t i = 0; i < MessageSpec::kMaxFields; ++i)
        fields += "  0 a" + std::to_string(i) + "\n";
    const std::string manyFields = "1FF10 WIDE\n" + fields + "  0 one_more\n";
    std::string copies = "1FF10 WIDE\n" + fields;
    for (uint32_t dgn = 0x10000; dgn < 0x10000 + 2000; ++dgn) {
        char line[40];
        std::snprintf(line, sizeof line, "%X COPY like 1FF10\n", dgn);
        copies += line;
    }
    std::string manyMessages;
    for (uint32_t dgn = 0x10000; dgn < 0x10000 + 5000; ++dgn) {
        char line[40];
        std::snprintf(line, sizeof line, "%X M\n", dgn);
        manyMessages += line;
    }
    const struct {
        const char* name;
        const std::string& text;
        size_t messages;
    } cases[] = {
        {"many fields", manyFields, 1},
        {"copies", copies, kMaxEntriesPerFile / MessageSpec::kMaxFields},
        {"many messages", manyMessages, kMaxMessagesPerFile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CatalogueParse parsed = parseCatalogueText(c.text);
        ASSERT_EQ(parsed.errors.size(), 1u);
        EXPECT_EQ(parsed.catalogue.size(), c.messages);
        EXPECT_LE(parsed.catalogue.size(), kMaxMessagesPerFile);
        for (const MessageSpec& m : parsed.catalogue.messages())
            EXPECT_LE(m.fields.size(), MessageSpec::kMaxFields);
    }
}

TEST(Catalogue, LaterEntriesReplaceAndPduOneFamiliesMatch) {
    Catalogue catalogue = parseCatalogueText("1FF00 OLD\n17F00 RESET\n").catalogue;
    catalogue.merge(parseCatalogueText("1FF00 NEW\n1FF01 OTHER\n").catalogue);
    EXPECT_EQ(catalogue.size(), 3u);
    EXPECT_EQ(catalogue.find(0x1FF00)->name, "NEW");
    EXPECT_EQ(catalogue.find(0x17F42)->name, "RESET");
    EXPECT_EQ(catalogue.find(0x1FF42), nullptr);  // PDU2: the low byte is part of the DGN
}

TEST(BuiltinCatalogue, ParsesCleanlyAndCoversTheCoach) {
    const CatalogueParse parsed = parseCatalogueText(builtinCatalogueText());
    EXPECT_TRUE(parsed.errors.empty()) << parsed.errors.front();
    EXPECT_GE(parsed.catalogue.size(), 150u);
    for (const MessageSpec& m : builtinCatalogue().messages()) {
        SCOPED_TRACE(m.name);
        std::set<std::string> names;
        for (const FieldSpec& f : m.fields) {
            EXPECT_TRUE(names.insert(f.name).second) << "two fields named " << f.name;
            // Fixed fields fit a frame; only text and raw fields run to the end.
            if (f.byteCount != 0) {
                EXPECT_LE(f.firstByte + f.byteCount, 8) << f.name;
            }
            if (f.bitCount != 0) {
                EXPECT_LE(f.firstBit + f.bitCount, f.byteCount * 8) << f.name;
            }
        }
    }
}

}  // namespace
}  // namespace corvane::decode
