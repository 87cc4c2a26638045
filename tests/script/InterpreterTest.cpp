#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/FrameSender.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "platform/MemorySettingsStore.h"
#include "script/RVCDatumFormula.h"
#include "script/ScriptEngine.h"
#include "tests/script/RecordingWindow.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

struct SentFrame {
    uint32_t dgn;
    uint8_t sa;
    uint8_t priority;
    std::vector<uint8_t> data;
};

// The adapter: every frame the transmit path hands it.
class RecordingSender final : public FrameSender {
  public:
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override {
        std::lock_guard lock(mutex_);
        frames.push_back({dgn, sa, priority, std::vector<uint8_t>(data, data + length)});
    }
    bool echoTransmits() const override { return false; }
    std::vector<SentFrame> frames;

  private:
    std::mutex mutex_;
};

// An interpreter wired to a real manager, device table and transmit path.
class InterpreterTest : public ::testing::Test {
  protected:
    InterpreterTest() {
        manager_.setDataFieldSink(&engine_.variables());
        transmit_.setSender(&sender_);
        folder_ = std::filesystem::temp_directory_path() /
                  ("corvane-interp-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(folder_);
    }
    ~InterpreterTest() override {
        manager_.setDataFieldSink(nullptr);
        std::filesystem::remove_all(folder_);
    }

    // Starts a script made of `lines`, each ended by LF.
    void StartScript(std::initializer_list<std::string_view> lines, uint8_t target = 0xFF) {
        std::string text;
        for (auto line : lines) (text += line) += "\n";
        const auto path = folder_ / "test.scr";
        std::ofstream(path, std::ios::binary) << text;
        ASSERT_TRUE(engine_.Start(path.string(), "", target));
    }
    // One 100 ms step.
    void Step(int count = 1) {
        for (int i = 0; i < count; ++i) {
            clock_.advanceMs(100);
            engine_.Step();
        }
    }
    void Node(uint8_t sa, std::string_view productId) {
        manager_.dispatchMessage(*makeMessage(
            dgn::kProductId, sa,
            std::span(reinterpret_cast<const uint8_t*>(productId.data()), productId.size())));
    }
    void Device(uint8_t sa) {
        const uint8_t status[] = {0x05, 101, 0, 0, 0, 0, 0xFF, 0xFF};
        manager_.dispatchMessage(*makeMessage(dgn::kDmRv, sa, status));
    }
    std::string ValueOf(std::string_view name) {
        auto vars = engine_.variables().Lock();
        const RVCDatum* d = vars.FindVariable(name);
        return d ? d->ValueText() : "<none>";
    }
    std::vector<std::string> TakeLog() { return std::exchange(window_.log, {}); }

    test::FakeClock clock_;
    MemorySettingsStore settings_;
    DeviceTable table_{clock_};
    RVCManager manager_{settings_, table_};
    TransmitPath transmit_{manager_};
    RecordingSender sender_;
    test::RecordingWindow window_;
    ScriptEngine engine_{window_, clock_,
                         ScriptNetwork{&transmit_, &manager_, &table_, nullptr, {}, "/mods"}};
    std::filesystem::path folder_;
};

TEST_F(InterpreterTest, SendBuildsTheMessageFromTargetPriorityAndSource) {
    struct Case {
        uint8_t target;
        uint8_t source;
        const char* line;
        uint32_t dgn;
        uint8_t sa;
        uint8_t priority;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {0xFF, 0xFF, "SEND 1FEF5 01 02", 0x1FEF5, 0xF9, 6, {1, 2}},
        {0x42, 0xFF, "SEND 17FXX 00", 0x17F42, 0xF9, 6, {0}},
        {0xFF, 0xFF, "CMD 17FXX 00", 0x17FFF, 0xF9, 6, {0}},
        {0xFF, 0x80, "SEND 1FFFE 07", 0x1FFFE, 0x80, 6, {7}},
        {0xFF,
         0xFF,
         "REQUEST 1FECA",
         0xEAFF,
         0xF9,
         6,
         {0xCA, 0xFE, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0xFF,
         0x80,
         "REQUEST 0FEEB",
         0xEAFF,
         0xF9,
         6,
         {0xEB, 0xFE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        sender_.frames.clear();
        engine_.state().target = c.target;
        engine_.setSource(c.source);
        engine_.ExecuteLine(c.line);
        ASSERT_EQ(sender_.frames.size(), 1u) << c.line;
        EXPECT_EQ(sender_.frames[0].dgn, c.dgn) << c.line;
        EXPECT_EQ(sender_.frames[0].sa, c.sa) << c.line;
        EXPECT_EQ(sender_.frames[0].priority, c.priority) << c.line;
        EXPECT_EQ(sender_.frames[0].data, c.data) << c.line;
    }
    EXPECT_TRUE(window_.log.empty());
}

TEST_F(InterpreterTest, SetCurTimeSendsTheClocksLocalTimeAndDatetimeShowsIt) {
    clock_.setUtcOffsetSeconds(-5 * 3600);  // 1'700'000'000 is 22:13:20 UTC on a Tuesday
    engine_.ExecuteLine("SETCURTIME");
    ASSERT_EQ(sender_.frames.size(), 1u);
    EXPECT_EQ(sender_.frames[0].dgn, 0x1FFFEu);
    EXPECT_EQ(sender_.frames[0].priority, 5);
    // Year in the century, month, day, weekday from Sunday = 1, hour, minute, second.
    EXPECT_EQ(sender_.frames[0].data, (std::vector<uint8_t>{23, 11, 14, 3, 17, 13, 20, 0xFF}));
    engine_.ExecuteLine("\"[DATETIME]");
    EXPECT_EQ(window_.log, std::vector<std::string>{"Tuesday, November 14, 2023     17:13:20"});
}

TEST_F(InterpreterTest, RefusedSendsLogAndSendNothing) {
    std::string tooLong = "SEND 1FFFE";
    for (int i = 0; i < 1786; ++i) tooLong += " 01";
    const std::pair<std::string, std::string> cases[] = {
        {"SEND 0 01", "Could not parse DGN in  0 01"},
        {"SEND 1FFFE", "No data found in  1FFFE"},
        {tooLong, "Invalid message: " + tooLong.substr(4)},
        {"MAKE [] BYSENDING 1FFFE 01", "Invalid syntax in MAKE Command"},
    };
    for (const auto& [line, log] : cases) {
        window_.log.clear();
        engine_.ExecuteLine(line);
        EXPECT_EQ(window_.log, std::vector<std::string>{log}) << line.substr(0, 40);
    }
    EXPECT_TRUE(sender_.frames.empty());
    // PRIORITY reads hex: 10 is 16, which the transmit path refuses.
    engine_.ExecuteLine("PRIORITY 10");
    EXPECT_EQ(window_.status, "Setting Priority to 16");
    engine_.ExecuteLine("SEND 1FFFE 01");
    EXPECT_TRUE(sender_.frames.empty());
    engine_.ExecuteLine("SOURCE 4A");
    EXPECT_EQ(window_.status, "Setting Source Address to 74");
}

TEST_F(InterpreterTest, WaitEndsOnTheTwentyFirstStepOrOnContinue) {
    StartScript({"WAIT 2", "\"done"});
    Step();  // runs WAIT
    EXPECT_TRUE(engine_.state().waiting);
    EXPECT_TRUE(window_.enabled(ScriptButton::Continue));
    Step(20);
    EXPECT_TRUE(window_.log.empty());
    EXPECT_TRUE(engine_.state().waiting);
    Step();  // the 21st step ends the wait and reads the next line
    EXPECT_EQ(window_.log, std::vector<std::string>{"done"});
    EXPECT_FALSE(window_.enabled(ScriptButton::Continue));

    StartScript({"WAIT 2", "\"done"});
    Step();
    engine_.Continue();
    EXPECT_EQ(window_.status, "Continuing Script");
    window_.log.clear();
    Step();
    EXPECT_EQ(window_.log, std::vector<std::string>{"done"});
}

TEST_F(InterpreterTest, MakeSendsOnceAndWaitsForItsTest) {
    StartScript({"DEFINE hour 1FFFF [B4]",
                 "MAKE [hour == 12] BYSENDING 1FFFE FF FF FF FF 0C FF FF FF", "\"hour set"});
    Step(2);
    EXPECT_EQ(sender_.frames.size(), 1u);
    EXPECT_TRUE(engine_.state().waiting);
    EXPECT_TRUE(window_.enabled(ScriptButton::Retry));
    Step(5);
    EXPECT_EQ(sender_.frames.size(), 1u);
    EXPECT_TRUE(window_.log.empty());
    engine_.ExecuteLine("SIMRX 42 1FFFF 00 00 00 0C");
    Step();
    EXPECT_EQ(window_.log, std::vector<std::string>{"hour set"});
    // Already true: nothing is sent and nothing waits.
    engine_.ExecuteLine("MAKE [hour == 12] BYSENDING 1FFFE 01");
    EXPECT_FALSE(engine_.state().waiting);
    EXPECT_EQ(sender_.frames.size(), 1u);
    // Without BYSENDING it waits with Retry disabled.
    engine_.ExecuteLine("MAKE [hour == 13]");
    EXPECT_TRUE(engine_.state().waiting);
    EXPECT_FALSE(window_.enabled(ScriptButton::Retry));
    EXPECT_EQ(sender_.frames.size(), 1u);
}

TEST_F(InterpreterTest, TargetFormsAndTheTargetSearch) {
    Node(0x20, "Tindrel Electronics,Inc.*Panel*1*2*");
    Node(0x45, "ACME*Tindrel Heater*3*4*");
    Node(0x60, "Other*Thing*5*6*");
    Device(0x20);
    Device(0x45);
    Device(0x60);
    struct Case {
        uint8_t before;
        const char* line;
        uint8_t after;
    };
    const Case cases[] = {
        {0x00, "TARGET \"Tindrel\"", 0x45},  // the last match wins, by make or model
        {0x00, "TARGET \"ACME\"", 0x45},
        {0x07, "TARGET \"tindrel\"", 0x07},  // case-sensitive; no match leaves it
        {0x07, "TARGET \"\"", 0x07},
        {0x00, "TARGET 42", 0x42},
        {0x00, "TARGET 1FF", 0xFF},
        {0x00, "TARGET [TARGET]", 0x00},
        {0x05, "FINDFIRSTTARGET", 0x20},
        {0x20, "FINDNEXTTARGET", 0x45},
        {0x45, "FINDNEXTTARGET", 0x60},
        {0x60, "FINDNEXTTARGET", 0xFF},
        {0xFF, "FINDNEXTTARGET", 0xFF},
    };
    for (const auto& c : cases) {
        engine_.state().target = c.before;
        engine_.ExecuteLine(c.line);
        EXPECT_EQ(engine_.state().target, c.after) << c.line;
        EXPECT_EQ(window_.target, c.after) << c.line;
    }
    engine_.ExecuteLine("CONSTANT t \"69\"");
    engine_.ExecuteLine("TARGET [t]");
    EXPECT_EQ(engine_.state().target, 69);

    engine_.ExecuteLine("RESETDEVICELIST");
    EXPECT_TRUE(table_.nodes().empty());
    engine_.state().target = 0x10;
    engine_.ExecuteLine("FINDFIRSTTARGET");  // no node: the search ends at 0xFF
    EXPECT_EQ(engine_.state().target, 0xFF);
}

TEST_F(InterpreterTest, FlowCommands) {
    StartScript({"GOTO NOWHERE", "\"after", "GOTO end", "\"skipped", "@END", "\"at end"});
    Step(5);  // the execution point's own line takes a step too
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"ERROR: Line [NOWHERE] not recognized", "after",
                                                   "at end"}));
    Step();
    EXPECT_FALSE(engine_.state().running);
    EXPECT_EQ(window_.status, "Script Complete");
    EXPECT_TRUE(window_.enabled(ScriptButton::RunAgain));

    // RESET of a datum no event has: the datum is reset and the event error logged.
    engine_.ExecuteLine("FORMULA f {3}");
    engine_.ExecuteLine("UPDATE f");
    EXPECT_EQ(ValueOf("F"), "       3.000");
    engine_.ExecuteLine("RESET f");
    EXPECT_EQ(ValueOf("F"), "N/D");
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"ERROR: Event [F] not recognized"});

    engine_.ExecuteLine("SETPARAMS  a b ");
    EXPECT_EQ(engine_.state().params, "A B");
    window_.menuAnswer = "FAST";
    engine_.ExecuteLine("MENU FAST \"Fast mode\" SLOW \"Slow\"");
    EXPECT_EQ(engine_.state().params, "A B FAST");
    ASSERT_EQ(window_.menu.size(), 2u);
    window_.paramsAnswer = "x y";
    engine_.ExecuteLine("ASKFORPARAMS");
    EXPECT_EQ(window_.askedWith, "A B FAST");
    EXPECT_EQ(engine_.state().params, "X Y");
    engine_.ExecuteLine("CLEARPARAMS");
    EXPECT_EQ(engine_.state().params, "");
    engine_.ExecuteLine("SAVE  log[TARGET].txt");
    EXPECT_EQ(window_.savedTo, "log255.txt");
}

