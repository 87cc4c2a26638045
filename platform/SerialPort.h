#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvane {

// One serial line to a USB-CAN adapter: opened exclusively, raw, 9600 8N1, with reads that
// return at once. Owns the reader thread that cuts the incoming bytes into text lines.
//
// Threads: open/close/startReader/stopReader run on the owner's thread (the reader may also
// close the port it reads, after it has seen the line fail); write() may be called from any
// thread and is serialised; the line and failure handlers run on the reader thread.
class SerialPort {
  public:
    // What a read found: bytes, nothing buffered, or a line that is gone (unplugged, hung up).
    static constexpr std::ptrdiff_t kReadFailed = -1;

    using LineHandler = std::function<void(std::string_view line)>;
    using FailureHandler = std::function<void()>;

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // The device paths to probe, in order: `preferred` first when given, then the blank-
    // separated paths of `configured`, or when that is blank /dev/ttyACM0..49 and
    // /dev/ttyUSB0..49. Duplicates are left out.
    static std::vector<std::string> candidates(std::string_view configured,
                                               std::string_view preferred);

    // Opens `path` for reading and writing, exclusively, and makes it a raw 9600 8N1 line.
    // False when it is missing, busy, not a terminal or refuses the settings.
    bool open(const std::string& path);
    // Closes the line; safe to call from the reader thread (it then ends by itself).
    void close();
    bool isOpen() const { return fd_.load(std::memory_order_acquire) >= 0; }
    const std::string& portName() const { return portName_; }

    // Reads what is buffered, without waiting: the byte count, 0 when nothing is there, or
    // kReadFailed when the line is gone.
    std::ptrdiff_t read(std::span<uint8_t> buffer);
    // Waits up to `timeoutMs` for something to read (or for the line to fail).
    bool waitReadable(int timeoutMs);
    // Writes all of `text`, waiting briefly while the line is full. False when the line is
    // closed, failed, or stayed full.
    bool write(std::string_view text);

    // Starts the reader thread: every non-empty line (at most 127 characters kept) goes to
    // `onLine`; when the line fails, `onFailure` is called once and the thread ends. Both
    // handlers are installed before the thread starts. `earlier` holds bytes already read from
    // the line (after a probe's answer); they are cut into lines first.
    void startReader(LineHandler onLine, FailureHandler onFailure, std::string earlier = {});
    // Tells the reader to end and waits for it, unless called on the reader thread itself.
    void stopReader();
    bool readerRunning() const { return running_.load(std::memory_order_acquire); }
    bool onReaderThread() const { return std::this_thread::get_id() == readerId_.load(); }

  private:
    void readerLoop();

    std::atomic<int> fd_{-1};
    std::string portName_;
    std::mutex writeMutex_;  // serialises writes, and closing against them
    std::atomic<bool> running_{false};
    LineHandler onLine_;
    FailureHandler onFailure_;
    std::string earlier_;
    std::thread reader_;
    std::atomic<std::thread::id> readerId_{};
};

}  // namespace corvane
