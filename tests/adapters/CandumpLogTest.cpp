#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapters/CandumpLogFormat.h"
#include "adapters/CandumpLogParser.h"
#include "adapters/CandumpLogReader.h"

namespace corvane {
namespace {

struct GoodLine {
    const char* line;
    int64_t micros;
    const char* interface;
    uint32_t id;
    std::vector<uint8_t> data;
};

TEST(CandumpLogParser, GoodLines) {
    const GoodLine cases[] = {
        {"(1700000000.123456) can0 18FEEB42#0102", 1700000000123456, "can0", 0x18FEEB42, {1, 2}},
        {"(1700000000.123456) can0 18feeb42#a0Bf",
         1700000000123456,
         "can0",
         0x18FEEB42,
         {0xA0, 0xBF}},
        {"(0000000001.000001) vcan0 18EAFFF9#", 1000001, "vcan0", 0x18EAFFF9, {}},
        {"(1.5) slcan0 1FFFFFFF#0011223344556677",
         1500000,
         "slcan0",
         0x1FFFFFFF,
         {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}},
        // Fractions of other widths, as other writers produce them.
        {"(1700000000.1234567) can0 00000001#FF", 1700000000123456, "can0", 1, {0xFF}},
        {"(1700000000.12) can0 00000001#FF", 1700000000120000, "can0", 1, {0xFF}},
        // Carriage return, tabs and extra blanks around the fields.
        {"(1700000000.000000)\tcan1  19FFD442#01020304\r",
         1700000000000000,
         "can1",
         0x19FFD442,
         {1, 2, 3, 4}},
        // The direction mark some writers add.
        {"(1700000000.000000) can0 19FFD442#0102 R", 1700000000000000, "can0", 0x19FFD442, {1, 2}},
        {"(0.000000) vcan0 19FFD442# T", 0, "vcan0", 0x19FFD442, {}},
        {"  (1700000000.000000) can0 19FFD442#01   ", 1700000000000000, "can0", 0x19FFD442, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        CandumpParse p = parseCandumpLine(c.line);
        ASSERT_EQ(p.error, CandumpError::None) << candumpErrorName(p.error);
        EXPECT_EQ(p.record.micros, c.micros);
        EXPECT_EQ(p.record.interface, c.interface);
        EXPECT_EQ(p.record.canId, c.id);
        ASSERT_EQ(p.record.length, c.data.size());
        for (size_t i = 0; i < c.data.size(); ++i) EXPECT_EQ(p.record.data[i], c.data[i]);
    }
}

struct BadLine {
    const char* line;
    CandumpError error;
};

TEST(CandumpLogParser, MalformedLines) {
    const BadLine cases[] = {
        {"", CandumpError::Blank},
        {" \t\r", CandumpError::Blank},
        // Bad hex: a non-hex digit, an odd digit count.
        {"(1700000000.000000) can0 18FEEB42#0G", CandumpError::BadHex},
        {"(1700000000.000000) can0 18FEEB42#012", CandumpError::BadHex},
        {"(1700000000.000000) can0 18FEEB42#01 02", CandumpError::BadHex},
        {"(1700000000.000000) can0 18FEEB42#01 RT", CandumpError::BadHex},
        // 11-bit identifiers (RV-C has none).
        {"(1700000000.000000) can0 123#0102", CandumpError::StandardId},
        {"(1700000000.000000) can0 7FF#", CandumpError::StandardId},
        // Missing '#'.
        {"(1700000000.000000) can0 18FEEB420102", CandumpError::NoSeparator},
        // CAN FD: "##" and a flags digit.
        {"(1700000000.000000) can0 18FEEB42##10102", CandumpError::CanFd},
        {"(1700000000.000000) can0 123##0", CandumpError::StandardId},
        // Remote and error frames.
        {"(1700000000.000000) can0 18FEEB42#R", CandumpError::RemoteFrame},
        {"(1700000000.000000) can0 20000004#0000000000000000", CandumpError::ErrorFrame},
        // Identifiers that are not 3 or 8 hex digits, or wider than 29 bits.
        {"(1700000000.000000) can0 18FEEB4#01", CandumpError::BadId},
        {"(1700000000.000000) can0 118FEEB42#01", CandumpError::BadId},
        {"(1700000000.000000) can0 18FXEB42#01", CandumpError::BadId},
        {"(1700000000.000000) can0 C0000000#01", CandumpError::BadId},
        {"(1700000000.000000) can0 #01", CandumpError::BadId},
        // More than 8 bytes.
        {"(1700000000.000000) can0 18FEEB42#000102030405060708", CandumpError::TooLong},
        // Time stamps.
        {"1700000000.000000 can0 18FEEB42#01", CandumpError::BadTimestamp},
        {"(1700000000) can0 18FEEB42#01", CandumpError::BadTimestamp},
        {"(1700000000.) can0 18FEEB42#01", CandumpError::BadTimestamp},
        {"(17x0.000000) can0 18FEEB42#01", CandumpError::BadTimestamp},
        {"(1700000000.000000 can0 18FEEB42#01", CandumpError::BadTimestamp},
        // No interface.
        {"(1700000000.000000) 18FEEB42#01", CandumpError::NoInterface},
        {"(1700000000.000000)", CandumpError::NoInterface},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(parseCandumpLine(c.line).error, c.error)
            << candumpErrorName(parseCandumpLine(c.line).error);
    }
}

TEST(CandumpLogParser, RecordBecomesAFrame) {
    CandumpParse p = parseCandumpLine("(1700000000.123456) can0 1BFEEB42#0102");
    ASSERT_EQ(p.error, CandumpError::None);
    RvcFrame f = frameFromCandump(p.record);
    EXPECT_EQ(f.kind, RvcFrame::kKind);
    EXPECT_EQ(f.priority, 6);
    EXPECT_EQ(f.reserved, 1);
    EXPECT_EQ(uint32_t{f.dgn}, 0x1FEEBu);
    EXPECT_EQ(f.sa, 0x42);
    EXPECT_EQ(uint16_t{f.length}, 2);
    EXPECT_EQ(f.data[0], 1);
    EXPECT_EQ(f.data[1], 2);
    EXPECT_EQ(f.data[2], 0xFF);  // unused bytes as every adapter leaves them
    EXPECT_EQ(uint32_t{f.timestamp}, static_cast<uint32_t>(1700000000123ULL));
}

struct Formatted {
    int64_t micros;
    const char* interface;
    uint32_t id;
    std::vector<uint8_t> data;
    const char* line;
};

TEST(CandumpLogFormat, WritesCandumpLines) {
    const Formatted cases[] = {
        {1700000000123456, "can0", 0x18FEEB42, {1, 2}, "(1700000000.123456) can0 18FEEB42#0102\n"},
        {1000001, "vcan0", 0x18EAFFF9, {}, "(0000000001.000001) vcan0 18EAFFF9#\n"},
        {0, "can0", 0x1, {0xAB, 0xCD, 0xEF}, "(0000000000.000000) can0 00000001#ABCDEF\n"},
        {12345678901000000,
         "can0",
         0x1FFFFFFF,
         {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77},
         "(12345678901.000000) can0 1FFFFFFF#0011223344556677\n"},
        {1,
         "a-very-long-interface-name",
         0x2,
         {},
         "(0000000000.000001) a-very-long-int 00000002#\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        char out[kCandumpLineMax];
        size_t n = formatCandumpLine(c.micros, c.interface, c.id,
                                     static_cast<uint8_t>(c.data.size()), c.data.data(), out);
        ASSERT_LE(n, kCandumpLineMax);
        EXPECT_EQ(std::string(out, n), c.line);
    }
}

TEST(CandumpLogFormat, EveryFormattedLineParsesBack) {
    uint8_t data[8];
    for (uint32_t i = 0; i < 2000; ++i) {
        const uint32_t id = (i * 2654435761u) & 0x1FFFFFFF;
        const uint8_t length = static_cast<uint8_t>(i % 9);
        for (uint8_t b = 0; b < 8; ++b) data[b] = static_cast<uint8_t>(i * 31 + b * 7);
        const int64_t micros = 1700000000000000 + int64_t{i} * 1237;
        char out[kCandumpLineMax];
        size_t n = formatCandumpLine(micros, "can0", id, length, data, out);
        CandumpParse p = parseCandumpLine(std::string_view(out, n));
        ASSERT_EQ(p.error, CandumpError::None) << std::string(out, n);
        EXPECT_EQ(p.record.micros, micros);
        EXPECT_EQ(p.record.canId, id);
        ASSERT_EQ(p.record.length, length);
        for (uint8_t b = 0; b < length; ++b) EXPECT_EQ(p.record.data[b], data[b]);
    }
}

TEST(CandumpLogReader, CountsAndSkipsWhatItCannotTake) {
    const std::string log =
        "(1700000000.000000) can0 18FEEB42#01\n"
        "(1700000000.100000) can0 18FEEB42#0G\n"      // bad hex
        "(1700000000.200000) can0 123#01\n"           // 11-bit
        "\n"                                          // blank: ignored
        "(1700000000.300000) can0 18FEEB4201\n"       // missing '#'
        "(1700000000.400000) can0 18FEEB42##10102\n"  // CAN FD
        "(1700000000.500000) can0 18FEEB42#02\r\n"    // good, CRLF
        "(1700000000.450000) can0 18FEEB42#03\n"      // earlier than the one before
        "(1700000000.500000) can0 18FEEB42#04\n"      // same time: kept
        "(1700000000.600000) can0 18FEEB42#05";       // no final line end
    CandumpLogReader reader(log);
    std::vector<uint8_t> firstBytes;
    CandumpRecord r;
    while (reader.next(r)) firstBytes.push_back(r.data[0]);
    EXPECT_EQ(firstBytes, (std::vector<uint8_t>{1, 2, 4, 5}));
    EXPECT_EQ(reader.skipped(), 5u);
    EXPECT_EQ(reader.skipped(CandumpError::BadHex), 1u);
    EXPECT_EQ(reader.skipped(CandumpError::StandardId), 1u);
    EXPECT_EQ(reader.skipped(CandumpError::NoSeparator), 1u);
    EXPECT_EQ(reader.skipped(CandumpError::CanFd), 1u);
    EXPECT_EQ(reader.skipped(CandumpError::OutOfOrder), 1u);
    EXPECT_EQ(reader.lineNumber(), 10u);

    reader.rewind();
    ASSERT_TRUE(reader.next(r));
    EXPECT_EQ(r.data[0], 1);
    EXPECT_EQ(reader.skipped(), 0u);
}

TEST(CandumpLogReader, EmptyAndBlankTexts) {
    for (const char* text : {"", "\n", "\n\r\n  \n"}) {
        CandumpLogReader reader(text);
        CandumpRecord r;
        EXPECT_FALSE(reader.next(r));
        EXPECT_EQ(reader.skipped(), 0u);
    }
}

}  // namespace
}  // namespace corvane
