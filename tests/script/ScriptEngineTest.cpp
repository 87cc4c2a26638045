#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "script/ScriptEngine.h"
#include "tests/script/RecordingWindow.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

// A script file in a fresh temporary folder, removed with the fixture.
class ScriptEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("corvane-script-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const auto path = folder_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    void Run(std::initializer_list<std::string_view> lines) {
        for (auto line : lines) engine_.ExecuteLine(line);
    }

    std::string ValueOf(std::string_view name) {
        auto vars = engine_.variables().Lock();
        const RVCDatum* d = vars.FindVariable(name);
        return d ? d->ValueText() : "<none>";
    }

    void Receive(uint32_t dgn, std::vector<uint8_t> data) {
        engine_.variables().offer(*makeMessage(dgn, 0x42, data));
    }

    std::filesystem::path folder_;
    test::RecordingWindow window_;
    test::FakeClock clock_;
    ScriptEngine engine_{window_, clock_};
};

TEST_F(ScriptEngineTest, UnrecognisedKeywordsAreLoggedWithTheLineAsGiven) {
    struct Case {
        const char* line;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"SEND1FFFE 00", {"Command [SEND1FFFE] not recognized <<SEND1FFFE 00>>"}},
        {"  sendx 1", {"Command [SENDX] not recognized <<  sendx 1>>"}},
        {"send 1fffe ff ff ff ff 0c 00 ff ff", {}},  // keywords are not case sensitive
        {":  SEND 1FFFE 00", {}},
        {"@START", {}},
        {"   ", {}},
        {"ZEROCOUNTER", {"ERROR: Datum [] not recognized"}},
        {"\"Hello \"world\"", {"Hello \"world\""}},
    };
    for (const auto& c : cases) {
        window_.log.clear();
        engine_.ExecuteLine(c.line);
        EXPECT_EQ(window_.log, c.log) << c.line;
    }
}

TEST_F(ScriptEngineTest, EveryKeywordIsRecognised) {
    for (int i = 0; i < kScriptKeywordCount; ++i) {
        const std::string keyword(KeywordText(static_cast<ScriptKeyword>(i)));
        window_.log.clear();
        engine_.ExecuteLine(keyword + " ");
        for (const auto& line : window_.log) {
            EXPECT_EQ(line.find("not recognized <<"), std::string::npos) << line;
        }
    }
}

TEST_F(ScriptEngineTest, StatusLineAndTrafficLineRewrite) {
    engine_.ExecuteLine("'Checking the inverter");
    EXPECT_EQ(window_.status, "Checking the inverter");
    EXPECT_EQ(engine_.source(), 0xFF);
    engine_.ExecuteLine("1FEF5  SA:42 01 02");
    EXPECT_EQ(engine_.source(), 0x42);
    engine_.ExecuteLine("SEND 1FFFF 00");  // later sends keep the address
    EXPECT_EQ(engine_.source(), 0x42);
    EXPECT_TRUE(window_.log.empty());
}

TEST_F(ScriptEngineTest, DefineMonitorAndMessagesFromDispatch) {
    Run({"DEFINE house_voltage 1FFFD:01 [W3 * 0.05]",
         "MONITOR temp 1FFFD:01:02 [W2 * 0.03125 - 273] $%5.1F C$ \"Coach Temp\""});
    EXPECT_EQ(window_.redraws, 1);
    Receive(0x1FFFD, {1, 2, 0x24, 0x01});
    EXPECT_EQ(ValueOf("HOUSE_VOLTAGE"), "  14.600");  // 0x0124 * 0.05
    EXPECT_EQ(ValueOf("TEMP"), " 15.1 C");            // 0x2402 * 0.03125 - 273
    auto vars = engine_.variables().Lock();
    EXPECT_EQ(vars.FindVariable("HOUSE_VOLTAGE")->visible, 0);
    EXPECT_EQ(vars.FindVariable("TEMP")->DisplayLine(), "Coach Temp\t 15.1 C\t1");
}

TEST_F(ScriptEngineTest, SameNameIsAppendedAndTheFirstIsFound) {
    Run({"COUNTER laps", "COUNTER laps", "INCREMENT laps"});
    auto vars = engine_.variables().Lock();
    ASSERT_EQ(vars.size(), 2u);
    EXPECT_EQ(vars.datums()[0]->raw, 1u);
    EXPECT_EQ(vars.datums()[1]->raw, 0u);
}

TEST_F(ScriptEngineTest, ConstantReplacesTheValueOfAnExistingDatum) {
    Run({"CONSTANT limit \"12.5\"", "CONSTANT limit \"13\""});
    EXPECT_EQ(ValueOf("LIMIT"), "13");
    EXPECT_EQ(engine_.variables().Lock().size(), 1u);

    Run({"MONITOR volts 1 [B1] \"Volts\"", "CONSTANT VOLTS \"Replaced\""});
    auto vars = engine_.variables().Lock();
    EXPECT_EQ(vars.size(), 2u);
    EXPECT_EQ(vars.FindVariable("VOLTS")->title, "Replaced");
}

