#include "script/ScriptEngine.h"

#include <cstdio>

#include "core/DeviceTable.h"
#include "script/RVCDatumButton.h"
#include "script/RVCDatumFormula.h"
#include "script/RVCDatumInteger.h"
#include "script/ScriptText.h"

namespace corvane {

namespace {

// The event each event-defining keyword creates.
EventKind eventKindOf(ScriptKeyword keyword) {
    switch (keyword) {
        case ScriptKeyword::OnEventGo:
            return EventKind::OnEventGo;
        case ScriptKeyword::OnTimer:
            return EventKind::OnTimer;
        case ScriptKeyword::OnTimerGo:
            return EventKind::OnTimerGo;
        case ScriptKeyword::OneShot:
            return EventKind::OneShot;
        case ScriptKeyword::OneShotGo:
            return EventKind::OneShotGo;
        default:
            return EventKind::OnEvent;
    }
}

std::string Printf(const char* format, unsigned value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

ScriptEngine::ScriptEngine(ScriptWindow& window, const Clock& clock, ScriptNetwork network)
    : window_(window), clock_(clock), network_(std::move(network)) {}

bool ScriptEngine::OpenScript(const std::string& path) {
    if (!file_.Open(path)) return false;
    ScanExecPoints();
    gotoQueue_.Clear();
    return true;
}

bool ScriptEngine::Start(const std::string& path, std::string_view params, uint8_t target) {
    path_ = path;
    state_ = ScriptRunState{};
    state_.params = std::string(params);
    state_.target = target;
    events_.Clear();
    for (auto button : {ScriptButton::Continue, ScriptButton::Retry, ScriptButton::Abort,
                        ScriptButton::RunAgain}) {
        window_.EnableButton(button, false);
    }
    window_.EnableButton(ScriptButton::Close, true);
    variables_.Clear();
    window_.RedrawAll();
    window_.SetStatus("Starting Script");
    window_.ShowTarget(target);
    if (!OpenScript(path)) {
        window_.SetStatus("Could not open file.");
        return false;
    }
    state_.running = true;
    window_.EnableButton(ScriptButton::Abort, true);
    window_.EnableButton(ScriptButton::Close, false);
    state_.startClock = state_.lastSecond = clock_.steadyMilliseconds();
    window_.RedrawAll();
    return true;
}

bool ScriptEngine::RunAgain() {
    // The file may have been edited since the last run: its execution points are listed again
    // and jumps queued by the last run's events are dropped, or a GOTO would land on an offset
    // of the old text.
    if (!OpenScript(path_)) {
        window_.SetStatus("Could not open file.");
        return false;
    }
    events_.Clear();
    state_.running = true;
    state_.currentLine.clear();
    state_.params.clear();
    state_.paused = state_.waiting = state_.idle = false;
    window_.EnableButton(ScriptButton::Continue, false);
    window_.EnableButton(ScriptButton::Retry, false);
    window_.EnableButton(ScriptButton::Abort, true);
    window_.EnableButton(ScriptButton::Close, false);
    window_.EnableButton(ScriptButton::RunAgain, false);
    variables_.Clear();
    window_.RedrawAll();
    window_.SetStatus("Restarting Script");
    state_.startClock = state_.lastSecond = clock_.steadyMilliseconds();
    return true;
}

void ScriptEngine::Step() {
    if (!state_.running) return;
    if (state_.waiting) {
        ++state_.waitTicks;
        if (EvaluateTest(state_.waitTest).result) {
            state_.waiting = false;
            StopWaitButtons();
        }
    }
    if (!state_.paused && !state_.waiting && !state_.idle) {
        std::string line;
        if (ReadScriptLine(file_, line)) {
            state_.currentLine = line;
            ExecuteLine(line);
        } else {
            EndScript();
        }
    }
    const int64_t now = clock_.steadyMilliseconds();
    const bool oneSecond = now - state_.lastSecond > 1000;
    if (oneSecond) state_.lastSecond = now;
    // A script that ended in this step has no events left; ASKFORPARAMS and MENU set running
    // again before they return.
    if (state_.running) EvaluateEvents(oneSecond);
}

void ScriptEngine::EndScript() {
    state_.running = false;
    window_.SetStatus("Script Complete");
    file_.Close();
    window_.EnableButton(ScriptButton::Close, true);
    window_.EnableButton(ScriptButton::RunAgain, true);
    window_.EnableButton(ScriptButton::Abort, false);
    events_.Clear();
}

void ScriptEngine::StopWaitButtons() {
    window_.EnableButton(ScriptButton::Continue, false);
    window_.EnableButton(ScriptButton::Retry, false);
}

void ScriptEngine::Continue() {
    state_.paused = state_.waiting = false;
    StopWaitButtons();
    window_.SetStatus("Continuing Script");
}

void ScriptEngine::Retry() {
    window_.SetStatus("Retrying Command");
    state_.paused = state_.waiting = false;
    StopWaitButtons();
    const std::string line = state_.currentLine;
    ExecuteLine(line);
}

void ScriptEngine::Abort() {
    StopWaitButtons();
    window_.EnableButton(ScriptButton::Abort, false);
    window_.SetStatus("Terminating Script");
    state_.running = false;
    file_.Close();
    window_.EnableButton(ScriptButton::Close, true);
    window_.EnableButton(ScriptButton::RunAgain, true);
    events_.Clear();
}

void ScriptEngine::ScanExecPoints() { execPoints_ = corvane::ScanExecPoints(file_); }

const ExecPoint* ScriptEngine::FindExecPoint(std::string_view upper) const {
    return corvane::FindExecPoint(execPoints_, upper);
}

void ScriptEngine::QueueGoto(std::string_view command) {
    command = TrimLeadingSpaces(command);
    if (command.empty() || command.front() == ':' || command.front() == '@') return;
    const WordSplit keyword = SplitFirstWord(command);
    if (ToUpper(keyword.word) != "GOTO") return;
    const std::string name = ToUpper(SplitFirstWord(keyword.rest).word);
    for (const auto& point : execPoints_) {
        if (point.name == name) gotoQueue_.Push(point.offset);
    }
}

// ---- Evaluators -------------------------------------------------------------------------

std::optional<RVCNode> ScriptEngine::NodeAt(uint8_t address) const {
    if (network_.devices == nullptr) return std::nullopt;
    for (auto& node : network_.devices->nodes()) {
        if (node.address == address) return node;
    }
    return std::nullopt;
}

std::vector<bool> ScriptEngine::NodeAddresses() const {
    std::vector<bool> present(256, false);
    if (network_.devices != nullptr) {
        for (const auto& node : network_.devices->nodes()) present[node.address] = true;
    }
    return present;
}

ScriptFacts ScriptEngine::Facts() {
    ScriptFacts facts;
    facts.datum = [this](std::string_view name) -> std::optional<DatumReading> {
        if (name.empty()) return std::nullopt;  // an empty name would find a button
        auto vars = variables_.Lock();
        const RVCDatum* datum = vars.FindVariable(name);
        if (datum == nullptr) return std::nullopt;
        return DatumReading{datum->ValueText(), datum->formatKind};
    };
    facts.params = state_.params;
    facts.waitTicks = state_.waitTicks;
    facts.target = state_.target;
    facts.targetNode = NodeAt(state_.target);
    facts.timerSeconds =
        static_cast<double>(clock_.steadyMilliseconds() - state_.startClock) / 1000.0;
    facts.baseFolder = network_.baseFolder;
    facts.localTime = clock_.localNow();
    return facts;
}

TestOutcome ScriptEngine::EvaluateTest(std::string_view test) {
    TestOutcome outcome = corvane::EvaluateTest(test, Facts());
    if (!outcome.log.empty()) window_.AppendLine(outcome.log);
    return outcome;
}

std::string ScriptEngine::SubstituteTags(std::string_view text) {
    return corvane::SubstituteTags(text, Facts());
}

double ScriptEngine::EvaluateFormula(std::string_view expression) {
    return corvane::EvaluateFormula(expression, Facts().datum);
}

// ---- Dispatch ---------------------------------------------------------------------------

void ScriptEngine::ExecuteLine(std::string_view given) {
    // A command that triggers itself ("ONEVENT e [..] {TRIGGER e}") would recurse until the
    // stack runs out; such a chain is cut off and reported once.
    if (nesting_ >= kMaxNesting) {
        window_.AppendLine("ERROR: Commands nested too deeply <<" + std::string(given) + ">>");
        return;
    }
    ++nesting_;
    ExecuteLineNested(given);
    --nesting_;
}

void ScriptEngine::ExecuteLineNested(std::string_view given) {
    // A line copied from a traffic display is rewritten first, whatever kind of line it is.
    TrafficLine traffic;
    std::string_view line = given;
    if (RewriteTrafficLine(given, traffic)) {
        state_.source = traffic.source;
        line = traffic.line;
    }
    line = TrimLeadingSpaces(line);
    switch (KindOfLine(line)) {
        case LineKind::Empty:
        case LineKind::Comment:
        case LineKind::ExecPoint:
            return;
        case LineKind::LogText:
            window_.AppendLine(SubstituteTags(line.substr(1)));
            return;
        case LineKind::StatusText:
            window_.SetStatus(SubstituteTags(line.substr(1)));
            return;
        case LineKind::Command:
            break;
    }
    const CommandSplit command = SplitCommand(line);
    const std::optional<ScriptKeyword> keyword = FindKeyword(command.keyword);
    if (!keyword) {
        window_.AppendLine("Command [" + command.keyword + "] not recognized <<" +
                           std::string(given) + ">>");
        return;
    }
    RunCommand(*keyword, command.arguments);
}

void ScriptEngine::RunCommand(ScriptKeyword keyword, std::string_view arguments) {
    switch (keyword) {
        case ScriptKeyword::Target:
            return Target(arguments);
        case ScriptKeyword::FindFirstTarget:
            return FindTarget(true);
        case ScriptKeyword::FindNextTarget:
            return FindTarget(false);
        case ScriptKeyword::Priority:
            state_.priority = static_cast<uint8_t>(ParseHex(arguments));
            window_.SetStatus(Printf("Setting Priority to %u", state_.priority));
            return;
        case ScriptKeyword::Source:
            state_.source = static_cast<uint8_t>(ParseHex(arguments));
            window_.SetStatus(Printf("Setting Source Address to %u", state_.source));
            return;
        case ScriptKeyword::Request:
            return Request(arguments);
        case ScriptKeyword::Wait:
            return Wait(arguments);
        case ScriptKeyword::If:
            return If(arguments);
        case ScriptKeyword::Send:
        case ScriptKeyword::Cmd:
            return Send(arguments);
        case ScriptKeyword::Loop:
            return Loop();
        case ScriptKeyword::Goto:
            return Goto(arguments);
        case ScriptKeyword::SetCurTime:
            return SetCurTime();
        case ScriptKeyword::Pause:
            return Pause();
        case ScriptKeyword::Monitor:
            DefineDatum(arguments, true);
            window_.RedrawAll();
            return;
        case ScriptKeyword::Define:
            DefineDatum(arguments, false);
            return;
        case ScriptKeyword::Formula:
            variables_.Lock().Append(RVCDatumFormula::FromArguments(arguments));
            return;
        case ScriptKeyword::Update:
        case ScriptKeyword::UpdateMin:
        case ScriptKeyword::UpdateMax:
        case ScriptKeyword::UpdateMean:
        case ScriptKeyword::UpdateSum:
            return UpdateFormula(arguments, keyword);
        case ScriptKeyword::Reset:
            return Reset(arguments);
        case ScriptKeyword::Format:
            return Format(arguments);
        case ScriptKeyword::AskForParams:
            return AskForParams();
        case ScriptKeyword::ClearParams:
            state_.params.clear();
            return;
        case ScriptKeyword::SetParams:
            state_.params = ToUpper(TrimSpaces(arguments));
            return;
        case ScriptKeyword::Menu:
            return Menu(arguments);
        case ScriptKeyword::Constant:
            return Constant(arguments);
        case ScriptKeyword::Make:
            return Make(arguments);
        case ScriptKeyword::Button:
            variables_.Lock().Append(RVCDatumButton::FromArguments(arguments));
            window_.RedrawAll();
            return;
        case ScriptKeyword::Execute:
            return Execute(arguments);
        case ScriptKeyword::Abort:
            return AbortCommand(arguments);
        case ScriptKeyword::SimRx:
            return SimRx(arguments);
        case ScriptKeyword::ClearLog:
            window_.ClearLog();
            return;
        case ScriptKeyword::Dictionary:
            return Dictionary(arguments);
        case ScriptKeyword::MakeVisible:
            WithDatum(
                arguments, [](RVCDatum& d) { d.visible = 1; }, true);
            return;
        case ScriptKeyword::Counter:
            variables_.Lock().Append(RVCDatumInteger::FromArguments(arguments));
            return;
        case ScriptKeyword::Increment:
            WithDatum(
                arguments, [](RVCDatum& d) { d.Increment(); }, false);
            return;
        case ScriptKeyword::ZeroCounter:
        case ScriptKeyword::Zero:
            WithDatum(
                arguments, [](RVCDatum& d) { d.Zero(); }, false);
            return;
        case ScriptKeyword::Save:
            return Save(arguments);
        case ScriptKeyword::Idle:
            return Idle();
        case ScriptKeyword::ZeroTimer:
            state_.startClock = clock_.steadyMilliseconds();
            return;
        case ScriptKeyword::OnEvent:
        case ScriptKeyword::OnEventGo:
        case ScriptKeyword::OnTimer:
        case ScriptKeyword::OnTimerGo:
        case ScriptKeyword::OneShot:
        case ScriptKeyword::OneShotGo:
            events_.Append(EventItem::Parse(eventKindOf(keyword), arguments));
            return;
        case ScriptKeyword::Suspend:
        case ScriptKeyword::Resume:
        case ScriptKeyword::Trigger:
            return SteerEvent(keyword, arguments);
        case ScriptKeyword::GraphStart:
            return GraphStart(arguments);
        case ScriptKeyword::GraphItem:
            return GraphItem(arguments);
        case ScriptKeyword::GraphAdvance:
            return GraphAdvance();
        case ScriptKeyword::ResetDeviceList:
            return ResetDeviceList();
    }
}

}  // namespace corvane
