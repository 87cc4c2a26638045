#include "script/ScriptEngine.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/DeviceTable.h"
#include "core/RVCManager.h"
#include "core/RvcMessage.h"
#include "core/RvcSendFromRequest.h"
#include "core/RvcSendRequest.h"
#include "core/TransmitPath.h"
#include "platform/Shell.h"
#include "script/DatumDefinition.h"
#include "script/RVCDatumButton.h"
#include "script/RVCDatumConstant.h"
#include "script/RVCDatumFormula.h"
#include "script/RVCDatumInteger.h"
#include "script/RVCDatumMonitor.h"
#include "script/ScriptMessages.h"
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

constexpr uint32_t kRequestDgn = 0xEA00 + 0xFF;  // a request addressed to every node
constexpr uint32_t kDateTimeCommandDgn = 0x1FFFE;

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
    facts.epochSeconds = clock_.epochSeconds();
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

// ---- Events -----------------------------------------------------------------------------

void ScriptEngine::RunGoCommand(const std::string& command) {
    if (state_.idle) {
        ExecuteLine(command);
        state_.idle = false;
    } else {
        QueueGoto(command);
    }
}

void ScriptEngine::EvaluateEvents(bool oneSecondStep) {
    // Commands may append events (and a later step may clear them), so the list is walked by
    // index and every item is looked up again after its command ran.
    for (size_t i = 0; i < events_.size(); ++i) {
        if (events_[i].enabled == 0) continue;
        const EventItem item = events_[i];
        switch (item.kind) {
            case EventKind::OnEvent:
            case EventKind::OnEventGo: {
                const bool result = EvaluateTest(item.test).result;
                if (item.fired == 0 && result) {
                    if (item.isGo()) {
                        RunGoCommand(item.command);
                    } else {
                        ExecuteLine(item.command);
                    }
                }
                if (i < events_.size()) events_[i].fired = result ? 1 : 0;
                break;
            }
            case EventKind::OnTimer:
            case EventKind::OnTimerGo:
                if (!oneSecondStep) break;
                if (++events_[i].counter >= item.period) {
                    events_[i].counter = 0;
                    if (item.isGo()) {
                        RunGoCommand(item.command);
                    } else {
                        ExecuteLine(item.command);
                    }
                }
                break;
            case EventKind::OneShot:
            case EventKind::OneShotGo:
                if (!oneSecondStep || item.fired != 0) break;
                if (++events_[i].counter >= item.period) {
                    if (item.isGo()) {
                        RunGoCommand(item.command);
                    } else {
                        ExecuteLine(item.command);
                    }
                    // Marked after the command, so a command that resets its own one-shot
                    // does not arm it again.
                    if (i < events_.size()) {
                        events_[i].fired = 1;
                        events_[i].counter = 0;
                    }
                }
                break;
        }
        if (!state_.running && events_.size() == 0) return;
    }
}

