#include "app/SettingsFileCheck.h"

namespace corvane {

namespace {

std::string_view trimmed(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

bool isWellFormedLine(std::string_view line) {
    if (line.empty() || line.front() == ';' || line.front() == '#') return true;
    if (line.front() == '[') return line.size() >= 3 && line.back() == ']';
    const auto equals = line.find('=');
    return equals != std::string_view::npos && !trimmed(line.substr(0, equals)).empty();
}

}  // namespace

bool SettingsFileCheck::isWellFormed(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return false;
    bool continued = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const std::string_view line = trimmed(raw);
        if (!continued && !isWellFormedLine(line)) return false;
        continued = !line.empty() && line.back() == '\\';
    }
    return true;
}

}  // namespace corvane
