#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "adapters/Conduit.h"
#include "adapters/ReaderThread.h"
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
// Threads: connect/disconnect on the user-interface thread, the link's life cycle being the
// reader's (see ReaderThread); sendFrame from any thread; the reader thread calls intake.
class SocketCanConduit : public Conduit, private ReaderThread::Link {
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

    bool connected() const { return reader_.reading(); }
    // The interface the next connect opens.
    std::string interfaceName() const;
    std::string location() const override { return interfaceName(); }
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
    bool openLink() override;
    ReaderThread::Read readLink() override;
    void closeLink(bool lost) override;

    RVCManager& manager_;
    UserNotifier& notifier_;
    StringSetting interfaceSetting_;

    std::string override_;  // guarded by reader_.mutex()
    std::mutex sendMutex_;  // keeps a transmission from writing to a socket being closed
    CanSocket socket_;
    mutable ReaderThread reader_;  // last: stopped before the members it reads through go
};

}  // namespace corvane