TEST_F(InterpreterTest, FormulaUpdatesAndTimerTags) {
    engine_.ExecuteLine("CONSTANT a \"4\"");
    engine_.ExecuteLine("CONSTANT b \"6\"");
    engine_.ExecuteLine("FORMULA f {a b + 2 /}");
    engine_.ExecuteLine("UPDATE f");
    EXPECT_EQ(ValueOf("F"), "       5.000");
    engine_.ExecuteLine("FORMULA m {v}");
    for (const char* v : {"2", "4", "9"}) {
        engine_.ExecuteLine(std::string("CONSTANT v \"") + v + "\"");
        engine_.ExecuteLine("UPDATEMEAN m");
    }
    {
        auto vars = engine_.variables().Lock();
        const auto* m = dynamic_cast<const RVCDatumFormula*>(vars.FindVariable("M"));
        ASSERT_NE(m, nullptr);
        EXPECT_DOUBLE_EQ(m->value, 5.0);
        EXPECT_EQ(m->count, 3);
    }
    engine_.ExecuteLine("UPDATEMAX nothing");
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"ERROR: Datum [NOTHING] not recognized"});

    StartScript({"IDLE"});
    clock_.advanceMs(5000);
    engine_.ExecuteLine("\"Elapsed [TIMER] s [foo]");
    engine_.ExecuteLine("ZEROTIMER");
    engine_.ExecuteLine("'[MSTIMER]");
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"Elapsed 5 s Invalid Tag"});
    EXPECT_EQ(window_.status, "0.000");
}

