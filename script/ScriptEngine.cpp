#include "script/ScriptEngine.h"

#include "script/DatumDefinition.h"
#include "script/RVCDatumButton.h"
#include "script/RVCDatumConstant.h"
#include "script/RVCDatumFormula.h"
#include "script/RVCDatumInteger.h"
#include "script/RVCDatumMonitor.h"
#include "script/ScriptText.h"

namespace corvane {

bool ScriptEngine::OpenScript(const std::string& path) {
    if (!file_.Open(path)) return false;
    ScanExecPoints();
    gotoQueue_.Clear();
    return true;
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

void ScriptEngine::ExecuteLine(std::string_view given) {
    // A line copied from a traffic display is rewritten first, whatever kind of line it is.
    TrafficLine traffic;
    std::string_view line = given;
    if (RewriteTrafficLine(given, traffic)) {
        source_ = traffic.source;
        line = traffic.line;
    }
    line = TrimLeadingSpaces(line);
    switch (KindOfLine(line)) {
        case LineKind::Empty:
        case LineKind::Comment:
        case LineKind::ExecPoint:
            return;
        case LineKind::LogText:
            window_.AppendLine(line.substr(1));
            return;
        case LineKind::StatusText:
            window_.SetStatus(line.substr(1));
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
        case ScriptKeyword::Counter:
            variables_.Lock().Append(RVCDatumInteger::FromArguments(arguments));
            return;
        case ScriptKeyword::Constant:
            Constant(arguments);
            return;
        case ScriptKeyword::Button:
            variables_.Lock().Append(RVCDatumButton::FromArguments(arguments));
            window_.RedrawAll();
            return;
        case ScriptKeyword::Format:
            Format(arguments);
            return;
        case ScriptKeyword::Dictionary:
            Dictionary(arguments);
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
        case ScriptKeyword::MakeVisible:
            WithDatum(
                arguments, [](RVCDatum& d) { d.visible = 1; }, true);
            return;
        default:
            // The interpreter's remaining commands (network, flow, parameters, events, graph)
            // are recognised here and carried out by the interpreter once it exists.
            return;
    }
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
