#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "adapters/CloudLoginPrompt.h"
#include "adapters/CloudWireFormat.h"
#include "adapters/Conduit.h"
#include "adapters/UserNotifier.h"
#include "adapters/WebsocketEndpoint.h"
#include "platform/IntegerSetting.h"
#include "platform/StringSetting.h"

namespace corvane {

class DeviceTable;
class RVCManager;

// The KestrixLink cloud relay as an adapter: an HTTPS login, then a secure websocket to the
// same host carrying frames as JSON texts both ways.
//
// States: 0 disconnected, 2 logged in while the websocket is still opening, 1 connected
// (websocket open and the first connect text sent). At most one link is ever open: a new
// login closes the previous link first, and only texts of the current link in state 1 are
// taken in, so a frame is never taken twice nor after a disconnect.
//
// Threads: connect, disconnect, service and the login prompt run on the user-interface thread;
// sendFrame on any thread that transmits; onTextMessage on the endpoint's worker thread,
// which hands frames to the manager's intake under intakeMutex_. The link identity (token,
// link id, code) is written by connect and read by the others under identityMutex_; the
// one-time code is also kept as an atomic for the receive path.
class CloudConduit : public Conduit {
  public:
    static constexpr const char* kErrorTitle = "KestrixLink Connection Error";
    static constexpr int kKeepAliveCalls = 5;  // the connect text goes out every fifth service

    CloudConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                 DeviceTable& devices, CloudLoginPrompt& login, UserNotifier& notifier);
    // Destroys the endpoint: open connections are closed (going away).
    ~CloudConduit() override;

    // Asks for the login now; the next connect() uses what was typed instead of asking again,
    // and only that one, whatever its outcome.
    bool prepareConnect() override;
    // Login prompt (unless prepared), login, websocket start; 1 when logged in (state 2), 0
    // otherwise. A cancelled prompt leaves a link that is up as it was.
    int connect() override;
    void disconnect() override;
    void setState(ConduitState value) override;
    // "relay <host>, RV ID <id>" (or "module ID") for the link asked for last.
    std::string location() const override;
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override;

    // Every 200 ms: link start, keep-alive and failure detection while in state 1 or 2.
    virtual void service();
    // One websocket text received on link `id` (worker thread).
    virtual void onTextMessage(int32_t id, const std::string& text);
    // Traces the formatted text and shows it in a message box; returns `value`.
    virtual int reportError(int value, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    int32_t connectionId() const { return connectionId_.load(std::memory_order_relaxed); }
    int32_t otc() const { return otc_.load(std::memory_order_relaxed); }
    int32_t serviceCounter() const { return serviceCounter_; }
    std::shared_ptr<connection_metadata> metadata() const;

    // Where the service is: host name, login (HTTPS) port, stream (websocket) port and an
    // extra CA certificate file to trust beside the system's.
    StringSetting& hostSetting() { return host_; }
    IntegerSetting& loginPortSetting() { return loginPort_; }
    IntegerSetting& streamPortSetting() { return streamPort_; }
    StringSetting& caFileSetting() { return caFile_; }
    StringSetting& userNameSetting() { return userName_; }
    StringSetting& linkIdSetting() { return linkId_; }
    IntegerSetting& linkIdTypeSetting() { return linkIdType_; }

  private:
    // Received frames carry microseconds since this adapter was made, saturating.
    uint32_t timestampNow() const;
    void sendConnectText(int32_t id);
    // Starts closing the current link, if it is opening or open.
    void closeLink();
    CloudLinkIdentity identity() const;
    // The prompt pre-filled from the settings; nothing when the user cancelled.
    std::optional<KestrixLinkDetails> askLogin();

    RVCManager& manager_;
    DeviceTable& devices_;
    CloudLoginPrompt& login_;
    UserNotifier& notifier_;
    const std::chrono::steady_clock::time_point epoch_;

    StringSetting userName_;
    StringSetting linkId_;
    IntegerSetting linkIdType_;
    StringSetting host_;
    IntegerSetting loginPort_;
    IntegerSetting streamPort_;
    StringSetting caFile_;

    std::atomic<int32_t> connectionId_{-1};
    std::atomic<int32_t> otc_{0};
    int32_t serviceCounter_ = 0;                  // user-interface thread only
    std::optional<KestrixLinkDetails> prepared_;  // user-interface thread only

    // Held while a received text is taken in, and while disconnect leaves state 1: no text
    // is taken in after a disconnect has returned.
    std::mutex intakeMutex_;
    mutable std::mutex identityMutex_;  // guards identity_
    CloudLinkIdentity identity_;

    // Last member: destroyed first, so its worker thread ends before anything it calls into.
    std::unique_ptr<WebsocketEndpoint> endpoint_;
};

}  // namespace corvane
