#include "script/ScriptEngine.h"

#include <cmath>

#include "script/ScriptMessages.h"
#include "script/ScriptText.h"

namespace corvane {

// Windows: the commands that ask the user, save the log and draw the strip chart.

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

}  // namespace corvane
