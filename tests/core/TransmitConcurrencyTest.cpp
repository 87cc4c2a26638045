#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/LongMessages.h"
#include "tests/core/TransmitHarness.h"

namespace corvane {
namespace {

using test::TransmitHarness;

constexpr int kSenders = 4;
constexpr int kMessagesEach = 25;
constexpr uint16_t kLength = 60;  // 9 packets

std::vector<uint8_t> messageData(int sender, int index) {
    std::vector<uint8_t> data(kLength);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(sender * 64 + index + i);
    }
    return data;
}

// Several threads send long messages from the tool's address while an adapter thread takes
// in a transfer of its own; with echo on, every echo re-enters dispatch on the sending thread.
TEST(TransmitPathConcurrency, LongTransfersStayWholeOnTheWire) {
    TransmitHarness h;
    h.sender.setEcho(true);
    h.sender.setYield(true);

    std::vector<std::thread> threads;
    for (int s = 0; s < kSenders; ++s) {
        threads.emplace_back([&h, s] {
            for (int i = 0; i < kMessagesEach; ++i) {
                auto data = messageData(s, i);
                h.transmit.sendRequest(*makeSendRequest(0x1FF00 + s, 6, data));
            }
        });
    }
    threads.emplace_back([&h] {
        for (int i = 0; i < kMessagesEach; ++i) {
            h.receive(0xECFF, 0x42, {0x20, 14, 0, 2, 0xFF, 0xEB, 0xFE, 0});
            h.receive(0xEBFF, 0x42, {1, 1, 2, 3, 4, 5, 6, 7});
            h.receive(0xEBFF, 0x42, {2, 8, 9, 10, 11, 12, 13, 14});
        }
    });
    for (auto& t : threads) t.join();
    h.drainPaced();

    // Every transfer reached the wire in one piece: replayed into a second tool, each one
    // reassembles to exactly what was sent.
    TransmitHarness replay;
    for (const auto& f : h.sender.frames()) replay.receive(f.dgn, f.sa, f.data, f.priority);
    std::vector<int> perSender(kSenders, 0);
    for (const auto& m : replay.clients.cooked()) {
        const int s = static_cast<int>(m.dgn - 0x1FF00);
        ASSERT_GE(s, 0);
        ASSERT_LT(s, kSenders);
        EXPECT_EQ(test::bytesOf(m), messageData(s, perSender[s]));
        ++perSender[s];
    }
    EXPECT_EQ(perSender, std::vector<int>(kSenders, kMessagesEach));

    // The tool itself saw every echo whole and every received transfer.
    int echoed = 0;
    int received = 0;
    for (const auto& m : h.clients.cooked()) {
        if (m.sa == 0xF9 && m.length == kLength) ++echoed;
        if (m.sa == 0x42 && m.dgn == 0xFEEB && m.length == 14) ++received;
    }
    EXPECT_EQ(echoed, kSenders * kMessagesEach);
    EXPECT_EQ(received, kMessagesEach);
}

}  // namespace
}  // namespace corvane
