#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "adapters/DataRateCommand.h"
#include "adapters/UserNotifier.h"
#include "core/RvcFrame.h"
#include "platform/SerialPort.h"
#include "platform/StringSetting.h"

namespace corvane {

class RVCManager;

// The Vexor-series USB-CAN adapter: a serial line speaking text lines. connect() probes the
// candidate ports for the adapter's banner; then a reader thread turns "R" lines into frames
// for the manager's intake and a sender thread writes queued frames as "T" lines, as far as
// the adapter's credits (free places in its transmit buffer) allow. Frames still queued when
// a link ends are dropped, never sent on a later link: a command minutes old is no command.
//
// Threads: connect/reconnect/disconnect/sendDataRate run on the user-interface thread (and
// are serialised by lifecycleMutex_); sendFrame runs on any thread (queue tail under
// queueMutex_); the reader thread calls intake and, when the line fails, disconnects; the
// sender thread owns the queue head. Credit bookkeeping is under creditMutex_.
class VexorSeriesConduit : public Conduit, public DataRateCommand {
  public:
    static constexpr const char* kNotFoundText = "Could not find Vexor-series USB connection";
    static constexpr const char* kNotFoundTitle = "Vexorseries Error";
    static constexpr size_t kQueueSize = 2000;
    static constexpr int kProbeAttempts = 5;
    static constexpr int kFramesPerPass = 20;
    static constexpr int32_t kCreditQueryMark = 40;

    // `preferredPort` (from --serial-port) is probed before the "SerialPorts" list.
    VexorSeriesConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                       AdapterSettings& adapterSettings, UserNotifier& notifier,
                       std::string preferredPort = {});
    ~VexorSeriesConduit() override;

    int connect() override;
    int reconnect() override;
    void disconnect() override;
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override;
    void sendDataRate(int32_t rate) override;

    bool connected() const { return connected_.load(std::memory_order_acquire); }
    // The device path of the open adapter (empty before the first connection).
    std::string portName() const;
    int32_t credits() const;
    // "SerialPorts": blank-separated device paths to probe instead of the usual ones.
    StringSetting& serialPorts() { return serialPorts_; }
    void setPreferredPort(std::string path);

  private:
    struct CreditState {
        int32_t credits = 0;
        bool queryOutstanding = false;
        bool answeredNoRoom = false;  // the last answer was "b=0"
        int32_t sentSinceQuery = 0;   // frames written after the outstanding query
        std::chrono::steady_clock::time_point queriedAt{};
    };

    // Opens `path` and asks for the banner. On success `after` holds what the adapter sent
    // behind the banner (its first frames), which the reader takes in first.
    bool probe(const std::string& path, std::string& after);
    void startSession(std::string after);
    void shutdownLocked(bool onReader);
    void handleLine(std::string_view line);
    void handleLineLost();
    void senderLoop();
    void queryCredits();
    bool queueEmpty() const;
    // Empties the queue once the sender has ended; how many frames were in it.
    size_t dropQueued();

    RVCManager& manager_;
    AdapterSettings& adapterSettings_;
    UserNotifier& notifier_;
    StringSetting serialPorts_;

    std::mutex lifecycleMutex_;  // guards connecting, disconnecting and preferredPort_
    std::string preferredPort_;
    std::atomic<bool> stopping_{false};  // a disconnect is waiting for the reader to end
    SerialPort port_;
    std::atomic<bool> connected_{false};
    std::thread sender_;

    // The transmit ring: callers of sendFrame fill the tail under queueMutex_; the sender
    // thread empties the head. A slot is published by the release store of queueWrite_.
    std::mutex queueMutex_;
    std::array<RvcFrame, kQueueSize> transmitQueue_{};
    std::atomic<size_t> queueWrite_{0};
    std::atomic<size_t> queueRead_{0};

    mutable std::mutex creditMutex_;  // guards creditState_
    CreditState creditState_;
};

}  // namespace corvane
