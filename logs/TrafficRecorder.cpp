#include "logs/TrafficRecorder.h"

#include <chrono>

#include "core/CanIdentifier.h"

namespace corvane {

namespace {

int64_t systemMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The identifier the frame came with, reserved bit included.
uint32_t canIdOf(const RvcFrame& frame) {
    return packIdentifier(frame.priority, (frame.dgn & 0x1FFFF) | (uint32_t{frame.reserved} << 17),
                          frame.sa);
}

}  // namespace

TrafficRecorder::TrafficRecorder(TimeSource now)
    : now_(now ? std::move(now) : TimeSource(systemMicros)) {}

TrafficRecorder::~TrafficRecorder() { stop(); }

bool TrafficRecorder::start(const std::string& path, std::string interface) {
    if (recording()) return false;
    frames_ = 0;
    return queued_.startFile(path, std::move(interface));
}

bool TrafficRecorder::startFolder(const std::string& folder, const RotationSettings& settings,
                                  std::string interface) {
    if (recording()) return false;
    frames_ = 0;
    return queued_.startFolder(folder, settings, now_, std::move(interface));
}

bool TrafficRecorder::stop() { return queued_.stop(); }

void TrafficRecorder::record(const RvcFrame& frame) {
    if (!recording()) return;
    recordAt(frame, now_());
}

void TrafficRecorder::deliverRaw(const RvcFrame& frame) {
    record(frame);
    if (next_) next_->deliverRaw(frame);
}

void TrafficRecorder::deliverCooked(const RvcMessage& message) {
    if (next_) next_->deliverCooked(message);
}

std::string TrafficRecorder::report() const { return next_ ? next_->report() : std::string(); }

void TrafficRecorder::recordAt(const RvcFrame& frame, int64_t micros) {
    if (queued_.record(micros, canIdOf(frame), static_cast<uint8_t>(heldBytes(frame)), frame.data))
        frames_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace corvane
