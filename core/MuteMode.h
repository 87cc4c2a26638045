#pragma once

#include <cstdint>
#include <optional>

namespace corvane {

// What the tool may transmit, as the menu items and the client-bus mode command set it. On the
// client wire and in the menu state the mode is its number, 0-3.
enum class MuteMode : int32_t {
    TransmitNormally = 0,
    HousekeepingOnly = 1,
    Nothing = 2,
    ToolMessagesOnly = 3,
};

// Wire number -> mode: 2 -> Nothing; none for a number above 3 (the mode is then left alone).
constexpr std::optional<MuteMode> muteModeFromWire(int32_t number) {
    if (number < 0 || number > 3) return std::nullopt;
    return static_cast<MuteMode>(number);
}
// Mode -> wire number: ToolMessagesOnly -> 3.
constexpr int32_t toWire(MuteMode mode) { return static_cast<int32_t>(mode); }

// Who wants to transmit. The transmit operations never look at the mute mode; each source
// asks transmitAllowed() before it sends.
enum class TransmitSource {
    ModuleSend,          // client-bus send and send-from commands (codes 0 and 1)
    ModuleHousekeeping,  // client-bus housekeeping sends (codes 8 and 9)
    Housekeeping,        // the network scan and the periodic diagnostic requests
    RequestAnswer,       // answers to requests addressed to the tool
    ClearToSend,         // answers to requests to send a long message
    UserCommand,         // script commands and main-window commands
};

// Transmit Normally: everything. Housekeeping Messages Only: all but module sends.
// Transmit Nothing: only what the user asks for directly. Tool Messages Only: modules, the
// clear-to-send and the user, but not the tool's own housekeeping and answers.
constexpr bool transmitAllowed(TransmitSource source, MuteMode muteMode) {
    switch (source) {
        case TransmitSource::UserCommand:
            return true;
        case TransmitSource::ModuleSend:
            return muteMode == MuteMode::TransmitNormally || muteMode == MuteMode::ToolMessagesOnly;
        case TransmitSource::ModuleHousekeeping:
        case TransmitSource::ClearToSend:
            return muteMode != MuteMode::Nothing;
        case TransmitSource::Housekeeping:
        case TransmitSource::RequestAnswer:
            return muteMode == MuteMode::TransmitNormally || muteMode == MuteMode::HousekeepingOnly;
    }
    return false;
}

}  // namespace corvane
