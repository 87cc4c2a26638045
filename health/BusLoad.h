#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/RvcFrame.h"

namespace corvane::health {

// Bits an extended (29-bit) CAN data frame takes on the wire: start of frame, the identifier
// with SRR and IDE, RTR, the two reserved bits, the length code, the data, the 15-bit CRC and
// the stuff bits the sender inserts among them (one after every five equal bits), then the
// CRC delimiter, acknowledgement slot and delimiter, seven end-of-frame bits and the three
// bits of interframe space.
//   eight data bytes: 131 bits before stuffing, at most 160 with it
//   id 0x18FECA42, no data: 67 bits plus its stuff bits
int frameBitsOnWire(uint32_t canId, std::span<const uint8_t> data);

// The 29-bit identifier a received frame had.
uint32_t canIdOf(const RvcFrame& frame);

// How busy the bus is: the bits of the frames heard, over whole seconds of the caller's clock
// (second n runs from n * 1e6 to (n + 1) * 1e6 - 1 microseconds), as a per cent of what the bus
// rate carries. The rate may change (the user picks another one): each second keeps the rate
// it began at, and the average adds up the time each rate's bits took. Not thread-safe: the
// owner serialises calls. Times never go backwards; a frame stamped earlier than the last one
// counts in the current second.
class BusLoad {
  public:
    static constexpr uint32_t kDefaultBitRate = 250000;
    static constexpr int kMinuteSeconds = 60;

    explicit BusLoad(uint32_t bitRate = kDefaultBitRate) : bitRate_(bitRate ? bitRate : 1) {}

    void onFrame(const RvcFrame& frame, int64_t micros);
    void addBits(uint32_t bits, int64_t micros);
    // The rate of the bits added from now on.
    void setBitRate(uint32_t bitRate);

    // The second before the one `micros` falls in.
    double lastSecondPercent(int64_t micros) const;
    // The 60 whole seconds before the one `micros` falls in (seconds without traffic count 0).
    double lastMinutePercent(int64_t micros) const;
    // The busiest second so far (its start in microseconds), the current one included.
    double peakPercent() const;
    int64_t peakSecondMicros() const;
    // All bits heard over the time from the first frame to the last (at least one second).
    double averagePercent() const;

    uint64_t totalBits() const { return totalBits_; }
    uint64_t frames() const { return frames_; }
    int64_t firstMicros() const { return firstMicros_; }
    int64_t lastMicros() const { return lastMicros_; }
    uint32_t bitRate() const { return bitRate_; }

  private:
    struct Second {
        int64_t index = -1;
        uint64_t bits = 0;
        uint32_t bitRate = 1;
        double busy() const { return static_cast<double>(bits) / bitRate; }  // 1 = full
    };
    // The share of the second that was busy, 0 when nothing was heard in it.
    double busyIn(int64_t second) const;

    uint32_t bitRate_;
    std::array<Second, kMinuteSeconds + 1> seconds_{};  // ring by second index
    uint64_t peakBits_ = 0;  // the busiest second's bits, at peakBitRate_
    uint32_t peakBitRate_ = 1;
    int64_t peakSecond_ = 0;
    uint64_t totalBits_ = 0;
    double busySecondsBefore_ = 0;  // bus time of the bits heard at earlier rates
    uint64_t bitsAtThisRate_ = 0;
    uint64_t frames_ = 0;
    int64_t firstMicros_ = 0;
    int64_t lastMicros_ = 0;
};

}  // namespace corvane::health