void ScriptEngine::SteerEvent(ScriptKeyword keyword, std::string_view arguments) {
    const std::string name = ToUpper(SplitFirstWord(arguments).word);
    EventItem* item = events_.FindEvent(name);
    if (item == nullptr) {
        window_.AppendLine("ERROR: Event [" + name + "] not recognized");
        return;
    }
    switch (keyword) {
        case ScriptKeyword::Suspend:
            item->enabled = 0;
            return;
        case ScriptKeyword::Resume:
            item->enabled = 1;
            item->fired = 0;
            return;
        case ScriptKeyword::Reset:
            item->fired = 0;
            return;
        case ScriptKeyword::Trigger:
            if (item->kind == EventKind::OnEvent || item->kind == EventKind::OnTimer) {
                const std::string command = item->command;
                ExecuteLine(command);
            }
            return;
        default:
            return;
    }
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

// ---- Targeting and network --------------------------------------------------------------

void ScriptEngine::Target(std::string_view arguments) {
    if (arguments.find('"') != std::string_view::npos) {
        const std::string_view wanted = TextBetween(arguments, '"', '"');
        if (!wanted.empty() && network_.devices != nullptr) {
            const DeviceTable& table = *network_.devices;
            for (const auto& device : table.devices()) {
                const RVCNode node = table.findNode(device.sa);
                if (node.make.find(wanted) != std::string::npos ||
                    node.model.find(wanted) != std::string::npos) {
                    state_.target = node.address;
                }
            }
        }
    } else if (arguments.find('[') != std::string_view::npos) {
        state_.target = static_cast<uint8_t>(ParseDecimal(SubstituteTags(arguments)));
    } else {
        state_.target = static_cast<uint8_t>(ParseHex(arguments));
    }
    window_.ShowTarget(state_.target);
}

void ScriptEngine::FindTarget(bool first) {
    const std::vector<bool> present = NodeAddresses();
    if (first) {
        // No node anywhere leaves 0xFF, as FINDNEXTTARGET does past the last node.
        state_.target = 0xFF;
        for (unsigned address = 0; address < 0xFF; ++address) {
            if (present[address]) {
                state_.target = static_cast<uint8_t>(address);
                break;
            }
        }
    } else if (state_.target != 0xFF) {
        do {
            ++state_.target;
        } while (state_.target != 0xFF && !present[state_.target]);
    }
    window_.ShowTarget(state_.target);
}

void ScriptEngine::ResetDeviceList() {
    if (network_.devices == nullptr) return;
    network_.devices->clear();
    if (network_.adapterSelected && network_.adapterSelected()) network_.devices->addToolEntries();
}

void ScriptEngine::Send(std::string_view arguments) {
    const ScriptMessage message = ParseSendArguments(arguments, state_.target);
    if (!message.error.empty()) {
        window_.AppendLine(message.error);
        return;
    }
    if (network_.transmit == nullptr) return;
    if (state_.source == 0xFF) {
        if (auto request = makeSendRequest(message.dgn, state_.priority, message.data)) {
            network_.transmit->sendRequest(*request);
        }
    } else if (auto request =
                   makeSendFromRequest(state_.source, message.dgn, state_.priority, message.data)) {
        network_.transmit->sendFromRequest(*request);
    }
}

void ScriptEngine::Request(std::string_view arguments) {
    const uint32_t requested = ParseHex(arguments);
    const uint8_t data[8] = {static_cast<uint8_t>(requested),
                             static_cast<uint8_t>(requested >> 8),
                             static_cast<uint8_t>(requested >> 16),
                             0xFF,
                             0xFF,
                             0xFF,
                             0xFF,
                             0xFF};
    if (network_.transmit == nullptr) return;
    if (auto request = makeSendRequest(kRequestDgn, 6, data)) {
        network_.transmit->sendRequest(*request);
    }
}

void ScriptEngine::SetCurTime() {
    const std::time_t now = static_cast<std::time_t>(clock_.epochSeconds());
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr || network_.transmit == nullptr) return;
    const uint8_t data[8] = {
        static_cast<uint8_t>(local.tm_year % 100), static_cast<uint8_t>(local.tm_mon + 1),
        static_cast<uint8_t>(local.tm_mday),       static_cast<uint8_t>(local.tm_wday + 1),
        static_cast<uint8_t>(local.tm_hour),       static_cast<uint8_t>(local.tm_min),
        static_cast<uint8_t>(local.tm_sec),        0xFF};
    if (auto request = makeSendRequest(kDateTimeCommandDgn, 5, data)) {
        network_.transmit->sendRequest(*request);
    }
}

void ScriptEngine::SimRx(std::string_view arguments) {
    const ScriptMessage message = ParseSimRxArguments(arguments);
    if (!message.error.empty()) {
        window_.AppendLine(message.error);
        return;
    }
    const auto built = makeMessage(message.dgn, message.source, message.data);
    if (!built) return;
    if (network_.manager != nullptr) {
        network_.manager->dispatchMessage(*built);
    } else {
        // Without a network the script's own datums still see what it simulates.
        variables_.offer(*built);
    }
}