TEST_F(ScriptEngineTest, CounterCommandsAndErrors) {
    Run({"COUNTER laps", "INCREMENT laps", "INCREMENT LAPS"});
    EXPECT_EQ(ValueOf("LAPS"), "2");
    Run({"ZERO laps"});
    EXPECT_EQ(ValueOf("LAPS"), "0");
    Run({"INCREMENT laps", "ZEROCOUNTER laps"});
    EXPECT_EQ(ValueOf("LAPS"), "0");
    Run({"INCREMENT nothing", "MAKEVISIBLE nothing"});
    EXPECT_EQ(window_.log, (std::vector<std::string>{"ERROR: Datum [NOTHING] not recognized",
                                                     "ERROR: Datum [NOTHING] not recognized"}));
    const int before = window_.redraws;
    Run({"MAKEVISIBLE laps"});
    EXPECT_EQ(window_.redraws, before + 1);
    EXPECT_EQ(engine_.variables().Lock().FindVariable("LAPS")->visible, 1);
}

TEST_F(ScriptEngineTest, FormatCommand) {
    struct Case {
        const char* define;
        const char* format;
        uint32_t raw;
        const char* text;
        const char* log;
    };
    const Case cases[] = {
        {"DEFINE x 1 [B1]", "FORMAT x \"#0=Off#1=On#default=Error\"", 1, "ON", nullptr},
        {"DEFINE x 1 [B1]", "FORMAT x \"#0=Off#1=On#default=Error\"", 7, "ERROR", nullptr},
        {"DEFINE x 1 [W1]", "FORMAT x \"#1=One\"", 260, "[   260]", nullptr},
        {"DEFINE x 1 [B1]", "FORMAT x \"%5.1f volts\"", 12, " 12.0 VOLTS", nullptr},
        {"DEFINE x 1 [B1]", "FORMAT x \"%d\"", 12, " 12", "ERROR: Format [%D] has no f character"},
        {"DEFINE x 1 [B1]", "FORMAT x \"%D OF\"", 12, " 12",
         "ERROR: Format [%D OF] is not a format for one number"},
        {"DEFINE x 1 [B1]", "FORMAT x \"%s%f\"", 12, " 12",
         "ERROR: Format [%S%F] is not a format for one number"},
        {"DEFINE x 1 [B1]", "FORMAT x \"S\"", 192, "  0:03:12", nullptr},
        {"DEFINE x 1 [B1]", "FORMAT x \"sdec\"", 192, "  0:03.20", nullptr},
        {"DEFINE x 1 [W1 * 0.5]", "FORMAT x \"m\"", 151, "  1:15:30", nullptr},
        {"DEFINE x 1 [W1 * 0.5]", "FORMAT x \"MDEC\"", 151, "  1:15.50", nullptr},
        {"DEFINE x 1 [B1]", "FORMAT x \"Volts\"", 12, " 12", nullptr},
        {"DEFINE x 1 [B1]", "FORMAT x \"\"", 12, " 12", "ERROR: Cannot format Datum [X] as []"},
        {"DEFINE x 1 [B1]", "FORMAT y \"%f\"", 12, " 12", "ERROR: Cannot format Datum [Y] as [%f]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        engine_.variables().Clear();
        window_.log.clear();
        Run({c.define, c.format});
        auto vars = engine_.variables().Lock();
        RVCDatum* x = vars.FindVariable("X");
        ASSERT_NE(x, nullptr);
        EXPECT_EQ(x->changed, 0);  // the change shows at the next redraw
        x->raw = c.raw;
        EXPECT_EQ(x->ValueText(), c.text);
        if (c.log) {
            EXPECT_EQ(window_.log, std::vector<std::string>{c.log});
        } else {
            EXPECT_TRUE(window_.log.empty());
        }
    }
}

TEST_F(ScriptEngineTest, MonitorKeepsALowerCaseDefaultThatItDoesNotFind) {
    Run({"MONITOR x 1 [B1] $#1=one#2=two#default=other$"});
    Receive(1, {1});
    EXPECT_EQ(ValueOf("X"), "one");
    Receive(1, {7});
    EXPECT_EQ(ValueOf("X"), "Error");
}

TEST_F(ScriptEngineTest, FormulaAndButtonAreStored) {
    Run({"FORMULA mean {volts 2 /}", "BUTTON \"Go\" [SEND 1FFFE 00]"});
    auto vars = engine_.variables().Lock();
    ASSERT_EQ(vars.size(), 2u);
    EXPECT_EQ(vars.FindVariable("MEAN")->ValueText(), "N/D");
    EXPECT_EQ(vars.FindVariable("")->command, "SEND 1FFFE 00");
    EXPECT_EQ(window_.redraws, 1);
}

TEST_F(ScriptEngineTest, DictionaryDefinesInUpperCaseOnly) {
    const std::string path = WriteFile("coach.dict",
                                       "DEFINE volts 1FFFD:01 [W3 * 0.05] \"House\" $#1=on$\n"
                                       "MONITOR amps 1FFFD:01 [W5]\n"
                                       "BUTTON \"Go\" [SEND 1 2]\n"
                                       "  define\ttabbed 1 [B1]\n"
                                       "define last 1 [B1]");  // no final LF: never read
    Run({std::string("DICTIONARY  ") + path + "  "});
    EXPECT_TRUE(window_.log.empty());
    auto vars = engine_.variables().Lock();
    ASSERT_EQ(vars.size(), 1u);
    const RVCDatum* volts = vars.FindVariable("VOLTS");
    ASSERT_NE(volts, nullptr);
    EXPECT_EQ(volts->visible, 0);
    EXPECT_EQ(volts->title, "HOUSE");
    EXPECT_EQ(volts->format, "#1=ON#");
    EXPECT_EQ(vars.FindVariable("AMPS"), nullptr);
}

TEST_F(ScriptEngineTest, MissingDictionaryIsLogged) {
    Run({"DICTIONARY /nonexistent/none.dict"});
    EXPECT_EQ(window_.log,
              std::vector<std::string>{"Could not open file [/nonexistent/none.dict]."});
}

TEST_F(ScriptEngineTest, ExecutionPointsAreScannedInFileOrder) {
    const std::string text =
        "\"one\n"
        "@START\n"
        "  @@loop here\n"
        "@start\n"
        "ABORT";  // no final LF
    ASSERT_TRUE(engine_.OpenScript(WriteFile("s.scr", text + "\n@END")));
    const auto& points = engine_.execPoints();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].name, "START");
    EXPECT_EQ(points[0].offset, 5u);
    EXPECT_EQ(points[1].name, "LOOP");
    EXPECT_EQ(points[1].offset, 12u);
    EXPECT_EQ(points[2].name, "START");
    EXPECT_EQ(points[2].offset, 26u);
    EXPECT_EQ(engine_.FindExecPoint("START"), &points[0]);
    EXPECT_EQ(engine_.FindExecPoint("END"), nullptr);  // its line has no LF
    EXPECT_EQ(engine_.FindExecPoint("start"), nullptr);

    // The file is back at the top and its last line is never delivered.
    std::vector<std::string> lines;
    std::string line;
    while (ReadScriptLine(engine_.file(), line)) lines.push_back(line);
    EXPECT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines.back(), "ABORT");
    engine_.file().Seek(points[2].offset);
    ASSERT_TRUE(ReadScriptLine(engine_.file(), line));
    EXPECT_EQ(line, "@start");
}

