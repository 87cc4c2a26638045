#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "logs/AscLineParser.h"
#include "logs/LogFormat.h"
#include "logs/LogFrameReader.h"
#include "tests/logs/LogFiles.h"

namespace corvane {
namespace {

using Kind = AscLine::Kind;

TEST(AscLineParser, Lines) {
    struct Case {
        const char* line;
        bool decimal;
        Kind kind;
        CandumpError error;
        int64_t micros;
        uint32_t canId;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {"   0.012345 1  18FEF100x       Rx   d 8 01 02 03 04 05 06 07 08",
         false,
         Kind::Frame,
         CandumpError::None,
         12'345,
         0x18FEF100,
         {1, 2, 3, 4, 5, 6, 7, 8}},
        {"   12.5 2  18eafff9X  Tx  d 3 00 ee 00  Length = 0 BitCount = 64 ID = 417005561x",
         false,
         Kind::Frame,
         CandumpError::None,
         12'500'000,
         0x18EAFFF9,
         {0, 0xEE, 0}},
        {"1.0000001 1 18FEF100x Rx d 0\r",
         false,
         Kind::Frame,
         CandumpError::None,
         1'000'000,
         0x18FEF100,
         {}},
        {"   0.5 1  418312448x  Rx  d 2 255 16",
         true,
         Kind::Frame,
         CandumpError::None,
         500'000,
         418312448,
         {255, 16}},
        {"   0.5 1  123  Rx  d 1 00",
         false,
         Kind::NotAFrame,
         CandumpError::StandardId,
         500'000,
         0,
         {}},
        {"   0.5 1  ErrorFrame", false, Kind::NotAFrame, CandumpError::ErrorFrame, 500'000, 0, {}},
        {"   0.5 CANFD   1 Rx 18FEF100x 1 0 d 8 8 01 02 03 04 05 06 07 08",
         false,
         Kind::NotAFrame,
         CandumpError::CanFd,
         500'000,
         0,
         {}},
        {"   0.5 1  18FEF100x  Rx  r",
         false,
         Kind::NotAFrame,
         CandumpError::RemoteFrame,
         500'000,
         0,
         {}},
        {"   0.5 1  18FEF100x  Rx  d 9 1 2 3 4 5 6 7 8 9",
         false,
         Kind::NotAFrame,
         CandumpError::TooLong,
         500'000,
         0,
         {}},
        {"   0.5 1  18FEF100x  Rx  d 2 01",
         false,
         Kind::NotAFrame,
         CandumpError::BadHex,
         500'000,
         0,
         {}},
        {"   0.5 1  18FEF100x  Rx  d 1 1G",
         false,
         Kind::NotAFrame,
         CandumpError::BadHex,
         500'000,
         0,
         {}},
        {"   0.5 1  3FFFFFFFx  Rx  d 0",
         false,
         Kind::NotAFrame,
         CandumpError::BadId,
         500'000,
         0,
         {}},
        {"   0.5 1  18FEF1G0x  Rx  d 0",
         false,
         Kind::NotAFrame,
         CandumpError::BadId,
         500'000,
         0,
         {}},
        {"   0.5x 1  18FEF100x  Rx  d 0",
         false,
         Kind::NotAFrame,
         CandumpError::BadTimestamp,
         0,
         0,
         {}},
        {"   1.5 Start of measurement", false, Kind::Other, CandumpError::None, 1'500'000, 0, {}},
        {"   1.0 1 Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%",
         false,
         Kind::Other,
         CandumpError::None,
         1'000'000,
         0,
         {}},
        {"// version 9.0.0", false, Kind::Other, CandumpError::None, 0, 0, {}},
        {"", false, Kind::Other, CandumpError::None, 0, 0, {}},
        {"date Thu Dec 10 07:02:26.123 am 2026",
         false,
         Kind::Date,
         CandumpError::None,
         1'796'886'146'123'000,
         0,
         {}},
        {"date Thu Dec 10 07:02:26.5 pm 2026",
         false,
         Kind::Date,
         CandumpError::None,
         1'796'886'146'500'000 + 12 * 3'600'000'000LL,
         0,
         {}},
        {"date Dec 10 12:00:00 am 2026",
         false,
         Kind::Date,
         CandumpError::None,
         1'796'860'800'000'000,
         0,
         {}},
        {"date Thu Dec 32 07:02:26 2026", false, Kind::Other, CandumpError::None, 0, 0, {}},
        {"date Thu Dec 10 07:02:26 2202026", false, Kind::Other, CandumpError::None, 0, 0, {}},
        {"   100000000001.0 1  18FEF100x  Rx  d 1 01",
         false,
         Kind::NotAFrame,
         CandumpError::BadTimestamp,
         0,
         0,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const AscLine got = parseAscLine(c.line, c.decimal);
        EXPECT_EQ(got.kind, c.kind);
        EXPECT_EQ(got.error, c.error);
        // Every line with a time stamp carries it; the others carry none (but for a date).
        EXPECT_EQ(got.micros, c.micros);
        EXPECT_EQ(got.timed, c.kind != Kind::Date && c.micros != 0);
        if (c.kind != Kind::Frame) continue;
        EXPECT_EQ(got.record.canId, c.canId);
        EXPECT_EQ(std::vector<uint8_t>(got.record.data.begin(),
                                       got.record.data.begin() + got.record.length),
                  c.data);
    }
}

TEST(AscLineParser, BaseLines) {
    const AscLine hex = parseAscLine("base hex  timestamps absolute");
    EXPECT_EQ(hex.kind, Kind::Base);
    EXPECT_FALSE(hex.decimal);
    EXPECT_FALSE(hex.relative);
    const AscLine dec = parseAscLine("base dec  timestamps relative");
    EXPECT_EQ(dec.kind, Kind::Base);
    EXPECT_TRUE(dec.decimal);
    EXPECT_TRUE(dec.relative);
}

// In relative mode every line with a time stamp is part of the gap between two frames,
// whatever it holds.
// Relative times that would add up past 64 bits stop growing; every frame is still read.
TEST(LogFrameReader, RelativeTimesOfADamagedLogStayWithinRange) {
    std::string text = "date Thu Dec 10 07:02:26 9999\nbase hex  timestamps relative\n";
    for (int i = 0; i < 200; ++i) text += "   100000000000.0 1  18FEF100x  Rx  d 1 01\n";
    test::ScratchFolder folder;
    ASSERT_TRUE(test::writeLog(folder.file("big.asc"), text));
    LogFrameReader reader;
    const std::vector<test::Frame> frames = test::readFrames(folder.file("big.asc"), reader);
    ASSERT_EQ(frames.size(), 200u);
    EXPECT_GT(std::get<0>(frames.back()), std::get<0>(frames.front()));
    EXPECT_EQ(reader.skipped(), 0u);
}

TEST(LogFrameReader, RelativeTimesCountEveryTimedLine) {
    const char* const between[] = {
        "   0.200000 1  ErrorFrame",
        "   0.200000 1  123             Rx   d 1 00",
        "   0.200000 CANFD   1 Rx 18FEF100x 1 0 d 8 8 01 02 03 04 05 06 07 08",
        "   0.200000 1  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%",
    };
    test::ScratchFolder folder;
    for (const char* line : between) {
        SCOPED_TRACE(line);
        ASSERT_TRUE(test::writeLog(folder.file("r.asc"),
                                   std::string("base hex  timestamps relative\n"
                                               "   0.100000 1  18FEF100x  Rx  d 1 01\n") +
                                       line + "\n   0.300000 1  18FEF100x  Rx  d 1 02\n"));
        LogFrameReader reader;
        EXPECT_EQ(
            test::readFrames(folder.file("r.asc"), reader),
            (std::vector<test::Frame>{{100'000, 0x18FEF100, {1}}, {600'000, 0x18FEF100, {2}}}));
    }
}

TEST(LogFormat, FromTheLinesThatShowOne) {
    const std::pair<const char*, std::optional<LogFormat>> cases[] = {
        {"(1700000000.000000) can0 18FEEB42#01", LogFormat::Candump},
        {"  (1.5) vcan0 18EAFFF9#", LogFormat::Candump},
        {"date Thu Dec 10 07:02:26.123 am 2026", LogFormat::Asc},
        {"   0.0123 1 18FEF100x Rx d 0", LogFormat::Asc},
        {"base hex  timestamps absolute", LogFormat::Asc},
        {"// version 9.0.0", LogFormat::Asc},
        {"Begin   Triggerblock Thu Dec 10 07:02:26.000 am 2026", LogFormat::Asc},
        {"End TriggerBlock\r", LogFormat::Asc},
        {"no internal events logged", LogFormat::Asc},
        {"# logged on the coach", std::nullopt},
        {"can0 18FEEB42#01", std::nullopt},
        {"beginning of the log", std::nullopt},
        {"no comment", std::nullopt},
        {" \t\r", std::nullopt},
    };
    for (const auto& [line, format] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(detectLogFormat(line), format);
    }
}

// Lines that show no layout before the first that does are counted, not taken as a layout;
// a log of nothing but such lines says what it is not.
TEST(LogFrameReader, TheLayoutComesFromTheFirstLineThatShowsOne) {
    struct Case {
        const char* text;
        LogFormat format;
        size_t frames;
        size_t skipped;
        const char* faultText;
    };
    const Case cases[] = {
        {"# logged on the coach\n\ncan0 18FEEB42#01\n(1.5) can0 18FEEB42#01\n", LogFormat::Candump,
         1, 2, ""},
        {"exported by hand\n   1.5 1  18FEF100x  Rx  d 0\n", LogFormat::Asc, 1, 1, ""},
        {"hello\nworld\n\n", LogFormat::Candump, 0, 2,
         "is not a candump or ASC log (none of its 2 lines is one)"},
        {"\n\n", LogFormat::Candump, 0, 0, ""},
    };
    test::ScratchFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(test::writeLog(folder.file("x.log"), c.text));
        LogFrameReader reader;
        EXPECT_EQ(test::readFrames(folder.file("x.log"), reader).size(), c.frames);
        EXPECT_EQ(reader.format(), c.format);
        EXPECT_EQ(reader.skipped(), c.skipped);
        EXPECT_EQ(reader.skipped(CandumpError::BadTimestamp), c.skipped);
        EXPECT_EQ(reader.faultText(), c.faultText);
    }
}

// A whole ASC file: its date starts the clock, "base dec" and relative times are followed,
// events and headers are passed over, what is not a frame is counted.
TEST(LogFrameReader, ReadsAnAscLog) {
    const std::string asc =
        "date Thu Dec 10 07:02:26.000 am 2026\n"
        "base hex  timestamps absolute\n"
        "internal events logged\n"
        "// version 9.0.0\n"
        "Begin Triggerblock Thu Dec 10 07:02:26.000 am 2026\n"
        "   0.000000 Start of measurement\n"
        "   0.010000 1  18FEF100x       Rx   d 2 01 02\n"
        "   0.020000 1  123             Rx   d 1 00\n"
        "   0.030000 1  ErrorFrame\n"
        "   0.040000 2  19FFD442x       Tx   d 1 FF\n"
        "base dec  timestamps relative\n"
        "   0.500000 1  418312448x      Rx   d 1 16\n"
        "End TriggerBlock\n";
    const int64_t start = 1'796'886'146'000'000;
    const std::vector<test::Frame> expected = {
        {start + 10'000, 0x18FEF100, {1, 2}},
        {start + 40'000, 0x19FFD442, {0xFF}},
        {start + 540'000, 418312448, {16}},
    };
    test::ScratchFolder folder;
    for (const char* name : {"a.asc", "a.asc.gz"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(test::writeLog(folder.file(name), asc));
        LogFrameReader reader;
        EXPECT_EQ(test::readFrames(folder.file(name), reader), expected);
        EXPECT_EQ(reader.format(), LogFormat::Asc);
        EXPECT_EQ(reader.skipped(), 2u);
        EXPECT_EQ(reader.skipped(CandumpError::StandardId), 1u);
        EXPECT_EQ(reader.skipped(CandumpError::ErrorFrame), 1u);
    }
    // Without a date the log starts at 0.
    ASSERT_TRUE(test::writeLog(folder.file("b.asc"), "   1.5 1  18FEF100x  Rx  d 0\n"));
    LogFrameReader reader;
    EXPECT_EQ(test::readFrames(folder.file("b.asc"), reader),
              (std::vector<test::Frame>{{1'500'000, 0x18FEF100, {}}}));
}

}  // namespace
}  // namespace corvane
