#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace corvane {

// Appends text to a file through a memory buffer. A flusher thread writes the buffer out at
// least every `flushInterval` (and append() writes at once when the buffer passes
// kFlushSize), close() writes the rest: a process killed outright loses at most the text of
// the last interval.
//
// The file is written in place, not through a temporary file and a rename: a recording must
// be on disk while it grows, or a crash would lose all of it.
//
// Threads: append() from any thread (bufferMutex_); flushing is serialised by fileMutex_, so
// text reaches the file in the order it was appended.
class BufferedFileWriter {
  public:
    static constexpr size_t kFlushSize = size_t{64} * 1024;

    explicit BufferedFileWriter(
        std::chrono::milliseconds flushInterval = std::chrono::milliseconds(250));
    ~BufferedFileWriter();
    BufferedFileWriter(const BufferedFileWriter&) = delete;
    BufferedFileWriter& operator=(const BufferedFileWriter&) = delete;

    // Creates (or empties) the file and starts the flusher. False when the file cannot be
    // created or a file is already open.
    bool open(const std::string& path);
    void append(std::string_view text);
    // Writes what is buffered now. False once a write to the file has failed.
    bool flush();
    // Flushes, stops the flusher and closes the file. False if any write failed.
    bool close();

    bool isOpen() const { return open_.load(std::memory_order_acquire); }
    // A write to the current (or last) file has failed: what follows is not all in it.
    bool failed() const { return failed_.load(std::memory_order_relaxed); }
    // Bytes that reached the file.
    uint64_t bytesWritten() const { return written_.load(std::memory_order_relaxed); }

  private:
    void flusherLoop();
    bool writeAll(const std::string& text);

    const std::chrono::milliseconds interval_;
    std::mutex fileMutex_;  // guards fd_ and the order of writes
    int fd_ = -1;
    std::mutex bufferMutex_;  // guards buffer_ and stopping_
    std::condition_variable wake_;
    std::string buffer_;
    bool stopping_ = false;
    std::thread flusher_;
    std::atomic<bool> open_{false};
    std::atomic<bool> failed_{false};
    std::atomic<uint64_t> written_{0};
};

}  // namespace corvane
