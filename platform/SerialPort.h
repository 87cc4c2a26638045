#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// One serial line to a USB-CAN adapter: opened exclusively, raw, 9600 8N1, with reads that
// return at once; its owner's reader thread cuts what it reads into lines.
//
// Threads: open/close run on the owner's thread (or its reader's, once the line failed);
// read/waitReadable on one reading thread; write() may be called from any thread and is
// serialised.
class SerialPort {
  public:
    // What a read found: bytes, nothing buffered, or a line that is gone (unplugged, hung up).
    static constexpr std::ptrdiff_t kReadFailed = -1;

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
    // Closes the line; safe to repeat.
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

  private:
    std::atomic<int> fd_{-1};
    std::string portName_;
    std::mutex writeMutex_;  // serialises writes, and closing against them
};

}  // namespace corvane
