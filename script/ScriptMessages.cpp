#include "script/ScriptMessages.h"

#include "core/Dgn.h"
#include "script/ScriptText.h"

namespace corvane {

namespace {

// Every remaining word is one byte. More than a message can hold is refused here, before
// anything is built, so that a long line can never reach the transmit path half-read.
bool ParseDataBytes(std::string_view rest, std::vector<uint8_t>& data) {
    for (WordSplit split = SplitFirstWord(rest); !split.word.empty();
         split = SplitFirstWord(split.rest)) {
        if (data.size() == kMaxMessageData) return false;
        data.push_back(static_cast<uint8_t>(ParseHex(split.word)));
    }
    return true;
}

}  // namespace

uint32_t ParseDgn(std::string_view text, uint8_t target) {
    std::string dgn(text);
    if (const size_t at = dgn.find("XX"); at != std::string::npos) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        dgn[at] = kDigits[target >> 4];
        dgn[at + 1] = kDigits[target & 0x0F];
    }
    return ParseHex(dgn);
}

ScriptMessage ParseSendArguments(std::string_view arguments, uint8_t target) {
    ScriptMessage message;
    const WordSplit dgnSplit = SplitFirstWord(arguments);
    message.dgn = ParseDgn(dgnSplit.word, target);
    if (message.dgn == 0 && dgnSplit.word != "00000") {
        message.error = "Could not parse DGN in " + std::string(arguments);
        return message;
    }
    if (!ParseDataBytes(dgnSplit.rest, message.data)) {
        message.error = "Invalid message: " + std::string(arguments);
    } else if (message.data.empty()) {
        message.error = "No data found in " + std::string(arguments);
    }
    return message;
}

ScriptMessage ParseSimRxArguments(std::string_view arguments) {
    ScriptMessage message;
    const WordSplit sourceSplit = SplitFirstWord(arguments);
    message.source = static_cast<uint8_t>(ParseHex(sourceSplit.word));
    const WordSplit dgnSplit = SplitFirstWord(sourceSplit.rest);
    message.dgn = ParseHex(dgnSplit.word);
    if (message.dgn == 0) {
        message.error = "Could not parse DGN in " + std::string(arguments);
        return message;
    }
    if (!ParseDataBytes(dgnSplit.rest, message.data) || message.data.empty()) {
        message.error = "Invalid message: " + std::string(arguments);
    }
    return message;
}

std::vector<MenuEntry> ParseMenuEntries(std::string_view arguments) {
    std::vector<MenuEntry> entries;
    std::string_view rest = arguments;
    for (;;) {
        const WordSplit split = SplitFirstWord(rest);
        if (split.word.empty()) break;
        MenuEntry entry;
        if (split.word.size() >= 3) entry.token = std::string(split.word);
        rest = split.rest;
        const size_t start = rest.find_first_not_of(" \"");
        rest = start == std::string_view::npos ? std::string_view{} : rest.substr(start);
        const size_t quote = rest.find('"');
        entry.display = std::string(rest.substr(0, quote));
        rest = quote == std::string_view::npos ? std::string_view{} : rest.substr(quote + 1);
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace corvane
