#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "adapters/FtLinkRecord.h"
#include "platform/FtDriver.h"

namespace corvane {

// One connection to an FT-series adapter: the open driver handle, the reader thread that
// decodes the link, the reply queue that commands wait on, and the queue of received frames.
// Created for each connection attempt, closed and destroyed at disconnect.
//
// Threads: open, command and close run on the thread that connects or disconnects; write and
// sendFramePayload may be called from any thread (writeMutex_ serialises them); the frame and
// lost handlers run on the reader thread.
class UsbCanPort {
  public:
    // Results of write, sendFramePayload and command.
    static constexpr int kOk = 0;
    static constexpr int kNoHandle = 101;
    static constexpr int kNoReply = 116;
    static constexpr int kFrameTooLong = 117;
    static constexpr int kWriteFailed = 118;

    static constexpr int kReplyWaitMs = 1000;
    static constexpr uint8_t kStopCommand = 0x93;

    // Called after frames were queued: take them with port.takeFrame().
    using FrameHandler = std::function<void(UsbCanPort& port)>;
    // Called once when the device stops answering reads (unplugged); the reader then ends.
    using LostHandler = std::function<void()>;

    // Nothing is opened yet. The handlers are fixed before the reader can run.
    UsbCanPort(FtDriver& driver, std::string serialNumber, FrameHandler onFrames,
               LostHandler onLost);
    ~UsbCanPort();
    UsbCanPort(const UsbCanPort&) = delete;
    UsbCanPort& operator=(const UsbCanPort&) = delete;

    // Opens the device by serial number, resets and purges it, sets its time-outs, transfer
    // sizes and latency, and starts the reader. Returns the driver status of the open or of
    // the transfer sizes (the two steps the adapter cannot work without); kOk otherwise.
    FtDriver::Status open();

    // Frames the payload and writes it: kOk, kNoHandle or kWriteFailed.
    int write(std::span<const uint8_t> payload);
    // One CAN frame of at most 8 bytes: kFrameTooLong for more, else as write.
    int sendFramePayload(uint32_t identifier, const uint8_t* data, uint16_t length);
    // Sends a command and waits up to a second for the reply with the same code; its data goes
    // to `reply`. kOk, kNoReply, or the error of write. Replies to other commands that arrive
    // meanwhile are thrown away.
    int command(uint8_t code, std::vector<uint8_t>& reply);

    // Stops the firmware (0x93), ends the reader and closes the handle. Safe to repeat.
    void close();

    // The next received frame, if any.
    std::optional<UsbRecord> takeFrame();

    bool running() const { return running_.load(std::memory_order_acquire); }
    bool configured() const { return configured_.load(std::memory_order_relaxed); }
    void setConfigured() { configured_.store(true, std::memory_order_relaxed); }
    const std::string& serialNumber() const { return serialNumber_; }

  private:
    void readerLoop();
    void dispatch(const UsbRecord& record);
    void deviceLost();

    FtDriver& driver_;
    const std::string serialNumber_;
    const FrameHandler onFrames_;
    const LostHandler onLost_;

    // Set by open and cleared by close on the owner's thread, read by writers: guarded by
    // writeMutex_ for writes, and stable while the reader runs.
    FtDriver::Handle handle_ = FtDriver::kNoHandle;
    std::mutex writeMutex_;  // serialises writes, and closing the handle against them

    std::atomic<bool> running_{false};
    std::atomic<bool> configured_{false};
    std::thread reader_;

    std::mutex replyMutex_;  // guards replies_
    std::condition_variable replyArrived_;
    std::deque<UsbRecord> replies_;

    std::mutex frameMutex_;  // guards frames_
    std::deque<UsbRecord> frames_;
};

}  // namespace corvane
