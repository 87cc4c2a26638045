#include <gtest/gtest.h>

#include <map>
#include <string>

#include "script/EventItem.h"
#include "script/ScriptConditions.h"
#include "script/ScriptMessages.h"

namespace corvane {
namespace {

// Datums by name with their value texts; "STATE" is an enumerated list.
ScriptFacts FactsWith(std::map<std::string, std::string> values) {
    ScriptFacts facts;
    facts.datum = [values](std::string_view name) -> std::optional<DatumReading> {
        auto it = values.find(std::string(name));
        if (it == values.end()) return std::nullopt;
        return DatumReading{it->second,
                            name == "STATE" ? FormatKind::Enumerated : FormatKind::Printf};
    };
    return facts;
}

TEST(EvaluateTest, ReadsDatumsTagsAndOperators) {
    ScriptFacts facts = FactsWith(
        {{"HOUR", " 12"}, {"VOLTS", "  13.000"}, {"X", "N/D"}, {"BAD", "Err"}, {"STATE", "On"}});
    facts.params = "A B";
    facts.waitTicks = 21;
    struct Case {
        const char* test;
        bool result;
        const char* log;
    };
    const Case cases[] = {
        {"hour == 12", true, ""},
        {"hour != 12", false, ""},
        {"  HOUR==12", false, "Invalid Tag in Expression HOUR==12"},  // one word
        {"volts == 13", true, ""},
        {"volts == 13.0001", false, ""},
        {"x == N/D", true, ""},
        {"x == 0", true, ""},  // "N/D" reads as the number 0
        {"x == Err", false, ""},
        {"bad == Err", true, ""},
        {"state == On", true, ""},
        {"state == on", false, ""},
        {"state != Off", true, ""},
        {"PARAMS == B", true, ""},
        {"PARAMS == b", false, ""},
        {"PARAMS == A B", true, ""},
        {"params != C", true, ""},
        {"MINVERSION != 1.00.20", false, ""},
        {"MINVERSION != 3.00.00", true, ""},
        {"MINVERSION == 10.00.00", true, ""},  // compared as text
        {"MINVERSION == 2.03.01", true, ""},
        {"WAIT == 20", true, ""},
        {"WAIT == 21", false, ""},
        {"WAIT != 5", false, "Invalid WAIT Command"},
        {"TARGETFOUND", false, ""},
        {"!TARGETFOUND", true, ""},
        {"TARGETMAKE == Acme", false, ""},
        {"TARGETMAKE != Acme", true, ""},
        {"hour 12", false, "No Operator in Expressionhour 12"},
        {"hour ==  ", false, "Invalid Value in Expressionhour ==  "},
        {"foo == 1", false, "Invalid Tag in Expression foo == 1"},
        {"foo", false, "Invalid Tag in Expression foo"},
        {"", false, "Invalid Tag in Expression "},
        {"PARAMS", false, "No Operator in ExpressionPARAMS"},
    };
    for (const auto& c : cases) {
        const TestOutcome outcome = EvaluateTest(c.test, facts);
        EXPECT_EQ(outcome.result, c.result) << c.test;
        EXPECT_EQ(outcome.log, c.log) << c.test;
    }
}

TEST(EvaluateTest, TargetTagsReadTheTargetsNode) {
    ScriptFacts facts;
    facts.target = 0x42;
    facts.targetNode = RVCNode{0x42, "Tindrel Electronics,Inc.", "Heater 5", "S1", "I2", 0};
    EXPECT_TRUE(EvaluateTest("TARGETMAKE == Tindrel", facts).result);
    EXPECT_FALSE(EvaluateTest("TARGETMAKE == tindrel", facts).result);
    EXPECT_TRUE(EvaluateTest("TARGETMODEL == Heater", facts).result);
    EXPECT_TRUE(EvaluateTest("TARGETFOUND", facts).result);
    EXPECT_FALSE(EvaluateTest("!TARGETFOUND", facts).result);
    EXPECT_EQ(SubstituteTags("There is [TARGETMAKE]", facts), "There is Tindrel Electronics,Inc.");
    EXPECT_EQ(SubstituteTags("[targetmodel]/[TARGETSERNUM]/[TARGETIDNUM]/[TARGET]", facts),
              "Heater 5/S1/I2/ 66");
}

TEST(SubstituteTags, ReplacesTagsOnceAndEnds) {
    ScriptFacts facts = FactsWith({{"LOOPY", "[LOOPY]"}, {"V", "  1.5"}, {"OPEN", "["}});
    facts.params = "A B";
    facts.timerSeconds = 5.25;
    facts.target = 0xFF;
    facts.baseFolder = "/modules";
    const std::pair<const char*, const char*> cases[] = {
        {"Elapsed [TIMER] s [foo]", "Elapsed 5 s Invalid Tag"},
        {"[MSTIMER]", "5.250"},
        {"[params]:[OSVERSION]:[BASEFOLDER]", "A B:2.03.01:/modules"},
        {"[TARGETMODEL]", "NO TARGET"},
        {"[TARGETMAKE] [TARGETSERNUM] [TARGETIDNUM]", "NO TARGET NO TARGET NO TARGET"},
        {"[TARGET]", "255"},
        {"[MINVERSION] [TARGETFOUND]", "Invalid Tag Invalid Tag"},
        {"[loopy] and [loopy]", "[LOOPY] and [LOOPY]"},  // its own tag is not read again
        {"[OPEN]V]", "[V]"},
        {"a [] [V]", "a [] [V]"},  // an empty pair stops substitution
        {"[V] [", "  1.5 ["},
        {"no tags", "no tags"},
        {"]x[", "]x["},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(SubstituteTags(text, facts), expected) << text;
}

TEST(SubstituteTags, DateTimeShowsTheGivenLocalTime) {
    ScriptFacts facts;
    EXPECT_EQ(SubstituteTags("at [DATETIME].", facts), "at .");
    std::tm local{};
    local.tm_year = 2023 - 1900;
    local.tm_mon = 10;
    local.tm_mday = 4;
    local.tm_wday = 6;
    local.tm_hour = 9;
    local.tm_min = 3;
    local.tm_sec = 20;
    facts.localTime = local;
    EXPECT_EQ(SubstituteTags("at [DATETIME].", facts),
              "at Saturday, November 04, 2023     09:03:20.");
}

TEST(EvaluateFormula, ReversePolishOverDatumsAndNumbers) {
    const ScriptFacts facts = FactsWith({{"A", "   4.000"}, {"B", "6"}, {"N", "N/D"}, {"S", "On"}});
    const std::pair<const char*, double> cases[] = {
        {"a b + 2 /", 5.0}, {"a 0 /", 0.0},
        {"+", 0.0},         {"", 0.0},
        {"  7", 7.0},       {"b a -", 2.0},
        {"b a *", 24.0},    {"a +", 4.0},  // an operator short of operands is ignored
        {"n 3 +", 3.0},     {"s 1 +", 1.0},
        {"junk 2 *", 0.0},  {"1.5e1 -2 *", -30.0},
    };
    for (const auto& [expression, expected] : cases) {
        EXPECT_DOUBLE_EQ(EvaluateFormula(expression, facts.datum), expected) << expression;
    }
}

TEST(EvaluateFormula, PushesBeyondTheStackAreIgnored) {
    std::string expression;
    for (int i = 1; i <= 45; ++i) expression += std::to_string(i) + " ";
    // The 41st to 45th pushes are dropped, so the top is 40 and "+" adds 39 and 40.
    EXPECT_DOUBLE_EQ(EvaluateFormula(expression, {}), 40.0);
    EXPECT_DOUBLE_EQ(EvaluateFormula(expression + "+", {}), 79.0);
}

TEST(EventItemParse, NamesCommandsTestsAndSuspension) {
    struct Case {
        EventKind kind;
        const char* arguments;
        const char* name;
        const char* command;
        const char* test;
        int period;
        int enabled;
    };
    const Case cases[] = {
        {EventKind::OnEvent, " hot [temp == 1] {\"Too hot}", "HOT", "\"Too hot", "temp == 1", 0, 1},
        {EventKind::OnEvent, " e [x == 1] {GOTO A}", "E", "", "x == 1", 0, 1},
        {EventKind::OnEventGo, " e [x == 1] {GOTO A}", "E", "GOTO A", "x == 1", 0, 1},
        {EventKind::OnTimer, " t [2] {UPDATE f} SUSPENDED", "T", "UPDATE f", "2", 2, 0},
        {EventKind::OnTimer, " t [ 5] {SUSPENDEDX}", "T", "X", " 5", 5, 0},
        {EventKind::OneShot, " [60] {\"late}", "MISSINGTAG", "\"late", "60", 60, 1},
        {EventKind::OneShotGo, "{GOTO TIMEOUT} [3]", "MISSINGTAG", "GOTO TIMEOUT", "3", 3, 1},
        {EventKind::OnTimer, " t [-4] {x}", "T", "x", "-4", 0, 1},
        {EventKind::OnTimer, "", "", "", "", 0, 1},
    };
    for (const auto& c : cases) {
        const EventItem item = EventItem::Parse(c.kind, c.arguments);
        EXPECT_EQ(item.name, c.name) << c.arguments;
        EXPECT_EQ(item.command, c.command) << c.arguments;
        EXPECT_EQ(item.test, c.test) << c.arguments;
        EXPECT_EQ(item.period, c.period) << c.arguments;
        EXPECT_EQ(item.enabled, c.enabled) << c.arguments;
        EXPECT_EQ(item.fired, 0);
        EXPECT_EQ(item.counter, 0);
    }
}

TEST(ScriptMessages, SendAndSimRxArguments) {
    struct Case {
        bool simrx;
        const char* arguments;
        uint8_t target;
        uint32_t dgn;
        std::vector<uint8_t> data;
        const char* error;
    };
    const Case cases[] = {
        {false, " 1FEF5 01 02", 0xFF, 0x1FEF5, {1, 2}, ""},
        {false, " 17FXX 00", 0x42, 0x17F42, {0}, ""},
        {false, " 17FXX 00", 0xFF, 0x17FFF, {0}, ""},
        {false, " 17fxx 00", 0x42, 0x17F, {0}, ""},  // only upper-case XX is the target
        {false, " 00000 01", 0xFF, 0, {1}, ""},
        {false, " 0 01", 0xFF, 0, {}, "Could not parse DGN in  0 01"},
        {false, " 1FFFE", 0xFF, 0x1FFFE, {}, "No data found in  1FFFE"},
        {false, " 1FFFE 123 zz", 0xFF, 0x1FFFE, {0x23, 0}, ""},
        {false, "", 0xFF, 0, {}, "Could not parse DGN in "},
        {true, " 42 1FFFD 01 00 04 01", 0, 0x1FFFD, {1, 0, 4, 1}, ""},
        {true, " 42 1FFXX 01", 0, 0x1FF, {1}, ""},
        {true, " 42 0 01", 0, 0, {}, "Could not parse DGN in  42 0 01"},
        {true, " 42 1FFFD", 0, 0x1FFFD, {}, "Invalid message:  42 1FFFD"},
    };
    for (const auto& c : cases) {
        const ScriptMessage m =
            c.simrx ? ParseSimRxArguments(c.arguments) : ParseSendArguments(c.arguments, c.target);
        EXPECT_EQ(m.error, c.error) << c.arguments;
        if (m.error.empty()) {
            EXPECT_EQ(m.dgn, c.dgn) << c.arguments;
            EXPECT_EQ(m.data, c.data) << c.arguments;
        }
    }
    EXPECT_EQ(ParseSimRxArguments(" 42 1FFFD 01").source, 0x42);
}

TEST(ScriptMessages, MoreBytesThanAMessageHoldsAreRefused) {
    std::string line = " 1FFFE";
    for (int i = 0; i < 1785; ++i) line += " 01";
    EXPECT_EQ(ParseSendArguments(line, 0xFF).data.size(), 1785u);
    const std::string longer = line + " 02";
    EXPECT_EQ(ParseSendArguments(longer, 0xFF).error, "Invalid message: " + longer);
    EXPECT_EQ(ParseSimRxArguments(" 42" + longer).error, "Invalid message:  42" + longer);
}

TEST(ScriptMessages, MenuEntries) {
    const auto entries = ParseMenuEntries(R"( ONE "First choice" AB "Short"  THREE"Third" LAST)");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].token, "ONE");
    EXPECT_EQ(entries[0].display, "First choice");
    EXPECT_EQ(entries[1].token, "");  // shorter than 3 characters
    EXPECT_EQ(entries[1].display, "Short");
    EXPECT_EQ(entries[2].token, "THREE\"Third\"");
    EXPECT_EQ(entries[2].display, "LAST");  // a display string reaches the next quote
    EXPECT_TRUE(ParseMenuEntries("   ").empty());
}

}  // namespace
}  // namespace corvane
