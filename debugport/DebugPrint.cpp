#include "debugport/DebugPrint.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace corvane {

namespace {

// The process-wide trace slot. The flag lets hot paths skip formatting when nobody listens.
struct TraceSlot {
    std::mutex mutex;  // guards sink and serialises writes
    DebugSink* sink = nullptr;
    std::atomic<bool> active{false};
};

TraceSlot& slot() {
    static TraceSlot instance;
    return instance;
}

constexpr int kMaxTraceLength = 1999;

}  // namespace

void SetDebugSink(DebugSink* sink) {
    TraceSlot& s = slot();
    std::lock_guard lock(s.mutex);
    s.sink = sink;
    s.active.store(sink != nullptr, std::memory_order_relaxed);
}

void DebugPrint(const char* format, ...) {
    TraceSlot& s = slot();
    if (!s.active.load(std::memory_order_relaxed)) return;

    char text[kMaxTraceLength + 1];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return;
    size_t length = n > kMaxTraceLength ? kMaxTraceLength : static_cast<size_t>(n);

    std::lock_guard lock(s.mutex);
    if (s.sink) s.sink->write(std::string_view(text, length));
}

}  // namespace corvane
