#include "mqtt/MqttTopics.h"

#include <cctype>
#include <cstdio>

namespace corvane::mqtt {

std::string snakeCase(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 4);
    bool pendingGap = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (std::isalnum(c) == 0) {
            pendingGap = !out.empty();
            continue;
        }
        // A capital after a small letter starts a word: dcVoltage.
        const bool wordStart = std::isupper(c) != 0 && i > 0 &&
                               std::islower(static_cast<unsigned char>(text[i - 1])) != 0;
        if ((pendingGap || wordStart) && !out.empty()) out += '_';
        pendingGap = false;
        out += static_cast<char>(std::tolower(c));
    }
    return out;
}

std::string coachNodeId(std::string_view coach) {
    std::string out;
    out.reserve(coach.size());
    for (const char ch : coach) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80 && std::isalnum(c) != 0) {
            out += ch;
        } else if (ch == '-') {
            out += '_';
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "-%02x", c);
            out += escape;
        }
    }
    return out;
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && ch != '\\') {
            out += ch;
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    return out;
}

bool isTopicLevel(std::string_view text) {
    return !text.empty() && text.find_first_of("/+#") == std::string_view::npos &&
           text.find('\0') == std::string_view::npos;
}

bool isTopicRoot(std::string_view text) {
    for (;;) {
        const size_t slash = text.find('/');
        if (!isTopicLevel(text.substr(0, slash))) return false;
        if (slash == std::string_view::npos) return true;
        text.remove_prefix(slash + 1);
    }
}

std::string messageTopic(std::string_view root, std::string_view name, int32_t instance) {
    std::string t(root);
    t += '/';
    t += name;
    if (instance >= 0) t += '/' + std::to_string(instance);
    return t;
}

std::string CoachTopics::deviceFaults(uint8_t address) const {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", address);
    return base() + "/device/" + hex + "/faults";
}

std::string CoachTopics::lightSet(int instance) const {
    return base() + "/light/" + std::to_string(instance) + "/set";
}

std::string CoachTopics::lightState(int instance) const {
    return base() + "/light/" + std::to_string(instance) + "/state";
}

std::string CoachTopics::switchSet(int instance) const {
    return base() + "/switch/" + std::to_string(instance) + "/set";
}

std::string CoachTopics::switchState(int instance) const {
    return base() + "/switch/" + std::to_string(instance) + "/state";
}

std::optional<CommandTopic> parseCommandTopic(const CoachTopics& coach, std::string_view topic) {
    const std::string base = coach.base() + "/";
    if (!topic.starts_with(base) || !topic.ends_with("/set")) return std::nullopt;
    topic.remove_prefix(base.size());
    topic.remove_suffix(4);
    CommandTopic c;
    if (topic.starts_with("light/")) {
        c.kind = CommandTopic::Kind::Light;
        topic.remove_prefix(6);
    } else if (topic.starts_with("switch/")) {
        c.kind = CommandTopic::Kind::Switch;
        topic.remove_prefix(7);
    } else {
        return std::nullopt;
    }
    // Digits only, no leading zero: one spelling per instance.
    if (topic.empty() || topic.size() > 3 ||
        topic.find_first_not_of("0123456789") != std::string_view::npos ||
        (topic.size() > 1 && topic.front() == '0')) {
        return std::nullopt;
    }
    c.instance = 0;
    for (const char d : topic) c.instance = c.instance * 10 + (d - '0');
    if (c.instance > 252) return std::nullopt;
    return c;
}

CoachTopicParts splitCoachTopic(std::string_view topic) {
    constexpr std::string_view prefix = "corvane/";
    if (!topic.starts_with(prefix)) return {};
    topic.remove_prefix(prefix.size());
    const size_t slash = topic.find('/');
    if (slash == 0 || slash == std::string_view::npos) return {};
    return {std::string(topic.substr(0, slash)), std::string(topic.substr(slash + 1))};
}

}  // namespace corvane::mqtt
