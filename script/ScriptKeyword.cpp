#include "script/ScriptKeyword.h"

#include <array>

namespace corvane {

namespace {

constexpr std::array<std::string_view, kScriptKeywordCount> kKeywords = {
    "TARGET",
    "FINDFIRSTTARGET",
    "FINDNEXTTARGET",
    "PRIORITY",
    "SOURCE",
    "REQUEST",
    "WAIT",
    "IF",
    "SEND",
    "LOOP",
    "GOTO",
    "SETCURTIME",
    "CMD",
    "PAUSE",
    "MONITOR",
    "DEFINE",
    "FORMULA",
    "UPDATE",
    "UPDATEMIN",
    "UPDATEMAX",
    "UPDATEMEAN",
    "UPDATESUM",
    "RESET",
    "FORMAT",
    "ASKFORPARAMS",
    "CLEARPARAMS",
    "SETPARAMS",
    "MENU",
    "CONSTANT",
    "MAKE",
    "BUTTON",
    "EXECUTE",
    "ABORT",
    "SIMRX",
    "CLEARLOG",
    "DICTIONARY",
    "MAKEVISIBLE",
    "COUNTER",
    "INCREMENT",
    "ZEROCOUNTER",
    "ZERO",
    "SAVE",
    "IDLE",
    "ZEROTIMER",
    "ONEVENT",
    "ONEVENTGO",
    "ONTIMER",
    "ONTIMERGO",
    "ONESHOT",
    "ONESHOTGO",
    "SUSPEND",
    "RESUME",
    "TRIGGER",
    "GRAPHSTART",
    "GRAPHITEM",
    "GRAPHADVANCE",
    "RESETDEVICELIST",
};

}  // namespace

std::string_view KeywordText(ScriptKeyword keyword) {
    return kKeywords[static_cast<size_t>(keyword)];
}

std::optional<ScriptKeyword> FindKeyword(std::string_view upper) {
    for (size_t i = 0; i < kKeywords.size(); ++i) {
        if (kKeywords[i] == upper) return static_cast<ScriptKeyword>(i);
    }
    return std::nullopt;
}

}  // namespace corvane