TEST_F(InterpreterTest, SimRxReachesADefine) {
    engine_.ExecuteLine("DEFINE volts 1FFFD:01 [W3]");
    engine_.ExecuteLine("SIMRX 42 1FFFD 01 00 04 01");
    auto vars = engine_.variables().Lock();
    EXPECT_EQ(vars.FindVariable("VOLTS")->raw, 260u);
}

TEST_F(InterpreterTest, OnEventFiresOnRisingEdgesAndAfterReset) {
    StartScript({"DEFINE temp 1FFFD [B1]", "ONEVENT hot [temp == 1] {\"Too hot}", "IDLE"});
    Step(3);
    const auto set = [&](const char* value) {
        engine_.ExecuteLine(std::string("SIMRX 42 1FFFD ") + value);
    };
    set("01");
    Step();
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"Too hot"});
    Step(3);
    EXPECT_TRUE(TakeLog().empty());
    engine_.ExecuteLine("RESET hot");
    Step();
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"Too hot"});
    set("02");
    Step();
    set("01");
    Step();
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"Too hot"});
    engine_.ExecuteLine("SUSPEND hot");
    set("02");
    Step();
    set("01");
    Step();
    EXPECT_TRUE(TakeLog().empty());
    engine_.ExecuteLine("RESUME hot");
    Step();
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"Too hot"});
    engine_.ExecuteLine("ONEVENT bad [nothing == 1] {\"x}");
    Step();
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"Invalid Tag in Expression nothing == 1"});
}

