#include "logs/LogFormat.h"

#include <array>
#include <cctype>

namespace corvane {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// `text` begins with `word` (lower case; compared in any case) and a blank or its end.
bool startsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
    }
    return text.size() == word.size() || isBlank(text[word.size()]);
}

std::string_view trimmedFront(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    return text;
}

// The ASC header lines: their first word, and the word after it where it takes one.
struct AscHeader {
    std::string_view first;
    std::string_view second;
};
constexpr std::array<AscHeader, 6> kAscHeaders = {{{"date", ""},
                                                   {"base", ""},
                                                   {"begin", "triggerblock"},
                                                   {"end", "triggerblock"},
                                                   {"internal", "events"},
                                                   {"no", "internal"}}};

}  // namespace

std::optional<LogFormat> detectLogFormat(std::string_view line) {
    const std::string_view text = trimmedFront(line);
    if (text.empty()) return std::nullopt;
    if (text.front() == '(') return LogFormat::Candump;
    if ((text.front() >= '0' && text.front() <= '9') || text.starts_with("//"))
        return LogFormat::Asc;
    for (const AscHeader& h : kAscHeaders) {
        if (!startsWithWord(text, h.first)) continue;
        if (h.second.empty() || startsWithWord(trimmedFront(text.substr(h.first.size())), h.second))
            return LogFormat::Asc;
    }
    return std::nullopt;
}

}  // namespace corvane
