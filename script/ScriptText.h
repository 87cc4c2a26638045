#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvane {

// The text layer of the script language: how lines are read and how commands take their
// arguments apart. Every function here is pure and never reads outside the text it is given.

// Bytes 16-127 belong to a script line; every other byte (TAB and CR included) is dropped.
constexpr bool IsScriptByte(int byte) { return byte >= 16 && byte <= 127; }

// Reads one line with `nextByte()` (returns the byte, or a negative value at end of input).
// A LF ends the line; a last line without LF is never delivered. True when a line was
// delivered.
template <class NextByte>
bool ReadScriptLineFrom(NextByte&& nextByte, std::string& line) {
    line.clear();
    for (;;) {
        const int byte = nextByte();
        if (byte < 0) return false;
        if (byte == '\n') return true;
        if (IsScriptByte(byte)) line.push_back(static_cast<char>(byte));
    }
}

// The same over bytes held in memory; `position` moves past what was consumed.
//   "A\tB\r\nC" -> "AB" (position 5), then nothing: "C" has no LF.
bool ReadScriptLine(std::span<const uint8_t> bytes, size_t& position, std::string& line);

// What a line is, decided by its first character after leading spaces.
enum class LineKind { Empty, LogText, StatusText, Comment, ExecPoint, Command };
LineKind KindOfLine(std::string_view line);

// Only the space character separates words.
std::string_view TrimLeadingSpaces(std::string_view text);
std::string_view TrimSpaces(std::string_view text);
std::string ToUpper(std::string_view text);

// "  SEND 1FFFE 00" -> {"SEND", " 1FFFE 00"}: leading spaces removed, the word up to the first
// space, the rest with its leading space.
struct WordSplit {
    std::string_view word;
    std::string_view rest;
};
WordSplit SplitFirstWord(std::string_view text);

// The keyword (upper case) and the arguments as written, starting with the separating space.
struct CommandSplit {
    std::string keyword;
    std::string_view arguments;
};
CommandSplit SplitCommand(std::string_view line);

// The text after the first `open` up to the first `close` after it; empty if either is
// missing. No nesting, no escapes: TextBetween("a [b] [c]", '[', ']') == "b".
std::string_view TextBetween(std::string_view text, char open, char close);

// Numbers from the start of the text, leading spaces skipped, stopping at the first character
// that does not belong; nothing parseable gives 0. Hex and decimal saturate at their limits
// instead of wrapping. Reals are read the C way ("1.5e3", "-.5") whatever the process locale.
uint32_t ParseHex(std::string_view text);
int64_t ParseDecimal(std::string_view text);
double ParseReal(std::string_view text);

// The traffic-line rewrite: a line copied from a traffic display, «1FFFF  SA:42 01 02»,
// becomes «SEND 1FFFF 01 02» to be sent from address 0x42.
struct TrafficLine {
    std::string line;
    uint8_t source;
};
// Nothing when the line holds no "SA:" or no DGN before it.
bool RewriteTrafficLine(std::string_view line, TrafficLine& out);

}  // namespace corvane
