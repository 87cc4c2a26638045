#include "logs/LogWriter.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

#include <cerrno>
#include <cstring>

namespace corvane {

namespace {

enum Mode { kWrite, kFlush, kEnd };

}  // namespace

struct LogWriter::Encoder {
    z_stream zlib{};
    bool zlibReady = false;
    ZSTD_CCtx* zstd = nullptr;
    ~Encoder() {
        if (zlibReady) deflateEnd(&zlib);
        if (zstd != nullptr) ZSTD_freeCCtx(zstd);
    }
};

LogWriter::LogWriter() = default;

LogWriter::~LogWriter() { close(); }

bool LogWriter::open(const std::string& path) {
    if (fd_ >= 0) return false;
    compression_ = compressionForName(path);
    encoder_ = std::make_unique<Encoder>();
    if (compression_ == LogCompression::Gzip) {
        // 15 + 16: a gzip header and trailer, so that gzip and zcat read the file.
        if (deflateInit2(&encoder_->zlib, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return false;
        encoder_->zlibReady = true;
    } else if (compression_ == LogCompression::Zstd) {
        encoder_->zstd = ZSTD_createCCtx();
        if (encoder_->zstd == nullptr) return false;
        ZSTD_CCtx_setParameter(encoder_->zstd, ZSTD_c_compressionLevel, 3);
        // A checksum per frame, so that damage is found rather than read as text.
        ZSTD_CCtx_setParameter(encoder_->zstd, ZSTD_c_checksumFlag, 1);
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return false;
    out_.resize(kBufferBytes);
    outUsed_ = 0;
    fileBytes_ = 0;
    textBytes_ = 0;
    failed_ = false;
    return true;
}

bool LogWriter::writeRaw(const char* data, size_t size) {
    size_t done = 0;
    while (done < size && !failed_) {
        const ssize_t n = ::write(fd_, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            break;
        }
        done += static_cast<size_t>(n);
        fileBytes_ += static_cast<uint64_t>(n);
    }
    return !failed_;
}

bool LogWriter::writeOut() {
    writeRaw(out_.data(), outUsed_);
    outUsed_ = 0;  // what could not be written is lost either way
    return !failed_;
}

bool LogWriter::encode(std::string_view text, int mode) {
    if (compression_ == LogCompression::Gzip) {
        z_stream& z = encoder_->zlib;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        z.avail_in = static_cast<uInt>(text.size());
        const int flush = mode == kEnd ? Z_FINISH : mode == kFlush ? Z_SYNC_FLUSH : Z_NO_FLUSH;
        for (;;) {
            z.next_out = reinterpret_cast<Bytef*>(out_.data() + outUsed_);
            z.avail_out = static_cast<uInt>(out_.size() - outUsed_);
            const int result = deflate(&z, flush);
            outUsed_ = out_.size() - z.avail_out;
            if (result == Z_STREAM_ERROR) return false;
            if (z.avail_out == 0) {
                if (!writeOut()) return false;
                continue;
            }
            if (z.avail_in == 0 && (mode != kEnd || result == Z_STREAM_END)) return true;
        }
    }
    ZSTD_inBuffer input{text.data(), text.size(), 0};
    const ZSTD_EndDirective directive = mode == kEnd     ? ZSTD_e_end
                                        : mode == kFlush ? ZSTD_e_flush
                                                         : ZSTD_e_continue;
    for (;;) {
        ZSTD_outBuffer output{out_.data() + outUsed_, out_.size() - outUsed_, 0};
        const size_t left = ZSTD_compressStream2(encoder_->zstd, &output, &input, directive);
        outUsed_ += output.pos;
        if (ZSTD_isError(left) != 0) return false;
        if (outUsed_ == out_.size() && !writeOut()) return false;
        const bool done = mode == kWrite ? input.pos == input.size : left == 0;
        if (done) return true;
    }
}

bool LogWriter::write(std::string_view text) {
    if (fd_ < 0 || failed_) return false;
    textBytes_ += text.size();
    if (compression_ == LogCompression::None) {
        if (outUsed_ + text.size() > out_.size() && !writeOut()) return false;
        // Larger than the buffer: straight through.
        if (text.size() > out_.size()) return writeRaw(text.data(), text.size());
        std::memcpy(out_.data() + outUsed_, text.data(), text.size());
        outUsed_ += text.size();
        return true;
    }
    if (!encode(text, kWrite)) failed_ = true;
    return !failed_;
}

bool LogWriter::flush() {
    if (fd_ < 0) return false;
    if (compression_ != LogCompression::None && !failed_ && !encode({}, kFlush)) failed_ = true;
    if (outUsed_ > 0) writeOut();
    return !failed_;
}

bool LogWriter::close() {
    if (fd_ < 0) return !failed_;
    if (compression_ != LogCompression::None && !failed_ && !encode({}, kEnd)) failed_ = true;
    if (outUsed_ > 0) writeOut();
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    encoder_.reset();
    return !failed_;
}

}  // namespace corvane
