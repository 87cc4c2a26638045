#include "script/EventItem.h"

#include "script/ScriptText.h"

namespace corvane {

EventItem EventItem::Parse(EventKind kind, std::string_view arguments) {
    EventItem item;
    item.kind = kind;
    std::string text(arguments);
    constexpr std::string_view kSuspended = "SUSPENDED";
    for (size_t at = text.find(kSuspended); at != std::string::npos; at = text.find(kSuspended)) {
        text.erase(at, kSuspended.size());
        item.enabled = 0;
    }
    std::string_view rest = TrimLeadingSpaces(text);
    if (!rest.empty() && (rest.front() == '[' || rest.front() == '{')) {
        item.name = "MISSINGTAG";
    } else {
        const WordSplit split = SplitFirstWord(rest);
        item.name = ToUpper(split.word);
        rest = split.rest;
    }
    item.command = std::string(TextBetween(rest, '{', '}'));
    item.test = std::string(TextBetween(rest, '[', ']'));
    if (!item.isTest()) {
        const int64_t period = ParseDecimal(TrimLeadingSpaces(item.test));
        item.period = static_cast<int32_t>(period < 0           ? 0
                                           : period > INT32_MAX ? INT32_MAX
                                                                : period);
    }
    // A plain event runs a command; only the GO forms may move the script.
    if (!item.isGo() && item.command.find("GOTO") != std::string::npos) item.command.clear();
    return item;
}

}  // namespace corvane
