#pragma once

#include <atomic>
#include <cstdint>

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
    static constexpr int32_t kDisconnected = 0;
    static constexpr int32_t kConnected = 1;
    static constexpr int32_t kLoggedIn = 2;  // cloud only: logged in, link not open yet
    static constexpr int32_t kFailed = 3;    // the last attempt failed with a message
    static constexpr int32_t kDisabled = 4;

    // Loads this conduit's own copy of "EchoTransmits".
    Conduit(SettingsStore& settings, TransmitPath& transmit);
    ~Conduit() override = default;
    Conduit(const Conduit&) = delete;
    Conduit& operator=(const Conduit&) = delete;

    // Non-zero when connected. The base refuses only while disabled.
    virtual int connect();
    virtual int reconnect();
    virtual int getState() const;
    // Back to disconnected, unless disabled.
    virtual void disconnect();
    virtual void setState(int value);
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
    std::atomic<int32_t> state_{kDisconnected};
};

}  // namespace corvane
