#include "script/ScriptEngine.h"

#include "platform/Shell.h"
#include "script/ScriptText.h"

namespace corvane {

// Flow: the commands that wait, branch, jump and run other programs.

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

}  // namespace corvane
