#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/MailslotOutbox.h"
#include "platform/MailslotServer.h"
#include "platform/MailslotWriter.h"
#include "platform/RuntimeDir.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

class MailslotOutboxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvane-outbox-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        base = pattern;
        setenv("CORVANE_RUNTIME_DIR", (base + "/run").c_str(), 1);
        auto p = mailslotPath("Module");
        ASSERT_TRUE(p);
        path = *p;
    }
    void TearDown() override {
        unsetenv("CORVANE_RUNTIME_DIR");
        std::filesystem::remove_all(base);
    }

    // Message `i`: its number, then filler up to `size` bytes.
    static Bytes message(int i, size_t size = 22) {
        Bytes m(size, 0x5A);
        m[0] = static_cast<uint8_t>(i);
        m[1] = static_cast<uint8_t>(i >> 8);
        return m;
    }
    // Reads until `count` messages came or none came for a second.
    static std::vector<Bytes> readAll(MailslotServer& server, size_t count) {
        std::vector<Bytes> got;
        Bytes buffer(512);
        while (got.size() < count && server.waitReadable(1000)) {
            while (auto n = server.read(buffer))
                got.emplace_back(buffer.begin(), buffer.begin() + *n);
        }
        return got;
    }

    std::string base;
    std::string path;
};

TEST_F(MailslotOutboxTest, ABurstBeyondTheSocketQueueArrivesWholeAndInOrder) {
    MailslotServer server(path);
    MailslotOutbox outbox{MailslotWriter(path)};
    ASSERT_TRUE(outbox.valid());
    // Far more than a datagram socket queues for a reader that has not read yet.
    constexpr int kBurst = 2000;
    for (int i = 0; i < kBurst; ++i) ASSERT_TRUE(outbox.write(message(i))) << i;
    EXPECT_GT(outbox.waitingBytes(), 0u);

    auto got = readAll(server, kBurst);
    ASSERT_EQ(got.size(), static_cast<size_t>(kBurst));
    for (int i = 0; i < kBurst; ++i) ASSERT_EQ(got[i], message(i)) << i;
    EXPECT_EQ(outbox.lost(), 0u);
    EXPECT_EQ(outbox.waitingBytes(), 0u);
}

TEST_F(MailslotOutboxTest, AReaderThatDoesNotReadCostsOnlyWhatDoesNotFit) {
    MailslotServer server(path);
    MailslotOutbox outbox{MailslotWriter(path)};
    constexpr int kWrites = 8000;  // 1.6 MB of 200-byte messages
    int accepted = 0;
    const auto started = Clock::now();
    for (int i = 0; i < kWrites; ++i) accepted += outbox.write(message(i, 200)) ? 1 : 0;
    EXPECT_LT(Clock::now() - started, 2s);  // writers never wait
    EXPECT_GE(accepted, static_cast<int>(MailslotOutbox::kCapacity / 202));
    EXPECT_LT(accepted, kWrites);
    EXPECT_EQ(outbox.lost(), static_cast<uint64_t>(kWrites - accepted));

    // What was taken is what the reader gets, from the first message on.
    auto got = readAll(server, static_cast<size_t>(accepted));
    ASSERT_EQ(got.size(), static_cast<size_t>(accepted));
    EXPECT_EQ(got.front(), message(0, 200));
    EXPECT_EQ(got.back(), message(accepted - 1, 200));
}

TEST_F(MailslotOutboxTest, ClosingHandsTheRestToALiveReaderOnly) {
    constexpr int kQueued = 500;
    {
        SCOPED_TRACE("a reader that reads while the outbox closes");
        MailslotServer server(path);
        MailslotOutbox outbox{MailslotWriter(path)};
        for (int i = 0; i < kQueued; ++i) outbox.write(message(i));
        std::vector<Bytes> got;
        std::thread reader([&] { got = readAll(server, kQueued); });
        outbox.close();
        reader.join();
        EXPECT_EQ(got.size(), static_cast<size_t>(kQueued));
        EXPECT_EQ(outbox.lost(), 0u);
        EXPECT_FALSE(outbox.write(message(0)));  // closed
        EXPECT_FALSE(outbox.valid());
    }
    {
        SCOPED_TRACE("a reader that never reads again");
        MailslotServer server(path);
        MailslotOutbox outbox{MailslotWriter(path)};
        for (int i = 0; i < kQueued; ++i) outbox.write(message(i));
        const auto started = Clock::now();
        outbox.close();
        const auto took = Clock::now() - started;
        EXPECT_GE(took, std::chrono::milliseconds(MailslotOutbox::kCloseWaitMs));
        EXPECT_LT(took, 2s);
        EXPECT_GT(outbox.lost(), 0u);
        EXPECT_EQ(outbox.waitingBytes(), 0u);
    }
    {
        SCOPED_TRACE("a reader that is gone");
        auto server = std::make_unique<MailslotServer>(path);
        MailslotOutbox outbox{MailslotWriter(path)};
        for (int i = 0; i < kQueued; ++i) outbox.write(message(i));
        server.reset();
        // The outbox finds out by itself and drops what waited; later messages fail at once.
        EXPECT_TRUE(test::waitUntil([&] { return outbox.waitingBytes() == 0; }));
        EXPECT_GT(outbox.lost(), 0u);
        EXPECT_FALSE(outbox.write(message(0)));
        const auto started = Clock::now();
        outbox.close();
        EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(MailslotOutbox::kCloseWaitMs));
    }
}

TEST_F(MailslotOutboxTest, WithoutAReaderThereIsNothingToWriteTo) {
    MailslotOutbox outbox{MailslotWriter(path)};  // nobody reads there
    EXPECT_FALSE(outbox.valid());
    EXPECT_FALSE(outbox.write(message(0)));
    MailslotOutbox none;
    EXPECT_FALSE(none.write(message(0)));
    none.close();
}

}  // namespace
}  // namespace corvane
