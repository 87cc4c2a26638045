#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::mqtt {

// Topic names. Pure.
//   snakeCase("DC_SOURCE_STATUS_1") -> "dc_source_status_1"
//   snakeCase("Fresh water 2")      -> "fresh_water_2"
//   snakeCase("dcVoltage")          -> "dc_voltage"
std::string snakeCase(std::string_view text);

// The coach's part of Home Assistant's node and unique ids: one to one, so that two coach ids
// never share entities, and in the characters those ids allow. Letters and digits stay, '-'
// becomes '_', any other byte "-" and its two hex digits; ids of small letters, digits and
// dashes read as before:
//   "coach" -> "coach", "coach-7" -> "coach_7", "c_1" -> "c-5f1", "Coach 7" -> "Coach-207"
std::string coachNodeId(std::string_view coach);

// Text from the network made safe for a log line: control characters, backslashes and bytes
// past ASCII as "\xNN" escapes.
//   "corvane/c1/light/1/set" -> itself;  "a\nb" -> "a\\x0Ab"
std::string printable(std::string_view text);

// A coach id or topic root is one non-empty topic level without wildcards: "coach-7" yes,
// "a/b", "+", "#", "" no.
bool isTopicLevel(std::string_view text);

// A topic root is one or more such levels: "RVC", "fleet/coach-7/RVC"; not "", "/RVC",
// "RVC/", "a//b", "RVC/#".
bool isTopicRoot(std::string_view text);

// A decoded message's topic: "RVC/DC_SOURCE_STATUS_1/1"; "RVC/DM_RV" without an instance;
// a message the catalogue does not know goes under its DGN: "RVC/1EF00".
std::string messageTopic(std::string_view root, std::string_view name, int32_t instance);

// The topics of one coach under "corvane/<coach>/".
struct CoachTopics {
    std::string coach;

    std::string base() const { return "corvane/" + coach; }
    std::string status() const { return base() + "/status"; }
    std::string devices() const { return base() + "/devices"; }
    std::string faults() const { return base() + "/faults"; }
    std::string health() const { return base() + "/health"; }
    // One device's faults: "corvane/<coach>/device/42/faults" (address in hex).
    std::string deviceFaults(uint8_t address) const;
    // Where a light takes commands: "corvane/<coach>/light/<instance>/set".
    std::string lightSet(int instance) const;
    // Its state in Home Assistant's JSON light format: "corvane/<coach>/light/<instance>/state".
    std::string lightState(int instance) const;
    // A switched load: "corvane/<coach>/switch/<instance>/set", ".../state" ("ON" or "OFF").
    std::string switchSet(int instance) const;
    std::string switchState(int instance) const;
};

// What a command topic of the coach asks for: "corvane/c1/light/2/set" -> light 2,
// "corvane/c1/switch/5/set" -> switch 5; nothing for any other topic, another coach's, or an
// instance that is not 0-252 in decimal ("light/007/set", "light/-1/set", "light/253/set").
struct CommandTopic {
    enum class Kind { Light, Switch } kind = Kind::Light;
    int instance = 0;
};
std::optional<CommandTopic> parseCommandTopic(const CoachTopics& coach, std::string_view topic);

// The coach a topic under "corvane/" belongs to and the rest: "corvane/c1/status" ->
// {"c1", "status"}; empty coach for any other topic.
struct CoachTopicParts {
    std::string coach;
    std::string rest;
};
CoachTopicParts splitCoachTopic(std::string_view topic);

}  // namespace corvane::mqtt
