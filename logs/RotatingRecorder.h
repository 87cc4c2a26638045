#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logs/LogCompression.h"
#include "logs/LogWriter.h"
#include "logs/RecordingFolder.h"

namespace corvane {

// How a recording into a folder is cut into files and how much of it is kept.
struct RotationSettings {
    int64_t fileSeconds = 3600;                // a new file at every whole period; 0: never
    uint64_t fileBytes = uint64_t{100} << 20;  // a new file past this size; 0: no limit
    int keepDays = 7;                          // 0: keep whatever the age
    uint64_t keepBytes = uint64_t{10} << 30;   // 0: keep whatever the total
    LogCompression compression = LogCompression::None;
};

// Records frames as candump lines for as long as it runs: into one named file, or into a
// folder of files cut by time and size with the oldest deleted (see RecordingFolder).
//
// record() never blocks on the disk: it puts the frame into a bounded queue that a writer
// thread empties, formats, compresses and writes. When the queue is full the frame is dropped
// and counted (dropped()). The writer flushes at least every kFlushInterval, so a process
// killed outright loses little; rotation follows the frames' own time stamps.
//
// Threads: record() from any thread (the queue's mutex is held only to append or to swap the
// queue out); start/stop from one controlling thread. Counters are atomics.
class RotatingRecorder {
  public:
    static constexpr size_t kDefaultQueueFrames = 65536;
    static constexpr std::chrono::milliseconds kFlushInterval{250};

    explicit RotatingRecorder(size_t queueFrames = kDefaultQueueFrames);
    ~RotatingRecorder();
    RotatingRecorder(const RotatingRecorder&) = delete;
    RotatingRecorder& operator=(const RotatingRecorder&) = delete;

    // One file, compressed by its name, never rotated. False when it cannot be created or a
    // recording runs.
    bool startFile(const std::string& path, std::string interface = "can0");
    // A rotating recording in an existing folder; the first file is created with the first
    // frame. `nowMicros` gives the time the ring's age limit is measured against. False when
    // the folder is not a folder or a recording runs.
    bool startFolder(const std::string& folder, const RotationSettings& settings,
                     std::function<int64_t()> nowMicros, std::string interface = "can0");
    // Writes what is queued, closes the file and ends the writer. False if any write of this
    // recording failed; true when none runs.
    bool stop();
    bool running() const { return running_.load(std::memory_order_acquire); }

    // One frame, stamped `micros` (since 1970). Never waits for the writer; false when the
    // frame was dropped (queue full, counted) or nothing runs or the recording is being
    // stopped (not counted: nothing was lost to a slow disk).
    bool record(int64_t micros, uint32_t canId, uint8_t length, const uint8_t* data);

    uint64_t framesWritten() const { return written_.load(std::memory_order_relaxed); }
    uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }
    uint64_t filesStarted() const { return files_.load(std::memory_order_relaxed); }
    bool writeFailed() const { return failed_.load(std::memory_order_relaxed); }

    // Test hook: the writer waits before each batch until `open` is true. Lets a test make
    // the writer slow without sleeping.
    void holdWriter(bool hold);

  private:
    struct Entry {
        int64_t micros;
        uint32_t canId;
        uint8_t length;
        uint8_t data[8];
    };

    bool startWriter();
    void writerLoop();
    void writeBatch(const std::vector<Entry>& batch, std::string& text);
    // Closes the current file and opens the one a frame at `micros` belongs to.
    bool rotate(int64_t micros);
    // `pending`: text of the batch not yet handed to the writer.
    bool needsNewFile(int64_t micros, size_t pending) const;

    const size_t capacity_;
    std::string interface_ = "can0";
    // Fixed while the writer runs.
    std::string filePath_;  // one-file recording; empty for a folder
    std::string folder_;
    RotationSettings settings_;
    std::function<int64_t()> now_;

    std::mutex queueMutex_;  // guards queue_, stopping_, held_
    std::condition_variable wake_;
    std::vector<Entry> queue_;
    bool stopping_ = false;
    bool held_ = false;

    // Writer thread only.
    LogWriter writer_;
    std::string current_;
    int64_t fileEnd_ = 0;  // the time the current file's period ends; 0: none

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> failed_{false};
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> files_{0};
};

}  // namespace corvane
