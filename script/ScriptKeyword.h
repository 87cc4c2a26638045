#pragma once

#include <optional>
#include <string_view>

namespace corvane {

// Every command keyword, in the order the dispatch compares them. The whole keyword is
// compared, so SEND and SENDX, ZERO and ZEROCOUNTER are distinct.
enum class ScriptKeyword {
    Target,
    FindFirstTarget,
    FindNextTarget,
    Priority,
    Source,
    Request,
    Wait,
    If,
    Send,
    Loop,
    Goto,
    SetCurTime,
    Cmd,
    Pause,
    Monitor,
    Define,
    Formula,
    Update,
    UpdateMin,
    UpdateMax,
    UpdateMean,
    UpdateSum,
    Reset,
    Format,
    AskForParams,
    ClearParams,
    SetParams,
    Menu,
    Constant,
    Make,
    Button,
    Execute,
    Abort,
    SimRx,
    ClearLog,
    Dictionary,
    MakeVisible,
    Counter,
    Increment,
    ZeroCounter,
    Zero,
    Save,
    Idle,
    ZeroTimer,
    OnEvent,
    OnEventGo,
    OnTimer,
    OnTimerGo,
    OneShot,
    OneShotGo,
    Suspend,
    Resume,
    Trigger,
    GraphStart,
    GraphItem,
    GraphAdvance,
    ResetDeviceList,
};

inline constexpr int kScriptKeywordCount = static_cast<int>(ScriptKeyword::ResetDeviceList) + 1;

// The keyword's text as scripts write it (upper case).
std::string_view KeywordText(ScriptKeyword keyword);

// The first keyword in dispatch order equal to `upper`, which must already be upper case.
std::optional<ScriptKeyword> FindKeyword(std::string_view upper);

}  // namespace corvane
