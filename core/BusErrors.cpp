#include "core/BusErrors.h"

namespace corvane {

namespace {

std::string times(uint64_t n) { return std::to_string(n) + (n == 1 ? " time" : " times"); }

}  // namespace

void BusErrors::note(const CanErrorFrame& error) {
    errorFrames_.fetch_add(1, std::memory_order_relaxed);
    if (error.busOff) busOff_.fetch_add(1, std::memory_order_relaxed);
    if (error.errorPassive) errorPassive_.fetch_add(1, std::memory_order_relaxed);
    if (error.receiveOverflow) overflows_.fetch_add(1, std::memory_order_relaxed);
    if (error.txErrors) txErrors_.store(*error.txErrors, std::memory_order_relaxed);
    if (error.rxErrors) rxErrors_.store(*error.rxErrors, std::memory_order_relaxed);
}

std::string BusErrors::text() const {
    const uint64_t frames = errorFrames();
    if (frames == 0) return {};
    std::string text =
        "Bus errors: " + std::to_string(frames) + (frames == 1 ? " error frame" : " error frames");
    if (busOff() > 0) text += ", bus off " + times(busOff());
    if (errorPassive() > 0) text += ", error passive " + times(errorPassive());
    if (const uint64_t n = controllerOverflows(); n > 0)
        text +=
            ", " + std::to_string(n) + (n == 1 ? " controller overflow" : " controller overflows");
    const int tx = txErrors_.load(std::memory_order_relaxed);
    const int rx = rxErrors_.load(std::memory_order_relaxed);
    if (tx >= 0 && rx >= 0)
        text += "; error counters TX " + std::to_string(tx) + ", RX " + std::to_string(rx);
    return text;
}

}  // namespace corvane
