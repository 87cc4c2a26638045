#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "logs/LogCompression.h"
#include "platform/RegularFile.h"

namespace corvane {

// The text of a log file, read in chunks of kChunkBytes whatever the file's size: plain,
// gzip (".gz", several members one after the other too) or zstd (".zst"), chosen by the
// name. Memory stays at a few chunks plus the decompressor's window.
//
// A compressed file that ends before its stream does, or whose data is damaged, yields all
// the text up to the break and then stops with fault() set; the bytes already handed out
// stay valid text. A zstd frame that asks for a window over kZstdWindowLogMax (what --long
// and --ultra compress with) is refused the same way before its memory is taken, so that
// no file makes the reader grow past a few tens of MB. Objects are owned by one thread.
class LogByteSource {
  public:
    static constexpr size_t kChunkBytes = size_t{256} * 1024;
    // 16 MB: the window of every ordinary zstd level (19 takes 8 MB).
    static constexpr int kZstdWindowLogMax = 24;

    enum class Fault {
        None,
        CutShort,        // the compressed stream ends in the middle
        Damaged,         // the compressed data is not valid
        ReadFailed,      // the system could not read the file
        TooLargeWindow,  // a zstd frame needs a window over kZstdWindowLogMax
    };

    LogByteSource();
    ~LogByteSource();
    LogByteSource(const LogByteSource&) = delete;
    LogByteSource& operator=(const LogByteSource&) = delete;

    // Opens a regular file; false with openStatus() saying why (a FIFO or device is refused).
    bool open(const std::string& path);
    RegularFile::Status openStatus() const { return openStatus_; }

    // Up to `capacity` bytes of text into `out`. At most one chunk of the file is read per
    // call, so that a caller can be stopped between calls: 0 means either ended() or a chunk
    // that held no text (empty gzip members, skippable zstd frames); call again.
    size_t read(char* out, size_t capacity);
    // No text will come any more: the end of the file, or a fault.
    bool ended() const { return ended_; }

    Fault fault() const { return fault_; }
    // "is cut short", "is damaged", "could not be read", "needs a zstd window over 16 MB";
    // empty without a fault.
    static const char* describe(Fault fault);
    LogCompression compression() const { return compression_; }
    // Bytes of the file consumed so far, and the file's size: the progress of a read.
    uint64_t filePosition() const { return position_; }
    uint64_t fileSize() const { return size_; }

  private:
    struct Decoder;  // the zlib or zstd state

    // Refills the raw buffer; false at the end of the file or on a read error.
    bool fillRaw();
    // True when the raw buffer is empty and this call has read a chunk of the file already
    // (`chunkRead`); otherwise notes in `chunkRead` the chunk the next fillRaw() reads.
    bool secondChunkNeeded(bool& chunkRead) const;
    size_t readPlain(char* out, size_t capacity);
    size_t readGzip(char* out, size_t capacity);
    size_t readZstd(char* out, size_t capacity);

    std::FILE* file_ = nullptr;
    RegularFile::Status openStatus_ = RegularFile::Status::CannotOpen;
    LogCompression compression_ = LogCompression::None;
    std::unique_ptr<Decoder> decoder_;
    std::vector<char> raw_;  // compressed bytes read but not yet decoded
    size_t rawStart_ = 0;
    size_t rawEnd_ = 0;
    bool fileEnded_ = false;
    bool streamOpen_ = false;  // a compressed frame or member has begun and not ended
    bool ended_ = false;
    Fault fault_ = Fault::None;
    uint64_t position_ = 0;
    uint64_t size_ = 0;
};

}  // namespace corvane
