#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// The interpreter's run state. Lives on the thread that runs the script: the step, the
// buttons and every command read and write it there, so it needs no lock.
struct ScriptRunState {
    bool running = false;  // lines and events run only while set
    bool paused = false;   // PAUSE; cleared by Continue, Retry and Run Again
    bool waiting = false;  // WAIT or MAKE pending
    bool idle = false;     // IDLE with nothing queued; an event's GOTO resumes
    std::string waitTest;
    uint32_t waitTicks = 0;
    std::string currentLine;  // what Retry runs again
    uint8_t target = 0xFF;
    std::string params;
    uint8_t priority = 6;
    uint8_t source = 0xFF;   // 0xFF: from the tool's own address
    int64_t startClock = 0;  // ms; origin of TIMER and MSTIMER
    int64_t lastSecond = 0;  // ms; the last one-second mark
};

}  // namespace corvane
