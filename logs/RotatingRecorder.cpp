#include "logs/RotatingRecorder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "adapters/CandumpLogFormat.h"

namespace corvane {

RotatingRecorder::RotatingRecorder(size_t queueFrames)
    : capacity_(std::max<size_t>(queueFrames, 1)) {}

RotatingRecorder::~RotatingRecorder() { stop(); }

bool RotatingRecorder::startFile(const std::string& path, std::string interface) {
    if (running()) return false;
    if (!writer_.open(path)) return false;
    interface_ = std::move(interface);
    filePath_ = path;
    folder_.clear();
    current_ = path;
    files_ = 1;
    return startWriter();
}

bool RotatingRecorder::startFolder(const std::string& folder, const RotationSettings& settings,
                                   std::function<int64_t()> nowMicros, std::string interface) {
    std::error_code error;
    if (running() || !std::filesystem::is_directory(folder, error)) return false;
    interface_ = std::move(interface);
    filePath_.clear();
    folder_ = folder;
    settings_ = settings;
    now_ = std::move(nowMicros);
    current_.clear();
    fileEnd_ = 0;
    files_ = 0;
    return startWriter();
}

bool RotatingRecorder::startWriter() {
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = false;
        queue_.clear();
        queue_.reserve(capacity_);
    }
    written_ = 0;
    dropped_ = 0;
    failed_ = false;
    running_.store(true, std::memory_order_release);
    thread_ = std::thread([this] { writerLoop(); });
    return true;
}

bool RotatingRecorder::stop() {
    if (!thread_.joinable()) return true;  // nothing runs: nothing more can fail
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = true;
        held_ = false;
    }
    wake_.notify_all();
    thread_.join();
    if (!writer_.close()) failed_ = true;
    running_.store(false, std::memory_order_release);
    return !failed_;
}

void RotatingRecorder::holdWriter(bool hold) {
    {
        std::lock_guard lock(queueMutex_);
        held_ = hold;
    }
    wake_.notify_all();
}

bool RotatingRecorder::record(int64_t micros, uint32_t canId, uint8_t length, const uint8_t* data) {
    if (!running_.load(std::memory_order_acquire)) return false;
    Entry e{micros, canId, std::min<uint8_t>(length, 8), {}};
    std::memcpy(e.data, data, e.length);
    {
        std::lock_guard lock(queueMutex_);
        // The recording is ending because it was told to: not the disk's fault, not counted.
        if (stopping_) return false;
        if (queue_.size() >= capacity_) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        queue_.push_back(e);
        // Woken only when a batch is worth writing; the flush interval takes the rest.
        if (queue_.size() != capacity_ / 2) return true;
    }
    wake_.notify_one();
    return true;
}

void RotatingRecorder::writerLoop() {
    std::vector<Entry> batch;
    batch.reserve(capacity_);
    std::string text;
    for (;;) {
        bool last = false;
        {
            std::unique_lock lock(queueMutex_);
            wake_.wait_for(lock, kFlushInterval, [this] {
                return stopping_ || (!held_ && queue_.size() >= capacity_ / 2);
            });
            if (held_ && !stopping_) continue;
            batch.swap(queue_);
            queue_.clear();
            last = stopping_;
        }
        writeBatch(batch, text);
        batch.clear();
        if (writer_.isOpen() && !writer_.flush()) failed_ = true;
        if (last) return;
    }
}

bool RotatingRecorder::needsNewFile(int64_t micros, size_t pending) const {
    if (!filePath_.empty()) return false;
    if (!writer_.isOpen()) return true;
    if (fileEnd_ != 0 && micros >= fileEnd_) return true;
    if (settings_.fileBytes == 0) return false;
    // A plain file's size is known to the byte; a compressed one's only after a flush, so it
    // is judged at the end of each batch.
    const uint64_t size = settings_.compression == LogCompression::None
                              ? writer_.textBytes() + pending
                              : writer_.bytesOut();
    return size >= settings_.fileBytes;
}

bool RotatingRecorder::rotate(int64_t micros) {
    if (writer_.isOpen() && !writer_.close()) failed_ = true;
    const RecordingFolder folder(folder_);
    current_ = folder.freshPath(micros, settings_.compression);
    if (settings_.fileSeconds > 0) {
        // Files begin at whole periods, so an hourly recording has one file per clock hour.
        const int64_t period = settings_.fileSeconds * 1'000'000;
        fileEnd_ = (micros / period + 1) * period;
    }
    if (!writer_.open(current_)) {
        failed_ = true;
        return false;
    }
    files_.fetch_add(1, std::memory_order_relaxed);
    folder.prune(settings_.keepBytes, settings_.keepDays, now_ ? now_() : micros, current_);
    return true;
}

// Text handed to the writer in pieces of about this size.
constexpr size_t kTextChunk = size_t{64} * 1024;

void RotatingRecorder::writeBatch(const std::vector<Entry>& batch, std::string& text) {
    char line[kCandumpLineMax];
    text.clear();
    for (const Entry& e : batch) {
        if (needsNewFile(e.micros, text.size())) {
            if (!text.empty() && !writer_.write(text)) failed_ = true;
            text.clear();
            // A file that cannot be opened loses its frames, not the recording.
            if (!rotate(e.micros)) continue;
        }
        text.append(line, formatCandumpLine(e.micros, interface_, e.canId, e.length, e.data, line));
        if (text.size() >= kTextChunk) {
            if (!writer_.write(text)) failed_ = true;
            text.clear();
        }
        written_.fetch_add(1, std::memory_order_relaxed);
    }
    if (!text.empty() && writer_.isOpen() && !writer_.write(text)) failed_ = true;
}

}  // namespace corvane
