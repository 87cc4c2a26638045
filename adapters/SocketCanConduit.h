#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "adapters/Conduit.h"
#include "adapters/UserNotifier.h"
#include "core/RvcFrame.h"
#include "platform/CanSocket.h"
#include "platform/StringSetting.h"

namespace corvane {

class RVCManager;

// An adapter the kernel drives as a CAN network interface ("can0"): a raw socket taking
// extended frames only, a reader thread into the manager's intake, one frame per sendFrame.
// When the interface goes down or away (adapter unplugged) the conduit disconnects itself.
//
// Threads: connect/disconnect on the user-interface thread (lifecycleMutex_); sendFrame from
// any thread; the reader thread calls intake and, when the interface is lost, disconnects.
class SocketCanConduit : public Conduit {
  public:
    static constexpr const char* kErrorTitle = "SocketCAN Error";
    static constexpr const char* kUnsupportedText = "This machine has no SocketCAN support.";
    static constexpr int kReadWaitMs = 100;

    // `interface` (from --socketcan) replaces the "SocketCanInterface" setting for this run
    // when given.
    SocketCanConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                     UserNotifier& notifier, std::string interface = {});
    ~SocketCanConduit() override;

    int connect() override;
    int reconnect() override;
    void disconnect() override;
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override;

    bool connected() const { return connected_.load(std::memory_order_acquire); }
    // The interface the next connect opens.
    std::string interfaceName() const;
    // The user's choice: remembered in "SocketCanInterface", and it replaces a name given on
    // the command line.
    void setInterface(const std::string& name);
    // "SocketCanInterface": the name the menu remembers, "can0" by default.
    StringSetting& interfaceSetting() { return interfaceSetting_; }

    // Received kernel frame -> frame for intake; none for standard, remote and error frames.
    static std::optional<RvcFrame> toRvcFrame(const CanSocketFrame& frame);
    // A transmission -> kernel frame; none when longer than 8 bytes.
    static std::optional<CanSocketFrame> toSocketFrame(uint32_t dgn, uint8_t sa, uint8_t priority,
                                                       uint16_t length, const uint8_t* data);

  private:
    void readerLoop();
    void handleLost();
    void shutdownLocked();

    RVCManager& manager_;
    UserNotifier& notifier_;
    StringSetting interfaceSetting_;

    mutable std::mutex lifecycleMutex_;  // guards connecting, disconnecting, override_, reader_
    std::string override_;
    std::thread reader_;
    std::mutex sendMutex_;  // keeps a transmission from writing to a socket being closed
    CanSocket socket_;
    std::atomic<bool> connected_{false};
    std::atomic<bool> stopping_{false};  // a disconnect is waiting for the reader to end
};

}  // namespace corvane
