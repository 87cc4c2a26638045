#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/MuteMode.h"
#include "core/ToolMessages.h"
#include "tests/core/TransmitHarness.h"
#include "tests/support/CapturingTrace.h"

namespace corvane {
namespace {

using test::bytesOf;
using test::CapturingTrace;
using test::SentFrame;
using test::TransmitHarness;

struct InvalidCase {
    uint32_t dgn;
    uint8_t priority;
    uint16_t length;
    const char* sendLine;
    const char* requestLine;
    const char* fromLine;
};

TEST(TransmitPath, RejectsInvalidTransmissionsWithTheirTrace) {
    const InvalidCase cases[] = {
        {0x1FECA, 8, 3, "Invalid transmit: dgn:1FECA pr:8 len:3\n",
         "Send Tx Error\r\n   1FECA Len:3  Data:01 02 03 04\r\n",
         "SendFromAddress Tx Error\r\n   1FECA Len:3  Data:01 02 03 04\r\n"},
        {0x40000, 6, 8, "Invalid transmit: dgn:40000 pr:6 len:8\n",
         "Send Tx Error\r\n   40000 Len:8  Data:01 02 03 04\r\n",
         "SendFromAddress Tx Error\r\n   40000 Len:8  Data:01 02 03 04\r\n"},
        {0xEF00, 6, 1786, "Invalid transmit: dgn:EF00 pr:6 len:1786\n",
         "Send Tx Error\r\n   0EF00 Len:1786  Data:01 02 03 04\r\n",
         "SendFromAddress Tx Error\r\n   0EF00 Len:1786  Data:01 02 03 04\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sendLine);
        TransmitHarness h;
        h.sender.setEcho(true);
        CapturingTrace trace;
        std::vector<uint8_t> data(1786, 0);
        for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(i + 1);

        h.transmit.send(c.dgn, 0x42, c.priority, c.length, data.data());
        RvcSendRequest request = *makeSendRequest(0xEF00, 6, std::span(data.data(), 8));
        request.dgn = c.dgn;
        request.priority = c.priority;
        request.length = c.length;
        h.transmit.sendRequest(request);
        RvcSendFromRequest from = *makeSendFromRequest(0x42, 0xEF00, 6, std::span(data.data(), 8));
        from.dgn = c.dgn;
        from.priority = c.priority;
        from.length = c.length;
        h.transmit.sendFromRequest(from);

        EXPECT_EQ(trace.lines(), (std::vector<std::string>{c.sendLine, c.requestLine, c.fromLine}));
        EXPECT_TRUE(h.sender.frames().empty());
        EXPECT_TRUE(h.clients.raw().empty()) << "an invalid transmission is not echoed";
    }
}

// Leaves a pattern where the next call's locals will live, so that a record built there
// without being cleared shows it.
[[gnu::noinline]] void dirtyTheStack() {
    volatile uint8_t junk[32768];
    for (auto& b : junk) b = 0xA5;
}

TEST(TransmitPath, RejectedShortRequestsTraceZerosPastTheirData) {
    // A module's request holds only the bytes it announces; the trace still shows four.
    const uint8_t send[] = {0x00, 0x00, 0x00, 0x04, 0x00, 6, 1, 0, 0x11};
    const uint8_t sendFrom[] = {0x01, 0x42, 0x00, 0x00, 0x04, 0x00, 6, 0, 0};
    const uint8_t one[] = {0x11};
    TransmitHarness h;
    CapturingTrace trace;
    dirtyTheStack();
    h.transmit.sendRequest(*parseSendRequest(send));
    dirtyTheStack();
    h.transmit.sendFromRequest(*parseSendFromRequest(sendFrom));
    dirtyTheStack();
    h.transmit.sendRequest(*makeSendRequest(0x40000, 6, one));
    dirtyTheStack();
    h.transmit.sendFromRequest(*makeSendFromRequest(0x42, 0x40000, 6, {}));
    EXPECT_EQ(trace.lines(), (std::vector<std::string>{
                                 "Send Tx Error\r\n   40000 Len:1  Data:11 00 00 00\r\n",
                                 "SendFromAddress Tx Error\r\n   40000 Len:0  Data:00 00 00 00\r\n",
                                 "Send Tx Error\r\n   40000 Len:1  Data:11 00 00 00\r\n",
                                 "SendFromAddress Tx Error\r\n   40000 Len:0  Data:00 00 00 00\r\n",
                             }));
}

TEST(TransmitPath, AcceptsTheLimits) {
    TransmitHarness h;
    CapturingTrace trace;
    std::vector<uint8_t> data(1785, 0x5A);
    h.transmit.send(0x3FFFF, 0x42, 7, 8, data.data());
    h.transmit.send(0xFEEB, 0x42, 0, 1785, data.data());
    h.transmit.send(0xEF00, 0x42, 6, 0, nullptr);
    h.drainPaced();
    auto frames = h.sender.frames();
    ASSERT_EQ(frames.size(), 1u + 256u + 1u);
    EXPECT_EQ(+frames[0].dgn, 0x3FFFFu);
    EXPECT_EQ(+frames.back().dgn, 0xEBFFu);  // the long transfer's last packet
    EXPECT_TRUE(trace.lines().empty());
}

TEST(TransmitPath, RequestsGoOutFromTheirAddress) {
    TransmitHarness h;
    const uint8_t bytes[3] = {1, 2, 3};
    h.transmit.sendRequest(*makeSendRequest(0x1FFB7, 3, bytes));
    h.transmit.sendFromRequest(*makeSendFromRequest(0x42, 0x1FFB7, 4, bytes));
    auto frames = h.sender.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].sa, 0xF9);
    EXPECT_EQ(frames[0].priority, 3);
    EXPECT_EQ(frames[1].sa, 0x42);
    EXPECT_EQ(frames[1].priority, 4);
    EXPECT_EQ(frames[1].data, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(TransmitPath, NineBytesGoOutAsTwoPackets) {
    TransmitHarness h;
    const uint8_t bytes[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    h.transmit.sendRequest(*makeSendRequest(0x1FECA, 6, bytes));
    h.drainPaced();
    auto frames = h.sender.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(+frames[0].dgn, 0xECFFu);
    EXPECT_EQ(frames[0].data, (std::vector<uint8_t>{0x20, 9, 0, 2, 0xFF, 0xCA, 0xFE, 0x01}));
    EXPECT_EQ(frames[1].data, (std::vector<uint8_t>{1, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(frames[2].data, (std::vector<uint8_t>{2, 8, 9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

// Broadcast transfers leave one frame per 50 ms and source address, and the sender never waits
// for them: a transfer from another address interleaves, a second one from the same address
// follows the first whole.
TEST(TransmitPath, PacesBroadcastTransfersFiftyMillisecondsApart) {
    TransmitHarness h;
    const std::vector<uint8_t> bytes(20, 0x5A);
    h.transmit.send(0xFEEB, 0x42, 6, 20, bytes.data());  // 3 packets
    h.transmit.send(0x1FECA, 0x42, 6, 9, bytes.data());  // 2 packets
    h.transmit.send(0xFEEB, 0x43, 6, 20, bytes.data());
    EXPECT_EQ(h.sender.frames().size(), 2u);  // back with only the announcements out

    std::map<uint8_t, std::vector<std::pair<int64_t, uint32_t>>> timeline;  // per address
    size_t seen = 0;
    for (int64_t ms = 0; ms <= 600; ms += 10) {
        if (ms > 0) h.clock.advanceMs(10);
        h.transmit.pacingStep();
        const auto frames = h.sender.frames();
        for (; seen < frames.size(); ++seen) {
            timeline[frames[seen].sa].emplace_back(ms, frames[seen].dgn);
        }
    }
    using Line = std::vector<std::pair<int64_t, uint32_t>>;
    EXPECT_EQ(timeline[0x42], (Line{{0, 0xECFF},
                                    {50, 0xEBFF},
                                    {100, 0xEBFF},
                                    {150, 0xEBFF},
                                    {200, 0xECFF},
                                    {250, 0xEBFF},
                                    {300, 0xEBFF}}));
    EXPECT_EQ(timeline[0x43], (Line{{0, 0xECFF}, {50, 0xEBFF}, {100, 0xEBFF}, {150, 0xEBFF}}));
    EXPECT_EQ(h.transmit.pacedFramesPending(), 0u);
}

TEST(TransmitPath, EchoesAShortSendAsAReceivedFrame) {
    TransmitHarness h;
    h.sender.setEcho(true);
    const uint8_t bytes[3] = {0xA1, 0xA2, 0xA3};
    h.transmit.send(0x1FFB7, 0x42, 5, 3, bytes);

    auto raw = h.clients.raw();
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw[0].kind, 3);
    EXPECT_EQ(+raw[0].dgn, 0x1FFB7u);
    EXPECT_EQ(raw[0].sa, 0x42);
    EXPECT_EQ(raw[0].priority, 5);
    EXPECT_EQ(+raw[0].length, 3);
    EXPECT_EQ(+raw[0].timestamp, 0u);
    EXPECT_EQ(raw[0].reserved, 0);
    auto cooked = h.clients.cooked();
    ASSERT_EQ(cooked.size(), 1u);
    EXPECT_EQ(bytesOf(cooked[0]), (std::vector<uint8_t>{0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(h.manager.addressStats(0x42).count, 1);
}

TEST(TransmitPath, EchoesALongSendWhole) {
    TransmitHarness h;
    h.sender.setEcho(true);
    h.transmit.sendRequest(toolProductId());

    // Raw clients see the first frame on the wire, 8 bytes, claiming no more than it holds.
    auto raw = h.clients.raw();
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(+raw[0].dgn, 0xECFFu);
    EXPECT_EQ(raw[0].sa, 0xF9);
    EXPECT_EQ(+raw[0].length, 8);
    EXPECT_EQ(std::vector<uint8_t>(raw[0].data, raw[0].data + 8),
              (std::vector<uint8_t>{0x20, 21, 0, 3, 0xFF, 0xEB, 0xFE, 0x00}));
    // Cooked clients see the whole message, once.
    auto cooked = h.clients.cooked();
    ASSERT_EQ(cooked.size(), 1u);
    EXPECT_EQ(+cooked[0].dgn, 0xFEEBu);
    EXPECT_EQ(cooked[0].sa, 0xF9);
    EXPECT_EQ(std::string(cooked[0].data, cooked[0].data + cooked[0].length),
              "TINDREL*PROTOTYPE*0**");
}

// Echoes of the tool's own long sends start no reassembly: sixty of them while a node's
// transfer is under way (more than the fifty slots) leave that transfer whole.
TEST(TransmitPath, LongEchoesLeaveTransfersFromTheNetworkAlone) {
    TransmitHarness h;
    h.sender.setEcho(true);
    h.receive(0xECFF, 0x42, {0x20, 14, 0, 2, 0xFF, 0xEB, 0xFE, 0});
    for (int i = 0; i < 60; ++i) h.transmit.sendRequest(toolProductId());
    h.receive(0xEBFF, 0x42, {1, 'A', 'C', 'M', 'E', '*', 'H', 'e'});
    h.receive(0xEBFF, 0x42, {2, 'a', 't', 'e', 'r', '*', '*', '*'});
    int fromNode = 0;
    for (const auto& m : h.clients.cooked()) {
        if (m.sa == 0x42 && m.dgn == 0xFEEB) {
            ++fromNode;
            EXPECT_EQ(std::string(m.data, m.data + m.length), "ACME*Heater***");
        }
    }
    EXPECT_EQ(fromNode, 1);
    EXPECT_EQ(h.manager.addressStats(0xF9).count, 60);  // the echoes are still counted
}

TEST(TransmitPath, NoEchoWhenOffOrWithoutAdapter) {
    TransmitHarness h;
    const uint8_t bytes[3] = {1, 2, 3};
    h.transmit.send(0x1FFB7, 0x42, 6, 3, bytes);
    EXPECT_EQ(h.sender.frames().size(), 1u);
    h.transmit.setSender(nullptr);
    h.transmit.send(0x1FFB7, 0x42, 6, 3, bytes);
    EXPECT_EQ(h.sender.frames().size(), 1u);
    EXPECT_TRUE(h.clients.raw().empty());
}

TEST(TransmitPath, SendsTheToolProductId) {
    TransmitHarness h;
    h.receive(0xEAF9, 0x42, {0xEB, 0xFE, 0x00});
    h.drainPaced();
    auto frames = h.sender.frames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].data, (std::vector<uint8_t>{0x20, 21, 0, 3, 0xFF, 0xEB, 0xFE, 0x00}));
    const char* chunks[] = {"TINDREL", "*PROTOT", "YPE*0**"};
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(+frames[k].dgn, 0xEBFFu);
        EXPECT_EQ(frames[k].sa, 0xF9);
        EXPECT_EQ(frames[k].priority, 6);
        EXPECT_EQ(frames[k].data[0], k);
        EXPECT_EQ(std::string(frames[k].data.begin() + 1, frames[k].data.end()), chunks[k - 1]);
    }
}

struct AnswerCase {
    uint32_t dgn;
    uint8_t sa;
    uint32_t requested;
    bool legacyDm1;
    std::vector<uint32_t> answer;  // DGNs of the frames sent
};

// Only requests addressed to the tool, from another node, are answered.
TEST(TransmitPath, AnswersOnlyTheRequestsItKnows) {
    const AnswerCase cases[] = {
        {0xEAF9, 0x42, 0xEE00, true, {0xEE00}},
        {0xEAF9, 0x00, 0x1FECA, true, {0x1FECA}},
        {0xEAF9, 0x42, 0x1FECA, false, {0x1FECA}},
        {0xEAF9, 0x42, 0xFECA, true, {0xFECA}},
        {0xEAF9, 0x42, 0xFECA, false, {}},
        {0xEAF9, 0x42, 0xFEEB, true, {0xECFF, 0xEBFF, 0xEBFF, 0xEBFF}},
        {0xEAF9, 0x42, 0x1FEF2, true, {}},
        {0xEAF9, 0xF9, 0xEE00, true, {}},
        {0xEAF9, 0xF9, 0xFEEB, true, {}},
        {0xEAFF, 0x42, 0xEE00, true, {}},
        {0xEAFF, 0x42, 0xFEEB, true, {}},
        {0xEA42, 0x10, 0xEE00, true, {}},
        {0xEA00, 0x42, 0xEE00, true, {}},
        {0xEA00, 0x42, 0x1FECA, true, {}},
        {0xEA00, 0x42, 0xFECA, true, {}},
        {0xEA00, 0x42, 0xFEEB, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.dgn << " from " << int{c.sa} << " for "
                                        << c.requested << " legacy " << c.legacyDm1);
        TransmitHarness h;
        h.manager.setSupportLegacyDM1(c.legacyDm1);
        h.receive(c.dgn, c.sa,
                  {static_cast<uint8_t>(c.requested), static_cast<uint8_t>(c.requested >> 8),
                   static_cast<uint8_t>(c.requested >> 16)});
        h.drainPaced();
        std::vector<uint32_t> sent;
        for (const auto& f : h.sender.frames()) sent.push_back(f.dgn);
        EXPECT_EQ(sent, c.answer);
    }
}

TEST(TransmitPath, AnswersCarryTheToolMessages) {
    TransmitHarness h;
    h.receive(0xEAF9, 0x42, {0x00, 0xEE, 0x00});
    h.receive(0xEAF9, 0x42, {0xCA, 0xFE, 0x01});
    h.receive(0xEAF9, 0x42, {0xCA, 0xFE, 0x00});
    auto f = h.sender.frames();
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].data, (std::vector<uint8_t>{0, 0, 0, 0x0E, 0, 0xF9, 0, 0}));
    EXPECT_EQ(f[1].data, (std::vector<uint8_t>{0xF5, 0xF9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(+f[2].dgn, 0xFECAu);
    for (const auto& frame : f) {
        EXPECT_EQ(frame.sa, 0xF9);
        EXPECT_EQ(frame.priority, 6);
    }
}

// With echo on, the tool hears its own requests: asking itself is not answering itself.
TEST(TransmitPath, NeverAnswersItsOwnEchoedRequest) {
    TransmitHarness h;
    h.sender.setEcho(true);
    h.transmit.sendRequest(productIdScanRequest(kToolAddress));
    h.drainPaced();
    auto frames = h.sender.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(+frames[0].dgn, 0xEAF9u);
    EXPECT_EQ(h.clients.raw().size(), 1u);  // the echo did come back
}

TEST(TransmitPath, ShortRequestIsNotReadPastItsBytes) {
    // Two bytes "00 EE": the missing third byte reads 0xFF, so nothing matches.
    TransmitHarness h;
    h.receive(0xEAF9, 0x42, {0x00, 0xEE});
    EXPECT_TRUE(h.sender.frames().empty());
}

// The mute-mode table, row by row: which sources may transmit in modes 0, 1, 2 and 3.
TEST(MuteMode, TableOfSourcesAndModes) {
    struct Row {
        TransmitSource source;
        bool allowed[4];
    };
    const Row rows[] = {
        {TransmitSource::ModuleSend, {true, false, false, true}},
        {TransmitSource::ModuleHousekeeping, {true, true, false, true}},
        {TransmitSource::Housekeeping, {true, true, false, false}},
        {TransmitSource::RequestAnswer, {true, true, false, false}},
        {TransmitSource::ClearToSend, {true, true, false, true}},
        {TransmitSource::UserCommand, {true, true, true, true}},
    };
    for (const auto& row : rows) {
        for (int32_t mode = 0; mode < 4; ++mode) {
            EXPECT_EQ(transmitAllowed(row.source, static_cast<MuteMode>(mode)), row.allowed[mode])
                << "source " << static_cast<int>(row.source) << " mode " << mode;
        }
    }
}

// The same table at the places where the core itself transmits.
TEST(MuteMode, EachSourceOfTheCoreObeysIt) {
    const bool answers[] = {true, true, false, false};
    const bool housekeeping[] = {true, true, false, false};
    const bool clearToSend[] = {true, true, false, true};
    for (int32_t mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        TransmitHarness h;
        h.manager.setMuteMode(static_cast<MuteMode>(mode));

        h.receive(0xEAF9, 0x42, {0xCA, 0xFE, 0x01});
        EXPECT_EQ(h.sender.frames().size(), answers[mode] ? 1u : 0u) << "request answer";
        h.sender.clear();

        h.manager.setHousekeepingCountdown(1);
        h.transmit.housekeepingStep();
        EXPECT_EQ(h.sender.frames().empty(), !housekeeping[mode]) << "housekeeping";
        h.sender.clear();

        h.receive(0xECF9, 0x42, {0x10, 10, 0, 2, 0xFF, 0xEB, 0xFE, 0});
        EXPECT_EQ(h.sender.frames().size(), clearToSend[mode] ? 1u : 0u) << "clear to send";
        h.sender.clear();

        // Script and main-window commands call the transmit path directly: always sent.
        h.transmit.sendRequest(resetCommand(0x42));
        EXPECT_EQ(h.sender.frames().size(), 1u) << "user command";
    }
}

// Makes exactly the given addresses active, as the statistics step does.
void activate(TransmitHarness& h, std::initializer_list<uint8_t> addresses) {
    for (uint8_t sa : addresses) h.receive(0x1FFFF, sa, {0});
    h.manager.statisticsStep();
}

std::vector<uint8_t> scanTargets(const std::vector<SentFrame>& frames) {
    std::vector<uint8_t> targets;
    for (const auto& f : frames) {
        if ((f.dgn & 0x1FF00) == 0xEA00 && f.data[0] == 0xEB) {
            targets.push_back(static_cast<uint8_t>(f.dgn & 0xFF));
        }
    }
    return targets;
}

TEST(Housekeeping, ScanWalksTheActiveAddresses) {
    TransmitHarness h;
    activate(h, {0x20, 0x80});
    h.manager.setHousekeepingCountdown(200);  // keep the periodic requests out of the way
    std::vector<int> askedAt;
    std::vector<uint8_t> asked;
    for (int step = 1; step <= 9; ++step) {
        h.sender.clear();
        h.transmit.housekeepingStep();
        for (uint8_t target : scanTargets(h.sender.frames())) {
            askedAt.push_back(step);
            asked.push_back(target);
        }
    }
    EXPECT_EQ(askedAt, (std::vector<int>{1, 4, 9}));
    EXPECT_EQ(asked, (std::vector<uint8_t>{0x20, 0x80, 0x20}));
    auto request = productIdScanRequest(0x20);
    EXPECT_EQ(std::vector<uint8_t>(request.data, request.data + 8),
              (std::vector<uint8_t>{0xEB, 0xFE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Housekeeping, ScanSkipsTheToolAndTheTopAddresses) {
    TransmitHarness h;
    activate(h, {0xF9, 0xFA, 0xFE, 0xFF, 0x03});
    h.manager.setHousekeepingCountdown(200);
    h.manager.setScanPointer(0xF0);
    std::vector<uint8_t> asked;
    // 32 addresses looked at per step: a round of the 254 scanned ones takes about 9 steps.
    for (int step = 0; step < 20; ++step) {
        h.sender.clear();
        h.transmit.housekeepingStep();
        for (uint8_t t : scanTargets(h.sender.frames())) asked.push_back(t);
    }
    EXPECT_EQ(asked, (std::vector<uint8_t>{0xFA, 0x03, 0xFA, 0x03, 0xFA, 0x03}));
}

TEST(Housekeeping, PeriodicRequestsFollowTheCountdown) {
    for (bool legacy : {true, false}) {
        SCOPED_TRACE(legacy);
        TransmitHarness h;
        h.manager.setSupportLegacyDM1(legacy);
        std::vector<int> steps;
        for (int step = 1; step <= 60; ++step) {
            h.sender.clear();
            h.transmit.housekeepingStep();
            auto frames = h.sender.frames();
            if (frames.empty()) continue;
            steps.push_back(step);
            ASSERT_EQ(frames.size(), legacy ? 2u : 1u);
            EXPECT_EQ(+frames[0].dgn, 0xEAFFu);
            EXPECT_EQ(frames[0].data,
                      (std::vector<uint8_t>{0xCA, 0xFE, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
            if (legacy) {
                EXPECT_EQ(frames[1].data,
                          (std::vector<uint8_t>{0xCA, 0xFE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
            }
        }
        // One second after start-up, then every five seconds.
        EXPECT_EQ(steps, (std::vector<int>{5, 30, 55}));
    }
    // After a reset: on the second step.
    TransmitHarness h;
    h.manager.reset();
    h.transmit.housekeepingStep();
    EXPECT_TRUE(h.sender.frames().empty());
    h.transmit.housekeepingStep();
    EXPECT_EQ(h.sender.frames().size(), 2u);
}

TEST(Housekeeping, NothingWhileScanNetworkIsOff) {
    TransmitHarness h;
    activate(h, {0x20});
    h.manager.setScanNetwork(false);
    h.manager.setHousekeepingCountdown(1);
    h.transmit.housekeepingStep();
    EXPECT_TRUE(h.sender.frames().empty());
    EXPECT_EQ(h.manager.housekeepingCountdown(), 1);
}

}  // namespace
}  // namespace corvane
