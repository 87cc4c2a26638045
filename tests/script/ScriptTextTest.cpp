#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "script/ScriptKeyword.h"
#include "script/ScriptText.h"

namespace corvane {
namespace {

std::vector<std::string> AllLines(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    std::span<const uint8_t> span(bytes, text.size());
    size_t position = 0;
    std::vector<std::string> lines;
    std::string line;
    while (ReadScriptLine(span, position, line)) lines.push_back(line);
    EXPECT_EQ(position, text.size());
    return lines;
}

TEST(ReadScriptLine, KeepsPrintableBytesAndDeliversOnlyLinesEndedByLf) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"SEND\t1FFFE 00\n", {"SEND1FFFE 00"}},  // TAB joins the words
        {"A\r\nB\r\n", {"A", "B"}},              // CR dropped
        {"\"25\xB0"
         "C\n",
         {"\"25C"}},                    // degree sign dropped
        {"GOTO X\nABORT", {"GOTO X"}},  // last line without LF never delivered
        {"\n\n", {"", ""}},
        {"", {}},
        {"no newline at all", {}},
        {std::string("A\0B\x0F\x10\x7F\x80\n", 8), {"AB\x10\x7F"}},
    };
    for (const auto& c : cases) EXPECT_EQ(AllLines(c.text), c.lines) << c.text;
}

TEST(ScriptText, KindOfLineBySpaceTrimmedFirstCharacter) {
    const std::pair<const char*, LineKind> cases[] = {
        {"", LineKind::Empty},
        {"    ", LineKind::Empty},
        {"  \"hello", LineKind::LogText},
        {"'status", LineKind::StatusText},
        {":  SEND 1FFFE 00", LineKind::Comment},
        {"  @START", LineKind::ExecPoint},
        {"send 1fffe", LineKind::Command},
        {"\x10SEND", LineKind::Command},
    };
    for (const auto& [line, kind] : cases) EXPECT_EQ(KindOfLine(line), kind) << line;
}

TEST(ScriptText, SplitsKeywordAndWords) {
    auto c = SplitCommand("  send 1fffe ff");
    EXPECT_EQ(c.keyword, "SEND");
    EXPECT_EQ(c.arguments, " 1fffe ff");
    c = SplitCommand("LOOP");
    EXPECT_EQ(c.keyword, "LOOP");
    EXPECT_EQ(c.arguments, "");

    auto w = SplitFirstWord("   volts  1FFFD:01");
    EXPECT_EQ(w.word, "volts");
    EXPECT_EQ(w.rest, "  1FFFD:01");
    w = SplitFirstWord("   ");
    EXPECT_EQ(w.word, "");
    EXPECT_EQ(w.rest, "");
}

TEST(ScriptText, TextBetweenTakesFirstPairWithoutNesting) {
    struct Case {
        const char* text;
        char open, close;
        const char* field;
    };
    const Case cases[] = {
        {"IF [a == 1] {SEND 1 2}", '[', ']', "a == 1"},
        {"IF [a == 1] {SEND 1 2}", '{', '}', "SEND 1 2"},
        {"{IF [x] {GOTO A}}", '{', '}', "IF [x] {GOTO A"},
        {"\"title\" more \"x\"", '"', '"', "title"},
        {"$%6.1f$", '$', '$', "%6.1f"},
        {"[open only", '[', ']', ""},
        {"close only]", '[', ']', ""},
        {"] before [", '[', ']', ""},
        {"[]", '[', ']', ""},
        {"\"", '"', '"', ""},
    };
    for (const auto& c : cases) EXPECT_EQ(TextBetween(c.text, c.open, c.close), c.field) << c.text;
}

TEST(ScriptText, NumbersStopAtTheFirstForeignCharacter) {
    const std::pair<const char*, uint32_t> hex[] = {
        {"1FFFE", 0x1FFFE},
        {"  ff ff", 0xFF},
        {"17FXX", 0x17F},
        {"xyz", 0},
        {"", 0},
        {"0x1F", 0},
        {"-1", 0},
        {"FFFFFFFFFFFF", 0xFFFFFFFF},
    };
    for (const auto& [text, value] : hex) EXPECT_EQ(ParseHex(text), value) << text;

    const std::pair<const char*, int64_t> dec[] = {
        {" 42 s", 42},
        {"-7", -7},
        {"+3", 3},
        {"1F", 1},
        {"abc", 0},
        {"", 0},
        {"99999999999999999999999", INT64_MAX},
    };
    for (const auto& [text, value] : dec) EXPECT_EQ(ParseDecimal(text), value) << text;

    const std::pair<const char*, double> real[] = {
        {" 0.05]", 0.05}, {"-273", -273}, {"+1.5e3x", 1500}, {".5", 0.5},   {"1E-3", 0.001},
        {"abc", 0},       {"", 0},        {"--1", 0},        {"1e-999", 0}, {"-1e999", -INFINITY},
    };
    for (const auto& [text, value] : real) EXPECT_DOUBLE_EQ(ParseReal(text), value) << text;
}

TEST(ScriptText, TrafficLineRewrite) {
    struct Case {
        const char* line;
        bool rewritten;
        const char* result;
        uint8_t source;
    };
    const Case cases[] = {
        {"1FEF5  SA:42 01 02", true, "SEND 1FEF5 01 02", 0x42},
        {"1FFFF  SA:42 01 02 03", true, "SEND 1FFFF 01 02 03", 0x42},
        {"SA:42 01", false, "", 0},                          // no DGN before it
        {"00000  SA:42 01", false, "", 0},                   // a DGN of 0 is no DGN
        {"\"1FFFF  SA:10 hi", true, "SEND 1FFFF hi", 0x10},  // a log line too
        {"1FFFF  SA:4", true, "SEND 1FFFF", 0x04},           // nothing after the address
        {"no marker", false, "", 0},
    };
    for (const auto& c : cases) {
        TrafficLine out{};
        EXPECT_EQ(RewriteTrafficLine(c.line, out), c.rewritten) << c.line;
        if (!c.rewritten) continue;
        EXPECT_EQ(out.line, c.result) << c.line;
        EXPECT_EQ(out.source, c.source) << c.line;
    }
}

TEST(ScriptKeyword, EveryKeywordIsFoundWholeAndInOrder) {
    for (int i = 0; i < kScriptKeywordCount; ++i) {
        const auto keyword = static_cast<ScriptKeyword>(i);
        EXPECT_EQ(FindKeyword(KeywordText(keyword)), keyword) << KeywordText(keyword);
    }
    EXPECT_EQ(kScriptKeywordCount, 57);
    EXPECT_EQ(KeywordText(ScriptKeyword::Target), "TARGET");
    EXPECT_EQ(KeywordText(ScriptKeyword::ResetDeviceList), "RESETDEVICELIST");
    EXPECT_EQ(FindKeyword("ZERO"), ScriptKeyword::Zero);
    EXPECT_EQ(FindKeyword("ZEROCOUNTER"), ScriptKeyword::ZeroCounter);
    for (const char* unknown : {"SENDX", "SEND1FFFE", "send", "", "GRAPH"}) {
        EXPECT_FALSE(FindKeyword(unknown).has_value()) << unknown;
    }
}

}  // namespace
}  // namespace corvane
