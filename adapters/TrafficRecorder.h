#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "core/ClientDelivery.h"
#include "core/RvcFrame.h"
#include "platform/BufferedFileWriter.h"

namespace corvane {

// Writes every frame it is given to a candump log file ("Record Traffic..."). It sits in the
// manager's client-delivery slot in front of the module client bus, so it sees every frame
// dispatched - received ones and, when echo is on, transmissions - and hands everything on
// to the client bus unchanged.
//
// Threads: record() from any thread that takes frames in; start/stop on the user-interface
// thread. The frame count is read from any thread.
class TrafficRecorder final : public ClientDelivery {
  public:
    // Microseconds since 1970 for a frame recorded now.
    using TimeSource = std::function<int64_t()>;

    // Time stamps from the system clock unless another source is given (a replay recorded
    // again keeps the log's own times).
    explicit TrafficRecorder(TimeSource now = {});
    ~TrafficRecorder() override;
    TrafficRecorder(const TrafficRecorder&) = delete;
    TrafficRecorder& operator=(const TrafficRecorder&) = delete;

    // Starts a new recording, replacing the file. False when it cannot be created or a
    // recording is already running.
    bool start(const std::string& path, std::string interface = "can0");
    // Writes the rest and closes the file. False if anything could not be written.
    bool stop();
    bool recording() const { return writer_.isOpen(); }

    // One frame taken in now.
    void record(const RvcFrame& frame);
    // One frame with its own time stamp.
    void recordAt(const RvcFrame& frame, int64_t micros);

    // The delivery the recorder passes everything on to (the module client bus); set at
    // start-up, before any adapter runs. Null: nobody.
    void setNext(ClientDelivery* next) { next_ = next; }
    void deliverRaw(const RvcFrame& frame) override;
    void deliverCooked(const RvcMessage& message) override;
    std::string report() const override;

    // Frames written in the current (or last) recording.
    uint64_t frameCount() const { return frames_.load(std::memory_order_relaxed); }
    // The file could not take everything (a full disk): the recording is incomplete.
    bool writeFailed() const { return writer_.failed(); }

  private:
    TimeSource now_;
    ClientDelivery* next_ = nullptr;
    std::mutex startMutex_;  // guards interface_ while a recording starts
    std::string interface_ = "can0";
    BufferedFileWriter writer_;
    std::atomic<uint64_t> frames_{0};
};

}  // namespace corvane