// ---- Flow -------------------------------------------------------------------------------

void ScriptEngine::Wait(std::string_view arguments) {
    const int64_t seconds = ParseDecimal(arguments);
    const int64_t ticks = seconds < 0 ? 0 : seconds > 400'000'000 ? 4'000'000'000 : seconds * 10;
    state_.waitTest = "WAIT == " + std::to_string(ticks);
    state_.waitTicks = 0;
    state_.waiting = true;
    window_.EnableButton(ScriptButton::Continue, true);
    window_.EnableButton(ScriptButton::Retry, true);
}

void ScriptEngine::If(std::string_view arguments) {
    state_.waitTest = std::string(TextBetween(arguments, '[', ']'));
    if (EvaluateTest(state_.waitTest).result) {
        const std::string command(TextBetween(arguments, '{', '}'));
        ExecuteLine(command);
    }
}

void ScriptEngine::Make(std::string_view arguments) {
    state_.waitTest = std::string(TextBetween(arguments, '[', ']'));
    if (state_.waitTest.empty()) {
        window_.AppendLine("Invalid syntax in MAKE Command");
        return;
    }
    if (EvaluateTest(state_.waitTest).result) return;
    const size_t by = arguments.find("BYSENDING");
    if (by != std::string_view::npos) {
        Send(arguments.substr(by + 9));
        state_.waiting = true;
        window_.EnableButton(ScriptButton::Continue, true);
        window_.EnableButton(ScriptButton::Retry, true);
    } else {
        state_.waiting = true;
        window_.EnableButton(ScriptButton::Continue, true);
        window_.EnableButton(ScriptButton::Retry, false);
    }
}

void ScriptEngine::Goto(std::string_view arguments) {
    const std::string name = ToUpper(SplitFirstWord(arguments).word);
    const ExecPoint* point = FindExecPoint(name);
    if (point == nullptr) {
        window_.AppendLine("ERROR: Line [" + name + "] not recognized");
        return;
    }
    file_.Seek(point->offset);
    state_.idle = false;
}

void ScriptEngine::Loop() {
    file_.Seek(0);
    variables_.Clear();
    window_.RedrawAll();
}

void ScriptEngine::Idle() {
    if (auto offset = gotoQueue_.Take()) {
        file_.Seek(*offset);
    } else {
        state_.idle = true;
    }
}

void ScriptEngine::Pause() {
    state_.paused = true;
    window_.EnableButton(ScriptButton::Continue, true);
}

void ScriptEngine::AbortCommand(std::string_view arguments) {
    window_.AppendLine(TextBetween(arguments, '"', '"'));
    file_.SeekEnd();
}

void ScriptEngine::Execute(std::string_view arguments) {
    const std::string file(TextBetween(arguments, '"', '"'));
    std::string parameters;
    if (const size_t first = arguments.find('"'); first != std::string_view::npos) {
        if (const size_t second = arguments.find('"', first + 1);
            second != std::string_view::npos) {
            parameters = std::string(TrimLeadingSpaces(arguments.substr(second + 1)));
        }
    }
    // The shell's answer is not the script's business.
    if (network_.shell != nullptr && !file.empty()) (void)network_.shell->open(file, parameters);
    window_.SetStatus("Executing " + file + " " + parameters);
}

// ---- Parameters and log -----------------------------------------------------------------

void ScriptEngine::AskForParams() {
    state_.running = false;
    const std::optional<std::string> entered = window_.AskForParams(state_.params);
    if (entered) state_.params = ToUpper(*entered);
    state_.running = true;
}

