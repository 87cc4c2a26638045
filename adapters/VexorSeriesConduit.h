#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "adapters/DataRateCommand.h"
#include "adapters/ReaderThread.h"
#include "adapters/UserNotifier.h"
#include "core/RvcFrame.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortLineCutter.h"
#include "platform/StringSetting.h"

namespace corvane {

class RVCManager;

// The Vexor-series USB-CAN adapter: a serial line speaking text lines. connect() probes the
// candidate ports for the adapter's banner; then the reader thread turns "R" lines into frames
// for the manager's intake and a sender thread writes queued frames as "T" lines, as far as
// the adapter's credits (free places in its transmit buffer) allow. Frames still queued when
// a link ends are dropped, never sent on a later link: a command minutes old is no command.
//
// Threads: connect/reconnect/disconnect/sendDataRate run on the user-interface thread, and the
// link's life cycle is the reader's (see ReaderThread); sendFrame runs on any thread (queue
// tail under queueMutex_); the sender thread owns the queue head and sleeps on senderWake_
// until a frame is queued, credits are answered or a credit question is due. Credit
// bookkeeping is under creditMutex_.
class VexorSeriesConduit : public Conduit, public DataRateCommand, private ReaderThread::Link {
  public:
    static constexpr const char* kNotFoundText = "Could not find Vexor-series USB connection";
    static constexpr const char* kNotFoundTitle = "Vexorseries Error";
    static constexpr size_t kQueueSize = 2000;
    static constexpr int kProbeAttempts = 5;
    static constexpr int32_t kCreditQueryMark = 40;

    // `preferredPort` (from --serial-port) is probed before the "SerialPorts" list.
    VexorSeriesConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                       AdapterSettings& adapterSettings, UserNotifier& notifier,
                       std::string preferredPort = {});
    ~VexorSeriesConduit() override;

    int connect() override;
    int reconnect() override;
    void disconnect() override;
    // Queues one frame; a full queue drops it and counts it in the manager's dropped work.
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override;
    void sendDataRate(int32_t rate) override;

    bool connected() const { return reader_.reading(); }
    // The device path of the open adapter (empty before the first connection).
    std::string portName() const;
    // The open port, or the first one a connect would try.
    std::string location() const override;
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
    using Clock = std::chrono::steady_clock;

    bool openLink() override;
    ReaderThread::Read readLink() override;
    void closeLink(bool lost) override;

    // Opens `path` and asks for the banner. On success `after` holds what the adapter sent
    // behind the banner (its first frames), which the reader takes in first.
    bool probe(const std::string& path, std::string& after);
    void startSession(std::string after);
    void handleLine(std::string_view line);
    void wakeSender();
    void stopSender();
    void senderLoop();
    // Writes queued frames while credits last. When frames wait for credits, the time to look
    // again without being woken.
    std::optional<Clock::time_point> sendQueued();
    void queryCredits();
    bool queueEmpty() const;
    // Empties the queue once the sender has ended; how many frames were in it.
    size_t dropQueued();

    RVCManager& manager_;
    AdapterSettings& adapterSettings_;
    UserNotifier& notifier_;
    StringSetting serialPorts_;

    std::string preferredPort_;  // guarded by reader_.mutex()
    // A copy of preferredPort_ for the status line, under a lock of its own: the reader's lock
    // is held through a whole probe.
    mutable std::mutex locationMutex_;
    std::string shownPreferredPort_;
    SerialPort port_;
    // The reader thread's own: the line cutter, and the bytes that came behind the banner.
    SerialPortLineCutter cutter_;
    std::string earlier_;

    std::thread sender_;
    std::mutex senderMutex_;  // the two flags below change under it, for senderWake_
    std::condition_variable senderWake_;
    std::atomic<bool> senderStop_{false};  // also read between frames
    bool senderPoked_ = false;             // something changed since the sender last looked

    // The transmit ring: callers of sendFrame fill the tail under queueMutex_; the sender
    // thread empties the head. A slot is published by the release store of queueWrite_.
    std::mutex queueMutex_;
    bool accepting_ = false;  // guarded by queueMutex_: frames are taken for this link
    std::array<RvcFrame, kQueueSize> transmitQueue_{};
    std::atomic<size_t> queueWrite_{0};
    std::atomic<size_t> queueRead_{0};

    mutable std::mutex creditMutex_;  // guards creditState_
    CreditState creditState_;

    ReaderThread reader_;  // last: stopped before the members it reads through go
};
}  // namespace corvane
