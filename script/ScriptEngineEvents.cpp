#include "script/ScriptEngine.h"

#include "script/ScriptText.h"

namespace corvane {

// Events and timers: evaluating them each step and the commands that steer them.

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

}  // namespace corvane