void ScriptEngine::Menu(std::string_view arguments) {
    const std::vector<MenuEntry> entries = ParseMenuEntries(arguments);
    state_.running = false;
    const std::optional<std::string> chosen = window_.ChooseMenuToken(entries);
    if (chosen) state_.params += " " + *chosen;
    state_.params = ToUpper(state_.params);
    state_.running = true;
}

void ScriptEngine::Save(std::string_view arguments) {
    const std::string_view path = TrimLeadingSpaces(arguments);
    if (path.empty()) {
        window_.ShowSaveLogDialog();
        return;
    }
    (void)window_.SaveLog(SubstituteTags(path));
}

// ---- Graph ------------------------------------------------------------------------------

void ScriptEngine::GraphStart(std::string_view arguments) {
    const WordSplit x = SplitFirstWord(arguments);
    const int64_t width = ParseDecimal(x.word);
    const int64_t height = ParseDecimal(SplitFirstWord(x.rest).word);
    // Sizes beyond a screen are meaningless and would overflow the window's arithmetic.
    const auto clampSize = [](int64_t v) {
        return static_cast<int>(v < 0 ? 0 : v > 4096 ? 4096 : v);
    };
    window_.StartGraph(clampSize(width), clampSize(height));
    graphExists_ = true;
    graphSlots_.clear();
}

void ScriptEngine::GraphItem(std::string_view arguments) {
    if (!graphExists_ || graphSlots_.size() >= kGraphSlots) return;
    const WordSplit nameSplit = SplitFirstWord(arguments);
    const std::string name = ToUpper(nameSplit.word);
    const WordSplit minSplit = SplitFirstWord(nameSplit.rest);
    const double min = std::trunc(ParseReal(minSplit.word));
    const double max = std::trunc(ParseReal(SplitFirstWord(minSplit.rest).word));
    bool found = false;
    if (!name.empty()) found = variables_.Lock().FindVariable(name) != nullptr;
    if (!found) {
        window_.AppendLine(name + "not defined for graphing.");
        return;
    }
    if (!(min < max)) return;
    graphSlots_.push_back({name, min, max});
    window_.AddGraphLine(static_cast<int>(graphSlots_.size() - 1));
}

void ScriptEngine::GraphAdvance() {
    if (!graphExists_ || graphSlots_.empty()) return;
    std::vector<int> positions;
    {
        auto vars = variables_.Lock();
        for (const auto& slot : graphSlots_) {
            const RVCDatum* datum = vars.FindVariable(slot.name);
            const double v = datum ? static_cast<double>(datum->Value()) : slot.min;
            const double p = 100.0 / (slot.max - slot.min) * (v - slot.min);
            // Kept on the chart: a value beyond max (or not a number) must not become an
            // out-of-range integer.
            positions.push_back(!(p > 0.0) ? 0 : p >= 100.0 ? 100 : static_cast<int>(p));
        }
    }
    window_.AdvanceGraph(positions);
}

// ---- Variables --------------------------------------------------------------------------

void ScriptEngine::UpdateFormula(std::string_view arguments, ScriptKeyword keyword) {
    const std::string name = ToUpper(SplitFirstWord(arguments).word);
    std::string expression;
    {
        auto vars = variables_.Lock();
        RVCDatum* datum = vars.FindVariable(name);
        if (datum == nullptr) {
            expression.clear();
        } else if (auto* formula = dynamic_cast<RVCDatumFormula*>(datum)) {
            expression = formula->expression;
        }
    }
    bool found = false;
    // The formula reads other datums, each under the lock, so it is evaluated first.
    const double result = EvaluateFormula(expression);
    {
        auto vars = variables_.Lock();
        if (RVCDatum* datum = vars.FindVariable(name)) {
            found = true;
            switch (keyword) {
                case ScriptKeyword::UpdateMin:
                    datum->UpdateMin(result);
                    break;
                case ScriptKeyword::UpdateMax:
                    datum->UpdateMax(result);
                    break;
                case ScriptKeyword::UpdateMean:
                    datum->UpdateMean(result);
                    break;
                case ScriptKeyword::UpdateSum:
                    datum->UpdateSum(result);
                    break;
                default:
                    datum->Update(result);
                    break;
            }
        }
    }
    if (!found) window_.AppendLine("ERROR: Datum [" + name + "] not recognized");
}

