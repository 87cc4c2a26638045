#pragma once

#include <cstdint>

namespace corvane {

// The manager's muteMode values, as the menu items and the client-bus mode command set them.
namespace mute {
inline constexpr int32_t kTransmitNormally = 0;
inline constexpr int32_t kHousekeepingOnly = 1;
inline constexpr int32_t kNothing = 2;
inline constexpr int32_t kToolMessagesOnly = 3;
}  // namespace mute

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
constexpr bool transmitAllowed(TransmitSource source, int32_t muteMode) {
    switch (source) {
        case TransmitSource::UserCommand:
            return true;
        case TransmitSource::ModuleSend:
            return muteMode == mute::kTransmitNormally || muteMode == mute::kToolMessagesOnly;
        case TransmitSource::ModuleHousekeeping:
        case TransmitSource::ClearToSend:
            return muteMode != mute::kNothing;
        case TransmitSource::Housekeeping:
        case TransmitSource::RequestAnswer:
            return muteMode == mute::kTransmitNormally || muteMode == mute::kHousekeepingOnly;
    }
    return false;
}

}  // namespace corvane
