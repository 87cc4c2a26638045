#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/ClientDelivery.h"
#include "core/RvcFrame.h"
#include "logs/RotatingRecorder.h"

namespace corvane {

// Writes every frame it is given to a candump log file ("Record Traffic..."). It sits in the
// manager's client-delivery slot in front of the module client bus, so it sees every frame
// dispatched - received ones and, when echo is on, transmissions - and hands everything on
// to the client bus unchanged.
//
// Every recording - one file, plain, ".gz" or ".zst", or a rotating one into a folder - goes
// through a RotatingRecorder's bounded queue and writer thread: neither the disk nor the
// compression runs on the threads that take frames in, and frames the writer cannot keep up
// with are dropped and counted rather than holding up the bus.
//
// Threads: record() from any thread that takes frames in; start/stop on the user-interface
// thread. The counts are read from any thread.
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
    // A name ending in ".gz" or ".zst" writes the file compressed.
    bool start(const std::string& path, std::string interface = "can0");
    // A recording into files in `folder`, cut and kept as `settings` say. False when the
    // folder does not exist or a recording is already running.
    bool startFolder(const std::string& folder, const RotationSettings& settings,
                     std::string interface = "can0");
    // Writes the rest and closes the file. False if anything could not be written.
    bool stop();
    bool recording() const { return queued_.running(); }

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

    // Frames taken into the current (or last) recording; all of them are written by the end
    // of stop(), unless writeFailed().
    uint64_t frameCount() const { return frames_.load(std::memory_order_relaxed); }
    // The file could not take everything (a full disk): the recording is incomplete.
    bool writeFailed() const { return queued_.writeFailed(); }
    // Frames left out because the writer fell behind.
    uint64_t dropped() const { return queued_.dropped(); }

    // Test hook: holds the writer (see RotatingRecorder::holdWriter).
    void holdWriter(bool hold) { queued_.holdWriter(hold); }

  private:
    TimeSource now_;
    ClientDelivery* next_ = nullptr;
    RotatingRecorder queued_;
    std::atomic<uint64_t> frames_{0};
};

}  // namespace corvane
