#include "modules/GrepSearch.h"

namespace corvane {

namespace {

// The largest repeat count POSIX promises (RE_DUP_MAX). The library multiplies larger counts
// into an overflowing integer before it would refuse them, so they are refused here.
constexpr unsigned long kMaxRepeat = 255;

// Every "\{m,n\}" of the pattern within the limit?
bool RepeatCountsInRange(const std::string& pattern) {
    for (size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '\\') continue;
        if (pattern[i + 1] != '{') {
            ++i;  // an escaped character, whatever it is
            continue;
        }
        unsigned long count = 0;
        for (i += 2; i < pattern.size() && pattern[i] != '\\'; ++i) {
            if (pattern[i] == ',') {
                count = 0;
            } else if (pattern[i] >= '0' && pattern[i] <= '9') {
                count = count * 10 + static_cast<unsigned long>(pattern[i] - '0');
                if (count > kMaxRepeat) return false;
            }
        }
        --i;  // the loop steps onto the closing "\}"
    }
    return true;
}

}  // namespace

std::optional<std::regex> CompileGrep(const std::string& pattern) {
    if (!RepeatCountsInRange(pattern)) return std::nullopt;
    // The library reports a malformed expression only by throwing; here it becomes "no match".
    try {
        return std::regex(pattern, std::regex::grep);
    } catch (const std::regex_error&) {
        return std::nullopt;
    }
}

bool GrepSearch(const std::optional<std::regex>& compiled, const std::string& text) {
    if (!compiled) return false;
    try {
        return std::regex_search(text, *compiled);
    } catch (const std::regex_error&) {  // e.g. a complexity limit hit on a long text
        return false;
    }
}

bool GrepSearch(const std::string& pattern, const std::string& text) {
    return GrepSearch(CompileGrep(pattern), text);
}

}  // namespace corvane
