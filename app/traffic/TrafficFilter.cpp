#include "app/traffic/TrafficFilter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "decode/MessageFormat.h"

namespace corvane {

namespace {

char folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool equalFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && containsFolded(a, b);
}

// "42" or "4" -> that address; anything else -> none.
bool parseAddress(std::string_view text, unsigned& address) {
    if (text.empty() || text.size() > 2) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), address, 16);
    return ec == std::errc() && end == text.data() + text.size();
}

bool sourceMatches(const std::string& filter, const TrafficRow& row) {
    if (filter.empty()) return true;
    unsigned address = 0;
    if (parseAddress(filter, address)) return row.key.source == address;
    return containsFolded(row.sourceName, filter);
}

bool messageMatches(const std::string& filter, const TrafficRow& row, std::string_view given) {
    if (filter.empty()) return true;
    return equalFolded(row.dgnText(), filter) || containsFolded(row.name, filter) ||
           containsFolded(given, filter);
}

bool textMatches(const std::string& filter, const TrafficRow& row, std::string_view given) {
    if (filter.empty()) return true;
    char source[4];
    std::snprintf(source, sizeof source, "%02X", row.key.source);
    return containsFolded(source, filter) || containsFolded(row.sourceName, filter) ||
           containsFolded(row.dgnText(), filter) || containsFolded(row.name, filter) ||
           containsFolded(given, filter) || containsFolded(row.fields, filter) ||
           containsFolded(decode::hexText(row.data), filter);
}

}  // namespace

bool containsFolded(std::string_view haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       [](char a, char b) { return folded(a) == folded(b); }) != haystack.end() ||
           needle.empty();
}

bool TrafficFilter::matches(const TrafficRow& row, std::string_view givenName) const {
    return sourceMatches(source, row) && messageMatches(message, row, givenName) &&
           textMatches(text, row, givenName);
}

}  // namespace corvane
