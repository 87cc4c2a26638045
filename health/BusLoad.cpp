#include "health/BusLoad.h"

#include <algorithm>

#include "core/CanIdentifier.h"

namespace corvane::health {

namespace {

// The sender's bit stuffing, a byte at a time: after five equal bits it inserts one of the
// other level, which starts the next run. A state is the level of the last bit and the length
// of its run; a run of -1 lets a leading pad bit pass uncounted, so that the frame's 39 header
// bits fill five whole bytes.
struct StuffState {
    uint8_t last = 0;
    int8_t run = -1;
};

constexpr int kStuffStates = 2 * 6;  // level 0-1, run -1..4
constexpr int stateIndex(StuffState s) { return s.last * 6 + s.run + 1; }
constexpr StuffState stateAt(int index) {
    return StuffState{static_cast<uint8_t>(index / 6), static_cast<int8_t>(index % 6 - 1)};
}

// One bit through the stuffing; true when a stuff bit follows it.
constexpr bool stuffBit(StuffState& s, uint8_t bit) {
    if (s.run >= 0 && bit == s.last) {
        ++s.run;
    } else {
        s.run = s.run < 0 ? 0 : 1;  // the pad bit leaves the first real bit a run of 1
        s.last = bit;
        if (s.run == 0) return false;
    }
    if (s.run < 5) return false;
    s.last ^= 1;
    s.run = 1;
    return true;
}

struct StuffStep {
    uint8_t next;     // state index after the byte
    uint8_t stuffed;  // stuff bits inserted among its eight
};

constexpr auto makeStuffTable() {
    std::array<std::array<StuffStep, 256>, kStuffStates> table{};
    for (int state = 0; state < kStuffStates; ++state) {
        for (int byte = 0; byte < 256; ++byte) {
            StuffState s = stateAt(state);
            int stuffed = 0;
            for (int i = 7; i >= 0; --i) stuffed += stuffBit(s, (byte >> i) & 1);
            table[state][byte] = {static_cast<uint8_t>(stateIndex(s)),
                                  static_cast<uint8_t>(stuffed)};
        }
    }
    return table;
}
constexpr auto kStuffTable = makeStuffTable();

// CAN's 15-bit CRC (polynomial 0x4599), a byte at a time, most significant bit first. A zero
// bit in front of the frame leaves it unchanged.
constexpr auto makeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        uint32_t crc = static_cast<uint32_t>(byte) << 7;
        for (int i = 0; i < 8; ++i) crc = ((crc << 1) ^ ((crc & 0x4000) ? 0x4599 : 0)) & 0x7FFF;
        table[byte] = static_cast<uint16_t>(crc);
    }
    return table;
}
constexpr auto kCrcTable = makeCrcTable();

constexpr int kTrailerBits = 1 + 1 + 1 + 7 + 3;  // CRC and ACK delimiters, ACK, EOF, IFS

}  // namespace

int frameBitsOnWire(uint32_t canId, std::span<const uint8_t> data) {
    const size_t length = std::min<size_t>(data.size(), 8);
    // Pad bit, start of frame, base identifier, SRR, IDE, identifier extension, RTR, r1, r0
    // and the length code: 40 bits.
    const uint64_t header = (uint64_t{(canId >> 18) & 0x7FF} << 27) | (uint64_t{1} << 26) |
                            (uint64_t{1} << 25) | (uint64_t{canId & 0x3FFFF} << 7) | length;
    uint32_t crc = 0;
    int state = stateIndex(StuffState{});
    int stuffed = 0;
    const auto put = [&](uint8_t byte) {
        crc = ((crc << 8) & 0x7FFF) ^ kCrcTable[((crc >> 7) ^ byte) & 0xFF];
        const StuffStep step = kStuffTable[state][byte];
        state = step.next;
        stuffed += step.stuffed;
    };
    for (int shift = 32; shift >= 0; shift -= 8) put(static_cast<uint8_t>(header >> shift));
    for (size_t i = 0; i < length; ++i) put(data[i]);
    // The CRC's own 15 bits are stuffed too: eight through the table, seven one by one.
    const StuffStep step = kStuffTable[state][crc >> 7];
    stuffed += step.stuffed;
    StuffState s = stateAt(step.next);
    for (int i = 6; i >= 0; --i) stuffed += stuffBit(s, (crc >> i) & 1);
    return 39 + 8 * static_cast<int>(length) + 15 + stuffed + kTrailerBits;
}

uint32_t canIdOf(const RvcFrame& frame) {
    return packIdentifier(frame.priority, frame.dgn, frame.sa) |
           (static_cast<uint32_t>(frame.reserved & 1) << 25);
}

void BusLoad::onFrame(const RvcFrame& frame, int64_t micros) {
    const int bits = frameBitsOnWire(canIdOf(frame), {frame.data, heldBytes(frame)});
    addBits(static_cast<uint32_t>(bits), micros);
}

void BusLoad::setBitRate(uint32_t bitRate) {
    if (bitRate == 0 || bitRate == bitRate_) return;
    busySecondsBefore_ += static_cast<double>(bitsAtThisRate_) / bitRate_;
    bitsAtThisRate_ = 0;
    bitRate_ = bitRate;
}

void BusLoad::addBits(uint32_t bits, int64_t micros) {
    if (frames_ == 0) firstMicros_ = micros;
    micros = std::max(micros, lastMicros_);
    lastMicros_ = micros;
    ++frames_;
    totalBits_ += bits;
    bitsAtThisRate_ += bits;
    const int64_t second = micros / 1'000'000;
    Second& slot = seconds_[static_cast<size_t>(second % seconds_.size())];
    if (slot.index != second) slot = Second{second, 0, bitRate_};
    slot.bits += bits;
    // bits / rate > peakBits / peakRate, without a division per frame.
    if (slot.bits * peakBitRate_ > peakBits_ * slot.bitRate) {
        peakBits_ = slot.bits;
        peakBitRate_ = slot.bitRate;
        peakSecond_ = second;
    }
}

double BusLoad::busyIn(int64_t second) const {
    if (second < 0) return 0;
    const Second& slot = seconds_[static_cast<size_t>(second % seconds_.size())];
    return slot.index == second ? slot.busy() : 0;
}

double BusLoad::lastSecondPercent(int64_t micros) const {
    return 100.0 * busyIn(micros / 1'000'000 - 1);
}

double BusLoad::lastMinutePercent(int64_t micros) const {
    const int64_t now = micros / 1'000'000;
    double busy = 0;
    for (int64_t s = now - kMinuteSeconds; s < now; ++s) busy += busyIn(s);
    return 100.0 * busy / kMinuteSeconds;
}

double BusLoad::peakPercent() const {
    return 100.0 * static_cast<double>(peakBits_) / peakBitRate_;
}

int64_t BusLoad::peakSecondMicros() const { return peakSecond_ * 1'000'000; }

double BusLoad::averagePercent() const {
    const double span = std::max(1.0, static_cast<double>(lastMicros_ - firstMicros_) / 1e6);
    const double busy = busySecondsBefore_ + static_cast<double>(bitsAtThisRate_) / bitRate_;
    return 100.0 * busy / span;
}

}  // namespace corvane::health
