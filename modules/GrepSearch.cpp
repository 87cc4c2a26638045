#include "modules/GrepSearch.h"

namespace corvane {

std::optional<std::regex> CompileGrep(const std::string& pattern) {
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