void ScriptEngine::Reset(std::string_view arguments) {
    const std::string name = ToUpper(SplitFirstWord(arguments).word);
    {
        auto vars = variables_.Lock();
        if (RVCDatum* datum = vars.FindVariable(name)) datum->Reset();
    }
    SteerEvent(ScriptKeyword::Reset, arguments);
}

void ScriptEngine::DefineDatum(std::string_view arguments, bool visibleInList) {
    variables_.Lock().Append(
        RVCDatumMonitor::FromDefinition(ParseDatumDefinition(arguments), visibleInList));
}

void ScriptEngine::Constant(std::string_view arguments) {
    auto vars = variables_.Lock();
    if (RVCDatum* existing = vars.FindVariable(ToUpper(SplitFirstWord(arguments).word))) {
        existing->title = std::string(TextBetween(arguments, '"', '"'));
        // Its line shows the new value at the next refresh.
        existing->changed = 1;
        return;
    }
    vars.Append(RVCDatumConstant::FromArguments(arguments));
}

void ScriptEngine::WithDatum(std::string_view arguments, void (*action)(RVCDatum&),
                             bool redrawAll) {
    const std::string name = ToUpper(SplitFirstWord(arguments).word);
    bool found = false;
    {
        auto vars = variables_.Lock();
        if (RVCDatum* datum = vars.FindVariable(name)) {
            action(*datum);
            found = true;
        }
    }
    if (!found) {
        window_.AppendLine("ERROR: Datum [" + name + "] not recognized");
    } else if (redrawAll) {
        window_.RedrawAll();
    }
}

void ScriptEngine::Format(std::string_view arguments) {
    const std::string name = ToUpper(SplitFirstWord(arguments).word);
    const std::string_view given = TextBetween(arguments, '"', '"');
    const std::string text = ToUpper(given);
    std::string error;
    if (!text.empty() && text.front() == '%') {
        if (text.find('F') == std::string::npos) {
            error = "ERROR: Format [" + text + "] has no f character";
        } else {
            // "%D OF" has its "f" and would still hand printf a conversion it cannot fill.
            std::string printf = text;
            for (char& c : printf) {
                if (c == 'F') c = 'f';
            }
            if (!IsSafeFloatFormat(printf)) {
                error = "ERROR: Format [" + text + "] is not a format for one number";
            }
        }
    }
    {
        auto vars = variables_.Lock();
        RVCDatum* datum = vars.FindVariable(name);
        if (datum == nullptr || given.empty()) {
            error = "ERROR: Cannot format Datum [" + name + "] as [" + std::string(given) + "]";
        } else if (error.empty()) {
            // The change shows at the datum's next redraw; FORMAT does not mark it changed.
            ApplyFormatText(text, datum->format, datum->formatKind);
        }
    }
    // Logged after the lock is released: the window may read the variables while it draws.
    if (!error.empty()) window_.AppendLine(error);
}

void ScriptEngine::Dictionary(std::string_view arguments) {
    const std::string path(TrimSpaces(arguments));
    ScriptFile dictionary;
    if (!dictionary.Open(path)) {
        window_.AppendLine("Could not open file [" + path + "].");
        return;
    }
    // A dictionary contributes definitions only; the whole line is upper-cased first, so its
    // titles and formats are upper case too.
    std::string line;
    while (ReadScriptLine(dictionary, line)) {
        const std::string upper = ToUpper(TrimLeadingSpaces(line));
        const CommandSplit command = SplitCommand(upper);
        if (command.keyword == "DEFINE") DefineDatum(command.arguments, false);
    }
}

}  // namespace corvane
