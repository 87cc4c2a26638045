#include "decode/MessageCollector.h"

#include <chrono>

namespace corvane::decode {

void MessageCollector::deliverCooked(const RvcMessage& message) {
    const auto bytes = message.payload();
    Entry entry{now_(), message.dgn, message.sa, {bytes.begin(), bytes.end()}};
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= kMaxQueued) {
            ++dropped_;
            return;
        }
        queue_.push_back(std::move(entry));
    }
    arrived_.notify_one();
}

std::string MessageCollector::report() const {
    std::lock_guard lock(mutex_);
    return "decoder: " + std::to_string(queue_.size()) + " waiting, " + std::to_string(dropped_) +
           " dropped\n";
}

void MessageCollector::take(std::vector<Entry>& out) {
    out.clear();
    std::lock_guard lock(mutex_);
    out.swap(queue_);
}

void MessageCollector::waitAndTake(std::vector<Entry>& out, int timeoutMs) {
    out.clear();
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [this] { return !queue_.empty(); });
    out.swap(queue_);
}

uint64_t MessageCollector::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

}  // namespace corvane::decode
