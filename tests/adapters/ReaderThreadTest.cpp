#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adapters/Conduit.h"
#include "adapters/ReaderThread.h"
#include "core/DeviceTable.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "platform/MemorySettingsStore.h"
#include "platform/PseudoTerminal.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortLineCutter.h"
#include "tests/adapters/ReplayRig.h"
#include "tests/support/FakeClock.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using test::waitUntil;

// A serial line read in lines: the smallest adapter link, over a real pseudo-terminal.
class LineLink final : public ReaderThread::Link {
  public:
    explicit LineLink(std::string path) : path_(std::move(path)) {}

    bool openLink() override {
        opens.fetch_add(1);
        cutter_.clear();
        return port_.open(path_);
    }
    bool readyLink() override { return ready.load(); }
    ReaderThread::Read readLink() override {
        if (holdUntilWoken.load()) {
            // The next read waits until a stop hurries it, as a reader in a slow read would.
            holding = true;
            waitUntil([this] { return woken.load(); }, 30s);
            holdUntilWoken = false;
        }
        uint8_t buffer[256];
        const std::ptrdiff_t n = port_.read(buffer);
        if (n == SerialPort::kReadFailed) {
            lostReads.fetch_add(1);
            return ReaderThread::Read::Lost;
        }
        if (n == 0) {
            port_.waitReadable(20);
            return ReaderThread::Read::More;
        }
        cutter_.feed(std::span<const uint8_t>(buffer, static_cast<size_t>(n)),
                     [this](std::string_view line) {
                         std::lock_guard lock(mutex_);
                         lines_.emplace_back(line);
                     });
        return ReaderThread::Read::More;
    }
    void closeLink(bool lost) override {
        (lost ? losses : stops).fetch_add(1);
        port_.close();
    }
    void wakeReader() override { woken = true; }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

    std::atomic<bool> ready{true};
    std::atomic<int> opens{0};
    std::atomic<int> losses{0};
    std::atomic<int> stops{0};
    std::atomic<int> lostReads{0};  // reads that found the line gone
    std::atomic<bool> holdUntilWoken{false};
    std::atomic<bool> holding{false};
    std::atomic<bool> woken{false};

  private:
    std::string path_;
    SerialPort port_;
    SerialPortLineCutter cutter_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

struct Rig {
    Rig() : devices(clock), manager(store, devices), transmit(manager), conduit(store, transmit) {
        EXPECT_TRUE(pty.open());
    }
    MemorySettingsStore store;
    test::FakeClock clock;
    DeviceTable devices;
    RVCManager manager;
    TransmitPath transmit;
    Conduit conduit;
    PseudoTerminal pty;
};

TEST(ReaderThreadConcurrency, DeliversLinesThenHandsOverAnUnplugOnce) {
    Rig rig;
    LineLink link(rig.pty.slavePath());
    ReaderThread reader(rig.conduit, rig.manager, link);
    ASSERT_TRUE(reader.start());
    EXPECT_TRUE(reader.reading());
    EXPECT_EQ(rig.conduit.getState(), Conduit::kConnected);

    std::string burst;
    for (int i = 0; i < 500; ++i) burst += "R18FEEB42" + std::to_string(1000 + i) + "\r\n";
    ASSERT_EQ(rig.pty.write(burst, 2000), static_cast<std::ptrdiff_t>(burst.size()));
    ASSERT_TRUE(waitUntil([&] { return link.lines().size() == 500; }));
    const auto lines = link.lines();
    for (int i = 0; i < 500; ++i) ASSERT_EQ(lines[i], "R18FEEB42" + std::to_string(1000 + i));

    rig.pty.close();  // the cable is pulled
    ASSERT_TRUE(waitUntil([&] { return link.losses.load() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return rig.conduit.getState() == Conduit::kDisconnected; }));
    EXPECT_FALSE(reader.reading());
    reader.stop();  // nothing left to close
    EXPECT_EQ(link.losses.load(), 1);
    EXPECT_EQ(link.stops.load(), 0);
}

// The line goes while a stop is joining the reader: the reader finds it lost, sees the stop and
// leaves the closing to it. Closed once, as a stop, and the stop does not wait for ever.
TEST(ReaderThreadConcurrency, ALossWhileAStopJoinsIsLeftToTheStop) {
    Rig rig;
    LineLink link(rig.pty.slavePath());
    ReaderThread reader(rig.conduit, rig.manager, link);
    ASSERT_TRUE(reader.start());
    link.holdUntilWoken = true;
    ASSERT_TRUE(waitUntil([&] { return link.holding.load(); }));
    rig.pty.close();  // the cable is pulled while the reader is held
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        reader.stop();  // wakes the reader, then joins it
        stopped = true;
    });
    EXPECT_TRUE(waitUntil([&] { return stopped.load(); }, 10s));
    stopper.join();
    EXPECT_EQ(link.lostReads.load(), 1);  // the reader did find the line gone
    EXPECT_EQ(link.losses.load(), 0);
    EXPECT_EQ(link.stops.load(), 1);
    EXPECT_FALSE(reader.reading());
    EXPECT_EQ(rig.conduit.getState(), Conduit::kDisconnected);
    reader.stop();  // nothing left to close
    EXPECT_EQ(link.stops.load(), 1);
}

