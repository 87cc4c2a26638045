#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/ScriptWindow.h"

namespace corvane {

// Taking apart the lines that put messages on the network or into the tool. Pure functions.

// "EFXX" with target 0x42 reads 0xEF42: the first "XX" becomes the target's two hex digits.
uint32_t ParseDgn(std::string_view text, uint8_t target);

// A SEND / CMD / MAKE ... BYSENDING / SIMRX message, or the log line that refuses it.
struct ScriptMessage {
    uint8_t source = 0xFF;  // SIMRX only
    uint32_t dgn = 0;
    std::vector<uint8_t> data;
    std::string error;  // not empty: log it and send nothing
};

// "hdgn h1 h2 ...": the DGN may hold XX; "00000" is the one way to write DGN 0.
ScriptMessage ParseSendArguments(std::string_view arguments, uint8_t target);
// "haddr hdgn h1 ...": the DGN is read as written (XX is not replaced).
ScriptMessage ParseSimRxArguments(std::string_view arguments);

// MENU token "display" ...: the lines of the menu dialog. Tokens shorter than 3 characters
// become empty, as the dialog has always shown them.
std::vector<MenuEntry> ParseMenuEntries(std::string_view arguments);

}  // namespace corvane
