#pragma once

#include <string>
#include <string_view>

namespace corvane::mqtt {

// The bridge's settings, from a file of "key = value" lines ('#' starts a comment) or a JSON
// object with the same keys:
//   broker, coach_id, topic_root, username, password, ca_file, commands_enabled (true/false,
//   yes/no, 1/0), command_allowlist ("DC_DIMMER_COMMAND_2:1,2"), catalogue (a message
//   catalogue file over the built-in one)
// Pure. The password is kept for the client only: nothing here prints it.
struct BridgeSettings {
    std::string broker = "mqtt://localhost:1883";
    std::string coachId = "coach";
    std::string topicRoot = "RVC";
    std::string username;
    std::string password;
    std::string caFile;
    bool commandsEnabled = false;
    std::string commandAllowlist;
    std::string catalogue;
};

// Reads `text` over `s` (keys not given keep their value). False, with `error` naming the line
// or key (never a value), for an unknown key or a malformed line.
bool parseBridgeSettings(std::string_view text, BridgeSettings& s, std::string& error);

}  // namespace corvane::mqtt
