#include "health/NodeHealth.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/CanIdentifier.h"

namespace corvane::health {
namespace {

constexpr int64_t kMs = 1000;

RvcFrame message(uint32_t dgn, uint8_t sa) {
    const uint8_t data[3] = {1, 2, 3};
    return makeFrame(CanIdentifier{6, dgn, sa, 0}, 0, 3, data);
}

struct Gap {
    int64_t at;  // milliseconds
    bool periodic;
    double intervalMs;
};

// A DGN every second, with one late message that starts the learning again.
TEST(NodeHealth, IntervalIsLearntFromRegularGaps) {
    const std::vector<Gap> story = {
        {0, false, 0},          // first message: nothing to learn from
        {1000, false, 1000},    // first gap taken as it is
        {2000, false, 1000},    // regular 1
        {3100, false, 1025},    // regular 2: a quarter of the way to 1100
        {4100, true, 1018.75},  // regular 3: periodic, 1025 + (1000 - 1025) / 4
        {9100, false, 5000},    // a five-second gap is not regular: learning starts again
    };
    NodeHealth health;
    for (const Gap& g : story) {
        SCOPED_TRACE(g.at);
        health.onFrame(message(0x1FFFD, 0x42), g.at * kMs);
        const auto& t = health.node(0x42).dgns.at(0);
        EXPECT_EQ(t.periodic(), g.periodic);
        EXPECT_EQ(t.interval, static_cast<int64_t>(g.intervalMs * kMs));
    }
}

TEST(NodeHealth, SilentAfterThreeIntervalsOfAllItsPeriodicDgns) {
    NodeHealth health;
    for (int64_t t = 0; t <= 4000; t += 1000) {
        health.onFrame(message(0x1FFFD, 0x42), t * kMs);
        health.onFrame(message(0x1FFFC, 0x42), t * kMs + 1);
    }
    health.onFrame(message(0x1FFFC, 0x42), 5000 * kMs);  // only one of the two goes on
    health.onFrame(message(0xEAFF, 0x42), 6000 * kMs);   // requests are not learnt
    const auto& node = health.node(0x42);
    EXPECT_EQ(node.dgns.size(), 2u);
    ASSERT_NE(node.timing(0x1FFFD), nullptr);
    EXPECT_FALSE(node.timing(0x1FFFD)->silentAt(7000 * kMs));  // exactly three intervals
    EXPECT_TRUE(node.timing(0x1FFFD)->silentAt(7000 * kMs + 1));
    EXPECT_FALSE(node.silentAt(7000 * kMs + 1));
    EXPECT_TRUE(node.silentAt(8000 * kMs + 1));
    EXPECT_FALSE(health.node(0x58).silentAt(8000 * kMs));  // never heard: never silent
}

TEST(NodeHealth, TwoNamesOnOneAddressAreAConflict) {
    NodeHealth health;
    const std::vector<uint8_t> nameA = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<uint8_t> nameB = {1, 2, 3, 4, 5, 6, 7, 9};
    health.onClaim(0x80, nameA);
    health.onClaim(0x80, nameA);
    EXPECT_EQ(health.node(0x80).claimConflicts, 0u);
    health.onClaim(0x80, nameB);
    EXPECT_EQ(health.node(0x80).claimConflicts, 1u);
    EXPECT_EQ(health.node(0x80).names.size(), 2u);
    health.onClaim(0x81, std::vector<uint8_t>{1, 2, 3});  // too short for a NAME
    EXPECT_TRUE(health.node(0x81).names.empty());
}

TEST(NodeHealth, FramesPerSecondCountsTheLastWholeSecond) {
    NodeHealth health;
    const uint8_t data[8] = {};
    const RvcFrame f = makeFrame(unpackIdentifier(0x19FFFD42), 0, 8, data);
    for (int64_t i = 0; i < 7; ++i) health.onFrame(f, 5'000'000 + i * 100 * kMs);
    health.onFrame(f, 6'100'000);
    const auto& node = health.node(0x42);
    EXPECT_EQ(node.framesPerSecond(6'500'000), 7u);
    EXPECT_EQ(node.framesPerSecond(7'000'000), 1u);
    EXPECT_EQ(node.framesPerSecond(9'000'000), 0u);
    EXPECT_EQ(node.frames, 8u);
    EXPECT_EQ(node.lastSeen, 6'100'000);
    EXPECT_EQ(health.heardAddresses(), std::vector<uint8_t>{0x42});
}

// Made-up DGNs and NAMEs by the thousand: what one address keeps stays bounded, and the DGN
// it keeps sending stays learnt.
TEST(NodeHealth, AFloodStaysBounded) {
    NodeHealth health;
    for (int64_t i = 0; i < 20000; ++i) {
        health.onFrame(message(0x1FFFD, 0x42), i * 10 * kMs);
        health.onFrame(message(0x10000 + static_cast<uint32_t>(i % 0xEA00), 0x42),
                       i * 10 * kMs + 1);
        uint8_t name[8] = {};
        std::memcpy(name, &i, sizeof i);
        health.onClaim(0x42, name);
    }
    const auto& node = health.node(0x42);
    EXPECT_EQ(node.dgns.size(), NodeHealth::kDgnsPerNode);
    ASSERT_NE(node.timing(0x1FFFD), nullptr);
    EXPECT_TRUE(node.timing(0x1FFFD)->periodic());
    EXPECT_EQ(node.names.size(), NodeHealth::kNamesPerNode);
    EXPECT_EQ(node.claimConflicts, 19999u);
}

}  // namespace
}  // namespace corvane::health
