#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapters/VexorLineParser.h"

namespace corvane {
namespace {

using Kind = VexorLine::Kind;

TEST(VexorLineParser, ReceivedFrames) {
    struct Case {
        std::string line;
        uint8_t priority;
        uint32_t dgn;
        uint8_t sa;
        uint8_t reserved;
        std::vector<uint8_t> data;
        uint32_t timestamp;
    };
    const Case cases[] = {
        {"R18FEEB4201020304", 6, 0xFEEB, 0x42, 0, {1, 2, 3, 4}, 0},
        {"R18FEEB42AABB,12345", 6, 0xFEEB, 0x42, 0, {0xAA, 0xBB}, 12345},
        // Lower-case digits mean the same identifier and data as upper-case ones.
        {"R18feeb42aabb,7", 6, 0xFEEB, 0x42, 0, {0xAA, 0xBB}, 7},
        {"R1FFFFFFF", 7, 0x1FFFF, 0xFF, 1, {}, 0},
        {"R0DFFD442,99", 3, 0x1FFD4, 0x42, 0, {}, 99},
        // At most 8 bytes; the rest up to the comma is skipped, the timestamp still read.
        {"R18FEEB420102030405060708090A,5", 6, 0xFEEB, 0x42, 0, {1, 2, 3, 4, 5, 6, 7, 8}, 5},
        // A lone trailing digit is not a byte.
        {"R18FEEB42010", 6, 0xFEEB, 0x42, 0, {1}, 0},
        // Comma without digits, digits followed by junk, a second comma.
        {"R18FEEB4201,", 6, 0xFEEB, 0x42, 0, {1}, 0},
        {"R18FEEB4201,42ms", 6, 0xFEEB, 0x42, 0, {1}, 42},
        {"R18FEEB4201,3,4", 6, 0xFEEB, 0x42, 0, {1}, 3},
        // The adapter's 32-bit timestamp wraps.
        {"R18FEEB42,4294967297", 6, 0xFEEB, 0x42, 0, {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        VexorLine got = parseVexorLine(c.line);
        ASSERT_EQ(got.kind, Kind::Frame);
        const RvcFrame& f = got.frame;
        EXPECT_EQ(f.kind, RvcFrame::kKind);
        EXPECT_EQ(f.priority, c.priority);
        EXPECT_EQ(+f.dgn, +c.dgn);
        EXPECT_EQ(f.sa, c.sa);
        EXPECT_EQ(f.reserved, c.reserved);
        EXPECT_EQ(+f.timestamp, +c.timestamp);
        ASSERT_EQ(+f.length, c.data.size());
        for (size_t i = 0; i < c.data.size(); ++i) EXPECT_EQ(f.data[i], c.data[i]);
    }
}

TEST(VexorLineParser, OtherLines) {
    struct Case {
        std::string line;
        Kind kind;
        int32_t value;  // credits or rate setting
    };
    const Case cases[] = {
        {"b=0", Kind::Credits, 0},
        {"b=3", Kind::Credits, 3},
        {"b=64 free", Kind::Credits, 64},
        {"b=99999999999999", Kind::Credits, 1'000'000},
        {"b=", Kind::Ignored, 0},
        {"b=x", Kind::Ignored, 0},
        {"b-3", Kind::Ignored, 0},
        {"c=250K", Kind::DataRate, 2},
        {"c=500K", Kind::DataRate, 1},
        {"c=250K ", Kind::Ignored, 0},
        {"c=250k", Kind::Ignored, 0},
        {"c=125K", Kind::Ignored, 0},
        {"R18FEEB4", Kind::Ignored, 0},      // 8 characters: too short
        {"R18FEEB4G01", Kind::Ignored, 0},   // not hex in the identifier
        {"R18FEEB42 01", Kind::Ignored, 0},  // not hex in the data
        {"R18FEEB420Z", Kind::Ignored, 0},
        {"TDE Vexor CAN", Kind::Ignored, 0},    // banners matter only during discovery
        {"T18EAFFF900EE00", Kind::Ignored, 0},  // our own transmit form
        {"", Kind::Ignored, 0},
        {"x", Kind::Ignored, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        VexorLine got = parseVexorLine(c.line);
        EXPECT_EQ(got.kind, c.kind);
        int32_t value = c.kind == Kind::Credits    ? got.credits
                        : c.kind == Kind::DataRate ? got.rateSetting
                                                   : 0;
        EXPECT_EQ(value, c.value);
    }
}

TEST(VexorLineParser, NeverReadsPastTheLine) {
    // The line is a view into a longer buffer: characters beyond it must not count.
    const std::string buffer = "R18FEEB4201020304,777";
    EXPECT_EQ(parseVexorLine(std::string_view(buffer).substr(0, 8)).kind, Kind::Ignored);
    VexorLine cut = parseVexorLine(std::string_view(buffer).substr(0, 12));
    ASSERT_EQ(cut.kind, Kind::Frame);
    EXPECT_EQ(+cut.frame.length, 1);
    EXPECT_EQ(+cut.frame.timestamp, 0u);
    EXPECT_EQ(parseVexorLine(std::string_view(buffer).substr(0, 2)).kind, Kind::Ignored);

    // Every prefix of a long line parses without complaint (run under ASan in CI).
    std::string longLine = "R18FEEB42" + std::string(200, 'A') + ",123";
    for (size_t n = 0; n <= longLine.size(); ++n)
        parseVexorLine(std::string_view(longLine).substr(0, n));
}

TEST(VexorLineParser, Banner) {
    EXPECT_TRUE(isVexorBanner("TDE Vexor 2"));
    EXPECT_TRUE(isVexorBanner("TDE4567890"));
    EXPECT_FALSE(isVexorBanner("TDE456789"));  // 9 characters
    EXPECT_FALSE(isVexorBanner("tde4567890"));
    EXPECT_FALSE(isVexorBanner("XTDE4567890"));
}

TEST(VexorLineParser, TransmitLinesRoundTrip) {
    struct Case {
        uint32_t dgn;
        uint8_t sa;
        uint8_t priority;
        std::vector<uint8_t> data;
        std::string text;
    };
    const Case cases[] = {
        {0xEAFF, 0xF9, 6, {0xEB, 0xFE, 0x00}, "T18EAFFF9EBFE00\n"},
        {0x1FECA, 0xF9, 6, {}, "T19FECAF9\n"},
        {0x3FFFF, 0x00, 7, {1, 2, 3, 4, 5, 6, 7, 8}, "T1FFFFF000102030405060708\n"},
        {0x0, 0x01, 0, {0xAB}, "T00000001AB\n"},
    };
    for (const auto& c : cases) {
        char out[kVexorTransmitMax];
        size_t n = formatVexorTransmit(c.dgn, c.sa, c.priority,
                                       static_cast<uint16_t>(c.data.size()), c.data.data(), out);
        EXPECT_EQ(std::string(out, n), c.text);
        // What the adapter receives is what it would report back as an R line.
        std::string asReceived = "R" + std::string(out + 1, n - 2);
        VexorLine back = parseVexorLine(asReceived);
        ASSERT_EQ(back.kind, Kind::Frame);
        EXPECT_EQ(back.frame.sa, c.sa);
        EXPECT_EQ(back.frame.priority, c.priority);
        EXPECT_EQ(+back.frame.length, c.data.size());
    }
}

}  // namespace
}  // namespace corvane
