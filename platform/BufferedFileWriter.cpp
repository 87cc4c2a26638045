#include "platform/BufferedFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace corvane {

BufferedFileWriter::BufferedFileWriter(std::chrono::milliseconds flushInterval)
    : interval_(flushInterval) {}

BufferedFileWriter::~BufferedFileWriter() { close(); }

bool BufferedFileWriter::open(const std::string& path) {
    std::lock_guard fileLock(fileMutex_);
    if (fd_ >= 0) return false;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return false;
    {
        std::lock_guard lock(bufferMutex_);
        buffer_.clear();
        stopping_ = false;
    }
    failed_ = false;
    written_ = 0;
    open_.store(true, std::memory_order_release);
    flusher_ = std::thread([this] { flusherLoop(); });
    return true;
}

void BufferedFileWriter::append(std::string_view text) {
    if (!isOpen()) return;
    bool full = false;
    {
        std::lock_guard lock(bufferMutex_);
        buffer_.append(text);
        full = buffer_.size() >= kFlushSize;
    }
    if (full) flush();
}

bool BufferedFileWriter::flush() {
    std::lock_guard fileLock(fileMutex_);
    std::string out;
    {
        std::lock_guard lock(bufferMutex_);
        out.swap(buffer_);
    }
    if (fd_ < 0) return false;
    if (!out.empty() && !writeAll(out)) failed_ = true;
    return !failed_.load();
}

bool BufferedFileWriter::writeAll(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
        written_.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
    }
    return true;
}

void BufferedFileWriter::flusherLoop() {
    std::unique_lock lock(bufferMutex_);
    while (!stopping_) {
        wake_.wait_for(lock, interval_, [this] { return stopping_; });
        if (stopping_) break;
        lock.unlock();
        flush();
        lock.lock();
    }
}

bool BufferedFileWriter::close() {
    if (!open_.exchange(false, std::memory_order_acq_rel)) return !failed_.load();
    {
        std::lock_guard lock(bufferMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (flusher_.joinable()) flusher_.join();
    flush();
    std::lock_guard fileLock(fileMutex_);
    if (fd_ >= 0) {
        if (::close(fd_) != 0) failed_ = true;
        fd_ = -1;
    }
    return !failed_.load();
}

}  // namespace corvane
