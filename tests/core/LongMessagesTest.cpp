#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "core/LongMessages.h"
#include "tests/core/TransmitHarness.h"

namespace corvane {
namespace {

using test::bytesOf;
using test::TransmitHarness;

constexpr uint32_t kBroadcastControl = 0xECFF;
constexpr uint32_t kBroadcastData = 0xEBFF;

std::vector<uint8_t> announce(uint16_t size, uint8_t packets, uint32_t dgn,
                              uint8_t control = 0x20) {
    return {control,
            static_cast<uint8_t>(size & 0xFF),
            static_cast<uint8_t>(size >> 8),
            packets,
            0xFF,
            static_cast<uint8_t>(dgn),
            static_cast<uint8_t>(dgn >> 8),
            static_cast<uint8_t>(dgn >> 16)};
}

// Packet k of a message whose byte i is i + 1 (so bytes never read 0xFF by accident).
std::vector<uint8_t> packet(uint8_t k) {
    std::vector<uint8_t> p{k};
    for (int i = 0; i < 7; ++i) p.push_back(static_cast<uint8_t>((k - 1) * 7 + i + 1));
    return p;
}

struct ReassemblyCase {
    const char* name;
    uint16_t size;
    uint8_t packets;
    std::vector<uint8_t> sequence;  // packet numbers, in order
    bool completes;
    uint16_t length;      // of the completed message
    size_t firstPadding;  // data bytes from here on read 0xFF
};

TEST(LongMessages, ReassemblesAnnouncedTransfers) {
    const ReassemblyCase cases[] = {
        {"three packets carry 21 bytes, 20 announced", 20, 3, {1, 2, 3}, true, 20, 20},
        {"two packets cut the length to 14", 20, 2, {1, 2}, true, 14, 14},
        {"packets out of order", 20, 3, {3, 1, 2}, true, 20, 20},
        {"packets 0 and 4 are ignored", 20, 3, {0, 4, 1, 2}, false, 0, 0},
        {"a repeated packet does not count twice", 20, 3, {1, 1, 2}, false, 0, 0},
        {"a repeat is taken once", 20, 3, {1, 2, 2, 3}, true, 20, 20},
        {"largest transfer", 1785, 255, {}, true, 1785, 1785},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TransmitHarness h;
        h.receive(kBroadcastControl, 0x42, announce(c.size, c.packets, 0xFEEB));
        std::vector<uint8_t> sequence = c.sequence;
        if (sequence.empty()) {
            sequence.resize(c.packets);
            std::iota(sequence.begin(), sequence.end(), 1);
        }
        for (uint8_t k : sequence) h.receive(kBroadcastData, 0x42, packet(k));

        auto cooked = h.clients.cooked();
        ASSERT_EQ(cooked.size(), c.completes ? 1u : 0u);
        if (!c.completes) continue;
        const RvcMessage& m = cooked[0];
        EXPECT_EQ(m.kind, 0);
        EXPECT_EQ(+m.dgn, 0xFEEBu);
        EXPECT_EQ(m.sa, 0x42);
        EXPECT_EQ(+m.length, +c.length);
        for (size_t i = 0; i < m.length; ++i) {
            const uint8_t expected = i < c.firstPadding ? static_cast<uint8_t>(i + 1) : 0xFF;
            ASSERT_EQ(m.data[i], expected) << "byte " << i;
        }
        // The transfer frames themselves reach raw clients only.
        EXPECT_EQ(h.clients.raw().size(), 1 + sequence.size());
    }
}

TEST(LongMessages, IgnoresPacketsFromOtherSenders) {
    TransmitHarness h;
    h.receive(kBroadcastControl, 0x42, announce(14, 2, 0xFEEB));
    h.receive(kBroadcastData, 0x43, packet(1));
    h.receive(kBroadcastData, 0x43, packet(2));
    EXPECT_TRUE(h.clients.cooked().empty());
    EXPECT_EQ(h.longMessages.slot(0).received, 0);
    EXPECT_TRUE(h.longMessages.slot(0).active);
}

// A sender that starts over to the same destination ends its older transfer: the lost packet
// of the first never gets filled by the second.
TEST(LongMessages, ANewAnnounceReplacesTheOlderTransfer) {
    TransmitHarness h;
    h.receive(kBroadcastControl, 0x42, announce(20, 3, 0xFEEB));
    h.receive(kBroadcastData, 0x42, packet(1));
    h.receive(kBroadcastControl, 0x42, announce(14, 2, 0x1FECA));
    for (uint8_t k : {2, 3, 1}) h.receive(kBroadcastData, 0x42, packet(k));
    auto cooked = h.clients.cooked();
    ASSERT_EQ(cooked.size(), 1u);
    EXPECT_EQ(+cooked[0].dgn, 0x1FECAu);
    EXPECT_EQ(h.longMessages.nextSlot(), 1u);
}

// A broadcast and a connection-mode transfer from one sender take only their own packets.
TEST(LongMessages, TransfersToDifferentDestinationsStayApart) {
    TransmitHarness h;
    h.receive(0xEC80, 0x42, announce(14, 2, 0xEF00, 0x10));
    h.receive(kBroadcastControl, 0x42, announce(14, 2, 0xFEEB));
    h.receive(0xEC42, 0x80, {0x11, 2, 1, 0xFF, 0xFF, 0x00, 0xEF, 0x00});
    std::vector<uint8_t> other = packet(1);
    for (size_t i = 1; i < other.size(); ++i) other[i] = 0xA0;
    h.receive(0xEB80, 0x42, other);
    h.receive(kBroadcastData, 0x42, packet(1));
    h.receive(kBroadcastData, 0x42, packet(2));
    h.receive(0xEB80, 0x42, packet(2));
    auto cooked = h.clients.cooked();
    ASSERT_EQ(cooked.size(), 2u);
    EXPECT_EQ(+cooked[0].dgn, 0xFEEBu);
    EXPECT_EQ(cooked[0].data[0], 1);
    EXPECT_EQ(+cooked[1].dgn, 0xEF00u);
    EXPECT_EQ(cooked[1].data[0], 0xA0);
    EXPECT_EQ(cooked[1].data[7], 8);
}

TEST(LongMessages, OversizedAnnouncementIsIgnoredEntirely) {
    TransmitHarness h;
    // Fill every slot so that the next announcement would take over slot 0.
    for (int i = 0; i < 50; ++i) {
        h.receive(kBroadcastControl, static_cast<uint8_t>(i), announce(14, 2, 0xFEEB));
    }
    ASSERT_EQ(h.longMessages.nextSlot(), 0u);
    // 1786 bytes, even as a request to send: no slot, no answer.
    h.receive(0xEC80, 0x00, announce(1786, 255, 0xFEEB, 0x10));
    EXPECT_EQ(h.longMessages.nextSlot(), 0u);
    EXPECT_TRUE(h.sender.frames().empty());
    // The transfer in slot 0 still completes.
    h.receive(kBroadcastData, 0x00, packet(1));
    h.receive(kBroadcastData, 0x00, packet(2));
    ASSERT_EQ(h.clients.cooked().size(), 1u);
    EXPECT_EQ(h.clients.cooked()[0].sa, 0x00);
}

TEST(LongMessages, FiftyFirstTransferTakesOverTheOldestSlot) {
    TransmitHarness h;
    for (int i = 0; i < 51; ++i) {
        h.receive(kBroadcastControl, static_cast<uint8_t>(0x10 + i), announce(14, 2, 0xFEEB));
    }
    EXPECT_EQ(h.longMessages.slot(0).sa, 0x10 + 50);
    EXPECT_EQ(h.longMessages.nextSlot(), 1u);
    // The first sender's transfer is gone; the second one's is still open.
    for (uint8_t sa : {0x10, 0x11}) {
        h.receive(kBroadcastData, sa, packet(1));
        h.receive(kBroadcastData, sa, packet(2));
    }
    ASSERT_EQ(h.clients.cooked().size(), 1u);
    EXPECT_EQ(h.clients.cooked()[0].sa, 0x11);
}

// Between two other nodes the real receiver answers: the tool only listens, in every mute mode,
// and still hands on the message.
TEST(LongMessages, FollowsTransfersBetweenOtherNodesSilently) {
    for (int32_t mode : {0, 1, 2, 3}) {
        SCOPED_TRACE(mode);
        TransmitHarness h;
        h.manager.setMuteMode(static_cast<MuteMode>(mode));
        h.receive(0xEC80, 0x42, {0x10, 10, 0, 2, 0xFF, 0xEB, 0xFE, 0x00});
        h.receive(0xEC42, 0x80, {0x11, 2, 1, 0xFF, 0xFF, 0xEB, 0xFE, 0x00});
        h.receive(0xEB80, 0x42, packet(1));
        h.receive(0xEB80, 0x42, packet(2));
        h.receive(0xEC42, 0x80, {0x13, 10, 0, 2, 0xFF, 0xEB, 0xFE, 0x00});
        EXPECT_TRUE(h.sender.frames().empty());
        auto cooked = h.clients.cooked();
        ASSERT_EQ(cooked.size(), 1u);
        EXPECT_EQ(cooked[0].sa, 0x42);
        EXPECT_EQ(+cooked[0].length, 10);
    }
}

// A request to send addressed to the tool is answered from the tool's address, in windows no
// larger than the sender allows, and acknowledged once complete - unless the tool is muted.
TEST(LongMessages, AnswersRequestsToSendAddressedToTheTool) {
    const std::vector<uint8_t> pgn = {0x00, 0xEF, 0x00};
    auto control = [&](std::vector<uint8_t> head) {
        head.insert(head.end(), pgn.begin(), pgn.end());
        return head;
    };
    for (int32_t mode : {0, 1, 2, 3}) {
        SCOPED_TRACE(mode);
        TransmitHarness h;
        h.manager.setMuteMode(static_cast<MuteMode>(mode));
        h.receive(0xECF9, 0x42, control({0x10, 35, 0, 5, 2}));
        for (uint8_t k = 1; k <= 5; ++k) h.receive(0xEBF9, 0x42, packet(k));
        ASSERT_EQ(h.clients.cooked().size(), 1u);
        EXPECT_EQ(+h.clients.cooked()[0].length, 35);

        auto frames = h.sender.frames();
        if (mode == 2) {
            EXPECT_TRUE(frames.empty());
            continue;
        }
        std::vector<std::vector<uint8_t>> sent;
        for (const auto& f : frames) {
            EXPECT_EQ(+f.dgn, 0xEC42u);
            EXPECT_EQ(f.sa, 0xF9);
            EXPECT_EQ(f.priority, 7);
            sent.push_back(f.data);
        }
        EXPECT_EQ(sent, (std::vector<std::vector<uint8_t>>{
                            control({0x11, 2, 1, 0xFF, 0xFF}),
                            control({0x11, 2, 3, 0xFF, 0xFF}),
                            control({0x11, 1, 5, 0xFF, 0xFF}),
                            control({0x13, 35, 0, 5, 0xFF}),
                        }));
    }
}

// Only a request to send or a broadcast announce starts a transfer.
TEST(LongMessages, OnlyAnnouncementsOpenSlots) {
    struct Case {
        uint32_t dgn;
        uint8_t control;
        bool opens;
    } cases[] = {{0xEC80, 0x10, true},  {0xECFF, 0x20, true},  {0xEC80, 0x11, false},
                 {0xEC80, 0x13, false}, {0xEC80, 0xFF, false}, {0xECFF, 0x10, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.dgn << " " << int{c.control});
        TransmitHarness h;
        h.receive(c.dgn, 0x42, announce(10, 2, 0xFEEB, c.control));
        EXPECT_EQ(h.longMessages.slot(0).active, c.opens);
        EXPECT_EQ(h.longMessages.nextSlot(), c.opens ? 1u : 0u);
        EXPECT_TRUE(h.sender.frames().empty());
    }
}

// Either end may abort a transfer; an abort about another DGN leaves it open.
TEST(LongMessages, AnAbortClosesItsTransfer) {
    struct Case {
        uint32_t dgn;
        uint8_t sa;
        uint32_t aborted;
        bool closes;
    } cases[] = {
        {0xEC42, 0x80, 0xEF00, true}, {0xEC80, 0x42, 0xEF00, true}, {0xEC42, 0x80, 0xFEEB, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.dgn << " for " << c.aborted);
        TransmitHarness h;
        h.receive(0xEC80, 0x42, announce(14, 2, 0xEF00, 0x10));
        h.receive(0xEC42, 0x80, {0x11, 2, 1, 0xFF, 0xFF, 0x00, 0xEF, 0x00});
        h.receive(0xEB80, 0x42, packet(1));
        h.receive(c.dgn, c.sa, announce(0xFFFF, 0xFF, c.aborted, 0xFF));
        EXPECT_EQ(h.longMessages.slot(0).active, !c.closes);
        h.receive(0xEB80, 0x42, packet(2));
        EXPECT_EQ(h.clients.cooked().size(), c.closes ? 0u : 1u);
    }
}

// A late frame finds its transfer gone: 750 ms between packets, 1250 ms for the data after the
// receiver's clear-to-send (and for that answer after the request).
TEST(LongMessages, SlotsTimeOut) {
    struct Case {
        const char* name;
        bool request;
        bool clearToSend;
        int64_t beforeFirst;
        int64_t beforeSecond;
        bool completes;
    } cases[] = {
        {"broadcast on time", false, false, 750, 750, true},
        {"broadcast first packet late", false, false, 751, 0, false},
        {"broadcast second packet late", false, false, 0, 751, false},
        {"data on time after the answer", true, true, 1250, 750, true},
        {"data late after the answer", true, true, 1251, 0, false},
        {"no answer in time", true, false, 1251, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TransmitHarness h;
        const uint32_t to = c.request ? 0x80 : 0xFF;
        h.receive(0xEC00 + to, 0x42, announce(14, 2, 0xFEEB, c.request ? 0x10 : 0x20));
        if (c.clearToSend) h.receive(0xEC42, 0x80, {0x11, 2, 1, 0xFF, 0xFF, 0xEB, 0xFE, 0x00});
        h.clock.advanceMs(c.beforeFirst);
        h.receive(0xEB00 + to, 0x42, packet(1));
        h.clock.advanceMs(c.beforeSecond);
        EXPECT_EQ(h.longMessages.slot(0).active, c.completes);
        h.receive(0xEB00 + to, 0x42, packet(2));
        EXPECT_EQ(h.clients.cooked().size(), c.completes ? 1u : 0u);
        EXPECT_FALSE(h.longMessages.slot(0).active);
    }
}

struct SendCase {
    uint16_t length;
    uint8_t packets;
    int lastBytes;  // message bytes in the last packet
};

TEST(LongMessages, SendsBroadcastTransfers) {
    for (const SendCase c :
         {SendCase{9, 2, 2}, SendCase{14, 2, 7}, SendCase{15, 3, 1}, SendCase{1785, 255, 7}}) {
        SCOPED_TRACE(c.length);
        test::RecordingSender sender;
        std::vector<uint8_t> data(c.length);
        std::iota(data.begin(), data.end(), 1);
        LongMessages::sendLong(sender, 0x1FECA, 0x33, 5, c.length, data.data());

        auto frames = sender.frames();
        ASSERT_EQ(frames.size(), 1u + c.packets);
        EXPECT_EQ(+frames[0].dgn, 0xECFFu);
        EXPECT_EQ(frames[0].data,
                  (std::vector<uint8_t>{0x20, static_cast<uint8_t>(+c.length & 0xFF),
                                        static_cast<uint8_t>(c.length >> 8), c.packets, 0xFF, 0xCA,
                                        0xFE, 0x01}));
        for (size_t k = 0; k < frames.size(); ++k) {
            EXPECT_EQ(frames[k].sa, 0x33);
            EXPECT_EQ(frames[k].priority, 5);
            EXPECT_EQ(+frames[k].length, 8);
        }
        for (int k = 1; k <= c.packets; ++k) {
            const auto& f = frames[k];
            EXPECT_EQ(+f.dgn, 0xEBFFu);
            ASSERT_EQ(f.data[0], k);
            const int carried = k == c.packets ? c.lastBytes : 7;
            for (int i = 0; i < 7; ++i) {
                const uint8_t expected =
                    i < carried ? static_cast<uint8_t>((k - 1) * 7 + i + 1) : 0xFF;
                EXPECT_EQ(f.data[1 + i], expected) << "packet " << k << " byte " << i;
            }
        }
    }
}

TEST(LongMessages, SentTransferReassemblesToTheSameMessage) {
    test::RecordingSender wire;
    std::vector<uint8_t> data(1785);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    LongMessages::sendLong(wire, 0xFEEB, 0x51, 6, 1785, data.data());

    TransmitHarness h;
    for (const auto& f : wire.frames()) h.receive(f.dgn, f.sa, f.data, f.priority);
    auto cooked = h.clients.cooked();
    ASSERT_EQ(cooked.size(), 1u);
    EXPECT_EQ(cooked[0].sa, 0x51);
    EXPECT_EQ(+cooked[0].dgn, 0xFEEBu);
    EXPECT_EQ(bytesOf(cooked[0]), data);
}

TEST(LongMessages, ShortDataFrameNeverLeaksStaleBytes) {
    // A data frame with only 3 bytes: the missing ones read 0xFF, not whatever came before.
    TransmitHarness h;
    h.receive(kBroadcastControl, 0x42, announce(7, 1, 0xFEEB));
    h.receive(kBroadcastData, 0x42, {1, 0xAA, 0xBB});
    ASSERT_EQ(h.clients.cooked().size(), 1u);
    EXPECT_EQ(bytesOf(h.clients.cooked()[0]),
              (std::vector<uint8_t>{0xAA, 0xBB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace corvane