TEST_F(InterpreterTest, TimersOneShotsAndTrigger) {
    StartScript({"COUNTER n", "ONTIMER t [2] {INCREMENT n}", "ONESHOT [1] {\"once}",
                 "ONESHOT [9] {\"second}", "ONTIMER s [1] {\"suspended} SUSPENDED", "IDLE"});
    Step(6);
    // Each one-second mark comes at the first step more than 1000 ms after the last.
    Step(10);
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"once"});
    Step(11);
    EXPECT_EQ(ValueOf("N"), ValueOf("N"));
    {
        auto vars = engine_.variables().Lock();
        EXPECT_EQ(vars.FindVariable("N")->raw, 1u);
    }
    engine_.ExecuteLine("TRIGGER t");           // runs now, counter untouched
    engine_.ExecuteLine("TRIGGER missingtag");  // a one-shot: nothing
    EXPECT_TRUE(TakeLog().empty());
    {
        auto vars = engine_.variables().Lock();
        EXPECT_EQ(vars.FindVariable("N")->raw, 2u);
    }
    engine_.ExecuteLine("SUSPEND missingtag");  // the first one-shot only
    EXPECT_EQ(engine_.events()[1].enabled, 0);
    EXPECT_EQ(engine_.events()[2].enabled, 1);
    engine_.ExecuteLine("RESUME s");
    Step(11);
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"suspended"});
    engine_.ExecuteLine("TRIGGER nothing");
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"ERROR: Event [NOTHING] not recognized"});
}

