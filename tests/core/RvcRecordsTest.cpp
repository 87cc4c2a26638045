#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/CanIdentifier.h"
#include "core/RvcFrame.h"
#include "core/RvcMessage.h"
#include "core/RvcSendFromRequest.h"
#include "core/RvcSendRequest.h"

namespace corvane {
namespace {

struct IdCase {
    uint32_t id;
    uint8_t priority;
    uint32_t dgn;
    uint8_t sa;
    uint8_t reserved;
};

TEST(CanIdentifier, UnpacksEveryField) {
    const IdCase cases[] = {
        {0x1FFFFFFF, 7, 0x1FFFF, 0xFF, 1}, {0x18EAFFF9, 6, 0xEAFF, 0xF9, 0},
        {0x19FECA42, 6, 0x1FECA, 0x42, 0}, {0x00000000, 0, 0, 0, 0},
        {0x1E000000, 7, 0, 0, 1},
    };
    for (const auto& c : cases) {
        auto id = unpackIdentifier(c.id);
        EXPECT_EQ(id.priority, c.priority) << std::hex << c.id;
        EXPECT_EQ(+id.dgn, +c.dgn) << std::hex << c.id;
        EXPECT_EQ(id.sa, c.sa) << std::hex << c.id;
        EXPECT_EQ(id.reserved, c.reserved) << std::hex << c.id;
    }
}

TEST(CanIdentifier, PacksAndRoundTrips) {
    EXPECT_EQ(packIdentifier(6, 0xEAFF, 0xF9), 0x18EAFFF9u);
    // Bit 17 of a transmit DGN lands in the reserved bit.
    EXPECT_EQ(packIdentifier(6, 0x3FECA, 0xF9), 0x1BFECAF9u);
    auto id = unpackIdentifier(packIdentifier(6, 0xEAFF, 0xF9));
    EXPECT_EQ(id.priority, 6);
    EXPECT_EQ(+id.dgn, 0xEAFFu);
    EXPECT_EQ(id.sa, 0xF9);
    EXPECT_EQ(id.reserved, 0);
}

TEST(RvcFrame, KeepsAtMostEightBytes) {
    std::array<uint8_t, 12> bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    auto f = makeFrame(CanIdentifier{6, 0x1FECA, 0x42, 0}, 77, 12, bytes);
    EXPECT_EQ(f.kind, 3);
    EXPECT_EQ(+f.length, 12);
    EXPECT_EQ(heldBytes(f), 8u);
    EXPECT_EQ(f.data[7], 8);
    // A span shorter than the length is never read past.
    auto g = makeFrame(CanIdentifier{6, 0xFEEB, 1, 0}, 0, 5, std::span(bytes.data(), 2));
    EXPECT_EQ(g.data[1], 2);
    EXPECT_EQ(g.data[2], 0xFF);
}

TEST(RvcFrame, ParsesOnlyWhatTheBytesHold) {
    auto f = makeFrame(CanIdentifier{6, 0xFEEB, 0x42, 1}, 10000, 2, std::array<uint8_t, 2>{1, 2});
    std::vector<uint8_t> wire(reinterpret_cast<uint8_t*>(&f),
                              reinterpret_cast<uint8_t*>(&f) + RvcFrame::kHeaderSize + 2);
    EXPECT_EQ(wire[0], 3);
    EXPECT_EQ(wire[1], 0xEB);  // little-endian DGN
    EXPECT_EQ(wire[6], 0x10);  // timestamp 10000 = 0x2710
    auto back = parseRvcFrame(wire);
    ASSERT_TRUE(back);
    EXPECT_EQ(+back->dgn, 0xFEEBu);
    EXPECT_EQ(+back->timestamp, 10000u);
    EXPECT_EQ(back->reserved, 1);
    EXPECT_EQ(back->data[1], 2);

    wire.pop_back();  // length says 2, one byte present
    EXPECT_FALSE(parseRvcFrame(wire));
    EXPECT_FALSE(parseRvcFrame(std::span(wire.data(), 13)));
    f.length = 9;
    std::vector<uint8_t> tooLong(reinterpret_cast<uint8_t*>(&f),
                                 reinterpret_cast<uint8_t*>(&f) + sizeof f);
    EXPECT_FALSE(parseRvcFrame(tooLong));
}

TEST(RvcMessage, ShortFrameReadsFFPastItsData) {
    auto f = makeFrame(CanIdentifier{6, 0x1FECA, 0x42, 0}, 0, 3, std::array<uint8_t, 3>{1, 2, 3});
    RvcMessage m;
    fillMessageFromFrame(f, m);
    EXPECT_EQ(m.kind, 0);
    EXPECT_EQ(+m.length, 3);
    EXPECT_EQ(+m.dgn, 0x1FECAu);
    EXPECT_EQ(m.sa, 0x42);
    EXPECT_EQ(m.data[2], 3);
    for (int i = 3; i < 8; ++i) EXPECT_EQ(m.data[i], 0xFF) << i;
}

TEST(RvcMessage, ParsesLengthsAgainstTheBytesPresent) {
    std::vector<uint8_t> data(1785, 0x5A);
    auto m = makeMessage(0xFEEB, 0x42, data);
    ASSERT_TRUE(m);
    std::vector<uint8_t> wire(reinterpret_cast<uint8_t*>(&*m),
                              reinterpret_cast<uint8_t*>(&*m) + m->wireSize());
    EXPECT_EQ(wire.size(), 1793u);
    ASSERT_TRUE(parseRvcMessage(wire));
    EXPECT_FALSE(parseRvcMessage(std::span(wire.data(), wire.size() - 1)));
    EXPECT_FALSE(parseRvcMessage(std::span(wire.data(), 7)));
    data.push_back(0);
    EXPECT_FALSE(makeMessage(0xFEEB, 0x42, data));
    wire[6] = 0xFA;  // length 1786
    wire[7] = 0x06;
    wire.push_back(0);
    EXPECT_FALSE(parseRvcMessage(wire));
}

TEST(SendRequests, LayoutAndBounds) {
    auto r = makeSendRequest(0xEAFF, 6, std::array<uint8_t, 3>{0xCA, 0xFE, 0x01});
    ASSERT_TRUE(r);
    const auto* raw = reinterpret_cast<const uint8_t*>(&*r);
    EXPECT_EQ(raw[1], 0xFF);
    EXPECT_EQ(raw[2], 0xEA);
    EXPECT_EQ(raw[5], 6);
    EXPECT_EQ(raw[6], 3);
    EXPECT_EQ(raw[8], 0xCA);
    auto back = parseSendRequest(std::span(raw, 11));
    ASSERT_TRUE(back);
    EXPECT_EQ(+back->dgn, 0xEAFFu);
    EXPECT_FALSE(parseSendRequest(std::span(raw, 10)));

    auto s = makeSendFromRequest(0x42, 0x1FECA, 6, std::array<uint8_t, 1>{7});
    ASSERT_TRUE(s);
    const auto* sraw = reinterpret_cast<const uint8_t*>(&*s);
    EXPECT_EQ(sraw[0], 1);
    EXPECT_EQ(sraw[1], 0x42);
    EXPECT_EQ(sraw[2], 0xCA);
    EXPECT_EQ(sraw[4], 0x01);
    EXPECT_EQ(sraw[6], 6);
    EXPECT_EQ(sraw[9], 7);
    EXPECT_TRUE(parseSendFromRequest(std::span(sraw, 10)));
    EXPECT_FALSE(parseSendFromRequest(std::span(sraw, 9)));
    EXPECT_FALSE(parseSendFromRequest(std::span(sraw, 8)));
}

TEST(RvcMessage, RequestNamesItsDgnLeastSignificantFirst) {
    auto m = makeMessage(0xEAFF, 0xF9,
                         std::array<uint8_t, 8>{0xCA, 0xFE, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(m);
    EXPECT_EQ(requestedDgn(*m), 0x1FECAu);
}

}  // namespace
}  // namespace corvane