TEST_F(ScriptEngineTest, QueuedGotosHoldAtMostOneHundred) {
    ASSERT_TRUE(engine_.OpenScript(WriteFile("s.scr", "@A\n@B\n@A\n")));
    struct Case {
        const char* command;
        std::vector<uint32_t> offsets;
    };
    const Case cases[] = {
        {"GOTO a", {0, 6}}, {"  goto B more", {3}}, {"GOTO C", {}}, {": GOTO A", {}},
        {"@GOTO A", {}},    {"SEND 1 2", {}},       {"", {}},       {"GOTOA", {}},
    };
    for (const auto& c : cases) {
        engine_.QueueGoto(c.command);
        std::vector<uint32_t> taken;
        while (auto offset = engine_.TakeQueuedGoto()) taken.push_back(*offset);
        EXPECT_EQ(taken, c.offsets) << c.command;
    }

    for (int i = 0; i < 99; ++i) engine_.QueueGoto("GOTO B");
    engine_.QueueGoto("GOTO A");  // the first A is the 100th; the second is dropped
    int count = 0;
    while (auto offset = engine_.TakeQueuedGoto()) {
        EXPECT_EQ(*offset, count < 99 ? 3u : 0u) << count;
        ++count;
    }
    EXPECT_EQ(count, 100);

    for (int i = 0; i < 101; ++i) engine_.QueueGoto("GOTO B");
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(engine_.TakeQueuedGoto().has_value());
    EXPECT_FALSE(engine_.TakeQueuedGoto().has_value());  // the 101st was dropped
}

TEST_F(ScriptEngineTest, OnlyExistingRegularFilesOpen) {
    EXPECT_FALSE(engine_.OpenScript((folder_ / "absent.scr").string()));
    EXPECT_FALSE(engine_.file().IsOpen());
    // A device never ends a line; a folder holds none.
    EXPECT_FALSE(engine_.OpenScript("/dev/zero"));
    EXPECT_FALSE(engine_.OpenScript(folder_.string()));
    Run({"DICTIONARY /dev/zero"});
    EXPECT_EQ(window_.log, std::vector<std::string>{"Could not open file [/dev/zero]."});
}

}  // namespace
}  // namespace corvane
