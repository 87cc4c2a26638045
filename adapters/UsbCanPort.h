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
#include <vector>

#include "adapters/FtLinkParser.h"
#include "adapters/FtLinkRecord.h"
#include "platform/FtDriver.h"

namespace corvane {

// One connection to an FT-series adapter: the open driver handle, the read step that decodes
// the link, the reply queue that commands wait on, and the queue of received frames. Created
// for each connection attempt, closed and destroyed at disconnect.
//
// Threads: open, command and close run on the thread that connects or disconnects; readStep on
// the owner's reader thread, which must run for commands to hear their replies and is ended
// before close; write and sendFramePayload may be called from any thread (writeMutex_
// serialises them); the frame handler runs on the reader thread.
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
    // Received frames waiting for takeFrame; a frame beyond them pushes the oldest out, and
    // that loss is counted (a reader that is never taken from would grow without end).
    static constexpr size_t kFrameQueueLimit = 4096;

    // Called after frames were queued: take them with port.takeFrame().
    using FrameHandler = std::function<void(UsbCanPort& port)>;

    // Nothing is opened yet. The handler is fixed before the reader can run.
    UsbCanPort(FtDriver& driver, std::string serialNumber, FrameHandler onFrames);
    ~UsbCanPort();
    UsbCanPort(const UsbCanPort&) = delete;
    UsbCanPort& operator=(const UsbCanPort&) = delete;

    // Opens the device by serial number, resets and purges it, and sets its time-outs, transfer
    // sizes and latency. Returns the driver status of the open or of
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

    // One step of the reader: waits up to 20 ms for input and decodes it. False once the
    // device stops answering reads (unplugged): commands then fail at once.
    bool readStep();

    // Stops the firmware (0x93) and closes the handle. Safe to repeat.
    void close();

    // The next received frame, if any.
    std::optional<UsbRecord> takeFrame();
    // Frames pushed out of the full queue since the last call; any thread.
    uint64_t takeDroppedFrames() { return droppedFrames_.exchange(0, std::memory_order_relaxed); }

    // True from the open until the device stops answering.
    bool running() const { return running_.load(std::memory_order_acquire); }
    bool configured() const { return configured_.load(std::memory_order_relaxed); }
    void setConfigured() { configured_.store(true, std::memory_order_relaxed); }
    const std::string& serialNumber() const { return serialNumber_; }

  private:
    void dispatch(const UsbRecord& record);
    bool deviceLost();

    FtDriver& driver_;
    const std::string serialNumber_;
    const FrameHandler onFrames_;

    // Set by open and cleared by close on the owner's thread, read by writers: guarded by
    // writeMutex_ for writes, and stable while the reader runs.
    FtDriver::Handle handle_ = FtDriver::kNoHandle;
    std::mutex writeMutex_;  // serialises writes, and closing the handle against them

    std::atomic<bool> running_{false};
    std::atomic<bool> configured_{false};
    // The reader's own: the link decoder and its buffers.
    FtLinkParser parser_;
    std::vector<uint8_t> buffer_;
    std::vector<UsbRecord> parsed_;

    std::mutex replyMutex_;  // guards replies_
    std::condition_variable replyArrived_;
    std::deque<UsbRecord> replies_;

    std::mutex frameMutex_;  // guards frames_
    std::deque<UsbRecord> frames_;
    std::atomic<uint64_t> droppedFrames_{0};
};

}  // namespace corvane
