#include "platform/MailslotOutbox.h"

#include <chrono>

namespace corvane {

namespace {

constexpr int kRoomWaitMs = 20;  // one wait for room; closing is looked at between them
constexpr size_t kLengthBytes = 2;
constexpr size_t kKeptRoom = size_t{64} * 1024;  // room a drained queue keeps; a burst's goes back

// The length of the message queued at `at` (behind its two length bytes).
size_t lengthAt(const std::string& queue, size_t at) {
    return static_cast<uint8_t>(queue[at]) | (size_t{static_cast<uint8_t>(queue[at + 1])} << 8);
}

}  // namespace

MailslotOutbox::MailslotOutbox(MailslotWriter writer) : writer_(std::move(writer)) {
    if (writer_.valid()) flusher_ = std::thread([this] { run(); });
}

MailslotOutbox::~MailslotOutbox() { close(); }

bool MailslotOutbox::write(std::span<const uint8_t> message) const {
    std::lock_guard lock(mutex_);
    if (closing_ || !writer_.valid()) return false;
    const bool empty = head_ == queue_.size();
    if (empty) {
        switch (writer_.tryWrite(message)) {
            case MailslotWriter::Attempt::Written:
                return true;
            case MailslotWriter::Attempt::Failed:
                ++lost_;
                return false;
            case MailslotWriter::Attempt::Full:
                break;
        }
    }
    if (message.size() > 0xFFFF ||
        queue_.size() - head_ + kLengthBytes + message.size() > kCapacity) {
        ++lost_;
        return false;
    }
    queue_.push_back(static_cast<char>(message.size() & 0xFF));
    queue_.push_back(static_cast<char>(message.size() >> 8));
    queue_.append(reinterpret_cast<const char*>(message.data()), message.size());
    if (empty) waiting_.notify_one();
    return true;
}

// Hands on messages from the head until the reader's queue is full again. A message the
// reader cannot take at all (it is gone) is dropped, and so is each one after it.
void MailslotOutbox::flushLocked() const {
    while (head_ < queue_.size()) {
        const size_t length = lengthAt(queue_, head_);
        const auto* message =
            reinterpret_cast<const uint8_t*>(queue_.data()) + head_ + kLengthBytes;
        const auto attempt = writer_.tryWrite(std::span(message, length));
        if (attempt == MailslotWriter::Attempt::Full) break;
        if (attempt == MailslotWriter::Attempt::Failed) ++lost_;
        head_ += kLengthBytes + length;
    }
    if (head_ == queue_.size()) {
        if (queue_.capacity() > kKeptRoom) {
            std::string().swap(queue_);
        } else {
            queue_.clear();
        }
        head_ = 0;
    } else if (head_ >= kCapacity / 2) {
        queue_.erase(0, head_);
        head_ = 0;
    }
}

void MailslotOutbox::run() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    Clock::time_point giveUp = Clock::time_point::max();
    for (;;) {
        waiting_.wait(lock, [this] { return closing_ || head_ < queue_.size(); });
        flushLocked();
        if (head_ == queue_.size()) {
            if (closing_) return;
            continue;
        }
        if (closing_) {
            if (giveUp == Clock::time_point::max())
                giveUp = Clock::now() + std::chrono::milliseconds(kCloseWaitMs);
            if (Clock::now() >= giveUp) {
                // The reader stopped reading: what it never took is lost.
                while (head_ < queue_.size()) {
                    head_ += kLengthBytes + lengthAt(queue_, head_);
                    ++lost_;
                }
                queue_.clear();
                head_ = 0;
                return;
            }
        }
        lock.unlock();
        writer_.waitWritable(kRoomWaitMs);
        lock.lock();
    }
}

void MailslotOutbox::close() {
    {
        std::lock_guard lock(mutex_);
        if (closing_) return;
        closing_ = true;
    }
    waiting_.notify_one();
    if (flusher_.joinable()) flusher_.join();
    writer_.close();
}

size_t MailslotOutbox::waitingBytes() const {
    std::lock_guard lock(mutex_);
    return queue_.size() - head_;
}

uint64_t MailslotOutbox::lost() const {
    std::lock_guard lock(mutex_);
    return lost_;
}

}  // namespace corvane
