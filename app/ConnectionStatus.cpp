#include "app/ConnectionStatus.h"

#include <algorithm>
#include <cstdio>

#include "adapters/SocketCanConduit.h"
#include "logs/ReplayConduit.h"

namespace corvane {

namespace {

const char* stateText(ConduitState state) {
    switch (state) {
        case Conduit::kConnected:
            return "Connected";
        case Conduit::kLoggedIn:
            return "Logged in, opening the link";
        case Conduit::kFailed:
            return "Not connected (the last attempt failed)";
        case Conduit::kDisabled:
            return "Disabled";
        default:
            return ConnectionStatus::kNotConnectedText;
    }
}

}  // namespace

std::string ConnectionStatus::lineOf(const std::string& kind, const std::string& location,
                                     ConduitState state) {
    std::string text = kind;
    if (!location.empty()) text += " (" + location + ")";
    // The no-adapter conduit "connects" to nothing.
    const bool none = kind == kNoAdapter;
    return text + ": " + (none ? kNotConnectedText : stateText(state));
}

const Conduit* ConnectionStatus::current() const {
    return services_.adapters ? &services_.adapters->current() : nullptr;
}

std::string ConnectionStatus::kindOf(const Conduit* conduit) const {
    if (!conduit || conduit == services_.noAdapter) return kNoAdapter;
    if (conduit == services_.ftSeries) return "FT-series adapter";
    if (conduit == services_.serial) return "Vexor-series adapter";
    if (conduit == services_.cloud) return "KestrixLink cloud";
    if (conduit == services_.socketCan) return "SocketCAN";
    if (conduit == services_.replay) return "Log replay";
    return "Adapter";
}

std::string ConnectionStatus::replayPositionOf(int64_t intoMicros, double percent) {
    const int64_t seconds = std::max<int64_t>(intoMicros, 0) / 1'000'000;
    char text[64];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld into the log, %d%%",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60),
                  static_cast<int>(std::clamp(percent, 0.0, 100.0)));
    return text;
}

std::string ConnectionStatus::line() const {
    const Conduit* conduit = current();
    const std::string kind = kindOf(conduit);
    if (kind == kNoAdapter) return lineOf(kind, "", Conduit::kDisconnected);
    return lineOf(kind, conduit->location(), conduit->getState());
}

bool ConnectionStatus::connected() const {
    const Conduit* conduit = current();
    return kindOf(conduit) != kNoAdapter && conduit->getState() == Conduit::kConnected;
}

const char* ConnectionStatus::emptyListText() const {
    return connected() ? kWaitingText : kNotConnectedText;
}

}  // namespace corvane
