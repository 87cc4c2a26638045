#include "adapters/Conduit.h"

#include "core/TransmitPath.h"

namespace corvane {

namespace {

constexpr const char* kSection = "Corvane";

}  // namespace

Conduit::Conduit(SettingsStore& settings, TransmitPath& transmit)
    : settings_(settings),
      transmit_(transmit),
      echoTransmits_(settings, kSection, "EchoTransmits", 0) {}

void Conduit::loadEchoTransmits() {
    const int32_t saved = settings_.readInteger(kSection, echoTransmits_.name()).value_or(0);
    if (saved != echoTransmits_.value()) echoTransmits_.set(saved);
}

int Conduit::connect() {
    if (getState() == kDisabled) return 0;
    setState(kConnected);
    return 1;
}

int Conduit::reconnect() { return connect(); }

ConduitState Conduit::getState() const { return state_.load(std::memory_order_relaxed); }

void Conduit::disconnect() {
    if (getState() != kDisabled) setState(kDisconnected);
}

void Conduit::setState(ConduitState value) { state_.store(value, std::memory_order_relaxed); }

void Conduit::sendFrame(uint32_t, uint8_t, uint8_t, uint16_t, const uint8_t*) {}

void Conduit::send(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) {
    transmit_.sendVia(*this, dgn, sa, priority, length, data);
}

}  // namespace corvane