TEST_F(InterpreterTest, GoEventsJumpAtOnceWhenIdleOrQueueOtherwise) {
    StartScript({"ONESHOTGO [1] {GOTO TIMEOUT}", "WAIT 5", "\"waited", "IDLE", "\"not here",
                 "@TIMEOUT", "\"timed out", "ONESHOTGO [1] {GOTO LATE}", "IDLE", "\"skipped",
                 "@LATE", "\"late"});
    Step(2);   // ONESHOTGO, WAIT
    Step(11);  // the one-shot fires while waiting: queued
    EXPECT_TRUE(TakeLog().empty());
    // Step 53 ends the wait and logs, 54 is IDLE taking the queued jump, then the execution
    // point, the log line, ONESHOTGO and IDLE with an empty queue.
    Step(45);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"waited", "timed out"}));
    EXPECT_TRUE(engine_.state().idle);
    Step(14);
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"late"});
}

TEST_F(InterpreterTest, EventsRunInTheStepOfAbortAndAreThenDeleted) {
    StartScript({"ONEVENT always [PARAMS == ] {\"never}",
                 "ONEVENT e [MINVERSION == 1.00.00] {\"event}", "ABORT \"Stopping\"", "\"not run"});
    const std::string invalid = "Invalid Value in ExpressionPARAMS == ";
    Step(2);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{invalid, invalid, "event"}));
    Step();  // ABORT, then the events of that same step
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"Stopping", invalid}));
    Step();
    EXPECT_EQ(window_.status, "Script Complete");
    EXPECT_EQ(engine_.events().size(), 0u);
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(InterpreterTest, PauseRetryAbortAndLoop) {
    StartScript({"PAUSE", "SEND 1FFFE 01", "LOOP"});
    Step();
    EXPECT_TRUE(engine_.state().paused);
    EXPECT_TRUE(window_.enabled(ScriptButton::Continue));
    Step(3);
    EXPECT_TRUE(sender_.frames.empty());
    engine_.Continue();
    Step();
    EXPECT_EQ(sender_.frames.size(), 1u);
    engine_.Retry();
    EXPECT_EQ(window_.status, "Retrying Command");
    EXPECT_EQ(sender_.frames.size(), 2u);
    engine_.ExecuteLine("COUNTER c");
    Step();  // LOOP empties the variables and starts again
    EXPECT_EQ(ValueOf("C"), "<none>");
    Step();
    EXPECT_TRUE(engine_.state().paused);
    engine_.Abort();
    EXPECT_EQ(window_.status, "Terminating Script");
    EXPECT_FALSE(engine_.state().running);
    EXPECT_TRUE(window_.enabled(ScriptButton::RunAgain));
    EXPECT_FALSE(window_.enabled(ScriptButton::Abort));
    EXPECT_TRUE(engine_.RunAgain());
    EXPECT_EQ(window_.status, "Restarting Script");
    EXPECT_FALSE(engine_.state().paused);

    EXPECT_FALSE(engine_.Start((folder_ / "missing.scr").string(), "", 0xFF));
    EXPECT_EQ(window_.status, "Could not open file.");
}

