#pragma once

#include <cstdint>

namespace corvane {

// Where an adapter stands. The menu state carries it as its number (stateNumber).
enum class ConduitState : int32_t {
    Disconnected = 0,
    Connected = 1,
    LoggedIn = 2,  // cloud only: logged in, link not open yet
    Failed = 3,    // the last attempt failed with a message
    Disabled = 4,
};

// Connected -> 1, Disabled -> 4.
constexpr int32_t stateNumber(ConduitState state) { return static_cast<int32_t>(state); }

}  // namespace corvane
