#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RVCNode.h"
#include "platform/Clock.h"
#include "script/EventList.h"
#include "script/ExecPoint.h"
#include "script/GotoQueue.h"
#include "script/ScriptConditions.h"
#include "script/ScriptFile.h"
#include "script/ScriptKeyword.h"
#include "script/ScriptNetwork.h"
#include "script/ScriptRunState.h"
#include "script/ScriptWindow.h"
#include "script/VariableList.h"

namespace corvane {

// The script engine: runs script lines against its variables and talks to its window through
// ScriptWindow only. Everything except the variable list (which the manager's dispatch also
// feeds, see VariableList) is used on the one thread that runs the script. Nothing blocks:
// WAIT, MAKE, IDLE and PAUSE only keep Step() from reading further lines.
//
// ScriptEngine.cpp runs scripts, evaluates and dispatches; the commands live by family in
// ScriptEngineFlow.cpp, ScriptEngineDatums.cpp, ScriptEngineSending.cpp,
// ScriptEngineEvents.cpp and ScriptEngineWindows.cpp.
class ScriptEngine {
  public:
    ScriptEngine(ScriptWindow& window, const Clock& clock, ScriptNetwork network = {});

    // Starts a script from the top. False (status "Could not open file.") when the file
    // cannot be opened; nothing runs then.
    bool Start(const std::string& path, std::string_view params, uint8_t target);
    // Runs the last script again from the top, keeping target, priority and source. The file
    // is read afresh: its execution points are listed again and the GOTO queue is emptied.
    bool RunAgain();

    // The 100 ms step: at most one file line, the one-second mark, then the events.
    void Step();
    // The control buttons.
    void Continue();
    void Retry();
    void Abort();

    // Opens the script file, lists its execution points and empties the GOTO queue. False
    // when the file cannot be opened.
    bool OpenScript(const std::string& path);
    ScriptFile& file() { return file_; }

    // Runs one line: the traffic-line rewrite, the one-character kinds, then the first keyword
    // in dispatch order that equals the line's keyword.
    void ExecuteLine(std::string_view line);

    // Execution points of the open script.
    void ScanExecPoints();
    const ExecPoint* FindExecPoint(std::string_view upper) const;
    const std::vector<ExecPoint>& execPoints() const { return execPoints_; }
    void ClearExecPoints() { execPoints_.clear(); }

    // An event's GOTO command: queues the offset of every execution point it names.
    void QueueGoto(std::string_view command);
    std::optional<uint32_t> TakeQueuedGoto() { return gotoQueue_.Take(); }
    void ClearGotoQueue() { gotoQueue_.Clear(); }

    // Evaluates every enabled event once; timers count only on a one-second step.
    void EvaluateEvents(bool oneSecondStep);

    // The three evaluators over this engine's state.
    TestOutcome EvaluateTest(std::string_view test);
    std::string SubstituteTags(std::string_view text);
    double EvaluateFormula(std::string_view expression);

    VariableList& variables() { return variables_; }
    EventList& events() { return events_; }
    const ScriptRunState& state() const { return state_; }
    ScriptRunState& state() { return state_; }
    // Source address of SEND messages; 0xFF sends from the tool's own address.
    uint8_t source() const { return state_.source; }
    void setSource(uint8_t source) { state_.source = source; }

  private:
    void ExecuteLineNested(std::string_view line);
    void RunCommand(ScriptKeyword keyword, std::string_view arguments);

    // Datums.
    void DefineDatum(std::string_view arguments, bool visibleInList);
    void Constant(std::string_view arguments);
    void Format(std::string_view arguments);
    void Dictionary(std::string_view arguments);
    // The variable commands that name an existing datum; when none has the name, the error is
    // logged instead.
    void WithDatum(std::string_view arguments, void (*action)(RVCDatum&), bool redrawAll);
    void UpdateFormula(std::string_view arguments, ScriptKeyword keyword);
    void Reset(std::string_view arguments);

    // Targeting and sending.
    void Target(std::string_view arguments);
    void FindTarget(bool first);
    void ResetDeviceList();
    void Send(std::string_view arguments);
    void Request(std::string_view arguments);
    void SetCurTime();
    void SimRx(std::string_view arguments);

    // Flow.
    void Wait(std::string_view arguments);
    void If(std::string_view arguments);
    void Make(std::string_view arguments);
    void Goto(std::string_view arguments);
    void Loop();
    void Idle();
    void Pause();
    void AbortCommand(std::string_view arguments);
    void Execute(std::string_view arguments);

    // Windows: parameters, the log, the strip chart.
    void AskForParams();
    void Menu(std::string_view arguments);
    void Save(std::string_view arguments);
    void GraphStart(std::string_view arguments);
    void GraphItem(std::string_view arguments);
    void GraphAdvance();

    // Events and timers.
    void SteerEvent(ScriptKeyword keyword, std::string_view arguments);
    void RunGoCommand(const std::string& command);

    // Running.
    void EndScript();
    void StopWaitButtons();
    ScriptFacts Facts();
    std::optional<RVCNode> NodeAt(uint8_t address) const;
    std::vector<bool> NodeAddresses() const;

    ScriptWindow& window_;
    const Clock& clock_;
    ScriptNetwork network_;
    ScriptRunState state_;
    VariableList variables_;
    EventList events_;
    ScriptFile file_;
    std::string path_;
    std::vector<ExecPoint> execPoints_;
    GotoQueue gotoQueue_;
    static constexpr int kMaxNesting = 16;
    int nesting_ = 0;  // lines run from inside other lines (IF, TRIGGER, events)

    // The strip chart's lines, by datum name (LOOP may delete and recreate the datums).
    struct GraphSlot {
        std::string name;
        double min = 0;
        double max = 0;
    };
    static constexpr size_t kGraphSlots = 8;
    bool graphExists_ = false;
    std::vector<GraphSlot> graphSlots_;
};

}  // namespace corvane