TEST_F(InterpreterTest, SelfTriggeringCommandsEnd) {
    engine_.ExecuteLine("ONEVENT e [PARAMS == X] {TRIGGER e}");
    engine_.ExecuteLine("TRIGGER e");
    ASSERT_EQ(window_.log.size(), 1u);
    EXPECT_EQ(window_.log[0], "ERROR: Commands nested too deeply <<TRIGGER e>>");
}

TEST_F(InterpreterTest, GraphCommands) {
    engine_.ExecuteLine("CONSTANT v \"12.5\"");
    engine_.ExecuteLine("GRAPHITEM v 10 15");  // no graph yet: nothing
    engine_.ExecuteLine("GRAPHSTART 100 80");
    engine_.ExecuteLine("GRAPHITEM v 10.0 15.0");
    engine_.ExecuteLine("GRAPHITEM v 15.0 10.0");
    engine_.ExecuteLine("GRAPHITEM w 1 2");
    engine_.ExecuteLine("CONSTANT big \"1e300\"");
    engine_.ExecuteLine("GRAPHITEM big 0 1");
    engine_.ExecuteLine("GRAPHADVANCE");
    EXPECT_EQ(window_.graph, std::vector<int>{100 * 10000 + 80});
    EXPECT_EQ(window_.graphLines, (std::vector<int>{0, 1}));
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"Wnot defined for graphing."});
    ASSERT_EQ(window_.advances.size(), 1u);
    // A constant's Value() is 0 (its raw value): below min, position 0.
    EXPECT_EQ(window_.advances[0], (std::vector<int>{0, 0}));
}

TEST_F(InterpreterTest, RunAgainReadsTheEditedFileAfresh) {
    // The first run queues a jump to B that no IDLE takes.
    StartScript({"SETPARAMS GO", "ONEVENTGO e [PARAMS == GO] {GOTO B}", "GOTO A", "\"skipped", "@A",
                 "\"first run", "@B", "\"b"});
    Step(10);
    ASSERT_FALSE(engine_.state().running);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"first run", "b"}));
    // Edited: A moves to where the old offsets fall inside other lines.
    std::ofstream(folder_ / "test.scr", std::ios::binary)
        << "\"second run, with a first line longer than before\nGOTO A\n\"skipped\n"
           "\"skipped too\n@A\n\"at A\nIDLE\n\"not reached\n";
    ASSERT_TRUE(engine_.RunAgain());
    Step(20);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{
                             "second run, with a first line longer than before", "at A"}));
    EXPECT_TRUE(engine_.state().idle);
}

TEST_F(InterpreterTest, OneShotIsMarkedFiredAfterItsCommand) {
    // The command re-arms its own one-shot; marking it afterwards keeps it from firing again.
    StartScript({"ONESHOT [1] {RESET MISSINGTAG}", "IDLE"});
    Step(12);
    ASSERT_EQ(engine_.events().size(), 1u);
    EXPECT_EQ(engine_.events()[0].fired, 1);
    Step(25);
    EXPECT_EQ(engine_.events()[0].fired, 1);
    EXPECT_EQ(engine_.events()[0].counter, 0);
    EXPECT_TRUE(TakeLog().empty());
}

}  // namespace
}  // namespace corvane
