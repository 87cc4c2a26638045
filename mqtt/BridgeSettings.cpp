#include "mqtt/BridgeSettings.h"

#include <nlohmann/json.hpp>

#include "core/TextTrim.h"

namespace corvane::mqtt {

namespace {

bool setKey(std::string_view key, std::string_view value, BridgeSettings& s, std::string& error) {
    if (key == "broker") {
        s.broker = value;
    } else if (key == "coach_id") {
        s.coachId = value;
    } else if (key == "topic_root") {
        s.topicRoot = value;
    } else if (key == "username") {
        s.username = value;
    } else if (key == "password") {
        s.password = value;
    } else if (key == "ca_file") {
        s.caFile = value;
    } else if (key == "command_allowlist") {
        s.commandAllowlist = value;
    } else if (key == "catalogue") {
        s.catalogue = value;
    } else if (key == "commands_enabled") {
        if (value == "true" || value == "yes" || value == "1") {
            s.commandsEnabled = true;
        } else if (value == "false" || value == "no" || value == "0") {
            s.commandsEnabled = false;
        } else {
            error = "commands_enabled is true or false";
            return false;
        }
    } else {
        error = "unknown setting: " + std::string(key);
        return false;
    }
    return true;
}

}  // namespace

bool parseBridgeSettings(std::string_view text, BridgeSettings& s, std::string& error) {
    if (trimBlanks(text).starts_with('{')) {
        const auto j = nlohmann::json::parse(text, nullptr, false);
        if (j.is_discarded() || !j.is_object()) {
            error = "the settings are not a JSON object";
            return false;
        }
        for (const auto& [key, value] : j.items()) {
            std::string v;
            if (value.is_string()) {
                v = value.get<std::string>();
            } else if (value.is_boolean()) {
                v = value.get<bool>() ? "true" : "false";
            } else {
                error = "the setting " + key + " is not text";
                return false;
            }
            if (!setKey(key, v, s, error)) return false;
        }
        return true;
    }
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        line = trimBlanks(line);
        if (line.empty() || line.front() == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            error = "line " + std::to_string(lineNumber) + " is not key = value";
            return false;
        }
        if (!setKey(trimBlanks(line.substr(0, eq)), trimBlanks(line.substr(eq + 1)), s, error)) {
            error = "line " + std::to_string(lineNumber) + ": " + error;
            return false;
        }
    }
    return true;
}

}  // namespace corvane::mqtt
