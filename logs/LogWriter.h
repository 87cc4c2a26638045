#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "logs/LogCompression.h"

namespace corvane {

// Writes the text of a log file, plain, gzip (".gz") or zstd (".zst") by the file's name,
// through a buffer of kBufferBytes. flush() pushes everything written so far into the file
// as complete compressed blocks, so a reader sees it even while the file grows; close()
// ends the stream.
//
// Owned by one thread (the recorder's writer thread).
class LogWriter {
  public:
    static constexpr size_t kBufferBytes = size_t{256} * 1024;

    LogWriter();
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Creates (or empties) the file. False when it cannot be created or one is open.
    bool open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    // False once a write has failed (the file is then incomplete).
    bool write(std::string_view text);
    bool flush();
    // Ends the stream and closes the file; false if anything could not be written.
    bool close();

    // Bytes that reached the file, and text bytes taken, since open.
    uint64_t bytesOut() const { return fileBytes_; }
    uint64_t textBytes() const { return textBytes_; }
    bool failed() const { return failed_; }

  private:
    struct Encoder;  // the zlib or zstd state

    // Compresses `text` (or, with `mode` other than plain writing, flushes or ends) into out_.
    bool encode(std::string_view text, int mode);
    bool writeOut();
    bool writeRaw(const char* data, size_t size);

    int fd_ = -1;
    LogCompression compression_ = LogCompression::None;
    std::unique_ptr<Encoder> encoder_;
    std::vector<char> out_;  // bytes waiting for the file
    size_t outUsed_ = 0;
    uint64_t fileBytes_ = 0;
    uint64_t textBytes_ = 0;
    bool failed_ = false;
};

}  // namespace corvane