TEST(ReaderThreadConcurrency, StoppingIsNotALossAndTheLinkOpensAgain) {
    Rig rig;
    LineLink link(rig.pty.slavePath());
    ReaderThread reader(rig.conduit, rig.manager, link);
    ASSERT_TRUE(reader.start());
    EXPECT_TRUE(reader.start());  // already open: not opened twice
    EXPECT_EQ(link.opens.load(), 1);
    reader.stop();
    EXPECT_FALSE(reader.reading());
    EXPECT_EQ(rig.conduit.getState(), Conduit::kDisconnected);

    ASSERT_TRUE(reader.start());  // the same object serves a second link
    rig.pty.write("b=3\n", 100);
    EXPECT_TRUE(waitUntil([&] { return link.lines().size() == 1; }));
    reader.stop();
    EXPECT_EQ(link.stops.load(), 2);
    EXPECT_EQ(link.losses.load(), 0);
}

TEST(ReaderThreadConcurrency, ADisabledConduitIsNotOpenedAndStaysDisabled) {
    Rig rig;
    LineLink link(rig.pty.slavePath());
    ReaderThread reader(rig.conduit, rig.manager, link);
    rig.conduit.setState(Conduit::kDisabled);
    EXPECT_FALSE(reader.start());
    EXPECT_EQ(link.opens.load(), 0);
    rig.conduit.setState(Conduit::kConnected);
    ASSERT_TRUE(reader.start());
    rig.conduit.setState(Conduit::kDisabled);
    reader.stop();
    EXPECT_EQ(rig.conduit.getState(), Conduit::kDisabled);
}

TEST(ReaderThreadConcurrency, ALinkThatCannotBeMadeReadyIsClosedAgain) {
    Rig rig;
    LineLink link(rig.pty.slavePath());
    ReaderThread reader(rig.conduit, rig.manager, link);
    link.ready = false;
    rig.conduit.setState(Conduit::kFailed);  // as the set-up leaves it
    EXPECT_FALSE(reader.start());
    EXPECT_FALSE(reader.reading());
    EXPECT_EQ(link.stops.load(), 1);
    EXPECT_EQ(rig.conduit.getState(), Conduit::kFailed);
    link.ready = true;
    EXPECT_TRUE(reader.start());
    EXPECT_EQ(rig.conduit.getState(), Conduit::kConnected);
    reader.stop();
}

TEST(ReaderThreadConcurrency, StopsFromManyThreadsCloseOnce) {
    Rig rig;
    LineLink link(rig.pty.slavePath());
    ReaderThread reader(rig.conduit, rig.manager, link);
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(reader.start());
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; ++t) threads.emplace_back([&] { reader.stop(); });
        for (auto& t : threads) t.join();
    }
    EXPECT_EQ(link.opens.load(), 20);
    EXPECT_EQ(link.stops.load(), 20);
}

}  // namespace
}  // namespace corvane
