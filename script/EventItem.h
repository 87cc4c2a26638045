#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// The six kinds, numbered as scripts and reports know them.
enum class EventKind : uint8_t {
    OnEvent = 1,
    OnEventGo = 2,
    OnTimer = 3,
    OnTimerGo = 4,
    OneShot = 5,
    OneShotGo = 6,
};

// One event or timer of the running script.
struct EventItem {
    EventKind kind = EventKind::OnEvent;
    std::string name;     // upper case; "MISSINGTAG" when the line gives none
    std::string command;  // between the braces
    std::string test;     // events: the test; timers: the period text
    int32_t fired = 0;    // events: the test's last result; one-shots: 1 once fired
    int32_t enabled = 1;  // 0 while suspended
    int32_t period = 0;   // timers: whole seconds
    int32_t counter = 0;  // timers: one-second marks counted towards the period

    bool isGo() const {
        return kind == EventKind::OnEventGo || kind == EventKind::OnTimerGo ||
               kind == EventKind::OneShotGo;
    }
    bool isTest() const { return kind == EventKind::OnEvent || kind == EventKind::OnEventGo; }

    // Takes an ONEVENT... / ONESHOTGO line's arguments apart. Never fails.
    //   (OnTimer, " tick [5] {GRAPHADVANCE} SUSPENDED") -> TICK, "GRAPHADVANCE", period 5, off
    static EventItem Parse(EventKind kind, std::string_view arguments);
};

}  // namespace corvane
