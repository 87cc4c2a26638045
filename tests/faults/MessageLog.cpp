#include "tests/faults/MessageLog.h"

namespace corvane::test {

void MessageLog::add(const std::string& text, const std::string& title) {
    std::lock_guard lock(mutex_);
    shown_.emplace_back(text, title);
}

std::vector<std::pair<std::string, std::string>> MessageLog::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

size_t MessageLog::count(const std::string& part) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& [text, title] : shown_) n += text.find(part) != std::string::npos;
    return n;
}

std::string MessageLog::all() const {
    std::string out;
    for (const auto& [text, title] : shown()) out += "[" + title + "] " + text + "\n";
    return out;
}

}  // namespace corvane::test
