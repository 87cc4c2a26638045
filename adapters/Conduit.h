#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "adapters/ConduitState.h"
#include "core/FrameSender.h"
#include "platform/IntegerSetting.h"
#include "platform/SettingsStore.h"

namespace corvane {

class TransmitPath;

// The adapter interface, and itself the no-adapter conduit: it connects trivially and sends
// nothing. Adapters derive from it and override what differs.
//
// Threads: the selection commands run on the user-interface thread; sendFrame is called from
// any thread that transmits, possibly several at once, so an adapter that keeps per-frame
// state must serialise it. State is read from any thread.
class Conduit : public FrameSender {
  public:
    static constexpr ConduitState kDisconnected = ConduitState::Disconnected;
    static constexpr ConduitState kConnected = ConduitState::Connected;
    static constexpr ConduitState kLoggedIn = ConduitState::LoggedIn;
    static constexpr ConduitState kFailed = ConduitState::Failed;
    static constexpr ConduitState kDisabled = ConduitState::Disabled;

    // Loads this conduit's own copy of "EchoTransmits".
    Conduit(SettingsStore& settings, TransmitPath& transmit);
    ~Conduit() override = default;
    Conduit(const Conduit&) = delete;
    Conduit& operator=(const Conduit&) = delete;

    // Asks the user what the next connect() needs (a login) while the current adapter still
    // runs: false when the user cancelled, and then the selection changes nothing. The base
    // needs nothing.
    virtual bool prepareConnect() { return true; }
    // Non-zero when connected. The base refuses only while disabled.
    virtual int connect();
    virtual int reconnect();
    virtual ConduitState getState() const;
    // Where this adapter reaches the bus, for the user: a port, an interface, a relay, a log
    // file. Empty when there is nothing to tell (the no-adapter conduit).
    virtual std::string location() const { return {}; }
    // Back to disconnected, unless disabled.
    virtual void disconnect();
    virtual void setState(ConduitState value);
    // One frame of at most 8 bytes; the base sends nothing.
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override;

    bool echoTransmits() const override { return echoTransmits_.value() != 0; }
    // Changes and saves this conduit's copy only.
    void setEchoTransmits(bool on) { echoTransmits_.set(on ? 1 : 0); }
    // Takes up the saved value, which another conduit may have changed since this copy was
    // made: the choice last made applies to the adapter connected next.
    void loadEchoTransmits();

    // The transmit path's entry through this conduit: validates, splits long messages into
    // frames and echoes as this conduit's setting says.
    void send(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length, const uint8_t* data);

  protected:
    TransmitPath& transmitPath() { return transmit_; }

  private:
    SettingsStore& settings_;
    TransmitPath& transmit_;
    IntegerSetting echoTransmits_;
    std::atomic<ConduitState> state_{kDisconnected};
};

}  // namespace corvane
