#include "logs/LogByteSource.h"

#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

namespace corvane {

struct LogByteSource::Decoder {
    z_stream zlib{};
    bool zlibReady = false;
    ZSTD_DCtx* zstd = nullptr;
    ~Decoder() {
        if (zlibReady) inflateEnd(&zlib);
        if (zstd != nullptr) ZSTD_freeDCtx(zstd);
    }
};

LogByteSource::LogByteSource() = default;

LogByteSource::~LogByteSource() {
    if (file_ != nullptr) std::fclose(file_);
}

bool LogByteSource::open(const std::string& path) {
    RegularFile file = RegularFile::open(path);
    openStatus_ = file.status();
    if (!file.isOpen()) return false;
    size_ = file.size();
    file_ = file.releaseAsStream();
    if (file_ == nullptr) {
        openStatus_ = RegularFile::Status::ReadFailed;
        return false;
    }
    compression_ = compressionForName(path);
    decoder_ = std::make_unique<Decoder>();
    if (compression_ == LogCompression::Gzip) {
        // 15 + 32: a zlib or gzip header, found by inflate itself.
        if (inflateInit2(&decoder_->zlib, 15 + 32) != Z_OK) {
            openStatus_ = RegularFile::Status::ReadFailed;
            return false;
        }
        decoder_->zlibReady = true;
    } else if (compression_ == LogCompression::Zstd) {
        decoder_->zstd = ZSTD_createDCtx();
        if (decoder_->zstd == nullptr ||
            ZSTD_isError(ZSTD_DCtx_setParameter(decoder_->zstd, ZSTD_d_windowLogMax,
                                                kZstdWindowLogMax)) != 0) {
            openStatus_ = RegularFile::Status::ReadFailed;
            return false;
        }
    }
    if (compression_ != LogCompression::None) raw_.resize(kChunkBytes);
    return true;
}

const char* LogByteSource::describe(Fault fault) {
    switch (fault) {
        case Fault::CutShort:
            return "is cut short";
        case Fault::Damaged:
            return "is damaged";
        case Fault::ReadFailed:
            return "could not be read";
        case Fault::TooLargeWindow:
            return "needs a zstd window over 16 MB (compress it again without --long or "
                   "--ultra)";
        case Fault::None:
            break;
    }
    return "";
}

size_t LogByteSource::read(char* out, size_t capacity) {
    if (file_ == nullptr || fault_ != Fault::None) {
        ended_ = true;
        return 0;
    }
    if (capacity == 0) return 0;
    size_t n = 0;
    switch (compression_) {
        case LogCompression::Gzip:
            n = readGzip(out, capacity);
            break;
        case LogCompression::Zstd:
            n = readZstd(out, capacity);
            break;
        case LogCompression::None:
            n = readPlain(out, capacity);
            break;
    }
    // Nothing read is the end, but for a compressed read that stopped before a second chunk
    // of a file not yet ended.
    ended_ =
        n == 0 && (compression_ == LogCompression::None || fault_ != Fault::None || fileEnded_);
    return n;
}

size_t LogByteSource::readPlain(char* out, size_t capacity) {
    const size_t n = std::fread(out, 1, std::min(capacity, kChunkBytes), file_);
    position_ += n;
    if (n == 0 && std::ferror(file_) != 0) fault_ = Fault::ReadFailed;
    return n;
}

bool LogByteSource::fillRaw() {
    if (rawStart_ < rawEnd_) return true;
    if (fileEnded_) return false;
    rawStart_ = 0;
    rawEnd_ = std::fread(raw_.data(), 1, raw_.size(), file_);
    position_ += rawEnd_;
    if (rawEnd_ == 0) {
        fileEnded_ = true;
        if (std::ferror(file_) != 0) fault_ = Fault::ReadFailed;
        return false;
    }
    return true;
}

bool LogByteSource::secondChunkNeeded(bool& chunkRead) const {
    const bool needsChunk = rawStart_ >= rawEnd_ && !fileEnded_;
    if (needsChunk && chunkRead) return true;
    chunkRead = chunkRead || needsChunk;
    return false;
}

// Both decoders may hold text back when the output fills, so they are called again even
// once the file has ended; the stream is complete only when the file ends between members
// (gzip) or frames (zstd).
size_t LogByteSource::readGzip(char* out, size_t capacity) {
    z_stream& z = decoder_->zlib;
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(std::min(capacity, kChunkBytes));
    const uInt wanted = z.avail_out;
    bool chunkRead = false;
    for (;;) {
        if (secondChunkNeeded(chunkRead)) break;
        const bool haveInput = fillRaw();
        z.next_in = reinterpret_cast<Bytef*>(raw_.data() + rawStart_);
        z.avail_in = haveInput ? static_cast<uInt>(rawEnd_ - rawStart_) : 0;
        const int result = inflate(&z, Z_NO_FLUSH);
        if (haveInput) {
            rawStart_ = rawEnd_ - z.avail_in;
            streamOpen_ = true;
        }
        if (result == Z_STREAM_END) {
            // Another member may follow (a log appended to, or written in parts).
            streamOpen_ = false;
            inflateReset(&z);
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            fault_ = Fault::Damaged;
            break;
        }
        if (z.avail_out != wanted) break;
        if (!haveInput && result != Z_STREAM_END) {
            if (streamOpen_ && fault_ == Fault::None) fault_ = Fault::CutShort;
            break;
        }
    }
    return wanted - z.avail_out;
}

size_t LogByteSource::readZstd(char* out, size_t capacity) {
    ZSTD_outBuffer output{out, std::min(capacity, kChunkBytes), 0};
    bool chunkRead = false;
    for (;;) {
        if (secondChunkNeeded(chunkRead)) break;
        const bool haveInput = fillRaw();
        ZSTD_inBuffer input{raw_.data() + rawStart_, haveInput ? rawEnd_ - rawStart_ : 0, 0};
        const size_t hint = ZSTD_decompressStream(decoder_->zstd, &output, &input);
        rawStart_ += input.pos;
        if (ZSTD_isError(hint) != 0) {
            fault_ = ZSTD_getErrorCode(hint) == ZSTD_error_frameParameter_windowTooLarge
                         ? Fault::TooLargeWindow
                         : Fault::Damaged;
            break;
        }
        // 0: a frame is complete and flushed; anything else: more of it is to come.
        if (haveInput || hint == 0) streamOpen_ = hint != 0;
        if (output.pos > 0) break;
        if (!haveInput) {
            if (streamOpen_ && fault_ == Fault::None) fault_ = Fault::CutShort;
            break;
        }
    }
    return output.pos;
}

}  // namespace corvane
