#pragma once

#include <string_view>

namespace corvane {

// Where trace text goes: the debug port's connected client. write() may be called from any
// thread, but never concurrently (DebugPrint serialises the calls).
class DebugSink {
  public:
    virtual ~DebugSink() = default;
    virtual void write(std::string_view text) = 0;
};

// Installs the process-wide sink (nullptr removes it). While no sink is installed, traces
// are dropped before they are formatted. Returns after any write in progress has finished,
// so the old sink may be destroyed at once.
void SetDebugSink(DebugSink* sink);

// printf-style trace of at most 1999 characters to the installed sink; lost when there is
// none. Callable from any thread.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace corvane
