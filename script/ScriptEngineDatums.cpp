#include "script/ScriptEngine.h"

#include "script/DatumDefinition.h"
#include "script/RVCDatumConstant.h"
#include "script/RVCDatumFormula.h"
#include "script/RVCDatumMonitor.h"
#include "script/ScriptText.h"
#include "script/ValueFormat.h"

namespace corvane {

// Datums: the commands that define, update, format and reset the script's variables.

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
