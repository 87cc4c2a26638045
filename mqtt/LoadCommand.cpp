#include "mqtt/LoadCommand.h"

#include "core/DimmerCommand.h"

namespace corvane::mqtt {

using namespace dimmer_command;

namespace {

// Mode "no change" (bits 0-1 all ones), no interlock (bits 2-3), the rest reserved.
constexpr uint8_t kModeByte = 0xF3;

}  // namespace

std::optional<LoadCommand> parseLoadCommand(std::string_view payload) {
    if (payload == "ON") return LoadCommand{true};
    if (payload == "OFF") return LoadCommand{false};
    return std::nullopt;
}

std::array<uint8_t, 8> loadCommandData(uint8_t instance, const LoadCommand& c) {
    return {
        instance, 0xFF, c.on ? kFullLevel : uint8_t{0}, kModeByte, c.on ? kSetLevel : kOff, 0xFF,
        0xFF,     0xFF};
}

const char* loadStateFromPercent(double percent) { return percent > 0 ? "ON" : "OFF"; }

}  // namespace corvane::mqtt
