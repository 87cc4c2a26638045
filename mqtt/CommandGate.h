#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::mqtt {

// One message and instance the owner allows to be commanded from MQTT.
struct AllowedCommand {
    std::string dgnName;
    int instance = 0;
    bool operator==(const AllowedCommand&) const = default;
};

// "DC_DIMMER_COMMAND_2:1,2 DC_LOAD_COMMAND:5" -> {DC_DIMMER_COMMAND_2 1}, {.. 2}, {DC_LOAD_COMMAND
// 5}. Entries are separated by blanks or ';'. Nothing (and `error` set) for a malformed entry.
std::optional<std::vector<AllowedCommand>> parseAllowList(std::string_view text,
                                                          std::string& error);

// Decides whether a command from MQTT may go onto the bus. Commands are off unless enabled;
// then only what the allow list names passes, never while the tool is muted or has no
// adapter, and at most one per `minIntervalMicros` per message and instance (a command that
// comes sooner is refused with kTooSoon, for the caller to hold and try again).
//
// Pure and not thread-safe: times are the caller's; one thread owns it.
class CommandGate {
  public:
    static constexpr std::string_view kTooSoon = "too soon after the last command";

    CommandGate(bool enabled, std::vector<AllowedCommand> allowed, int64_t minIntervalMicros)
        : enabled_(enabled), allowed_(std::move(allowed)), minInterval_(minIntervalMicros) {}

    // "" when the command may go (and it is counted as sent at `now`), else why not.
    std::string check(std::string_view dgnName, int instance, bool muted, bool connected,
                      int64_t now);
    bool allows(std::string_view dgnName, int instance) const;
    bool enabled() const { return enabled_; }

  private:
    bool enabled_;
    std::vector<AllowedCommand> allowed_;
    int64_t minInterval_;
    std::map<std::pair<std::string, int>, int64_t> lastSent_;
};

}  // namespace corvane::mqtt
