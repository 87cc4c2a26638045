#include "health/BusLoad.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/CanIdentifier.h"

namespace corvane::health {
namespace {

struct BitsCase {
    uint32_t id;
    std::vector<uint8_t> data;
    int bits;
};

// Counted from the bit string of each frame. 0x18FECA42 with no data by hand: the six ones
// ending the base identifier run on into SRR and IDE (one stuff bit after the fifth), and the
// last identifier bit, RTR, r1, r0 and the first length bit make five zeros (a second one);
// 54 stuffed-part bits + 2 + 13 after the CRC = 69. The CRCs were worked out with a separate
// bit-by-bit script.
TEST(FrameBits, AgainstACountOfTheBitString) {
    const std::vector<BitsCase> cases = {
        {0x18FECA42, {}, 69},
        {0x19FECA42, {0x05, 0x42, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 143},
        {0x18EAFFF9, {0xCA, 0xFE, 0x01}, 98},
        {0x1FFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 149},
        {0x00000000, {0, 0, 0, 0, 0, 0, 0, 0}, 150},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(frameBitsOnWire(c.id, c.data), c.bits);
    }
}

TEST(FrameBits, ReceivedFrameKeepsItsIdentifier) {
    const uint8_t data[3] = {0xCA, 0xFE, 0x01};
    const RvcFrame f = makeFrame(unpackIdentifier(0x1BEAFFF9), 0, 3, data);
    EXPECT_EQ(canIdOf(f), 0x1BEAFFF9u);
}

TEST(BusLoad, SecondsMinuteAndPeak) {
    BusLoad load(250000);
    // Second 10: 2500 bits (1 %); second 11: 25000 bits (10 %); second 13: 12500 bits (5 %).
    load.addBits(2500, 10'200'000);
    for (int i = 0; i < 10; ++i) load.addBits(2500, 11'000'000 + i * 1000);
    load.addBits(12500, 13'999'999);
    EXPECT_DOUBLE_EQ(load.lastSecondPercent(11'500'000), 1.0);
    EXPECT_DOUBLE_EQ(load.lastSecondPercent(12'000'000), 10.0);
    EXPECT_DOUBLE_EQ(load.lastSecondPercent(13'000'000), 0.0);  // second 12 was quiet
    EXPECT_DOUBLE_EQ(load.lastMinutePercent(14'000'000), 16.0 / 60.0);
    EXPECT_DOUBLE_EQ(load.lastMinutePercent(72'000'000), 5.0 / 60.0);  // only second 13 left
    EXPECT_DOUBLE_EQ(load.peakPercent(), 10.0);
    EXPECT_EQ(load.peakSecondMicros(), 11'000'000);
    // 40000 bits over 3.8 s.
    EXPECT_NEAR(load.averagePercent(), 100.0 * 40000 / (250000 * 3.799999), 1e-9);
    EXPECT_EQ(load.frames(), 12u);
}

// The user picks 500 kbit/s after a second at 250: each second keeps its own rate, and the
// average adds up the time each one's bits took.
TEST(BusLoad, ARateChangeCountsFromThen) {
    BusLoad load(250000);
    load.addBits(25000, 10'000'000);  // 10 % of a second at 250 kbit/s
    load.setBitRate(500000);
    load.addBits(25000, 11'000'000);  // 5 % at 500 kbit/s
    load.addBits(25000, 12'000'000);  // 5 %
    EXPECT_DOUBLE_EQ(load.lastSecondPercent(11'000'000), 10.0);
    EXPECT_DOUBLE_EQ(load.lastSecondPercent(12'000'000), 5.0);
    EXPECT_DOUBLE_EQ(load.peakPercent(), 10.0);
    EXPECT_EQ(load.peakSecondMicros(), 10'000'000);
    EXPECT_EQ(load.bitRate(), 500000u);
    // 0.1 + 0.05 + 0.05 s of bus time over the 2 s from the first frame to the last.
    EXPECT_NEAR(load.averagePercent(), 10.0, 1e-9);
}

}  // namespace
}  // namespace corvane::health
