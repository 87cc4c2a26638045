#include "script/ScriptText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace corvane {

bool ReadScriptLine(std::span<const uint8_t> bytes, size_t& position, std::string& line) {
    return ReadScriptLineFrom(
        [&]() -> int { return position < bytes.size() ? bytes[position++] : -1; }, line);
}

std::string_view TrimLeadingSpaces(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view TrimSpaces(std::string_view text) {
    text = TrimLeadingSpaces(text);
    const size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

std::string ToUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

LineKind KindOfLine(std::string_view line) {
    line = TrimLeadingSpaces(line);
    if (line.empty()) return LineKind::Empty;
    switch (line.front()) {
        case '"':
            return LineKind::LogText;
        case '\'':
            return LineKind::StatusText;
        case ':':
            return LineKind::Comment;
        case '@':
            return LineKind::ExecPoint;
        default:
            return LineKind::Command;
    }
}

WordSplit SplitFirstWord(std::string_view text) {
    text = TrimLeadingSpaces(text);
    const size_t space = text.find(' ');
    if (space == std::string_view::npos) return {text, {}};
    return {text.substr(0, space), text.substr(space)};
}

CommandSplit SplitCommand(std::string_view line) {
    line = TrimLeadingSpaces(line);
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) return {ToUpper(line), {}};
    return {ToUpper(line.substr(0, space)), line.substr(space)};
}

std::string_view TextBetween(std::string_view text, char open, char close) {
    const size_t start = text.find(open);
    if (start == std::string_view::npos) return {};
    const size_t end = text.find(close, start + 1);
    if (end == std::string_view::npos) return {};
    return text.substr(start + 1, end - start - 1);
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

uint32_t ParseHex(std::string_view text) {
    text = TrimLeadingSpaces(text);
    uint64_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) break;
        value = std::min<uint64_t>(value * 16 + static_cast<uint64_t>(digit), 0xFFFFFFFFu);
    }
    return static_cast<uint32_t>(value);
}

int64_t ParseDecimal(std::string_view text) {
    text = TrimLeadingSpaces(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        const int digit = c - '0';
        value = value > (kLimit - digit) / 10 ? kLimit : value * 10 + digit;
    }
    return negative ? -value : value;
}

double ParseReal(std::string_view text) {
    text = TrimLeadingSpaces(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would accept a second sign; the C reader does not.
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) return 0.0;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::invalid_argument) return 0.0;
    if (error == std::errc::result_out_of_range) {
        // Too large becomes infinite and too small becomes 0, as the C reader gives them.
        const std::string_view number = text.substr(0, static_cast<size_t>(end - text.data()));
        const size_t exponent = number.find_first_of("eE");
        const bool tiny = exponent != std::string_view::npos && exponent + 1 < number.size() &&
                          number[exponent + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

bool RewriteTrafficLine(std::string_view line, TrafficLine& out) {
    const size_t p = line.find("SA:");
    if (p == std::string_view::npos) return false;
    const size_t start = p >= 7 ? p - 7 : 0;
    const std::string_view dgnText = line.substr(start, 5);
    if (ParseHex(dgnText) == 0) return false;
    out.source = static_cast<uint8_t>(ParseHex(line.substr(p + 3, 2)));
    out.line = "SEND ";
    out.line += dgnText;
    if (p + 5 < line.size()) out.line += line.substr(p + 5);
    return true;
}

}  // namespace corvane
