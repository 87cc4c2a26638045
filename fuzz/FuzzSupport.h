#pragma once

// Stand-ins the fuzz programs share: a clock that moves only when told, an adapter that keeps
// count of what the tool puts on the wire, and a trace sink that formats every trace line and
// throws it away.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/EchoControl.h"
#include "core/FrameSender.h"
#include "debugport/DebugPrint.h"
#include "platform/Clock.h"

namespace corvane::fuzz {

// Ends the run as a crash, so that the fuzzer keeps the input that broke a promise.
inline void check(bool ok) {
    if (!ok) std::abort();
}

class StepClock final : public Clock {
  public:
    int64_t epochSeconds() const override { return 1'700'000'000 + ms / 1000; }
    int64_t steadyMilliseconds() const override { return ms; }
    // Dates only fill texts for the user; any fixed one will do.
    std::optional<std::tm> localTime(int64_t) const override { return std::tm{}; }
    int64_t ms = 0;
};

// Installed as the trace sink, so that the format of every trace line is exercised.
class DiscardingSink final : public DebugSink {
  public:
    void write(std::string_view text) override { bytes += text.size(); }
    size_t bytes = 0;
};

// The adapter: checks every frame against what an adapter accepts and counts it.
class CountingAdapter final : public FrameSender {
  public:
    void sendFrame(uint32_t dgn, uint8_t, uint8_t priority, uint16_t length,
                   const uint8_t* data) override {
        check(length <= 8 && priority <= 7 && dgn <= 0x3FFFF);
        check(length == 0 || data != nullptr);
        ++frames;
    }
    bool echoTransmits() const override { return echo.load(std::memory_order_relaxed) != 0; }

    size_t frames = 0;
    std::atomic<uint32_t> echo{0};
};

// The adapter's echo option as the client bus's mode command reads and sets it.
class AdapterEcho final : public EchoControl {
  public:
    explicit AdapterEcho(CountingAdapter& adapter) : adapter_(adapter) {}
    uint32_t echoTransmits() const override { return adapter_.echo.load(); }
    void setEchoTransmits(uint32_t on) override { adapter_.echo.store(on); }

  private:
    CountingAdapter& adapter_;
};

}  // namespace corvane::fuzz
