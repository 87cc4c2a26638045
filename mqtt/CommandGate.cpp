#include "mqtt/CommandGate.h"

#include <charconv>

namespace corvane::mqtt {

std::optional<std::vector<AllowedCommand>> parseAllowList(std::string_view text,
                                                          std::string& error) {
    std::vector<AllowedCommand> out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == ';' || text[i] == '\t' || text[i] == '\n') {
            ++i;
            continue;
        }
        size_t end = text.find_first_of(" ;\t\n", i);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view entry = text.substr(i, end - i);
        i = end;
        const size_t colon = entry.find(':');
        const std::string_view name = entry.substr(0, colon);
        if (colon == std::string_view::npos || name.empty() || colon + 1 == entry.size()) {
            error = "an allowed command is NAME:instance[,instance...], not " + std::string(entry);
            return std::nullopt;
        }
        std::string_view list = entry.substr(colon + 1);
        while (!list.empty()) {
            const size_t comma = list.find(',');
            const std::string_view number = list.substr(0, comma);
            int instance = -1;
            const auto [p, ec] =
                std::from_chars(number.data(), number.data() + number.size(), instance);
            if (ec != std::errc() || p != number.data() + number.size() || instance < 0 ||
                instance > 252) {
                error = "not an instance (0-252): " + std::string(number);
                return std::nullopt;
            }
            out.push_back({std::string(name), instance});
            list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        }
    }
    return out;
}

bool CommandGate::allows(std::string_view dgnName, int instance) const {
    for (const auto& a : allowed_) {
        if (a.dgnName == dgnName && a.instance == instance) return true;
    }
    return false;
}

std::string CommandGate::check(std::string_view dgnName, int instance, bool muted, bool connected,
                               int64_t now) {
    if (!enabled_) return "commands are not enabled";
    if (!allows(dgnName, instance)) {
        return std::string(dgnName) + " instance " + std::to_string(instance) +
               " is not on the allow list";
    }
    if (muted) return "the tool is muted";
    if (!connected) return "no adapter is connected";
    const auto key = std::make_pair(std::string(dgnName), instance);
    if (auto it = lastSent_.find(key); it != lastSent_.end() && now - it->second < minInterval_) {
        return std::string(kTooSoon);
    }
    lastSent_[key] = now;
    return {};
}

}  // namespace corvane::mqtt
